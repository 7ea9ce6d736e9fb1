#include "ocr/textcache.h"

#include "platform/profilestring.h"
#include "platform/sha256.h"

#include <QCborMap>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qen::ocr {

namespace {

const QLatin1String Suffix(".qtl");
const QLatin1String MagicKey("qen-text-cache");

} // namespace

QString TextCache::defaultFolder() {
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/QenBrowser/text");
}

qint64 TextCache::configuredCapBytes(const WorkFolders &folders) {
    bool ok = false;
    const qint64 mb =
        GetPrivateProfileString(QStringLiteral("Text"), QStringLiteral("CacheMB"), QString(), 32,
                                folders.setting() + QStringLiteral("/Qen.ini"))
            .trimmed()
            .toLongLong(&ok);
    return (ok && mb >= 0 ? std::min<qint64>(mb, 1 << 20) : DefaultCapMB) * 1024 * 1024;
}

namespace {

QByteArray keyOfDigest(const QByteArray &pageDigest, const QString &engineVersion,
                       const QString &languages) {
    Sha256 key;
    key.addData(pageDigest);
    // Each part with its length, so that no two different sets of parts hash alike.
    for (const QByteArray &part : {engineVersion.toUtf8(), languages.toUtf8()}) {
        key.addData(QByteArray::number(part.size()) + ':');
        key.addData(part);
    }
    return key.result().toHex();
}

} // namespace

std::optional<QByteArray> TextCache::keyFor(const QString &pageFile, const QString &engineVersion,
                                            const QString &languages, QString *error) {
    QFile file(pageFile);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("无法读取页面文件 %1：%2").arg(pageFile, file.errorString());
        return std::nullopt;
    }
    Sha256 page;
    if (!page.addData(&file)) {
        if (error)
            *error = QStringLiteral("无法读取页面文件 %1：%2").arg(pageFile, file.errorString());
        return std::nullopt;
    }
    return keyOfDigest(page.result(), engineVersion, languages);
}

QByteArray TextCache::keyForBytes(QByteArrayView pageBytes, const QString &engineVersion,
                                  const QString &languages) {
    return keyOfDigest(Sha256::hash(pageBytes), engineVersion, languages);
}

TextCache::TextCache(QString folder, qint64 capBytes)
    : m_folder(std::move(folder)), m_cap(std::max<qint64>(capBytes, 0)) {
    if (m_cap == 0) {
        m_problem = QStringLiteral("文字缓存已关闭（[Text] CacheMB=0）");
    } else if (!QDir().mkpath(m_folder) || !QFileInfo(m_folder).isDir()) {
        m_problem = QStringLiteral("文字缓存文件夹 %1 无法建立，识别结果不保存").arg(m_folder);
    } else if (!QFileInfo(m_folder).isWritable()) {
        m_problem = QStringLiteral("文字缓存文件夹 %1 无法写入，识别结果不保存").arg(m_folder);
    } else {
        m_usable = true;
    }
}

QString TextCache::problem() const {
    QMutexLocker lock(&m_mutex);
    return m_problem;
}

QString TextCache::pathFor(const QByteArray &key) const {
    return m_folder + QLatin1Char('/') + QString::fromLatin1(key) + Suffix;
}

QByteArray TextCache::entryBytes(const QByteArray &key, const TextLayer &layer) {
    QCborMap map;
    map[MagicKey] = FormatVersion;
    map[QLatin1String("key")] = key;
    map[QLatin1String("layer")] = layer.toCbor();
    return QCborValue(map).toCbor();
}

std::optional<TextLayer> TextCache::fromEntryBytes(const QByteArray &key, const QByteArray &bytes) {
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(bytes, &error);
    // Trailing bytes mean the entry is not what was written.
    if (error.error != QCborError::NoError || error.offset != bytes.size() || !value.isMap())
        return std::nullopt;
    const QCborMap map = value.toMap();
    const QCborValue version = map.value(MagicKey);
    if (!version.isInteger() || version.toInteger() != FormatVersion ||
        map.value(QLatin1String("key")).toByteArray() != key)
        return std::nullopt;
    return TextLayer::fromCbor(map.value(QLatin1String("layer")));
}

std::optional<TextLayer> TextCache::load(const QByteArray &key) {
    if (!m_usable)
        return std::nullopt;
    const QString path = pathFor(key);
    const QByteArray name = QFile::encodeName(path);
    // Straight through the system: QFile asked for the size three times over, and an article
    // looks up every page.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    QByteArray bytes;
    bool whole = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= MaxEntryBytes;
    if (whole) {
        // One byte more than the size: an entry still growing is not taken as it was.
        bytes.resize(qsizetype(info.st_size) + 1);
        qsizetype got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
            if (got == bytes.size())
                break;
        }
        whole = got == qsizetype(info.st_size);
        bytes.truncate(got);
    }
    std::optional<TextLayer> layer;
    if (whole)
        layer = fromEntryBytes(key, bytes);
    // The modification time is the entry's last use: the cap removes the oldest first.
    if (layer) {
        const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
        ::futimens(fd, times);
    }
    ::close(fd);
    // A damaged or oversized entry is replaced by the next store; until then it is in nobody's
    // way.
    if (!layer)
        QFile::remove(path);
    return layer;
}

bool TextCache::store(const QByteArray &key, const TextLayer &layer) {
    if (!m_usable)
        return false;
    const QByteArray bytes = entryBytes(key, layer);
    if (bytes.size() > MaxEntryBytes)
        return false;
    QSaveFile file(pathFor(key));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        QMutexLocker lock(&m_mutex);
        m_problem = QStringLiteral("文字缓存无法写入 %1：%2").arg(m_folder, file.errorString());
        return false;
    }
    {
        QMutexLocker lock(&m_mutex);
        if (m_knownBytes >= 0)
            m_knownBytes += bytes.size();
        if (m_knownBytes >= 0 && m_knownBytes <= m_cap)
            return true;
    }
    trim();
    return true;
}

void TextCache::trim() {
    struct Entry {
        QString path;
        qint64 size;
        QDateTime used;
    };
    std::vector<Entry> entries;
    qint64 total = 0;
    QDirIterator it(m_folder, {QStringLiteral("*") + Suffix}, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries.push_back({info.filePath(), info.size(), info.lastModified()});
        total += info.size();
    }
    if (total > m_cap) {
        std::sort(entries.begin(), entries.end(),
                  [](const Entry &a, const Entry &b) { return a.used < b.used; });
        // A little below the cap, so that the next few stores do not count the folder again.
        const qint64 goal = m_cap - m_cap / 10;
        for (const Entry &e : entries) {
            if (total <= goal)
                break;
            if (QFile::remove(e.path))
                total -= e.size;
        }
    }
    QMutexLocker lock(&m_mutex);
    m_knownBytes = total;
}

} // namespace qen::ocr
