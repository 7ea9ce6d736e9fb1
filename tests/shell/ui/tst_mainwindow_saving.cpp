#include "pageview/ui/documents.h"
#include "testfiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QtTest>

using namespace qen;

// The window's save and print menu items reach the commands.
class TestMainWindowSaving : public QObject {
    Q_OBJECT
private slots:
    void menuItemsSaveAndPrint();
    void menuItemsExportAndCiteWhileARecordIsShown();
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

// 导出题录 and 复制引文 are there while a record is shown, and reach the commands.
void TestMainWindowSaving::menuItemsExportAndCiteWhileARecordIsShown() {
    test::WindowFixture f;
    QFile source(QString(QEN_TEST_DATA) + "/tiff-g4.tif");
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QString tif = f.make("page.tif", source.readAll());
    // Written by hand as UTF-8.
    const QString txt = f.make("record.txt", "【题　名】信息检索研究\r\n【作　者】王晓明；李静\r\n"
                                             "【刊　名】情报学报 2004年 第3期 45-50页\r\n");
    QAction *exportItem = f.window->command("mnuFile_ExportRecords");
    QAction *citeItem = f.window->command("mnuTool_CopyCitation");
    QVERIFY(exportItem && citeItem);
    QCOMPARE(citeItem->text(), QStringLiteral("复制引文(&Y)"));
    QVERIFY(!exportItem->isEnabled() && !citeItem->isEnabled());

    f.window->CreateTree(tif + QChar(0) + txt);
    QVERIFY(f.window->imageShown());
    QVERIFY(!exportItem->isEnabled() && !citeItem->isEnabled());

    f.window->documents()->nodeClick(2);
    QVERIFY(!f.window->imageShown());
    QVERIFY(exportItem->isEnabled() && citeItem->isEnabled());
    citeItem->trigger();
    QCOMPARE(f.ui.clipboardText,
             QStringLiteral("[1] 王晓明, 李静. 信息检索研究[J]. 情报学报, 2004(3): 45-50."));
    f.ui.saveAnswers << f.dir.filePath("refs.bib");
    exportItem->trigger();
    QVERIFY(QString::fromUtf8(test::readFile(f.dir.filePath("refs.bib")))
                .contains("author = {{王晓明} and {李静}}"));
    QCOMPARE(f.ui.texts("提示信息"), QStringList{"导出完成！共导出 1 条题录。"});

    f.window->command("mnuFile_CloseAllArticle")->trigger();
    QVERIFY(!exportItem->isEnabled() && !citeItem->isEnabled());
}

QTEST_MAIN(TestMainWindowSaving)
#include "tst_mainwindow_saving.moc"
