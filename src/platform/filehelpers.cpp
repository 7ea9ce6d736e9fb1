#include "platform/filehelpers.h"

#include "platform/error.h"
#include "platform/errortext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qen {

namespace {

const QChar Nul(u'\0');

QString systemReason(int err) {
    return SystemErrorText(err);
}

bool lexists(const QString &path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

bool FolderExists(const QString &path) {
    if (path.isEmpty())
        return false;
    return QFileInfo(path).isDir();
}

bool FileExists(const QString &path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

bool CreateFolder(const QString &path, FolderAccess access) {
    if (path.isEmpty())
        return false;
    const mode_t mode = access == FolderAccess::OwnerOnly ? 0700 : 0777;
    return ::mkdir(QFile::encodeName(path).constData(), mode) == 0;
}

void MakeWritable(const QString &path) {
    struct stat st;
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &st) != 0 || S_ISLNK(st.st_mode))
        return;
    const mode_t wanted = st.st_mode | S_IWUSR | (S_ISDIR(st.st_mode) ? S_IXUSR | S_IRUSR : 0);
    if (wanted != st.st_mode)
        ::chmod(native.constData(), wanted & 07777);
}

void MoveFile(const QString &source, const QString &target) {
    if (!lexists(source))
        throw Error(QStringLiteral("无法移动文件 %1：文件不存在。").arg(source));
    if (lexists(target))
        throw Error(QStringLiteral("无法把 %1 移动为 %2：目标文件已存在。").arg(source, target));
    if (::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return;
    if (errno != EXDEV)
        throw Error(
            QStringLiteral("无法把 %1 移动为 %2：%3").arg(source, target, systemReason(errno)));
    CopyFile(source, target, false);
    MakeWritable(source);
    if (!QFile::remove(source))
        throw Error(QStringLiteral("已复制到 %1，但无法删除原文件 %2。").arg(target, source));
}

void CopyFile(const QString &source, const QString &target, bool overwrite, bool durable) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Error(
            QStringLiteral("无法读取文件 %1：%2").arg(source, LibraryErrorText(in.errorString())));
    if (lexists(target)) {
        if (!overwrite)
            throw Error(QStringLiteral("无法复制到 %1：目标文件已存在。").arg(target));
        if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath())
            return;
        MakeWritable(target);
    }
    // Through a temporary file and a rename, so a failed copy never leaves half a file where
    // a good one was.
    const QString temp = target + QStringLiteral(".qenpart");
    QFile out(temp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Error(
            QStringLiteral("无法写入文件 %1：%2").arg(target, LibraryErrorText(out.errorString())));
    char buffer[1 << 16];
    qint64 n;
    while ((n = in.read(buffer, sizeof buffer)) > 0) {
        if (out.write(buffer, n) != n) {
            const QString reason = LibraryErrorText(out.errorString());
            out.close();
            QFile::remove(temp);
            throw Error(QStringLiteral("无法写入文件 %1：%2").arg(target, reason));
        }
    }
    if (n < 0 || !out.flush()) {
        out.close();
        QFile::remove(temp);
        throw Error(QStringLiteral("无法复制文件 %1 到 %2。").arg(source, target));
    }
    if (durable && ::fdatasync(out.handle()) != 0) {
        const int err = errno;
        out.close();
        QFile::remove(temp);
        throw Error(QStringLiteral("无法写入文件 %1：%2").arg(target, systemReason(err)));
    }
    out.close();
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()) != 0) {
        const int err = errno;
        QFile::remove(temp);
        throw Error(QStringLiteral("无法写入文件 %1：%2").arg(target, systemReason(err)));
    }
}

void EmptyFolder(const QString &folder) {
    QDir dir(folder);
    if (!dir.exists())
        throw Error(QStringLiteral("文件夹 %1 不存在。").arg(folder));
    // Plain files only: hidden (dot) files and sub-folders stay.
    const QStringList names = dir.entryList(QDir::Files | QDir::System, QDir::Name);
    for (const QString &name : names) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = dir.filePath(name);
        MakeWritable(path);
        if (!QFile::remove(path))
            throw Error(QStringLiteral("无法删除文件 %1。").arg(path));
    }
}

QString PopToken(QString &text, const QString &separator) {
    if (text.isEmpty())
        return QString();
    const qsizetype p = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (p < 0) {
        QString head = text;
        text.clear();
        return head;
    }
    QString head = text.left(p);
    text = text.mid(p + separator.size());
    return head;
}

QString GetFileExt(const QString &path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : path.mid(dot + 1);
}

void SplitPath(const QString &path, QString &fileName, QString &folder) {
    if (path.isEmpty())
        return;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        folder = path;
        fileName.clear();
        return;
    }
    fileName = path.mid(slash + 1);
    folder = path.left(slash);
}

QString GetBaseName(const QString &path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (path.isEmpty() || dot < 0)
        return QString();
    const QString head = path.left(dot);
    const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? head : head.mid(slash + 1);
}

QString ParseFileList(QString &dialogResult) {
    if (dialogResult.isEmpty())
        return QString();
    const QString separator(Nul);
    const QString first = PopToken(dialogResult, separator);
    if (!FolderExists(first))
        return first;
    QStringList items;
    while (!dialogResult.isEmpty()) {
        const QString item = PopToken(dialogResult, separator);
        if (item.isEmpty())
            break;
        items << first + QLatin1Char('/') + item;
    }
    return items.join(Nul);
}

void GetPaperSize(int paperCode, double &width, double &height) {
    switch (paperCode) {
    case 8:
        width = 297, height = 420;
        break;
    case 9:
    case 10:
        width = 210, height = 297;
        break;
    case 11:
        width = 148, height = 210;
        break;
    case 12:
        width = 250, height = 354;
        break;
    case 13:
        width = 182, height = 257;
        break;
    default:
        width = 0, height = 0;
        break;
    }
}

} // namespace qen
