#include "windowfixture.h"

#include <QAction>
#include <QtTest>

using namespace qen;

// The window's save and print menu items reach the commands.
class TestMainWindowSaving : public QObject {
    Q_OBJECT
private slots:
    void menuItemsSaveAndPrint();
};

void TestMainWindowSaving::menuItemsSaveAndPrint() {
    test::WindowFixture f;
    f.ui.printer().setOutputFileName(f.dir.filePath("printed.pdf"));
    f.window->CreateTree(f.make("page.tif", test::readFile(test::dataFile("tiff-g4.tif"))));

    f.ui.saveAnswers << f.dir.filePath("saved.tif");
    f.window->command("mnuFile_SaveCurrPage")->trigger();
    QVERIFY(QFileInfo::exists(f.dir.filePath("saved.tif")));
    QCOMPARE(f.ui.texts("提示信息"), QStringList{"保存完成!"});

    f.ui.printerSetupAnswer = false;
    f.window->command("mnuFile_PrintSetup")->trigger();
    f.window->command("mnuFile_PrintCurrPage")->trigger();
    QVERIFY(QFileInfo(f.dir.filePath("printed.pdf")).size() > 0);
    QCOMPARE(f.ui.texts("error"), QStringList());
}

QTEST_MAIN(TestMainWindowSaving)
#include "tst_mainwindow_saving.moc"
