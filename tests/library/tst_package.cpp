#include "library/package.h"
#include "shell/workfolders.h"

#include "zipfixture.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

// The title as the whole file read at once gives it: trailing NULs dropped, then the text
// after the last NUL left.
QString titleReadWhole(const QByteArray &bytes) {
    qsizetype end = bytes.size();
    while (end > 0 && bytes[end - 1] == '\0')
        --end;
    const qsizetype nul = bytes.lastIndexOf('\0', end - 1);
    if (end == 0 || nul < 0)
        return QString();
    return QStringDecoder("GBK").decode(bytes.mid(nul + 1, end - nul - 1));
}

} // namespace

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void workFolderCounters();
    void title_data();
    void title();
    void titleSameAsReadingWhole();
    void cleaning_data();
    void cleaning();
    void sortByCharacterCode_data();
    void sortByCharacterCode();
    void pageFilesLeaveOutDotFilesFoldersAndLinks();
    void extractReturnsCleanedGbkTitle();

private:
    QTemporaryDir m_dir;
};

void TestPackage::workFolderCounters() {
    const WorkFolders folders(m_dir.filePath("root"), m_dir.filePath("app"));
    folders.ensure(folders.temp());
    const QString base = folders.temp() + "/4194304report";
    QCOMPARE(GetWorkFolder(folders, "report"), base);
    QCOMPARE(GetWorkFolder(folders, "report"), base + "0");
    QCOMPARE(GetWorkFolder(folders, "report"), base + "1");
    QVERIFY(QFileInfo(base + "1").isDir());
    // A plain file in the way counts as taken too.
    fixture::writeAll(folders.temp() + "/4194304memo", "x");
    QCOMPARE(GetWorkFolder(folders, "memo"), folders.temp() + "/4194304memo0");
    QCOMPARE(GetWorkFolder(folders, "第一篇"), folders.temp() + "/4194304第一篇");
    // Temp removed behind the program's back comes back.
    QDir(folders.temp()).removeRecursively();
    QVERIFY(QFileInfo(GetWorkFolder(folders, "report")).isDir());
}

void TestPackage::title_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("comment after end record")
        << QByteArray("PK\x05\x06\0\0\0\0\x03\0", 10) + fixture::gbk("图书馆学刊") << "图书馆学刊";
    QTest::newRow("thousands of trailing NULs")
        << QByteArray("data\0", 5) + fixture::gbk("标题") + QByteArray(5000, '\0') << "标题";
    QTest::newRow("NULs across block boundaries")
        << QByteArray("\0title", 6) + QByteArray((1 << 20) * 2 + 17, '\0') << "title";
    QTest::newRow("nothing but NULs") << QByteArray(3000, '\0') << "";
    QTest::newRow("no NUL before the end text") << QByteArray("plain text file") << "";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("ends with NUL only after end") << QByteArray("abc\0", 4) << "";
}

void TestPackage::title() {
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath("title.qen");
    fixture::writeAll(path, bytes);
    QTEST(ReadPackageTitle(path), "expected");
    QCOMPARE(ReadPackageTitle(m_dir.filePath("missing.qen")), QString());
}

// Reading backwards in blocks must agree with reading the whole file, wherever the title and
// the padding fall relative to the block edges.
void TestPackage::titleSameAsReadingWhole() {
    QRandomGenerator rng(42);
    const QString path = m_dir.filePath("random.qen");
    const int block = 1 << 20;
    const QList<int> lengths = {1, 999, 1000, 1001, block - 1, block, block + 1, 2 * block + 3};
    for (int total : lengths) {
        for (int titleAt : {0, 1, total / 2, total - 1}) {
            // Random text with a NUL just before the title, the title, then padding.
            const int titleLength = qMin(total - titleAt, int(rng.bounded(1, 80)));
            QByteArray bytes(total, '\0');
            for (int i = 0; i < titleAt + titleLength; ++i)
                bytes[i] = char(rng.bounded(1, 256));
            if (titleAt > 0)
                bytes[titleAt - 1] = '\0';
            fixture::writeAll(path, bytes);
            QCOMPARE(ReadPackageTitle(path), titleReadWhole(bytes));
        }
    }
}

