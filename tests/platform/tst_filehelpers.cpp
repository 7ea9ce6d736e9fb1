#include "platform/error.h"
#include "platform/filehelpers.h"
#include "testfiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestFileHelpers : public QObject {
    Q_OBJECT
private slots:
    void fileExt_data();
    void fileExt();
    void baseName_data();
    void baseName();
    void splitPath_data();
    void splitPath();
    void popToken();
    void parseFileList_data();
    void parseFileList();
    void paperSize_data();
    void paperSize();
    void createFolder();
    void copyAndMove();
    void emptyFolderKeepsDotFilesAndSubfolders();
};

void TestFileHelpers::fileExt_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("ext");
    test::row("upper case kept", "/data/scan.WWP", "WWP");
    test::row("no dot", "/data/readme", "");
    test::row("dot in folder", "/old.files/readme", "files/readme");
    test::row("empty", "", "");
    test::row("trailing dot", "/a/b.", "");
    test::row("several dots", "/a/b.c.tif", "tif");
}
void TestFileHelpers::fileExt() {
    QFETCH(QString, path);
    QTEST(GetFileExt(path), "ext");
}

void TestFileHelpers::baseName_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("base");
    test::row("keeps inner dots", "/a/b.c.wwp", "b.c");
    test::row("no dot", "/a/b", "");
    test::row("no folder", "b.wwp", "b");
    test::row("empty", "", "");
    test::row("dot only in folder", "/my.docs/page", "my");
    test::row("hidden file", "/a/.qen", "");
}
void TestFileHelpers::baseName() {
    QFETCH(QString, path);
    QTEST(GetBaseName(path), "base");
}

void TestFileHelpers::splitPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("folder");
    test::row("full", "/data/page.tif", "page.tif", "/data");
    test::row("no separator", "page.tif", "", "page.tif");
    test::row("root file", "/page.tif", "page.tif", "");
    test::row("trailing separator", "/data/", "", "/data");
    test::row("empty keeps outputs", "", "old-file", "old-folder");
}
void TestFileHelpers::splitPath() {
    QFETCH(QString, path);
    QString file = QStringLiteral("old-file"), folder = QStringLiteral("old-folder");
    SplitPath(path, file, folder);
    QTEST(file, "file");
    QTEST(folder, "folder");
}

void TestFileHelpers::popToken() {
    const QString nul(QChar(0));
    QString text = QStringLiteral("a") + nul + QStringLiteral("b");
    QCOMPARE(PopToken(text, nul), QStringLiteral("a"));
    QCOMPARE(text, QStringLiteral("b"));
    QCOMPARE(PopToken(text, nul), QStringLiteral("b"));
    QCOMPARE(text, QString());
    QCOMPARE(PopToken(text, nul), QString());

    text = QStringLiteral("x") + nul + nul + QStringLiteral("y");
    QCOMPARE(PopToken(text, nul), QStringLiteral("x"));
    QCOMPARE(PopToken(text, nul), QString()); // empty item between two separators
    QCOMPARE(text, QStringLiteral("y"));

    text = QStringLiteral("one::two");
    QCOMPARE(PopToken(text, QStringLiteral("::")), QStringLiteral("one"));
    QCOMPARE(text, QStringLiteral("two"));
}

void TestFileHelpers::parseFileList_data() {
    QTest::addColumn<QStringList>("dialog");
    QTest::addColumn<QStringList>("expected");
    const QString dir = QDir::tempPath();
    test::row("single path", QStringList{dir + "/a.tif"}, QStringList{dir + "/a.tif"});
    test::row("folder and names", QStringList{dir, "a", "b"}, QStringList{dir + "/a", dir + "/b"});
    test::row("stops at empty item", QStringList{dir, "a", "", "b"}, QStringList{dir + "/a"});
    test::row("empty", QStringList{}, QStringList{});
}
void TestFileHelpers::parseFileList() {
    QFETCH(QStringList, dialog);
    QFETCH(QStringList, expected);
    QString result = dialog.join(QChar(0));
    const QString list = ParseFileList(result);
    QCOMPARE(list, expected.join(QChar(0)));
}

void TestFileHelpers::paperSize_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    test::row("A3", 8, 297.0, 420.0);
    test::row("A4", 9, 210.0, 297.0);
    test::row("A4 small", 10, 210.0, 297.0);
    test::row("A5", 11, 148.0, 210.0);
    test::row("B4", 12, 250.0, 354.0);
    test::row("B5", 13, 182.0, 257.0);
    test::row("letter is unknown", 1, 0.0, 0.0);
    test::row("negative", -9, 0.0, 0.0);
}
void TestFileHelpers::paperSize() {
    QFETCH(int, code);
    double w = -1, h = -1;
    GetPaperSize(code, w, h);
    QTEST(w, "width");
    QTEST(h, "height");
}

void TestFileHelpers::createFolder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new");
    QVERIFY(CreateFolder(path));
    QVERIFY(FolderExists(path));
    QVERIFY(!FileExists(path));
    QVERIFY(!CreateFolder(path)); // already there
    QVERIFY(!CreateFolder(dir.filePath("missing/child")));
    QVERIFY(!CreateFolder(QString()));
}

void TestFileHelpers::copyAndMove() {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.txt"), b = dir.filePath("b.txt"), c = dir.filePath("c.txt");
    test::writeFile(a, "first");
    CopyFile(a, b, false);
    QVERIFY_THROWS_EXCEPTION(Error, CopyFile(a, b, false));
    // A read-only target is replaced when overwriting is asked for.
    QFile::setPermissions(b, QFileDevice::ReadOwner);
    test::writeFile(a, "second");
    CopyFile(a, b, true);
    QCOMPARE(test::readFile(b), QByteArray("second"));
    QVERIFY(!QFile::exists(b + ".qenpart"));

    QVERIFY_THROWS_EXCEPTION(Error, MoveFile(a, b)); // target exists
    QVERIFY_THROWS_EXCEPTION(Error, MoveFile(dir.filePath("none"), c));
    MoveFile(a, c);
    QVERIFY(!QFile::exists(a));
    QVERIFY(QFile::exists(c));
    QVERIFY_THROWS_EXCEPTION(Error, CopyFile(dir.filePath("none"), c, true));
}

void TestFileHelpers::emptyFolderKeepsDotFilesAndSubfolders() {
    QTemporaryDir dir;
    for (const char *name : {"p1.tif", "p2.tif", ".hidden"})
        test::writeFile(dir.filePath(name), {});
    QFile::setPermissions(dir.filePath("p2.tif"), QFileDevice::ReadOwner);
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    EmptyFolder(dir.path());
    QVERIFY(!QFile::exists(dir.filePath("p1.tif")));
    QVERIFY(!QFile::exists(dir.filePath("p2.tif")));
    QVERIFY(QFile::exists(dir.filePath(".hidden")));
    QVERIFY(QFileInfo(dir.filePath("sub")).isDir());
    QVERIFY_THROWS_EXCEPTION(Error, EmptyFolder(dir.filePath("missing")));
}

QTEST_GUILESS_MAIN(TestFileHelpers)
#include "tst_filehelpers.moc"
