#include "articles/package.h"

#include "articles/zipextract.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/product.h"
#include "platform/textcodec.h"
#include "platform/workfolders.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qen {

namespace {

bool lexists(const QString &path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString GetWorkFolder(const WorkFolders &folders, const QString &baseName) {
    // Temp may have been removed while the program runs; without it every candidate would
    // fail and the extraction would report a missing folder instead of unpacking.
    if (!FolderExists(folders.temp())) {
        try {
            folders.ensure(folders.temp());
        } catch (const Error &) {
            // Reported by the extraction, which names the folder it cannot use.
        }
    }
    const QString stem = folders.temp() + QLatin1Char('/') + product::instanceNumber() + baseName;
    if (!lexists(stem)) {
        CreateFolder(stem);
        return stem;
    }
    // The counter of the original was a 16-bit number; past it the last candidate is
    // returned as it was and the extraction into it fails with its own message.
    QString candidate;
    for (int counter = 0; counter <= 32767; ++counter) {
        candidate = stem + QString::number(counter);
        if (!lexists(candidate)) {
            CreateFolder(candidate);
            return candidate;
        }
    }
    return candidate;
}

QString PackageTitle(const QByteArray &comment, const QString &packagePath) {
    // Packages written in fixed-size blocks carry NUL padding at the end of the comment; the
    // title is the text before it, after any NUL that precedes it.
    qsizetype end = comment.size();
    while (end > 0 && comment.at(end - 1) == '\0')
        --end;
    if (end == 0) {
        QString fileName, folder;
        SplitPath(packagePath, fileName, folder);
        return GetBaseName(fileName);
    }
    const QByteArrayView text = QByteArrayView(comment).first(end);
    const QByteArrayView title = text.sliced(text.lastIndexOf('\0') + 1);
    return text::isCjkUtf8(title) ? QString::fromUtf8(title) : text::decodeGbk(title);
}

QString CleanPackageTitle(const QString &rawTitle) {
    QString title = rawTitle;
    qsizetype n = title.size();
    while (n > 0 && title.at(n - 1) == QLatin1Char(' '))
        --n;
    title.truncate(n);
    static const QString forbidden = QStringLiteral(":\"\\/<>?|*");
    static const char16_t controls[] = {0, 9, 13, 10, 1, 12, 31, 28};
    QString cleaned;
    cleaned.reserve(title.size());
    for (const QChar c : std::as_const(title)) {
        if (forbidden.contains(c))
            continue;
        if (std::find(std::begin(controls), std::end(controls), c.unicode()) != std::end(controls))
            continue;
        cleaned.append(c);
    }
    if (cleaned.size() > 50)
        cleaned.truncate(50);
    return cleaned;
}

ExtractResult ExtractPackage(const QString &packagePath, const QString &targetFolder,
                             const ExtractOptions &options) {
    ZipLimits limits;
    limits.maxTotalBytes = options.maxTotalBytes;
    limits.maxEntries = options.maxEntries;
    const ZipExtractStats stats = ExtractZip(packagePath, targetFolder, limits);
    if (options.yield)
        options.yield();
    ExtractResult result;
    result.title = CleanPackageTitle(PackageTitle(stats.comment, packagePath));
    result.bytesWritten = stats.bytesWritten;
    result.filesWritten = stats.filesWritten;
    return result;
}

QStringList ListPageFiles(const QString &folder) {
    QStringList names;
    const QByteArray native = QFile::encodeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        struct stat st;
        const QByteArray path = native + '/' + QByteArray(entry->d_name);
        // Links are never pages: extraction writes none, and one placed there later must not
        // lead a save or a print outside the folder.
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode))
            names << name;
    }
    ::closedir(dir);
    return names;
}

bool IsFolderEmpty(const QString &folder) {
    return ListPageFiles(folder).isEmpty();
}

void SortFileNames(QStringList &names) {
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a < b; });
}

} // namespace qen
