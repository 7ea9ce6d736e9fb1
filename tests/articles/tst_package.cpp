#include "articles/package.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void workFolderCounters();
    void title_data();
    void title();
    void cleaning_data();
    void cleaning();

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
    // Temp removed behind the program's back comes back.
    QDir(folders.temp()).removeRecursively();
    QVERIFY(QFileInfo(GetWorkFolder(folders, "第一篇")).isDir());
}

// The title is the archive comment; before, it was read from the file's last bytes, which
// gave junk for an archive without a comment and length bytes for a long one.
void TestPackage::title_data() {
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("gbk comment") << fixture::gbk("图书馆学刊") << "图书馆学刊";
    QTest::newRow("text after the last NUL")
        << QByteArray("x\0", 2) + fixture::gbk("标题") << "标题";
    QTest::newRow("NUL padding inside the comment")
        << fixture::gbk("标题") + QByteArray(5000, '\0') << "标题";
    QTest::newRow("300 bytes without a NUL")
        << fixture::gbk(QString(150, QChar(u'第'))) << QString(50, QChar(u'第'));
    QTest::newRow("cjk utf-8 comment") << QString("中国图书馆学报").toUtf8() << "中国图书馆学报";
    QTest::newRow("no comment: the file name") << QByteArray() << "report 2024";
    QTest::newRow("nothing but NULs: the file name") << QByteArray(40, '\0') << "report 2024";
}

void TestPackage::title() {
    QFETCH(QByteArray, comment);
    const QString path = m_dir.filePath("report 2024.qen");
    QVERIFY(fixture::writeZip(path, {fixture::file("p1.tif")}, comment));
    QTemporaryDir out;
    QTEST(ExtractPackage(path, out.path()).title, "expected");
}

void TestPackage::cleaning_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading blanks stay, trailing blanks and : / ? go") << "  a:b/c?d  "
                                                                       << "  abcd";
    QTest::newRow("all forbidden characters") << "x:\"\\/<>?|*y"
                                              << "xy";
    QTest::newRow("control codes") << QString("a\tb\rc\nd\x01"
                                              "e\x0c"
                                              "f\x1f"
                                              "g\x1c"
                                              "h\x10")
                                   << QString("abcdefgh\x10");
    QTest::newRow("cut to 50") << QString(60, QChar(u'题')) << QString(50, QChar(u'题'));
    QTest::newRow("cut after cleaning") << QString(50, 'a') + "::::" << QString(50, 'a');
    QTest::newRow("blank before a removed character stays") << "title :"
                                                            << "title ";
}

void TestPackage::cleaning() {
    QFETCH(QString, raw);
    QTEST(CleanPackageTitle(raw), "expected");
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
