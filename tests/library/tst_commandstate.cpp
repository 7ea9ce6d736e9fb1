#include "library/articletree.h"
#include "library/commandstate.h"
#include "library/opencommand.h"
#include "library/opener.h"
#include "library/pagedisplay.h"
#include "library/wwp.h"
#include "shell/workfolders.h"

#include "zipfixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestCommandState : public QObject {
    Q_OBJECT
private slots:
    void conditions_data();
    void conditions();
    void toolbarAndComboFollowTheirMenuItems_data();
    void toolbarAndComboFollowTheirMenuItems();
    void afterOpeningTifTxtAndCloseAll();
    void viewsSwapPlaces_data();
    void viewsSwapPlaces();
    void sameSelectionTwiceOpensOnce();
    void openDialogFilters();
};

void TestCommandState::conditions_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QList<bool>>("enabled"); // closed, image shown, record shown
    const QList<bool> open{false, true, true};
    const QList<bool> image{false, true, false};
    const QList<bool> record{false, false, true};
    QTest::newRow("save page") << "mnuFile_SaveCurrPage" << open;
    QTest::newRow("print all") << "mnuFile_PrintAllArticle" << open;
    QTest::newRow("next article") << "mnuPage_NextArticle" << open;
    QTest::newRow("next page") << "mnuPage_NextPage" << image;
    QTest::newRow("zoom in") << "mnuPage_ZoomIn" << image;
    QTest::newRow("auto size") << "mnuPage_AutoSize" << image;
    QTest::newRow("navigation pane") << "mnuTool_Navigation" << image;
    QTest::newRow("recognize") << "mnuTool_Recognize" << image;
    QTest::newRow("pdf all") << "mnuPDF_AllArticle" << image;
    QTest::newRow("output options") << "mnuTool_OutputOption" << record;
    QTest::newRow("record font") << "mnuTool_SetFont" << record;
    QTest::newRow("lock") << "mnuView_Lock" << record;
    QTest::newRow("open is never managed") << "mnuFile_Open" << QList<bool>{false, false, false};
}

void TestCommandState::conditions() {
    QFETCH(QString, item);
    QFETCH(QList<bool>, enabled);
    QCOMPARE(ComputeCommandState(false, true).enabled(item), enabled[0]);
    QCOMPARE(ComputeCommandState(false, false).enabled(item), enabled[0]);
    QCOMPARE(ComputeCommandState(true, true).enabled(item), enabled[1]);
    QCOMPARE(ComputeCommandState(true, false).enabled(item), enabled[2]);
    QCOMPARE(IsManagedCommand(item), item != "mnuFile_Open");
}

void TestCommandState::toolbarAndComboFollowTheirMenuItems_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("image");
    QTest::newRow("closed") << false << true;
    QTest::newRow("image") << true << true;
    QTest::newRow("record") << true << false;
}

void TestCommandState::toolbarAndComboFollowTheirMenuItems() {
    QFETCH(bool, open);
    QFETCH(bool, image);
    const CommandState state = ComputeCommandState(open, image);
    QCOMPARE(state.menu.size(), size_t(37));
    QCOMPARE(state.toolbar.size(), size_t(19));
    for (const auto &[key, item] : ToolbarFollows())
        QCOMPARE(state.enabled(key), state.enabled(item));
    QCOMPARE(state.zoomCombo, state.enabled("mnuPage_ZoomIn"));
    QCOMPARE(state.enabled("cboZoom"), state.zoomCombo);
}

