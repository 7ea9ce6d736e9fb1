#include "shell/handover.h"

#include "platform/filehelpers.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

namespace qen::handover {

namespace {
// Longer than any sane command line naming one file (PATH_MAX is 4096 bytes).
constexpr qint64 MaxBytes = 16 * 1024;
} // namespace

QString commandLine(const QStringList &arguments) {
    const QString joined = arguments.join(QLatin1Char(' '));
    if (arguments.size() < 2 || QFileInfo::exists(joined))
        return joined;
    // A file manager starts the program once for all the files a user selected, one name per
    // argument. Joined they name no file and nothing would open; as a list each one does.
    // A name with blanks typed without quotes still arrives split and still opens joined.
    QStringList files;
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (!info.isFile())
            return joined;
        files << info.absoluteFilePath();
    }
    return files.join(QChar(u'\0'));
}

bool write(const QString &file, const QString &line) {
    if (line.isEmpty())
        return false;
    MakeWritable(file);
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(line.toUtf8() + "\r\n");
    return out.commit();
}

QString take(const QString &file) {
    QFile in(file);
    if (!in.exists())
        return QString();
    QByteArray bytes;
    const bool tooBig = in.size() > MaxBytes;
    if (!tooBig && in.open(QIODevice::ReadOnly)) {
        bytes = in.read(MaxBytes + 1);
        in.close();
    }
    MakeWritable(file);
    QFile::remove(file);
    if (tooBig || bytes.size() > MaxBytes)
        return QString();

    qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(line);
    if (utf8.hasError())
        return QString();
    for (const QChar c : text) {
        // NUL separates the names of a list (several files from a file manager).
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QChar(u'\0'))
            return QString();
    }
    return text;
}

} // namespace qen::handover
