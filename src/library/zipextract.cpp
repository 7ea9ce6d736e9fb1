#include "library/zipextract.h"

#include "platform/error.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace qen {

namespace {

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

QString openFailure(const QString &zipPath, int code, int sysErr) {
    switch (code) {
    case ZIP_ER_NOZIP:
        return QStringLiteral("无法打开文章包 %1：它不是 ZIP 格式的文件，或者文件不完整"
                              "（例如只下载了一部分）。")
            .arg(zipPath);
    case ZIP_ER_INCONS:
        return QStringLiteral("无法打开文章包 %1：压缩包的目录前后不一致，文件已损坏。")
            .arg(zipPath);
    case ZIP_ER_NOENT:
        return QStringLiteral("找不到文章包 %1：文件可能已被移动或删除。").arg(zipPath);
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
        return QStringLiteral("无法读取文章包 %1：%2").arg(zipPath, systemReason(sysErr));
    case ZIP_ER_MEMORY:
        return QStringLiteral("无法打开文章包 %1：内存不足。").arg(zipPath);
    default: {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const QString reason = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        return QStringLiteral("无法打开文章包 %1：%2").arg(zipPath, reason);
    }
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

struct ZipCloser {
    zip_t *za;
    ~ZipCloser() { zip_discard(za); }
};

} // namespace

QString DecodeEntryName(const QByteArray &raw, bool utf8) {
    // Decoding comes first: a GBK trail byte may be 0x5C, which is not a separator.
    QString name = utf8 ? QString::fromUtf8(raw) : text::decodeGbk(raw);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

ZipExtractStats ExtractZip(const QString &zipPath, const QString &folder, const ZipLimits &limits) {
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

    int code = 0;
    zip_t *za = zip_open(native(zipPath).constData(), ZIP_RDONLY, &code);
    if (!za)
        throw Error(openFailure(zipPath, code, errno));
    ZipCloser closer{za};

    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (count > limits.maxEntries)
        throw Error(QStringLiteral("文章包 %1 含有 %2 个条目，超过了允许的 %3 个。")
                        .arg(zipPath)
                        .arg(count)
                        .arg(limits.maxEntries));

    auto entryError = [&](const QString &name, const QString &what) {
        return Error(QStringLiteral("文章包 %1 中的条目“%2”%3").arg(zipPath, name, what));
    };

    // Everything is checked before the first byte is written, so a refused package leaves
    // nothing behind even when its bad entry comes last.
    std::vector<Planned> plan;
    ZipExtractStats stats;
    qint64 declared = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *rawName = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW);
        const char *strictName = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_STRICT);
        if (!rawName || !strictName)
            throw Error(QStringLiteral("文章包 %1 已损坏：无法读取第 %2 个条目的名称。")
                            .arg(zipPath)
                            .arg(i + 1));
        const QByteArray raw(rawName);
        // libzip converts an unflagged name from CP437 under the strict rule and leaves a
        // name known to be UTF-8 alone. The raw name is already the Info-ZIP Unicode path
        // when the entry carries one, so equal results mean UTF-8 (or plain ASCII).
        const bool utf8 = raw == QByteArray(strictName);
        const QString name = DecodeEntryName(raw, utf8);

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        zip_file_get_external_attributes(za, zip_uint64_t(i), 0, &opsys, &attributes);
        const mode_t unixMode = mode_t(attributes >> 16);
        const bool hasUnixMode = opsys == ZIP_OPSYS_UNIX && unixMode != 0;

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
        if (hasUnixMode && S_ISLNK(unixMode))
            throw entryError(name, QStringLiteral("是符号链接，为安全起见不予解开。"));
        const bool directory = name.endsWith(QLatin1Char('/')) ||
                               (hasUnixMode && S_ISDIR(unixMode)) ||
                               (!hasUnixMode && (attributes & 0x10));
        if (hasUnixMode && !S_ISDIR(unixMode) && !S_ISREG(unixMode))
            throw entryError(name, QStringLiteral("不是普通文件，不予解开。"));
        if (parts.isEmpty())
            continue;
        // The DOS attribute byte: hidden 0x02, system 0x04.
        if (attributes & 0x06) {
            ++stats.entriesSkipped;
            continue;
        }
        if (directory) {
            plan.push_back({zip_uint64_t(i), parts, true});
            continue;
        }

        zip_stat_t zst;
        zip_stat_init(&zst);
        if (zip_stat_index(za, zip_uint64_t(i), 0, &zst) != 0)
            throw entryError(name, QStringLiteral("无法读取，文章包已损坏。"));
        if ((zst.valid & ZIP_STAT_ENCRYPTION_METHOD) && zst.encryption_method != ZIP_EM_NONE)
            throw entryError(name, QStringLiteral("已加密，本程序无法解开加密的文章包。"));
        if ((zst.valid & ZIP_STAT_COMP_METHOD) &&
            !zip_compression_method_supported(zst.comp_method, 0))
            throw entryError(name, QStringLiteral("使用了本程序不支持的压缩方法（%1），无法解开。")
                                       .arg(methodName(zst.comp_method)));
        if (zst.valid & ZIP_STAT_SIZE) {
            declared += qint64(std::min<zip_uint64_t>(zst.size, zip_uint64_t(1) << 62));
            if (declared > limits.maxTotalBytes)
                throw Error(QStringLiteral("文章包 %1 解开后会超过 %2 MB，不予解开"
                                           "（文件可能已损坏或是恶意构造的）。")
                                .arg(zipPath)
                                .arg(limits.maxTotalBytes >> 20));
        }
        plan.push_back({zip_uint64_t(i), parts, false});
    }

