#include "platform/workfolders.h"
#include "shell/handover.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {
void touch(const QString &path, const QByteArray &content = {}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}
} // namespace

class TestWorkFolders : public QObject {
    Q_OBJECT
private slots:
    void defaultRoot_data();
    void defaultRoot();
    void startupRemovesReadOnlyMarkerAndCreatesFolders();
    void cleanUpRemovesOnlyThisProgramsFolders();
    void cleanUpNeverFollowsLinks();
    void cleanUpRemovesWholeExtractionFolders_data();
    void cleanUpRemovesWholeExtractionFolders();
    void cleanUpWithoutTempDoesNothing();
    void ensureNamesTheFolderItCannotCreate();
    void appPath();
    void handoverTake_data();
    void handoverTake();
    void handoverWriteSkipsEmptyLine();
};

void TestWorkFolders::defaultRoot_data() {
    QTest::addColumn<QString>("qeninfo");
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("expected");
    test::row("explicit root", "/srv/q/", "/x", "/srv/q");
    test::row("xdg data", "", "/x/data", "/x/data/QenInfo");
    test::row("relative xdg ignored", "", "rel", QDir::homePath() + "/.local/share/QenInfo");
    test::row("nothing set", "", "", QDir::homePath() + "/.local/share/QenInfo");
}
void TestWorkFolders::defaultRoot() {
    QFETCH(QString, qeninfo);
    QFETCH(QString, xdg);
    qputenv("QENINFO_HOME", qeninfo.toUtf8());
    qputenv("XDG_DATA_HOME", xdg.toUtf8());
    QTEST(WorkFolders::defaultRoot(), "expected");
    qunsetenv("QENINFO_HOME");
    qunsetenv("XDG_DATA_HOME");
}

void TestWorkFolders::startupRemovesReadOnlyMarkerAndCreatesFolders() {
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("QenInfo"), dir.path());
    touch(folders.leftoverMarker());
    QFile::setPermissions(folders.leftoverMarker(), QFileDevice::ReadOwner);
    folders.prepareAtStartup();
    QVERIFY(!QFileInfo::exists(folders.leftoverMarker()));
    QVERIFY(QFileInfo(folders.temp()).isDir());
    QVERIFY(!QFileInfo::exists(folders.setting())); // made by its first user, not at start

    const WorkFolders fresh(dir.filePath("fresh/QenInfo"), dir.path());
    fresh.prepareAtStartup();
    QVERIFY(QFileInfo(fresh.temp()).isDir());
    QCOMPARE(QFileInfo(fresh.root()).permissions() &
                 (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());
}

void TestWorkFolders::cleanUpRemovesOnlyThisProgramsFolders() {
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("QenInfo"), dir.filePath("prog"));
    folders.prepareAtStartup();
    const QString t = folders.temp();
    touch(t + "/4194304report/p1.tif");
    touch(t + "/4194304report/p2.wwp");
    QFile::setPermissions(t + "/4194304report/p2.wwp", QFileDevice::ReadOwner);
    touch(t + "/4194304report0/p1.tif");
    touch(t + "/loose.tmp");
    touch(folders.handoverFile(), "x\r\n");
    touch(folders.setting() + "/Output.ini");
    QDir().mkpath(folders.root() + "/PdfTemp");
    QDir().mkpath(folders.appTemp());
    folders.cleanUp();
    QVERIFY(!QFileInfo::exists(t));
    QVERIFY(!QFileInfo::exists(folders.root() + "/PdfTemp"));
    QVERIFY(!QFileInfo::exists(folders.appTemp()));
    QVERIFY(QFileInfo::exists(folders.handoverFile()));
    QVERIFY(QFileInfo::exists(folders.setting() + "/Output.ini"));
    folders.cleanUp(); // runs twice at exit; the second finds nothing to do
}

void TestWorkFolders::cleanUpNeverFollowsLinks() {
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("QenInfo"), dir.filePath("prog"));
    folders.prepareAtStartup();
    const QString outside = dir.filePath("precious");
    touch(outside + "/keep.txt");
    touch(dir.filePath("precious.txt"));
    const QString t = folders.temp();
    QVERIFY(QFile::link(outside, t + "/4194304linked"));
    touch(t + "/4194304pkg/p1.tif");
    QVERIFY(QFile::link(dir.filePath("precious.txt"), t + "/4194304pkg/p2.tif"));
    QVERIFY(QFile::link(outside, t + "/4194304pkg/dirlink"));
    touch(t + "/4194304pkg/sub/p3.tif");
    QVERIFY(QFile::link(outside, t + "/4194304pkg/sub/.deeplink"));
    folders.cleanUp();
    QVERIFY(QFileInfo::exists(outside + "/keep.txt"));
    QVERIFY(QFileInfo::exists(dir.filePath("precious.txt")));
    QVERIFY(!QFileInfo::exists(t)); // links went as links, so Temp emptied
}

