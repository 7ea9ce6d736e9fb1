// The text cache: keys, entries written by another program, damaged entries, the size cap
// and folders it cannot use.
#include "ocr/textcache.h"
#include "textlayerfixture.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace qen;
using namespace qen::ocr;

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray Key(64, 'a');

// Runs the independent entry writer; the entries land in `folder`, named as it names them.
bool writeEntriesWithPython(const QString &folder) {
    if (QStandardPaths::findExecutable(u"python3"_qs).isEmpty())
        return false;
    QProcess p;
    p.start(u"python3"_qs, {QStringLiteral(QEN_TEST_DATA "/text-cache-entry.py"), folder});
    return p.waitForFinished(30000) && p.exitCode() == 0;
}

} // namespace

class TstTextCache : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }
    void keys();
    void settings();
    void entryFromAnotherWriter();
    void damagedEntryIsReplaced_data();
    void damagedEntryIsReplaced();
    void capRemovesLeastRecentlyUsed();
    void unusableFolder();
    void folderGoneAfterStart();
    void fullDiskKeepsTheOldEntry();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstTextCache::keys() {
    const QString a = m_dir->filePath(u"a.tif"_qs);
    QDir().mkpath(m_dir->filePath(u"other package"_qs));
    const QString sameBytes = m_dir->filePath(u"other package/第1页.tif"_qs);
    const QString b = m_dir->filePath(u"b.tif"_qs);
    writeFile(a, "page bytes");
    writeFile(sameBytes, "page bytes");
    writeFile(b, "page bytez");
    const auto key = [](const QString &file, const char *version = "engine 1",
                        const char *languages = "chi_sim") {
        return TextCache::keyFor(file, QString::fromLatin1(version), QString::fromLatin1(languages))
            .value_or(QByteArray());
    };
    QCOMPARE(key(a).size(), 64);
    QCOMPARE(key(a), key(sameBytes));
    // Bytes already read key as their file does.
    QCOMPARE(TextCache::keyForBytes("page bytes", u"engine 1"_qs, u"chi_sim"_qs), key(a));
    QVERIFY(TextCache::keyForBytes("page bytes", u"engine 2"_qs, u"chi_sim"_qs) != key(a));
    QVERIFY(key(a) != key(b));
    QVERIFY(key(a) != key(a, "engine 2"));
    QVERIFY(key(a) != key(a, "engine 1", "chi_sim+eng"));
    // The parts cannot be shifted into one another.
    QVERIFY(key(a, "engine 1\nchi", "sim") != key(a, "engine 1", "chi\nsim"));
    QString error;
    QVERIFY(!TextCache::keyFor(m_dir->filePath(u"missing.tif"_qs), u"e"_qs, u"l"_qs, &error));
    QVERIFY2(error.contains(u"missing.tif"_qs), qPrintable(error));
}

void TstTextCache::settings() {
    const WorkFolders folders(m_dir->path(), m_dir->path());
    QDir().mkpath(folders.setting());
    QCOMPARE(TextCache::configuredCapBytes(folders), 200ll * 1024 * 1024);
    writeFile(folders.setting() + u"/Qen.ini"_qs, "[Text]\r\nCacheMB = 5\r\n");
    QCOMPARE(TextCache::configuredCapBytes(folders), 5ll * 1024 * 1024);
    writeFile(folders.setting() + u"/Qen.ini"_qs, "[Text]\r\nCacheMB=lots\r\n");
    QCOMPARE(TextCache::configuredCapBytes(folders), 200ll * 1024 * 1024);
    writeFile(folders.setting() + u"/Qen.ini"_qs, "[Text]\r\nCacheMB=0\r\n");
    QVERIFY(!TextCache(m_dir->filePath(u"c"_qs), TextCache::configuredCapBytes(folders)).usable());

    qputenv("XDG_CACHE_HOME", m_dir->path().toUtf8());
    QCOMPARE(TextCache::defaultFolder(), m_dir->path() + u"/QenBrowser/text"_qs);
    qputenv("XDG_CACHE_HOME", "relative/path");
    QCOMPARE(TextCache::defaultFolder(), QDir::homePath() + u"/.cache/QenBrowser/text"_qs);
    qunsetenv("XDG_CACHE_HOME");
}

void TstTextCache::entryFromAnotherWriter() {
    if (!writeEntriesWithPython(m_dir->path()))
        QSKIP("needs python3");
    TextCache cache(m_dir->filePath(u"text"_qs), 1 << 20);
    QVERIFY(cache.usable());
    QVERIFY(QFile::copy(m_dir->filePath(u"entry"_qs), cache.pathFor(Key)));
    const std::optional<TextLayer> layer = cache.load(Key);
    QVERIFY(layer);
    QCOMPARE(layer->plainText(), u"中文 A\r\n𠀀\r\n"_qs);
    QCOMPARE(layer->box(2), QRect(110, 12, 24, 40));
    QCOMPARE(layer->glyph(0).confidence, 96);
    QCOMPARE(layer->pageSize(), QSize(1000, 800));
    // What we write, the other writer would have written byte for byte.
    QCOMPARE(TextCache::entryBytes(Key, *layer), readFile(m_dir->filePath(u"entry"_qs)));
}