void TestPackage::cleaning_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading blanks stay, trailing go, forbidden characters go") << "  a:b/c?d  "
                                                                               << "  abcd";
    QTest::newRow("all forbidden characters") << "x:\"\\/<>?|*y"
                                              << "xy";
    QTest::newRow("control codes") << QString("a\tb\rc\nd\x01"
                                              "e\x0c"
                                              "f\x1f"
                                              "g\x1c"
                                              "h")
                                   << "abcdefgh";
    QTest::newRow("other control codes stay") << QString("a\x10"
                                                         "b")
                                              << QString("a\x10"
                                                         "b");
    QTest::newRow("cut to 50") << QString(60, QChar(u'题')) << QString(50, QChar(u'题'));
    QTest::newRow("cut after cleaning") << QString(50, 'a') + "::::" << QString(50, 'a');
    QTest::newRow("trailing blank before a removed character stays") << "title :"
                                                                     << "title ";
    QTest::newRow("empty") << ""
                           << "";
}

void TestPackage::cleaning() {
    QFETCH(QString, raw);
    QTEST(CleanPackageTitle(raw), "expected");
}

void TestPackage::sortByCharacterCode_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no numeric ordering")
        << QStringList{"p10.wwp", "p2.wwp", "p1.wwp"} << QStringList{"p1.wwp", "p10.wwp", "p2.wwp"};
    QTest::newRow("upper case first") << QStringList{"b.tif", "a.tif", "B.tif", "A.tif"}
                                      << QStringList{"A.tif", "B.tif", "a.tif", "b.tif"};
    QTest::newRow("chinese by code") << QStringList{"第二.tif", "第一.tif", "001.tif"}
                                     << QStringList{"001.tif", "第一.tif", "第二.tif"};
    QTest::newRow("one empty element") << QStringList{""} << QStringList{""};
}

void TestPackage::sortByCharacterCode() {
    QFETCH(QStringList, names);
    SortFileNames(names);
    QTEST(names, "expected");
}

void TestPackage::pageFilesLeaveOutDotFilesFoldersAndLinks() {
    const QString folder = m_dir.filePath("pages");
    QDir().mkpath(folder + "/sub");
    for (const char *name : {"p2.tif", "p1.tif", ".hidden", "sub/p3.tif"})
        fixture::writeAll(folder + "/" + name, "x");
    QFile::link("/etc/hostname", folder + "/link.tif");
    QStringList pages = ListPageFiles(folder);
    SortFileNames(pages);
    QCOMPARE(pages, (QStringList{"p1.tif", "p2.tif"}));
    QVERIFY(!IsFolderEmpty(folder));
    const QString dotsOnly = m_dir.filePath("dots");
    QDir().mkpath(dotsOnly);
    fixture::writeAll(dotsOnly + "/.DS_Store", "x");
    QVERIFY(IsFolderEmpty(dotsOnly));
}

void TestPackage::extractReturnsCleanedGbkTitle() {
    const QString path = m_dir.filePath("gbk-comment.qen");
    QVERIFY(
        fixture::writeZip(path, {fixture::file("p1.tif")}, fixture::gbk("  图书馆:学刊/第3期?  ")));
    const QString out = m_dir.filePath("gbk-comment");
    QDir().mkpath(out);
    int yields = 0;
    ExtractOptions options;
    options.yield = [&] { ++yields; };
    const ExtractResult result = ExtractPackage(path, out, options);
    QCOMPARE(result.title, QString("  图书馆学刊第3期"));
    QCOMPARE(result.filesWritten, 1);
    QCOMPARE(yields, 1);
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
