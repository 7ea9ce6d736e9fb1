// The full command-line tool, loaded by qentool for every command its quick path leaves.
#include "articles/wwp.h"
#include "export/pdfwriter.h"
#include "tool/commands.h"
#include "tool/fulltool.h"

#include <QCoreApplication>
#include <cstdio>

namespace qen::tool {

int runToPdf(const QStringList &args) {
    static const PdfPageSource decoding{
        WwpDecoder::decodeWrapped,
        [](const QString &path, const QByteArray &bytes) { return pdf::imagesOf(path, bytes); },
        recognisedPageText};
    return runToPdf(args, decoding);
}

} // namespace qen::tool

extern "C" Q_DECL_EXPORT int qentool_main(int, char **) {
    using namespace qen::tool;
    QStringList args = QCoreApplication::arguments().mid(1);
    const QString command = args.value(0);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(qPrintable(usage()), stdout);
        return command.isEmpty() ? 2 : 0;
    }
    if (command == QLatin1String("--version") || command == QLatin1String("-V")) {
        std::fputs(qPrintable(versionText()), stdout);
        return 0;
    }
    args.removeFirst();
    return run(command, args);
}
