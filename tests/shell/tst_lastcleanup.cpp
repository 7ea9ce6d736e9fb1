// The clean-up that runs when Qt ends the process on its own, past the event loop.
#include "platform/product.h"
#include "platform/workfolders.h"
#include "shell/lastcleanup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestLastCleanUp : public QObject {
    Q_OBJECT
private slots:
    void messageBeforeQtEndsTheProcess_data();
    void messageBeforeQtEndsTheProcess();
    void disarmedDoesNothing();
};

void TestLastCleanUp::messageBeforeQtEndsTheProcess_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("cleans");
    // Qt 6.4's own words, printed just before its _exit() or exit().
    QTest::newRow("Wayland connection broke")
        << "The Wayland connection broke. Did the Wayland compositor die?" << true;
    QTest::newRow("Wayland fatal error")
        << "The Wayland connection experienced a fatal error: Protocol error" << true;
    QTest::newRow("X11 connection broke")
        << "The X11 connection broke (error 1). Did the X11 server die?" << true;
    QTest::newRow("X11 connection broke, newer wording")
        << "The X11 connection broke: I/O error (code 1)" << true;
    QTest::newRow("an ordinary warning")
        << "QWidget::setLayout: Attempting to set QLayout" << false;
}

void TestLastCleanUp::messageBeforeQtEndsTheProcess() {
    QFETCH(QString, message);
    QFETCH(bool, cleans);
    QTemporaryDir root;
    const WorkFolders folders(root.path(), root.filePath("Program"));
    const QString mine = folders.temp() + "/" + product::instanceNumber() + "pkg/sub";
    const QString other = folders.temp() + "/other";
    QVERIFY(QDir().mkpath(mine));
    QVERIFY(QDir().mkpath(other));
    const QString lock = root.filePath("QenBrowser-x.lock");
    QFile(lock).open(QIODevice::WriteOnly);

    lastcleanup::arm(&folders, {lock});
    qWarning("%s", qPrintable(message));
    lastcleanup::disarm();

    QCOMPARE(!QFileInfo::exists(mine), cleans);
    QCOMPARE(!QFileInfo::exists(lock), cleans);
    QVERIFY(QFileInfo(other).isDir());
}

void TestLastCleanUp::disarmedDoesNothing() {
    QTemporaryDir root;
    const WorkFolders folders(root.path(), root.filePath("Program"));
    const QString mine = folders.temp() + "/" + product::instanceNumber() + "pkg";
    QVERIFY(QDir().mkpath(mine));
    lastcleanup::arm(&folders, {});
    lastcleanup::disarm();
    qWarning("The Wayland connection broke. Did the Wayland compositor die?");
    QVERIFY(QFileInfo(mine).isDir());
}

QTEST_GUILESS_MAIN(TestLastCleanUp)
#include "tst_lastcleanup.moc"