void TstTextCache::damagedEntryIsReplaced_data() {
    QTest::addColumn<QString>("made");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("truncated") << u"truncated-entry"_qs << QByteArray();
    QTest::newRow("later version") << u"later-version"_qs << QByteArray();
    QTest::newRow("another page's entry") << u"other-key"_qs << QByteArray();
    QTest::newRow("box past the page") << u"box-past-page"_qs << QByteArray();
    QTest::newRow("empty file") << QString() << QByteArray();
    QTest::newRow("not a cache file") << QString() << QByteArray("%PDF-1.4\n%\xe2\xe3\n");
    QTest::newRow("a bare layer") << QString() << test::gridLayer({u"甲"_qs}).toBytes();
    QTest::newRow("larger than any entry")
        << QString() << QByteArray(int(TextCache::MaxEntryBytes) + 1, '\xa3');
    QTest::newRow("trailing bytes")
        << QString() << TextCache::entryBytes(Key, test::gridLayer({u"甲"_qs})) + "x";
}

void TstTextCache::damagedEntryIsReplaced() {
    QFETCH(QString, made);
    QFETCH(QByteArray, bytes);
    TextCache cache(m_dir->filePath(u"text"_qs), 1 << 20);
    if (!made.isEmpty()) {
        if (!writeEntriesWithPython(m_dir->path()))
            QSKIP("needs python3");
        bytes = readFile(m_dir->filePath(made));
        QVERIFY(!bytes.isEmpty());
    }
    writeFile(cache.pathFor(Key), bytes);
    QVERIFY(!cache.load(Key));
    QVERIFY(!QFile::exists(cache.pathFor(Key)));
    const TextLayer layer = test::gridLayer({u"近年来"_qs});
    QVERIFY(cache.store(Key, layer));
    QVERIFY(cache.load(Key) == layer);
}

void TstTextCache::capRemovesLeastRecentlyUsed() {
    const TextLayer layer = test::gridLayer({QString(200, QChar(0x4E2D))});
    const qint64 entry = TextCache::entryBytes(QByteArray(64, '0'), layer).size();
    // Room for four entries.
    TextCache cache(m_dir->filePath(u"text"_qs), entry * 4 + entry / 2);
    auto key = [](int i) { return QByteArray(64, char('0' + i)); };
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(cache.store(key(i), layer));
        QFile f(cache.pathFor(key(i)));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(start.addSecs(i * 60), QFileDevice::FileModificationTime));
    }
    // The oldest is used again: the second oldest goes first.
    QVERIFY(cache.load(key(0)));
    QVERIFY(cache.store(key(4), layer));
    QStringList left = QDir(cache.folder()).entryList(QDir::Files, QDir::Name);
    QVERIFY(!QFile::exists(cache.pathFor(key(1))));
    QVERIFY(QFile::exists(cache.pathFor(key(0))));
    QVERIFY(QFile::exists(cache.pathFor(key(4))));
    qint64 total = 0;
    for (const QString &name : left)
        total += QFileInfo(cache.folder() + u"/"_qs + name).size();
    QVERIFY(total <= entry * 4 + entry / 2);
    // Files that are not entries are never removed.
    writeFile(cache.folder() + u"/notes.txt"_qs, QByteArray(int(entry * 3), 'x'));
    for (int i = 5; i < 9; ++i)
        QVERIFY(cache.store(key(i), layer));
    QVERIFY(QFile::exists(cache.folder() + u"/notes.txt"_qs));
}

void TstTextCache::unusableFolder() {
    const QString file = m_dir->filePath(u"a file"_qs);
    writeFile(file, "x");
    TextCache onFile(file, 1 << 20);
    QVERIFY(!onFile.usable());
    QVERIFY2(onFile.problem().contains(file), qPrintable(onFile.problem()));
    QVERIFY(!onFile.store(Key, test::gridLayer({u"甲"_qs})));
    QVERIFY(!onFile.load(Key));
    TextCache below(file + u"/text"_qs, 1 << 20);
    QVERIFY(!below.usable());
    QCOMPARE(readFile(file), QByteArray("x"));

    if (geteuid() == 0)
        QSKIP("permissions do not hold for root");
    const QString locked = m_dir->filePath(u"locked"_qs);
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    TextCache readOnly(locked, 1 << 20);
    QVERIFY(!readOnly.usable());
    QVERIFY(!readOnly.problem().isEmpty());
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TstTextCache::folderGoneAfterStart() {
    const QString folder = m_dir->filePath(u"text"_qs);
    TextCache cache(folder, 1 << 20);
    QVERIFY(cache.usable());
    QVERIFY(QDir(folder).removeRecursively());
    writeFile(folder, "now a file");
    QVERIFY(!cache.store(Key, test::gridLayer({u"甲"_qs})));
    QVERIFY(!cache.problem().isEmpty());
    QVERIFY(!cache.load(Key));
    QCOMPARE(readFile(folder), QByteArray("now a file"));
}

// A disk that fills during a write, made by a file size limit on this process (writes past it
// fail with EFBIG, as they fail with ENOSPC on a full disk): the write is reported, the entry
// already there stays whole, and no half-written file is left behind.
void TstTextCache::fullDiskKeepsTheOldEntry() {
    const QString folder = m_dir->filePath(u"text"_qs);
    TextCache cache(folder, 1 << 20);
    const TextLayer small = test::gridLayer({u"甲"_qs});
    QVERIFY(cache.store(Key, small));
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << QString(40, QChar(0x4e00 + i));
    const TextLayer large = test::gridLayer(lines);
    const qint64 limit = QFileInfo(cache.pathFor(Key)).size() + 512;
    QVERIFY(TextCache::entryBytes(Key, large).size() > limit + 16 * 1024);

    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = before;
    full.rlim_cur = rlim_t(limit);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    const bool stored = cache.store(Key, large);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!stored);
    QVERIFY(!cache.problem().isEmpty());
    QVERIFY(cache.load(Key) == small);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // Room again: the larger entry goes in.
    QVERIFY(cache.store(Key, large));
    QVERIFY(cache.load(Key) == large);
}

QTEST_GUILESS_MAIN(TstTextCache)
#include "tst_textcache.moc"
