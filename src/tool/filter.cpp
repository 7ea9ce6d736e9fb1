// qentool filter RECORD [--options FILE]: the record as the field filter writes it.
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/profilestring.h"
#include "platform/workfolders.h"
#include "records/fieldfilter.h"
#include "tool/commands.h"

#include <QFile>
#include <cstdio>

namespace qen::tool {

namespace {

bool writeOut(const QByteArray &bytes) {
    return std::fwrite(bytes.constData(), 1, bytes.size(), stdout) ==
               static_cast<size_t>(bytes.size()) &&
           std::fflush(stdout) == 0;
}

} // namespace

int runFilter(const QStringList &args) {
    QString record, options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--options")) {
            if (i + 1 >= args.size())
                return errorExit(QStringLiteral("--options needs a file name"));
            options = args[++i];
        } else if (record.isEmpty()) {
            record = args[i];
        } else {
            return errorExit(QStringLiteral("usage: qentool filter RECORD [--options FILE]"));
        }
    }
    if (record.isEmpty())
        return errorExit(QStringLiteral("usage: qentool filter RECORD [--options FILE]"));
    if (options.isEmpty())
        options = WorkFolders::defaultRoot() + QStringLiteral("/Setting/Output.ini");

    QFile in(record);
    if (!in.open(QIODevice::ReadOnly))
        return errorExit(QStringLiteral("cannot read %1: %2").arg(record, in.errorString()));
    const QByteArray bytes = in.readAll();

    // WP records and a missing settings file: the record is shown as it is.
    if (GetFileExt(record).toUpper() == QLatin1String("WP") || !FileExists(options))
        return writeOut(bytes) ? 0 : errorExit(QStringLiteral("cannot write the output"));
    try {
        const ProfileSection section = ProfileFile::read(options).section(outputOptionsSection());
        const QByteArray filtered = filterRecordBytes(bytes, section);
        return writeOut(filtered) ? 0 : errorExit(QStringLiteral("cannot write the output"));
    } catch (const Error &e) {
        writeOut(bytes);
        return errorExit(settingsErrorMessage(options) + QLatin1Char(' ') + e.description());
    }
}

} // namespace qen::tool
