#include "library/package.h"
#include "library/zipextract.h"
#include "platform/error.h"

#include "zipfixture.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;
using fixture::Entry;

namespace {

QStringList everythingUnder(const QString &folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

} // namespace

class TestZipExtract : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refusedPackages_data();
    void refusedPackages();
    void entryNames_data();
    void entryNames();
    void hiddenAndSystemEntriesAreNotWritten();
    void subFoldersAreWrittenButNotPages();
    void zipBombStopsBeforeWriting();
    void soundEmptyArchiveWritesNothing();

private:
    QTemporaryDir m_dir;
    QString m_out;
};

void TestZipExtract::init() {
    QVERIFY(m_dir.isValid());
    m_out = m_dir.filePath(QStringLiteral("out-%1-%2")
                               .arg(QTest::currentTestFunction(), QTest::currentDataTag())
                               .replace(QLatin1Char(' '), QLatin1Char('_')));
    QDir().mkpath(m_out);
}

// Each row makes one bad package; extraction must fail with a description that names the
// package and the problem, and leave nothing behind, inside the folder or next to it.
void TestZipExtract::refusedPackages_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zip-slip") << "zip-slip.qen"
                              << "文件夹之外";
    QTest::newRow("zip-slip nested") << "zip-slip-nested.qen"
                                     << "文件夹之外";
    QTest::newRow("zip-slip backslash") << "zip-slip-backslash.qen"
                                        << "文件夹之外";
    QTest::newRow("absolute path") << "absolute-path.qen"
                                   << "绝对路径";
    QTest::newRow("symlink entry") << "symlink-entry.qen"
                                   << "符号链接";
    QTest::newRow("encrypted") << "encrypted.qen"
                               << "加密";
    QTest::newRow("deflate64") << "deflate64.qen"
                               << "Deflate64";
    QTest::newRow("bad crc") << "bad-crc.qen"
                             << "校验和";
    QTest::newRow("truncated") << "truncated.qen"
                               << "ZIP";
    QTest::newRow("empty") << "empty.qen"
                           << "空文件";
    QTest::newRow("not a zip") << "not-a-zip.qen"
                               << "不是 ZIP";
    QTest::newRow("directory as package") << "directory-as-package.qen"
                                          << "文件夹";
    QTest::newRow("vanished") << "vanished.qen"
                              << "找不到";
}

void TestZipExtract::refusedPackages() {
    QFETCH(QString, fixture);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(fixture);
    const QByteArray good = "a good first page that gets written before the bad one";
    if (fixture == "zip-slip.qen")
        fixture::writeZip(path, {fixture::file("p1.tif", good), fixture::file("../evil.txt")});
    else if (fixture == "zip-slip-nested.qen")
        fixture::writeZip(path, {fixture::file("p1.tif", good), fixture::file("a/../../evil.txt")});
    else if (fixture == "zip-slip-backslash.qen")
        fixture::writeZip(path, {fixture::file("p1.tif", good), fixture::file("..\\evil.txt")});
    else if (fixture == "absolute-path.qen")
        fixture::writeZip(path, {fixture::file("p1.tif", good),
                                 fixture::file(QFile::encodeName(m_dir.filePath("evil.txt")))});
    else if (fixture == "symlink-entry.qen") {
        Entry link = fixture::file("p2.tif", "/etc/passwd");
        link.setAttributes = true;
        link.attributes = zip_uint32_t(S_IFLNK | 0777) << 16;
        fixture::writeZip(path, {fixture::file("p1.tif", good), link});
    } else if (fixture == "encrypted.qen") {
        fixture::writeZip(path, {fixture::file("p1.tif", good)});
        fixture::patchHeaders(path, fixture::Field::Flags, 1, true);
    } else if (fixture == "deflate64.qen") {
        fixture::writeZip(path, {fixture::file("p1.tif", good)});
        fixture::patchHeaders(path, fixture::Field::Method, 9);
    } else if (fixture == "bad-crc.qen") {
        fixture::writeZip(path, {fixture::file("p1.tif", good), fixture::file("p2.tif", "second")});
        QByteArray bytes = fixture::readAll(path);
        bytes[bytes.indexOf("second")] = 'S';
        fixture::writeAll(path, bytes);
    } else if (fixture == "truncated.qen") {
        fixture::writeZip(path, {fixture::file("p1.tif", QByteArray(4000, 'x'))}, "title");
        fixture::writeAll(path, fixture::readAll(path).left(2000));
    } else if (fixture == "empty.qen")
        fixture::writeAll(path, QByteArray());
    else if (fixture == "not-a-zip.qen")
        fixture::writeAll(path, "这不是压缩包\n");
    else if (fixture == "directory-as-package.qen")
        QDir().mkpath(path);

    try {
        ExtractZip(path, m_out);
        QFAIL("a bad package was unpacked");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path), qPrintable(e.description()));
        QVERIFY2(e.description().contains(expected), qPrintable(e.description()));
    }
    QCOMPARE(everythingUnder(m_out), QStringList());
    QVERIFY(!QFile::exists(m_dir.filePath("evil.txt")));
}

