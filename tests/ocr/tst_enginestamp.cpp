#include "ocr/enginestamp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <utime.h>

using namespace qen::ocr;

namespace {

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The libraries here are plain files standing in for them: the stamp knows files, not ELF.
class TestEngineStamp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void versionWhileTheFilesAreAsTheyWere_data();
    void versionWhileTheFilesAreAsTheyWere();
    void recordWritesOnlyWhatChanged();
    void theEngineInThisProcess();

private:
    QTemporaryDir m_dir;
    QString m_cache, m_ours, m_engine;
};

void TestEngineStamp::init() {
    m_cache = m_dir.filePath(QStringLiteral("cache"));
    QDir(m_cache).removeRecursively();
    m_ours = m_dir.filePath(QStringLiteral("libqenocr.so"));
    m_engine = m_dir.filePath(QStringLiteral("libtesseract.so.5"));
    writeFile(m_ours, "ours");
    writeFile(m_engine, "engine");
    enginestamp::record(m_cache, QStringLiteral("engine 5.3.0"), {m_ours, m_engine});
}

void TestEngineStamp::versionWhileTheFilesAreAsTheyWere_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("known");
    QTest::newRow("as it was") << "" << true;
    QTest::newRow("engine rewritten, same size") << "rewrite engine" << false;
    QTest::newRow("engine upgraded") << "grow engine" << false;
    QTest::newRow("engine removed") << "remove engine" << false;
    QTest::newRow("ours touched") << "touch ours" << false;
    QTest::newRow("another library of ours loads") << "other ours" << false;
    QTest::newRow("no stamp") << "remove stamp" << false;
    QTest::newRow("stamp cut short") << "cut stamp" << false;
    QTest::newRow("stamp of another form") << "magic" << false;
    QTest::newRow("stamp without a version") << "no version" << false;
    QTest::newRow("stamp of a huge size") << "huge" << false;
}

void TestEngineStamp::versionWhileTheFilesAreAsTheyWere() {
    QFETCH(QString, change);
    QFETCH(bool, known);
    const QString stamp = enginestamp::path(m_cache);
    QString ours = m_ours;
    const QByteArray text = readFile(stamp);
    QVERIFY(text.startsWith("qen-engine-stamp"));
    if (change == "rewrite engine") {
        // Same bytes count, a later time: what an upgrade in place can look like.
        QTest::qWait(20);
        writeFile(m_engine, "ENGINE");
    } else if (change == "grow engine") {
        writeFile(m_engine, "engine, newer");
    } else if (change == "remove engine") {
        QFile::remove(m_engine);
    } else if (change == "touch ours") {
        struct timespec times[2] = {{0, UTIME_NOW}, {12345, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(m_ours).constData(), times, 0), 0);
    } else if (change == "other ours") {
        ours = m_dir.filePath(QStringLiteral("other/libqenocr.so"));
        QDir().mkpath(QFileInfo(ours).path());
        QVERIFY(QFile::copy(m_ours, ours));
    } else if (change == "remove stamp") {
        QFile::remove(stamp);
    } else if (change == "cut stamp") {
        writeFile(stamp, text.left(text.size() - 5));
    } else if (change == "magic") {
        writeFile(stamp, QByteArray(text).replace("stamp 1", "stamp 2"));
    } else if (change == "no version") {
        QList<QByteArray> lines = text.split('\n');
        lines[1].clear();
        writeFile(stamp, lines.join('\n'));
    } else if (change == "huge") {
        writeFile(stamp, text + QByteArray(70000, '\n'));
    }
    const std::optional<QString> version = enginestamp::recorded(m_cache, ours);
    QCOMPARE(version.has_value(), known);
    if (known)
        QCOMPARE(*version, QStringLiteral("engine 5.3.0"));
}

void TestEngineStamp::recordWritesOnlyWhatChanged() {
    const QString stamp = enginestamp::path(m_cache);
    const QFileInfo before(stamp);
    QTest::qWait(20);
    enginestamp::record(m_cache, QStringLiteral("engine 5.3.0"), {m_ours, m_engine});
    QCOMPARE(QFileInfo(stamp).lastModified(), before.lastModified());
    enginestamp::record(m_cache, QStringLiteral("engine 5.4.0"), {m_ours, m_engine});
    QCOMPARE(*enginestamp::recorded(m_cache, m_ours), QStringLiteral("engine 5.4.0"));
    // A library that is not there, or a version that would break the file's lines, leaves
    // the stamp as it was.
    enginestamp::record(m_cache, QStringLiteral("engine 6"), {m_ours, m_dir.filePath("gone.so")});
    enginestamp::record(m_cache, QStringLiteral("engine\n6"), {m_ours, m_engine});
    QCOMPARE(*enginestamp::recorded(m_cache, m_ours), QStringLiteral("engine 5.4.0"));
}

void TestEngineStamp::theEngineInThisProcess() {
    // This test loads no engine: none of its libraries is found among those loaded.
    QCOMPARE(enginestamp::loadedEngineLibraries(), QStringList());
    QVERIFY(enginestamp::identityOf(m_ours).endsWith(QFileInfo(m_ours).canonicalFilePath()));
    QCOMPARE(enginestamp::identityOf(m_dir.filePath("gone.so")), QString());
}

QTEST_GUILESS_MAIN(TestEngineStamp)
#include "tst_enginestamp.moc"
