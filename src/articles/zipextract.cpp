#include "articles/zipextract.h"

#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zip.h>

namespace qen {

namespace {

QString systemReason(int err) {
    return SystemErrorText(err);
}

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

// What a libzip error means to the reader, in words they can act on; the cause behind it goes
// last, as a detail, in the same language as the rest.
QString zipReason(const zip_error_t *error) {
    const int code = zip_error_code_zip(error);
    const int sys = zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : 0;
    switch (code) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("它不是 ZIP 格式的文件，或者文件不完整（例如只下载了一部分）。");
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF:
    case ZIP_ER_COMPRESSED_DATA:
    case ZIP_ER_ZLIB:
        return QStringLiteral("压缩包的内容前后不一致，文件已损坏或不完整。");
    case ZIP_ER_SEEK:
    case ZIP_ER_READ:
    case ZIP_ER_TELL:
        // A directory that points past the end of the file fails as a seek or a read of
        // the file itself: in both cases the file is what is wrong, not the disk.
        if (sys == 0 || sys == EINVAL)
            return QStringLiteral("压缩包的目录指向文件之外，文件已损坏或不完整。");
        return QStringLiteral("读取文件时出错（%1）。").arg(systemReason(sys));
    case ZIP_ER_OPEN:
        if (sys == EACCES || sys == EPERM)
            return QStringLiteral("没有读取这个文件的权限。");
        if (sys == ENOENT)
            return QStringLiteral("找不到文件：它可能已被移动或删除。");
        return QStringLiteral("无法打开文件（%1）。").arg(systemReason(sys));
    case ZIP_ER_MULTIDISK:
        return QStringLiteral("它是分卷压缩包的一部分，本程序不支持分卷压缩包。");
    case ZIP_ER_CRC:
        return QStringLiteral("校验和不符，数据已损坏。");
    case ZIP_ER_MEMORY:
        return QStringLiteral("内存不足。");
    case ZIP_ER_COMPNOTSUPP:
        return QStringLiteral("使用了本程序不支持的压缩方法。");
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return QStringLiteral("已加密，本程序无法解开加密的文章包。");
    default:
        return QStringLiteral("文件已损坏或无法读取（%1）。").arg(ZipErrorText(code, sys));
    }
}

QString methodName(zip_int32_t method) {
    switch (method) {
    case 9:
        return QStringLiteral("Deflate64");
    case 6:
        return QStringLiteral("Implode");
    case 1:
        return QStringLiteral("Shrink");
    case 98:
        return QStringLiteral("PPMd");
    default:
        return QStringLiteral("方法 %1").arg(method);
    }
}

QString tooLarge(qint64 size, qint64 limit) {
    return QStringLiteral("解开后有 %1 MB，超过了一页可能的大小（%2 MB），不予解开"
                          "（文件可能已损坏或是恶意构造的）。")
        .arg((size + (1 << 20) - 1) >> 20)
        .arg(limit >> 20);
}

Error bombError(const QString &zipPath, qint64 limit) {
    return Error(QStringLiteral("文章包 %1 解开后会超过 %2 MB，不予解开"
                                "（文件可能已损坏或是恶意构造的）。")
                     .arg(zipPath)
                     .arg(limit >> 20));
}

// What may be written into the folder's file system, keeping the reserve free for
// everything else; unknown (a file system that does not say) counts as unlimited.
qint64 spaceFor(const QString &folder, qint64 reserve) {
    struct statvfs vfs;
    if (::statvfs(native(folder).constData(), &vfs) != 0)
        return std::numeric_limits<qint64>::max();
    const qint64 available = qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
    return available - reserve;
}

struct Planned {
    zip_uint64_t index;
    QStringList parts; // path components below the folder
    bool directory;
};

// Removes what one extraction wrote when it has to give up, so the folder never keeps half
// a package.
class Written {
public:
    Written() = default;
    Written(const Written &) = delete;
    Written &operator=(const Written &) = delete;
    void addFile(const QByteArray &path) { m_files.push_back(path); }
    void addDir(const QByteArray &path) { m_dirs.push_back(path); }
    void commit() { m_committed = true; }
    ~Written() {
        if (m_committed)
            return;
        for (const QByteArray &f : m_files)
            ::unlink(f.constData());
        for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it)
            ::rmdir(it->constData());
    }

private:
    std::vector<QByteArray> m_files;
    std::vector<QByteArray> m_dirs;
    bool m_committed = false;
};