// Names are GBK unless the archive says UTF-8; a GBK trail byte 0x5C ("誠" is D5 5C) must not
// split the name into a folder.
void TestZipExtract::entryNames_data() {
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QByteArray>("unicodePath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("gbk") << fixture::gbk("第一页.tif") << false << QByteArray() << "第一页.tif";
    QTest::newRow("gbk trail 0x5c")
        << fixture::gbk("誠信.tif") << false << QByteArray() << "誠信.tif";
    QTest::newRow("utf-8 flag") << QString("第二页.tif").toUtf8() << true << QByteArray()
                                << "第二页.tif";
    QTest::newRow("info-zip unicode path")
        << fixture::gbk("旧名.tif") << false << QString("第三页.tif").toUtf8() << "第三页.tif";
    QTest::newRow("ascii") << QByteArray("p1.tif") << false << QByteArray() << "p1.tif";
}

void TestZipExtract::entryNames() {
    QFETCH(QByteArray, raw);
    QFETCH(bool, utf8);
    QFETCH(QByteArray, unicodePath);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath("gbk-names.qen");
    if (unicodePath.isEmpty()) {
        Entry e = fixture::file(raw);
        e.utf8 = utf8;
        QVERIFY(fixture::writeZip(path, {e}));
    } else {
        fixture::writeAll(
            path, fixture::handMadeZip(raw, "page", fixture::unicodePathField(raw, unicodePath)));
    }
    ExtractZip(path, m_out);
    QCOMPARE(everythingUnder(m_out), QStringList{expected});
}

void TestZipExtract::hiddenAndSystemEntriesAreNotWritten() {
    Entry hidden = fixture::file("Thumbs.db");
    hidden.setAttributes = true;
    hidden.opsys = ZIP_OPSYS_DOS;
    hidden.attributes = 0x02 | 0x20;
    Entry system = fixture::file("desktop.ini");
    system.setAttributes = true;
    system.opsys = ZIP_OPSYS_DOS;
    system.attributes = 0x04;
    Entry archived = fixture::file("p1.tif");
    archived.setAttributes = true;
    archived.opsys = ZIP_OPSYS_DOS;
    archived.attributes = 0x20;
    const QString path = m_dir.filePath("hidden-system.qen");
    QVERIFY(fixture::writeZip(path, {hidden, system, archived}));
    const ZipExtractStats stats = ExtractZip(path, m_out);
    QCOMPARE(everythingUnder(m_out), QStringList{"p1.tif"});
    QCOMPARE(stats.entriesSkipped, 2);
}

void TestZipExtract::subFoldersAreWrittenButNotPages() {
    const QString path = m_dir.filePath("sub-folder.qen");
    QVERIFY(fixture::writeZip(path, {fixture::file("p1.tif"), fixture::file("extra/"),
                                     fixture::file("extra/p9.tif"), fixture::file(".index")}));
    ExtractZip(path, m_out);
    QCOMPARE(everythingUnder(m_out), (QStringList{".index", "extra", "extra/p9.tif", "p1.tif"}));
    QCOMPARE(ListPageFiles(m_out), QStringList{"p1.tif"});
}

void TestZipExtract::zipBombStopsBeforeWriting() {
    Entry big = fixture::file("p2.tif", QByteArray(8 << 20, '\0'));
    big.deflate = true;
    const QString path = m_dir.filePath("zip-bomb.qen");
    QVERIFY(fixture::writeZip(path, {fixture::file("p1.tif"), big}));
    QVERIFY(QFileInfo(path).size() < 100 * 1024);
    ZipLimits limits;
    limits.maxTotalBytes = 1 << 20;
    QVERIFY_THROWS_EXCEPTION(Error, ExtractZip(path, m_out, limits));
    QCOMPARE(everythingUnder(m_out), QStringList());
    limits.maxTotalBytes = 16 << 20;
    QCOMPARE(ExtractZip(path, m_out, limits).bytesWritten, qint64((8 << 20) + 4));
}

void TestZipExtract::soundEmptyArchiveWritesNothing() {
    const QString path = m_dir.filePath("no-entries.qen");
    // An end record alone: a valid archive with nothing in it.
    fixture::writeAll(path, QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    QCOMPARE(ExtractZip(path, m_out).filesWritten, 0);
    QVERIFY(IsFolderEmpty(m_out));
}

QTEST_GUILESS_MAIN(TestZipExtract)
#include "tst_zipextract.moc"
