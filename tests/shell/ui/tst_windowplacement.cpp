// Where the busy window, the About box, the options dialog and the result window open: as the main
// window's own windows, over it, placed by the toolkit or the compositor. Run by
// scripts/screenshots.sh on X11 and on Wayland with QEN_SCREENSHOT_DIR set, it also photographs
// each one.
#include "help/ui/aboutbox.h"
#include "ocr/ui/frmtext.h"
#include "records/ui/outputoptionsdialog.h"
#include "shell/ui/busymessage.h"
#include "windowfixture.h"

#include <QDir>
#include <QProcess>
#include <QScreen>
#include <QWindow>
#include <QtTest>

using namespace qen;

class TestWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void opensOverTheMainWindow_data();
    void opensOverTheMainWindow();

private:
    void photograph(const QString &name);
};

namespace {
bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

void TestWindowPlacement::photograph(const QString &name) {
    const QString dir = qEnvironmentVariable("QEN_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QTest::qWait(700); // painted, and placed by the compositor
    const QString file = dir + "/" + QGuiApplication::platformName() + "-" + name + ".png";
    QFile::remove(file);
    if (!onWayland()) {
        QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(file));
        return;
    }
    // A client may not read the screen on Wayland; weston's own shooter can (weston --debug).
    const QStringList before = QDir(dir).entryList({"wayland-screenshot*.png"});
    QProcess shooter;
    shooter.setWorkingDirectory(dir);
    shooter.start("weston-screenshooter", {});
    // Answered by the compositor while this process keeps serving its windows.
    QVERIFY(QTest::qWaitFor([&] { return shooter.state() == QProcess::NotRunning; }, 10000));
    const QStringList after = QDir(dir).entryList({"wayland-screenshot*.png"});
    for (const QString &shot : after)
        if (!before.contains(shot))
            QVERIFY(QFile::rename(dir + "/" + shot, file));
    QVERIFY2(QFileInfo::exists(file), qPrintable(shooter.readAllStandardError()));
}

void TestWindowPlacement::opensOverTheMainWindow_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<bool>("centred");
    QTest::newRow("busy window") << "busy" << true;
    QTest::newRow("About box") << "about" << true;
    QTest::newRow("options dialog") << "options" << true;
    // Its own rule places it on X11; it is the main window's tool window everywhere.
    QTest::newRow("result window") << "result" << false;
}

void TestWindowPlacement::opensOverTheMainWindow() {
    QFETCH(QString, which);
    QFETCH(bool, centred);
    test::WindowFixture fixture;
    MainWindow *main = fixture.window.get();
    main->CreateTree(QStringLiteral(QEN_TEST_DATA "/g4-text-400x300.tif"));
    QVERIFY(QTest::qWaitForWindowExposed(main));

    std::unique_ptr<QDialog> dialog;
    std::unique_ptr<BusyMessageScope> busy;
    QWidget *shown = nullptr;
    if (which == "busy") {
        busy = std::make_unique<BusyMessageScope>(QStringLiteral("正在处理图像，请稍候..."));
        shown = BusyMessage::current();
    } else if (which == "about" || which == "options") {
        if (which == "about")
            dialog = std::make_unique<AboutBox>(fixture.ui, main);
        else
            dialog = std::make_unique<OutputOptionsDialog>(main->folders(), fixture.ui, main);
        dialog->show();
        shown = dialog.get();
    } else {
        auto *result = new FrmText(fixture.ui, main);
        result->ShowMe(QStringLiteral("识别出的文字\r\n第二行"));
        QVERIFY(result->windowFlags().testFlag(Qt::Tool));
        shown = result;
    }
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCOMPARE(shown->windowHandle()->transientParent(), main->windowHandle());
    // Wayland tells a client nothing of where its windows are; elsewhere the centre of the
    // dialog is the centre of the main window, not of the screen (the test's screens are
    // larger than the main window, which opens in their top-left corner).
    if (centred && !onWayland()) {
        const QPoint offset = shown->frameGeometry().center() - main->frameGeometry().center();
        // Within a title bar's height: the toolkit allows for a frame it can only guess.
        QVERIFY2(qAbs(offset.x()) <= 48 && qAbs(offset.y()) <= 48,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }
    photograph(which);
    if (which == "result")
        delete shown;
}

QTEST_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