// libzip objects and file descriptors close themselves, on every road out.
struct ZipDiscard {
    void operator()(zip_t *za) const { zip_discard(za); }
};
struct ZipFileClose {
    void operator()(zip_file_t *zf) const { zip_fclose(zf); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;
using ZipFile = std::unique_ptr<zip_file_t, ZipFileClose>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    // Closes now, for the error a close may report; 0 or errno.
    int close() {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int m_fd;
};

void checkPaths(const QString &zipPath, const QString &folder) {
    struct stat st;
    if (::stat(native(zipPath).constData(), &st) != 0) {
        if (errno == ENOENT)
            throw Error(QStringLiteral("找不到文章包 %1：文件可能已被移动或删除。").arg(zipPath));
        throw Error(QStringLiteral("无法读取文章包 %1：%2").arg(zipPath, systemReason(errno)));
    }
    if (S_ISDIR(st.st_mode))
        throw Error(QStringLiteral("%1 是一个文件夹，不是文章包。").arg(zipPath));
    if (!S_ISREG(st.st_mode))
        throw Error(QStringLiteral("%1 不是普通文件，不能作为文章包打开。").arg(zipPath));
    if (st.st_size == 0)
        throw Error(QStringLiteral("文章包 %1 是空文件，其中没有任何内容。").arg(zipPath));
    struct stat fst;
    if (::lstat(native(folder).constData(), &fst) != 0 || !S_ISDIR(fst.st_mode))
        throw Error(QStringLiteral("无法解开文章包 %1：文件夹 %2 不存在。").arg(zipPath, folder));
}

ZipArchive openArchive(const QString &zipPath) {
    // Through a source, so that a failure keeps the system's own error code with it.
    zip_error_t openError;
    zip_error_init(&openError);
    zip_source_t *source = zip_source_file_create(native(zipPath).constData(), 0, -1, &openError);
    ZipArchive za(source ? zip_open_from_source(source, ZIP_RDONLY, &openError) : nullptr);
    if (!za) {
        if (source)
            zip_source_free(source);
        const QString reason = zipReason(&openError);
        zip_error_fini(&openError);
        throw Error(QStringLiteral("无法打开文章包 %1：%2").arg(zipPath, reason));
    }
    zip_error_fini(&openError);
    return za;
}

// One extraction: every entry is checked and planned before the first byte is written, so a
// refused package leaves nothing behind even when its bad entry comes last.
class Extraction {
public:
    Extraction(const QString &zipPath, const QString &folder, const ZipLimits &limits)
        : m_zipPath(zipPath), m_folder(folder), m_limits(limits), m_za(openArchive(zipPath)),
          m_base(native(folder)) {}

    ZipExtractStats run() {
        readComment();
        const zip_int64_t count = zip_get_num_entries(m_za.get(), 0);
        if (count > m_limits.maxEntries)
            throw Error(QStringLiteral("文章包 %1 含有 %2 个条目，超过了允许的 %3 个。")
                            .arg(m_zipPath)
                            .arg(count)
                            .arg(m_limits.maxEntries));
        for (zip_int64_t i = 0; i < count; ++i)
            checkEntry(zip_uint64_t(i));
        checkSpace();
        std::vector<char> buffer(1 << 16);
        for (const Planned &p : m_plan)
            writeEntry(p, buffer);
        m_stats.bytesWritten = m_total;
        m_written.commit();
        return m_stats;
    }

private:
    Error entryError(const QString &name, const QString &what) const {
        return Error(QStringLiteral("文章包 %1 中的条目“%2”%3").arg(m_zipPath, name, what));
    }

    void readComment() {
        int commentLength = 0;
        if (const char *comment =
                zip_get_archive_comment(m_za.get(), &commentLength, ZIP_FL_ENC_RAW);
            comment && commentLength > 0)
            m_stats.comment = QByteArray(comment, commentLength);
    }

    QString entryName(zip_uint64_t i) const {
        const char *rawName = zip_get_name(m_za.get(), i, ZIP_FL_ENC_RAW);
        const char *strictName = zip_get_name(m_za.get(), i, ZIP_FL_ENC_STRICT);
        if (!rawName || !strictName)
            throw Error(QStringLiteral("文章包 %1 已损坏：无法读取第 %2 个条目的名称。")
                            .arg(m_zipPath)
                            .arg(i + 1));
        const QByteArray raw(rawName);
        // libzip converts an unflagged name from CP437 under the strict rule and leaves a
        // name known to be UTF-8 alone. The raw name is already the Info-ZIP Unicode path
        // when the entry carries one, so equal results mean UTF-8 (or plain ASCII).
        const bool utf8 = raw == QByteArray(strictName) || text::isCjkUtf8(raw);
        return DecodeEntryName(raw, utf8);
    }

    // The path components below the folder; throws for a name that reaches outside it.
    QStringList safeParts(const QString &name) const {
        const bool driveLetter =
            name.size() > 1 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter();
        if (name.startsWith(QLatin1Char('/')) || driveLetter)
            throw entryError(name, QStringLiteral("使用了绝对路径，为安全起见不予解开。"));
        QStringList parts;
        for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            if (part == QLatin1String(".."))
                throw entryError(name, QStringLiteral("指向解压文件夹之外，为安全起见不予解开。"));
            if (part != QLatin1String("."))
                parts << part;
        }
        return parts;
    }

    void checkEntry(zip_uint64_t i) {
        const QString name = entryName(i);
        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(m_za.get(), i, 0, &opsys, &attributes);
        const mode_t unixMode = mode_t(attributes >> 16);
        const bool hasUnixMode = opsys == ZIP_OPSYS_UNIX && unixMode != 0;
        // Python's zipfile.writestr stores bare permissions without a file type; every unzip
        // tool takes such an entry for a plain file, and so do we.
        const mode_t fileType = hasUnixMode ? (unixMode & S_IFMT) : 0;

        const QStringList parts = safeParts(name);
        if (fileType == S_IFLNK)
            throw entryError(name, QStringLiteral("是符号链接，为安全起见不予解开。"));
        const bool directory = name.endsWith(QLatin1Char('/')) || fileType == S_IFDIR ||
                               (!hasUnixMode && (attributes & 0x10));
        if (fileType != 0 && fileType != S_IFDIR && fileType != S_IFREG)
            throw entryError(name,
                             QStringLiteral("不是普通文件（是设备、管道或套接字），不予解开。"));
        if (parts.isEmpty())
            return;
        // The DOS attribute byte: hidden 0x02, system 0x04.
        if (attributes & 0x06) {
            ++m_stats.entriesSkipped;
            return;
        }
        if (!directory)
            checkFileEntry(i, name);
        m_plan.push_back({i, parts, directory});
    }

    void checkFileEntry(zip_uint64_t i, const QString &name) {
        zip_stat_t zst;
        zip_stat_init(&zst);
        if (zip_stat_index(m_za.get(), i, 0, &zst) != 0)
            throw entryError(name, QStringLiteral("无法读取，文章包已损坏。"));
        if ((zst.valid & ZIP_STAT_ENCRYPTION_METHOD) && zst.encryption_method != ZIP_EM_NONE)
            throw entryError(name, QStringLiteral("已加密，本程序无法解开加密的文章包。"));
        if ((zst.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(zst.comp_method, 0))
            throw entryError(name, QStringLiteral("使用了本程序不支持的压缩方法（%1），无法解开。")
                                       .arg(methodName(zst.comp_method)));
        if (zst.valid & ZIP_STAT_SIZE) {
            const qint64 size = qint64(std::min<zip_uint64_t>(zst.size, zip_uint64_t(1) << 62));
            if (size > m_limits.maxEntryBytes)
                throw entryError(name, tooLarge(size, m_limits.maxEntryBytes));
            m_declared += size;
            if (m_declared > m_limits.maxTotalBytes)
                throw bombError(m_zipPath, m_limits.maxTotalBytes);
        }
    }

    void checkSpace() const {
        if (const qint64 room = spaceFor(m_folder, m_limits.reserveBytes); m_declared > room)
            throw Error(QStringLiteral("无法解开文章包 %1：解开后约有 %2 MB，但文件夹 %3 所在的磁盘"
                                       "只剩 %4 MB 可用空间。请腾出磁盘空间后再打开。")
                            .arg(m_zipPath)
                            .arg((m_declared + (1 << 20) - 1) >> 20)
                            .arg(m_folder)
                            .arg(std::max<qint64>(0, room + m_limits.reserveBytes) >> 20));
    }

    QByteArray ensureDir(const QStringList &parts, qsizetype depth, const QString &name) {
        QByteArray path = m_base;
        for (qsizetype k = 0; k < depth; ++k) {
            path += '/' + native(parts.at(k));
            struct stat dst;
            if (::lstat(path.constData(), &dst) == 0) {
                if (!S_ISDIR(dst.st_mode))
                    throw entryError(name, QStringLiteral("与另一个同名文件冲突，无法解开。"));
                continue;
            }
            if (::mkdir(path.constData(), 0700) != 0)
                throw entryError(name,
                                 QStringLiteral("无法建立文件夹：%1").arg(systemReason(errno)));
            m_written.addDir(path);
        }
        return path;
    }

    void writeEntry(const Planned &p, std::vector<char> &buffer) {
        const QString name = p.parts.join(QLatin1Char('/'));
        if (p.directory) {
            ensureDir(p.parts, p.parts.size(), name);
            return;
        }
        ensureDir(p.parts, p.parts.size() - 1, name);
        const QByteArray target = m_base + '/' + native(name);
        const ZipFile zf(zip_fopen_index(m_za.get(), p.index, 0));
        if (!zf)
            throw entryError(
                name, QStringLiteral("无法解开：%1").arg(zipReason(zip_get_error(m_za.get()))));
        // O_NOFOLLOW: a link can only be here if something else put it there; never write
        // through it.
        FileDescriptor fd(::open(target.constData(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd.get() < 0)
            throw entryError(name, QStringLiteral("无法写入：%1").arg(systemReason(errno)));
        m_written.addFile(target);
        ++m_stats.filesWritten;
        qint64 entryBytes = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(zf.get(), buffer.data(), buffer.size());
            if (n == 0)
                break;
            if (n < 0)
                throw entryError(
                    name,
                    QStringLiteral("无法解开：%1").arg(zipReason(zip_file_get_error(zf.get()))));
            m_total += n;
            entryBytes += n;
            // The sizes in the directory may lie; what is actually unpacked counts.
            if (entryBytes > m_limits.maxEntryBytes)
                throw entryError(name, tooLarge(entryBytes, m_limits.maxEntryBytes));
            if (m_total > m_limits.maxTotalBytes)
                throw bombError(m_zipPath, m_limits.maxTotalBytes);
            writeAll(fd.get(), buffer.data(), n, name);
        }
        if (const int err = fd.close())
            throw entryError(name, QStringLiteral("无法写入：%1").arg(systemReason(err)));
    }

    void writeAll(int fd, const char *data, qint64 left, const QString &name) const {
        while (left > 0) {
            const ssize_t w = ::write(fd, data, size_t(left));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                throw entryError(
                    name, QStringLiteral("无法写入：%1").arg(systemReason(w < 0 ? errno : ENOSPC)));
            data += w;
            left -= w;
        }
    }

    const QString m_zipPath;
    const QString m_folder;
    const ZipLimits m_limits;
    const ZipArchive m_za;
    const QByteArray m_base;
    std::vector<Planned> m_plan;
    qint64 m_declared = 0;
    qint64 m_total = 0;
    ZipExtractStats m_stats;
    Written m_written; // declared last: it removes a failed extraction's files first
};

} // namespace

QString DecodeEntryName(const QByteArray &raw, bool utf8) {
    // Decoding comes first: a GBK trail byte may be 0x5C, which is not a separator.
    QString name = utf8 ? QString::fromUtf8(raw) : text::decodeGbk(raw);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

ZipExtractStats ExtractZip(const QString &zipPath, const QString &folder, const ZipLimits &limits) {
    checkPaths(zipPath, folder);
    return Extraction(zipPath, folder, limits).run();
}

} // namespace qen