// The window's two facts, derived the way the window derives them: open is "the tree has a
// node", the image view is shown until a record is displayed.
void TestCommandState::afterOpeningTifTxtAndCloseAll() {
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("root"), dir.filePath("app"));
    folders.prepareAtStartup();
    ArticleTree tree;
    Opener opener(tree, folders);
    const WwpDecoder decoder(folders);
    PageDisplay display(tree, folders, decoder);
    int imageLeft = 120, recordLeft = ParkedLeft;
    bool imageShown = true;
    auto showNode = [&](int index) {
        PlaceViews(display.show(index).view, imageLeft, recordLeft);
        imageShown = imageLeft >= 0;
        return ComputeCommandState(!tree.isEmpty(), imageShown);
    };
    const QString tif = dir.filePath("page.tif");
    fixture::writeAll(tif, fixture::g4Tiff());
    const QString txt = dir.filePath("record.txt");
    fixture::writeAll(txt, "【篇名】x");

    CommandState state = showNode(opener.CreateTree(tif));
    QVERIFY(state.enabled("mnuPage_ZoomIn"));
    QVERIFY(state.enabled("ZoomIn"));
    QVERIFY(state.zoomCombo);
    QVERIFY(!state.enabled("mnuTool_OutputOption"));

    opener.CreateTree(txt);
    state = showNode(tree.find(txt));
    QVERIFY(!state.enabled("mnuPage_ZoomIn"));
    QVERIFY(!state.enabled("ZoomIn"));
    QVERIFY(!state.zoomCombo);
    QVERIFY(state.enabled("mnuTool_OutputOption"));
    QVERIFY(state.enabled("mnuPage_NextArticle"));

    tree.clear();
    state = ComputeCommandState(!tree.isEmpty(), imageShown);
    for (const auto &[name, on] : state.menu)
        QVERIFY2(!on, qPrintable(name));
    for (const auto &[name, on] : state.toolbar)
        QVERIFY2(!on, qPrintable(name));
    QVERIFY(!state.zoomCombo);
}

void TestCommandState::viewsSwapPlaces_data() {
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("imageLeft");
    QTest::addColumn<int>("recordLeft");
    QTest::addColumn<int>("imageAfter");
    QTest::addColumn<int>("recordAfter");
    const int image = int(DisplayPlan::View::Image);
    const int record = int(DisplayPlan::View::Record);
    const int unchanged = int(DisplayPlan::View::Unchanged);
    QTest::newRow("record replaces image") << record << 120 << ParkedLeft << ParkedLeft << 120;
    QTest::newRow("image replaces record") << image << ParkedLeft << 120 << 120 << ParkedLeft;
    QTest::newRow("image already shown") << image << 0 << ParkedLeft << 0 << ParkedLeft;
    QTest::newRow("record already shown") << record << ParkedLeft << 60 << ParkedLeft << 60;
    QTest::newRow("unknown page moves nothing")
        << unchanged << 120 << ParkedLeft << 120 << ParkedLeft;
}

void TestCommandState::viewsSwapPlaces() {
    QFETCH(int, view);
    QFETCH(int, imageLeft);
    QFETCH(int, recordLeft);
    PlaceViews(DisplayPlan::View(view), imageLeft, recordLeft);
    QTEST(imageLeft, "imageAfter");
    QTEST(recordLeft, "recordAfter");
}

void TestCommandState::sameSelectionTwiceOpensOnce() {
    LastOpenSpec last;
    const QStringList chosen{"/a/x.tif", "/a/y.tif"};
    QCOMPARE(last.take(chosen), QString("/a/x.tif") + QChar(u'\0') + "/a/y.tif");
    QCOMPARE(last.take(chosen), QString());
    QCOMPARE(last.take({}), QString());
    QCOMPARE(last.take({"/a/y.tif"}), QString("/a/y.tif"));
    QCOMPARE(last.take({"/a/y.tif"}), QString());
    last.clear();
    QCOMPARE(last.take({"/a/y.tif"}), QString("/a/y.tif"));
}

void TestCommandState::openDialogFilters() {
    const QStringList filters = OpenDialogFilters();
    QCOMPARE(filters.size(), 11);
    QCOMPARE(filters.first(),
             QString("All supper files(*.qen,*.tif,*.wwp,*.wp,*txt,*.rtf,*.jpg,*.gif,*.bmp) "
                     "(*.qen *.wwp *.wp *txt *.rtf *.jpg *.gif *.bmp *.tif)"));
    QCOMPARE(filters.last(), QString("所有文件(*.*) (*)"));
    QCOMPARE(OpenDialogTitle(), QString("打开文件"));
}

QTEST_GUILESS_MAIN(TestCommandState)
#include "tst_commandstate.moc"
