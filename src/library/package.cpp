#include "library/package.h"

#include "library/zipextract.h"
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

constexpr qint64 TitleBlock = 1 << 20;

bool allZero(const char *data, qint64 size) {
    // memcmp against a zero page uses the library's vector code: the padding runs are long
    // and this keeps a 200 MB tail well inside its time.
    static const char zeros[64 * 1024] = {};
    while (size > 0) {
        const qint64 n = std::min<qint64>(size, sizeof zeros);
        if (std::memcmp(data, zeros, size_t(n)) != 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

bool lexists(const QString &path) {
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Reads [offset, offset+size) fully; false on a read error or a short file.
bool readAt(int fd, char *buffer, qint64 offset, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
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

QString ReadPackageTitle(const QString &packagePath) {
    const int fd = ::open(QFile::encodeName(packagePath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return QString();
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        ::close(fd);
        return QString();
    }
    const qint64 size = st.st_size;
    std::vector<char> buffer(size_t(std::min(size, TitleBlock)));

    // Walk back over the NUL padding block by block, then inside the last block that holds
    // data find where the end text starts. The title is what lies between the last NUL
    // before it and the end of the data.
    qint64 end = size; // one past the last non-NUL byte, once found
    qint64 pos = size;
    bool found = false;
    while (pos > 0 && !found) {
        const qint64 len = std::min(pos, TitleBlock);
        const qint64 start = pos - len;
        if (!readAt(fd, buffer.data(), start, len)) {
            ::close(fd);
            return QString();
        }
        if (!allZero(buffer.data(), len)) {
            qint64 i = len;
            while (i > 0 && buffer[size_t(i - 1)] == 0)
                --i;
            end = start + i;
            found = true;
        }
        pos = start;
    }
    if (!found) {
        ::close(fd);
        return QString();
    }

    QByteArray title;
    qint64 cursor = end;
    bool nulFound = false;
    while (cursor > 0 && !nulFound) {
        const qint64 len = std::min(cursor, TitleBlock);
        const qint64 start = cursor - len;
        if (!readAt(fd, buffer.data(), start, len)) {
            ::close(fd);
            return QString();
        }
        qint64 i = len;
        while (i > 0 && buffer[size_t(i - 1)] != 0)
            --i;
        nulFound = i > 0;
        title.prepend(buffer.data() + i, len - i);
        cursor = start;
        // A file without any NUL before its end text (a text file given the package
        // extension) has no title; stop before such a tail grows large.
        if (!nulFound && title.size() > 256 * 1024)
            break;
    }
    ::close(fd);
    if (!nulFound)
        return QString();
    return text::decodeGbk(title);
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
    const QString raw = ReadPackageTitle(packagePath);
    ZipLimits limits;
    limits.maxTotalBytes = options.maxTotalBytes;
    limits.maxEntries = options.maxEntries;
    const ZipExtractStats stats = ExtractZip(packagePath, targetFolder, limits);
    if (options.yield)
        options.yield();
    ExtractResult result;
    result.title = CleanPackageTitle(raw);
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
