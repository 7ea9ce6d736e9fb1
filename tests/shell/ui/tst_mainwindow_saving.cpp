#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

// The window's save and print menu items reach the commands.
class TestMainWindowSaving : public QObject {
    Q_OBJECT
private slots:
    void menuItemsSaveAndPrint();
};

void TestMainWindowSaving::menuItemsSaveAndPrint() {
    QTemporaryDir dir;
    test::ScriptedInteraction ui(dir.filePath("printed.pdf"));
    MainWindow window(WorkFolders(dir.filePath("QenInfo"), dir.filePath("prog")), ui);
    window.Form_Load(QString());
    const QString page = dir.filePath("page.tif");
    QVERIFY(QFile::copy(QString(QEN_TEST_DATA) + "/tiff-g4.tif", page));
    window.CreateTree(page);

    ui.saveAnswers << dir.filePath("saved.tif");
    window.command("mnuFile_SaveCurrPage")->trigger();
    QVERIFY(QFileInfo::exists(dir.filePath("saved.tif")));
    QCOMPARE(ui.texts("提示信息"), QStringList{"保存完成!"});

    ui.printerSetupAnswer = false;
    window.command("mnuFile_PrintSetup")->trigger();
    window.command("mnuFile_PrintCurrPage")->trigger();
    QVERIFY(QFileInfo(dir.filePath("printed.pdf")).size() > 0);
    QCOMPARE(ui.texts("error"), QStringList());
}

QTEST_MAIN(TestMainWindowSaving)
#include "tst_mainwindow_saving.moc"
