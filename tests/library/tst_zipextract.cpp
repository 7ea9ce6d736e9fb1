#include "library/package.h"
#include "library/zipextract.h"
#include "platform/error.h"

#include "zipfixture.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace qen;
using fixture::file;

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
    void onlyVisibleTopLevelFilesBecomePages();
    void zipBombStopsBeforeWriting();

private:
    QTemporaryDir m_dir;
    QString m_out;
};

void TestZipExtract::init() {
    m_out = m_dir.filePath(
        QStringLiteral("out-%1-%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    QDir().mkpath(m_out);
}

// A good page comes first in each archive, so a refusal must also take back what was written.
void TestZipExtract::refusedPackages_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("expected");
    for (const char *name : {"zip-slip", "zip-slip-nested", "zip-slip-backslash"})
        QTest::newRow(name) << name << "文件夹之外";
    QTest::newRow("absolute path") << "absolute-path"
                                   << "绝对路径";
    QTest::newRow("symlink entry") << "symlink-entry"
                                   << "符号链接";
    QTest::newRow("encrypted") << "encrypted"
                               << "加密";
    QTest::newRow("deflate64") << "deflate64"
                               << "Deflate64";
    QTest::newRow("bad crc") << "bad-crc"
                             << "校验和";
    QTest::newRow("truncated") << "truncated"
                               << "不完整";
    QTest::newRow("empty") << "empty"
                           << "空文件";
    QTest::newRow("not a zip") << "not-a-zip"
                               << "不是 ZIP";
    QTest::newRow("directory as package") << "directory-as-package"
                                          << "文件夹";
    QTest::newRow("vanished") << "vanished"
                              << "找不到";
}

void TestZipExtract::refusedPackages() {
    QFETCH(QString, fixture);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(fixture + ".qen");
    const auto good = file("p1.tif", "a good page written before the bad one");
    const QByteArray evil = QFile::encodeName(m_dir.filePath("evil.txt"));
    if (fixture == "zip-slip")
        fixture::writeZip(path, {good, file("../evil.txt")});
    else if (fixture == "zip-slip-nested")
        fixture::writeZip(path, {good, file("a/../../evil.txt")});
    else if (fixture == "zip-slip-backslash")
        fixture::writeZip(path, {good, file("..\\evil.txt")});
    else if (fixture == "absolute-path")
        fixture::writeZip(path, {good, file(evil)});
    else if (fixture == "symlink-entry")
        fixture::writeZip(path, {good, fixture::withAttributes(file("p2.tif", evil), ZIP_OPSYS_UNIX,
                                                               (S_IFLNK | 0777u) << 16)});
    else if (fixture == "encrypted" || fixture == "deflate64") {
        fixture::writeZip(path, {good});
        if (fixture == "encrypted")
            fixture::patchHeaders(path, 6, 1, true);
        else
            fixture::patchHeaders(path, 8, 9, false);
    } else if (fixture == "bad-crc") {
        fixture::writeZip(path, {good, file("p2.tif", "second")});
        QByteArray bytes = fixture::readAll(path);
        bytes[bytes.indexOf("second")] = 'S';
        fixture::writeAll(path, bytes);
    } else if (fixture == "truncated") {
        fixture::writeZip(path, {file("p1.tif", QByteArray(4000, 'x'))}, "title");
        fixture::writeAll(path, fixture::readAll(path).left(2000));
    } else if (fixture == "empty")
        fixture::writeAll(path, QByteArray());
    else if (fixture == "not-a-zip")
        fixture::writeAll(path, "这不是压缩包\n");
    else if (fixture == "directory-as-package")
        QDir().mkpath(path);

    try {
        ExtractZip(path, m_out);
        QFAIL("a bad package was unpacked");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path) && e.description().contains(expected),
                 qPrintable(e.description()));
    }
    QCOMPARE(everythingUnder(m_out), QStringList());
    QVERIFY(!QFile::exists(m_dir.filePath("evil.txt")));
}

// GBK unless the archive says UTF-8. "誠" is D5 5C in GBK: its trail byte is a backslash that
// must not split the name. With the Info-ZIP Unicode path field libzip hands back the UTF-8
// name even for the raw bytes, which must not be taken for GBK.
void TestZipExtract::entryNames_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("expected");
    const QString path = m_dir.filePath("names.qen");
    auto zipped = [&](const QByteArray &name, bool utf8) {
        auto e = file(name);
        e.utf8 = utf8;
        fixture::writeZip(path, {e});
        return fixture::readAll(path);
    };
    QTest::newRow("gbk") << zipped(fixture::gbk("第一页.tif"), false) << "第一页.tif";
    QTest::newRow("gbk trail 0x5c") << zipped(fixture::gbk("誠信.tif"), false) << "誠信.tif";
    QTest::newRow("utf-8 flag") << zipped(QString("第二页.tif").toUtf8(), true) << "第二页.tif";
    QTest::newRow("info-zip unicode path")
        << fixture::zipWithUnicodePath(fixture::gbk("旧名.tif"), QString("第三页.tif").toUtf8())
        << "第三页.tif";
}

void TestZipExtract::entryNames() {
    QFETCH(QByteArray, archive);
    const QString path = m_dir.filePath("gbk-names.qen");
    fixture::writeAll(path, archive);
    ExtractZip(path, m_out);
    QTEST(everythingUnder(m_out).join('|'), "expected");
}

void TestZipExtract::onlyVisibleTopLevelFilesBecomePages() {
    const QString path = m_dir.filePath("hidden-system-subfolder.qen");
    fixture::writeZip(path, {fixture::withAttributes(file("Thumbs.db"), ZIP_OPSYS_DOS, 0x22),
                             fixture::withAttributes(file("desktop.ini"), ZIP_OPSYS_DOS, 0x04),
                             fixture::withAttributes(file("p2.tif"), ZIP_OPSYS_DOS, 0x20),
                             file("p1.tif"), file("extra/"), file("extra/p9.tif"), file(".index")});
    const ZipExtractStats stats = ExtractZip(path, m_out);
    QCOMPARE(stats.entriesSkipped, 2);
    QCOMPARE(everythingUnder(m_out),
             (QStringList{".index", "extra", "extra/p9.tif", "p1.tif", "p2.tif"}));
    QStringList pages = ListPageFiles(m_out);
    pages.sort();
    QCOMPARE(pages, (QStringList{"p1.tif", "p2.tif"}));
}

void TestZipExtract::zipBombStopsBeforeWriting() {
    auto big = file("p2.tif", QByteArray(8 << 20, '\0'));
    big.deflate = true;
    const QString path = m_dir.filePath("zip-bomb.qen");
    fixture::writeZip(path, {file("p1.tif"), big});
    QVERIFY(QFileInfo(path).size() < 100 * 1024);
    ZipLimits limits;
    limits.maxTotalBytes = 1 << 20;
    QVERIFY_THROWS_EXCEPTION(Error, ExtractZip(path, m_out, limits));
    QCOMPARE(everythingUnder(m_out), QStringList());
    limits.maxTotalBytes = 16 << 20;
    QCOMPARE(ExtractZip(path, m_out, limits).bytesWritten, qint64((8 << 20) + 4));
}

QTEST_GUILESS_MAIN(TestZipExtract)
#include "tst_zipextract.moc"