    Written written;
    const QByteArray base = native(folder);
    auto ensureDir = [&](const QStringList &parts, qsizetype depth, const QString &name) {
        QByteArray path = base;
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
            written.addDir(path);
        }
        return path;
    };

    std::vector<char> buffer(1 << 16);
    qint64 total = 0;
    for (const Planned &p : plan) {
        const QString name = p.parts.join(QLatin1Char('/'));
        if (p.directory) {
            ensureDir(p.parts, p.parts.size(), name);
            continue;
        }
        ensureDir(p.parts, p.parts.size() - 1, name);
        const QByteArray target = base + '/' + native(name);
        zip_file_t *zf = zip_fopen_index(za, p.index, 0);
        if (!zf) {
            const QString reason = QString::fromUtf8(zip_strerror(za));
            throw entryError(name, QStringLiteral("无法解开：%1").arg(reason));
        }
        // O_NOFOLLOW: a link can only be here if something else put it there; never write
        // through it.
        const int fd =
            ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int err = errno;
            zip_fclose(zf);
            throw entryError(name, QStringLiteral("无法写入：%1").arg(systemReason(err)));
        }
        written.addFile(target);
        ++stats.filesWritten;
        for (;;) {
            const zip_int64_t n = zip_fread(zf, buffer.data(), buffer.size());
            if (n == 0)
                break;
            if (n < 0) {
                const bool crc = zip_error_code_zip(zip_file_get_error(zf)) == ZIP_ER_CRC;
                const QString reason = QString::fromUtf8(zip_file_strerror(zf));
                zip_fclose(zf);
                ::close(fd);
                throw entryError(name, crc ? QStringLiteral("的校验和不符，数据已损坏。")
                                           : QStringLiteral("无法解开：%1").arg(reason));
            }
            total += n;
            if (total > limits.maxTotalBytes) {
                zip_fclose(zf);
                ::close(fd);
                throw Error(QStringLiteral("文章包 %1 解开后超过 %2 MB，不予解开"
                                           "（文件可能已损坏或是恶意构造的）。")
                                .arg(zipPath)
                                .arg(limits.maxTotalBytes >> 20));
            }
            const char *data = buffer.data();
            qint64 left = n;
            while (left > 0) {
                const ssize_t w = ::write(fd, data, size_t(left));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    const int err = w < 0 ? errno : ENOSPC;
                    zip_fclose(zf);
                    ::close(fd);
                    throw entryError(name, QStringLiteral("无法写入：%1").arg(systemReason(err)));
                }
                data += w;
                left -= w;
            }
        }
        zip_fclose(zf);
        if (::close(fd) != 0)
            throw entryError(name, QStringLiteral("无法写入：%1").arg(systemReason(errno)));
    }
    stats.bytesWritten = total;
    written.commit();
    return stats;
}

} // namespace qen