void TestWorkFolders::cleanUpRemovesWholeExtractionFolders_data() {
    QTest::addColumn<QStringList>("files");     // made under Temp
    QTest::addColumn<QStringList>("survivors"); // of them, what must be left
    QTest::addColumn<bool>("tempRemoved");
    test::row("dot files", QStringList{"4194304pkg/.hidden", "4194304pkg/p1.tif"}, QStringList(),
              true);
    test::row("sub-folders", QStringList{"4194304deep/sub/p.tif", "4194304deep/a/b/c/.d"},
              QStringList(), true);
    test::row("other folders stay",
              QStringList{"other/keep.tif", ".4194304dot/p.tif", "4194304pkg/x/y.tif"},
              QStringList{"other/keep.tif", ".4194304dot/p.tif"}, false);
}
void TestWorkFolders::cleanUpRemovesWholeExtractionFolders() {
    QFETCH(QStringList, files);
    QFETCH(QStringList, survivors);
    QFETCH(bool, tempRemoved);
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("QenInfo"), dir.filePath("prog"));
    folders.prepareAtStartup();
    const QString t = folders.temp();
    for (const QString &f : files)
        touch(t + "/" + f);
    // A folder unpacked read-only must go all the same.
    QFile::setPermissions(t + "/" + files.first().section('/', 0, -2),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    folders.cleanUp();
    for (const QString &f : files)
        QCOMPARE(QFileInfo::exists(t + "/" + f), survivors.contains(f));
    QCOMPARE(!QFileInfo::exists(t), tempRemoved);
}

void TestWorkFolders::cleanUpWithoutTempDoesNothing() {
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("QenInfo"), dir.filePath("prog"));
    QDir().mkpath(folders.root() + "/PdfTemp");
    folders.cleanUp();
    // Without Temp the later steps do not run either.
    QVERIFY(QFileInfo(folders.root() + "/PdfTemp").isDir());
}

void TestWorkFolders::ensureNamesTheFolderItCannotCreate() {
    QTemporaryDir dir;
    touch(dir.filePath("QenInfo")); // a file where the root should be
    const WorkFolders folders(dir.filePath("QenInfo"), dir.path());
    folders.prepareAtStartup(); // silent
    const QString error = test::errorOf([&] { folders.ensure(folders.setting()); });
    QVERIFY2(error.contains(dir.filePath("QenInfo")), qPrintable(error));
    QVERIFY(QFileInfo(dir.filePath("QenInfo")).isFile()); // nothing else touched
}

void TestWorkFolders::appPath() {
    QTemporaryDir dir;
    QCOMPARE(WorkFolders::appPathFor(dir.path() + "/", "/root/QenInfo"), dir.path());
    QCOMPARE(WorkFolders::appPathFor("/nonexistent/bin", "/r/QenInfo"),
             QStringLiteral("/r/QenInfo/Program"));
}

void TestWorkFolders::handoverTake_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("line");
    test::row("crlf", QByteArray("/data/a b.qen\r\n"), "/data/a b.qen");
    test::row("quotes kept", QByteArray("\"/d/a.qen\"\r\n"), "\"/d/a.qen\"");
    test::row("first line only", QByteArray("/a.tif\r\n/b.tif\r\n"), "/a.tif");
    test::row("utf8 name", QString("/数据/文章.qen\r\n").toUtf8(), "/数据/文章.qen");
    test::row("empty line", QByteArray("\r\n"), "");
    test::row("binary", QByteArray("\x00\x01\x02", 3), "");
    test::row("invalid utf8", QByteArray("\xb9\xfa.qen"), "");
    test::row("huge", QByteArray(64 * 1024, 'a'), "");
}
void TestWorkFolders::handoverTake() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString file = dir.filePath("4194304.tmp");
    touch(file, content);
    QTEST(handover::take(file), "line");
    QVERIFY(!QFileInfo::exists(file)); // always deleted, whatever it held
}

void TestWorkFolders::handoverWriteSkipsEmptyLine() {
    QTemporaryDir dir;
    const QString file = dir.filePath("4194304.tmp");
    QVERIFY(!handover::write(file, QString()));
    QVERIFY(!QFileInfo::exists(file));
    QVERIFY(handover::write(file, handover::commandLine({"/a", "b.qen"})));
    QCOMPARE(test::readFile(file), QByteArray("/a b.qen\r\n"));
}

QTEST_GUILESS_MAIN(TestWorkFolders)
#include "tst_workfolders.moc"
