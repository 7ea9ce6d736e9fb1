#include "articles/recentfiles.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestRecentFiles : public QObject {
    Q_OBJECT
private slots:
    void newestFirstAndAtMostTen();
    void keepsEveryOtherLine();
    void readsWhatHandsAndOtherProgramsWrote_data();
    void readsWhatHandsAndOtherProgramsWrote();
    void unwritableFileKeepsTheOldList();
};

void TestRecentFiles::newestFirstAndAtMostTen() {
    QTemporaryDir dir;
    RecentFiles recent(dir.filePath("Setting/Qen.ini"));
    QVERIFY(recent.load().isEmpty());
    for (int i = 1; i <= 12; ++i)
        QVERIFY(
            recent.add(QStringLiteral("/文章/%1.qen").arg(i), QStringLiteral("题名 %1").arg(i)));
    QList<RecentFile> files = recent.load();
    QCOMPARE(files.size(), 10);
    QCOMPARE(files.first(), (RecentFile{"/文章/12.qen", "题名 12"}));
    QCOMPARE(files.last().path, QStringLiteral("/文章/3.qen"));
    // Opened again: moved to the front, not listed twice.
    QVERIFY(recent.add("/文章/5.qen", "题名 5"));
    files = recent.load();
    QCOMPARE(files.size(), 10);
    QCOMPARE(files.first().path, QStringLiteral("/文章/5.qen"));
    QCOMPARE(files.count(RecentFile{"/文章/5.qen", "题名 5"}), 1);
    QVERIFY(recent.remove("/文章/12.qen"));
    QCOMPARE(recent.load().size(), 9);
    QVERIFY(recent.clear());
    QVERIFY(recent.load().isEmpty());
}

// The recent list shares Qen.ini with the other settings: writing it leaves them as they are.
void TestRecentFiles::keepsEveryOtherLine() {
    QTemporaryDir dir;
    const QString ini = dir.filePath("Qen.ini");
    test::writeFile(ini, test::gbk(u"[OCR]\r\nLanguages=chi_sim+eng\r\n; 注释\r\n"_qs));
    RecentFiles recent(ini);
    QVERIFY(recent.add("/a b/篇 & 名.qen", "题名"));
    const QByteArray bytes = test::readFile(ini);
    QVERIFY(bytes.startsWith(test::gbk(u"[OCR]\r\nLanguages=chi_sim+eng\r\n; 注释\r\n"_qs)));
    // Stored as percent-encoded UTF-8, which survives the file's GBK.
    QVERIFY(bytes.contains("File1=%2Fa%20b%2F%E7%AF%87%20%26%20%E5%90%8D.qen"));
    QCOMPARE(recent.load().first().path, QStringLiteral("/a b/篇 & 名.qen"));
}

void TestRecentFiles::readsWhatHandsAndOtherProgramsWrote_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("a path written by hand in GBK")
        << test::gbk(u"[Recent]\r\nFile1=/文章/甲.qen\r\n"_qs) << QStringList{"/文章/甲.qen"};
    QTest::newRow("gaps and blanks are passed over")
        << QByteArray("[Recent]\r\nFile3=/c\r\nFile1=\r\nFile7=/d\r\n") << QStringList{"/c", "/d"};
    QTest::newRow("a path listed twice counts once")
        << QByteArray("[Recent]\r\nFile1=/a\r\nFile2=/a\r\nFile3=/b\r\n")
        << QStringList{"/a", "/b"};
    QTest::newRow("percent signs that are not UTF-8 stay as written")
        << QByteArray("[Recent]\r\nFile1=/100%25\r\nFile2=/%FF%FE\r\n")
        << QStringList{"/100%", "/%FF%FE"};
    QTest::newRow("not an ini file at all")
        << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << QStringList{};
    QByteArray many("[Recent]\r\n");
    for (int i = 1; i <= 1000; ++i)
        many += "File" + QByteArray::number(i) + "=/p" + QByteArray::number(i) + "\r\n";
    QStringList first;
    for (int i = 1; i <= 10; ++i)
        first << QStringLiteral("/p%1").arg(i);
    QTest::newRow("1,000 entries: the first ten") << many << first;
}

void TestRecentFiles::readsWhatHandsAndOtherProgramsWrote() {
    QFETCH(QByteArray, ini);
    QTemporaryDir dir;
    test::writeFile(dir.filePath("Qen.ini"), ini);
    QStringList paths;
    for (const RecentFile &f : RecentFiles(dir.filePath("Qen.ini")).load())
        paths << f.path;
    QTEST(paths, "paths");
}

void TestRecentFiles::unwritableFileKeepsTheOldList() {
    QTemporaryDir dir;
    // The settings "file" is a folder: nothing can be written, and nothing is lost.
    QVERIFY(QDir().mkpath(dir.filePath("Qen.ini")));
    RecentFiles recent(dir.filePath("Qen.ini"));
    QVERIFY(!recent.add("/a.qen", "a"));
    QVERIFY(recent.load().isEmpty());
}

QTEST_GUILESS_MAIN(TestRecentFiles)
#include "tst_recentfiles.moc"
