// qentool filter RECORD [--options FILE] [--raw]: the record as the field filter writes it,
// in the terminal's encoding, or byte for byte with --raw.
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"
#include "platform/textcodec.h"
#include "platform/workfolders.h"
#include "records/fieldfilter.h"
#include "tool/commands.h"

#include <QFile>
#include <QStringEncoder>
#include <cstdio>
#include <langinfo.h>

namespace qen::tool {

namespace {

// The text as the record view would show it, encoded for the terminal: GBK on a Chinese
// legacy locale, UTF-8 everywhere else (a plain C locale cannot show Chinese at all).
QByteArray forTerminal(const QByteArray &bytes) {
    const QString text = text::decodeExternal(bytes).text;
    const QByteArray codeset = QByteArray(::nl_langinfo(CODESET)).toUpper();
    if (codeset == "GBK" || codeset == "GB18030" || codeset == "GB2312" || codeset == "EUC-CN") {
        QStringEncoder encoder(codeset.constData());
        if (encoder.isValid())
            return encoder.encode(text);
    }
    return text.toUtf8();
}

bool writeOut(QByteArray bytes, bool raw) {
    if (!raw)
        bytes = forTerminal(bytes);
    return std::fwrite(bytes.constData(), 1, bytes.size(), stdout) ==
               static_cast<size_t>(bytes.size()) &&
           std::fflush(stdout) == 0;
}

} // namespace

int runFilter(const QStringList &args) {
    QString record, options;
    bool raw = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--raw")) {
            raw = true;
        } else if (args[i] == QLatin1String("--options")) {
            if (i + 1 >= args.size())
                return errorExit(QStringLiteral("--options needs a file name"));
            options = args[++i];
        } else if (record.isEmpty()) {
            record = args[i];
        } else {
            return errorExit(
                QStringLiteral("usage: qentool filter RECORD [--options FILE] [--raw]"));
        }
    }
    if (record.isEmpty())
        return errorExit(QStringLiteral("usage: qentool filter RECORD [--options FILE] [--raw]"));
    if (options.isEmpty())
        options = WorkFolders::defaultRoot() + QStringLiteral("/Setting/Output.ini");

    QFile in(record);
    if (!in.open(QIODevice::ReadOnly))
        return errorExit(QStringLiteral("cannot read %1: %2").arg(record, in.errorString()));
    const QByteArray bytes = in.readAll();

    // WP records and a missing settings file: the record is shown as it is.
    if (GetFileExt(record).toUpper() == QLatin1String("WP") || !FileExists(options))
        return writeOut(bytes, raw) ? 0 : errorExit(QStringLiteral("cannot write the output"));
    try {
        const ProfileSection section = ProfileFile::read(options).section(outputOptionsSection());
        const QByteArray filtered = filterRecordBytes(bytes, section);
        return writeOut(filtered, raw) ? 0 : errorExit(QStringLiteral("cannot write the output"));
    } catch (const Error &e) {
        writeOut(bytes, raw);
        return errorExit(settingsErrorMessage(options) + QLatin1Char(' ') + e.description());
    }
}

} // namespace qen::tool
