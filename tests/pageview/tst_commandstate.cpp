#include "articles/articletree.h"
#include "articles/opencommand.h"
#include "articles/opener.h"
#include "articles/wwp.h"
#include "pageview/commandstate.h"
#include "pageview/pagedisplay.h"
#include "pageview/shownview.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

// Every menu item the state sets, in its order, and what is on for each kind of page. Written
// out rather than derived, so a row moved to the wrong condition fails here.
const QStringList MenuItems = {"mnuFile_SaveCurrPage",     "mnuFile_SaveCurrArticle",
                               "mnuFile_SaveAllArticle",   "mnuFile_PrintCurrPage",
                               "mnuFile_PrintCurrArticle", "mnuFile_PrintAllArticle",
                               "mnuFile_PrintPreview",     "mnuPage_HomeArticle",
                               "mnuPage_PrevArticle",      "mnuPage_NextArticle",
                               "mnuPage_EndArticle",       "mnuPage_HomePage",
                               "mnuPage_PrevPage",         "mnuPage_NextPage",
                               "mnuPage_EndPage",          "mnuPage_ZoomIn",
                               "mnuPage_ZoomOut",          "mnuPage_FitWidth",
                               "mnuPage_FitHeight",        "mnuPage_AutoSize",
                               "mnuPage_ActualSize",       "mnuTool_Undo",
                               "mnuTool_CopyCurrPage",     "mnuTool_CopySelArea",
                               "mnuTool_Brighter",         "mnuTool_BlackWhiteReverse",
                               "mnuTool_Contrast",         "mnuTool_Hreverse",
                               "mnuTool_Intensify",        "mnuTool_Navigation",
                               "mnuTool_OutputOption",     "mnuTool_Recognize",
                               "mnuTool_SelOCRArea",       "mnuTool_SetFont",
                               "mnuTool_UpDown",           "mnuView_Lock",
                               "mnuPDF_Current",           "mnuPDF_CurrentArticle",
                               "mnuPDF_AllArticle",        "mnuFile_ExportRecords",
                               "mnuTool_CopyCitation",     "mnuPage_Find",
                               "mnuTool_CopyPageText",     "mnuTool_SelectText"};
const QStringList OnForAnyPage = {
    "mnuFile_SaveCurrPage",  "mnuFile_SaveCurrArticle",  "mnuFile_SaveAllArticle",
    "mnuFile_PrintCurrPage", "mnuFile_PrintCurrArticle", "mnuFile_PrintAllArticle",
    "mnuFile_PrintPreview",  "mnuPage_HomeArticle",      "mnuPage_PrevArticle",
    "mnuPage_NextArticle",   "mnuPage_EndArticle"};
const QStringList OnForRecords = {"mnuTool_OutputOption", "mnuTool_SetFont", "mnuView_Lock",
                                  "mnuFile_ExportRecords", "mnuTool_CopyCitation"};
const QStringList ToolbarKeys = {
    "SaveCurrArticle", "PrintCurrArticle", "HomeArticle",   "PrevArticle",    "NextArticle",
    "EndArticle",      "HomePage",         "PrevPage",      "NextPage",       "EndPage",
    "ZoomIn",          "ZoomOut",          "FitWidth",      "FitHeight",      "UnDo",
    "CopyPage",        "SelectArea",       "RecognizeArea", "CopySelectArea", "SelectText"};
const QStringList ToolbarOnForRecords = {"SaveCurrArticle", "PrintCurrArticle", "HomeArticle",
                                         "PrevArticle",     "NextArticle",      "EndArticle"};

QStringList names(const std::vector<std::pair<QString, bool>> &flags) {
    QStringList out;
    for (const auto &flag : flags)
        out << flag.first;
    return out;
}

} // namespace

class TestCommandState : public QObject {
    Q_OBJECT
private slots:
    void followsWhatIsShown_data();
    void followsWhatIsShown();
    void viewsShareOnePlace_data();
    void viewsShareOnePlace();
    void shownViewSignalsChanges();
    void sameSelectionTwiceOpensOnce();
};

Q_DECLARE_METATYPE(qen::ShownView)

// The state after showing a page of each kind through the real opening and display steps,
// and after closing everything.
void TestCommandState::followsWhatIsShown_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QStringList>("menuOn");
    QTest::addColumn<QStringList>("toolbarOn");
    QStringList imageItems = MenuItems;
    for (const QString &item : OnForRecords)
        imageItems.removeAll(item);
    test::row("image page", "page.tif", fixture::g4Tiff(), false, imageItems, ToolbarKeys);
    test::row("record page", "record.txt", QByteArray("【篇名】x"), false,
              (OnForAnyPage + OnForRecords), ToolbarOnForRecords);
    test::row("image page, then all closed", "page.tif", fixture::g4Tiff(), true, QStringList(),
              QStringList());
    test::row("record page, then all closed", "record.txt", QByteArray("【篇名】x"), true,
              QStringList(), QStringList());
}

void TestCommandState::followsWhatIsShown() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(bool, closeAfter);
    QFETCH(QStringList, menuOn);
    QFETCH(QStringList, toolbarOn);
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("root"), dir.filePath("app"));
    folders.prepareAtStartup();
    ArticleTree tree;
    Opener opener(tree, folders);
    const WwpDecoder decoder(folders);
    PageDisplay display(tree, folders, decoder);
    ShownViewState shown;
    const QString path = dir.filePath(file);
    fixture::writeAll(path, content);
    const DisplayPlan plan = display.show(opener.CreateTree(path));
    shown.set(plan.view == DisplayPlan::View::Record ? ShownView::Record : ShownView::Image);
    if (closeAfter) {
        tree.clear();
        shown.set(ShownView::Nothing);
    }

    const CommandState state = ComputeCommandState(!tree.isEmpty(), !shown.recordShown());
    QCOMPARE(names(state.menu), MenuItems);
    QCOMPARE(names(state.toolbar), ToolbarKeys);
    for (const QString &item : MenuItems)
        QVERIFY2(state.enabled(item) == menuOn.contains(item), qPrintable(item));
    for (const QString &key : ToolbarKeys)
        QVERIFY2(state.enabled(key) == toolbarOn.contains(key), qPrintable(key));
    QCOMPARE(state.zoomCombo, toolbarOn.contains("ZoomIn"));
}

void TestCommandState::viewsShareOnePlace_data() {
    QTest::addColumn<ShownView>("shown");
    QTest::addColumn<double>("imageLeft");
    QTest::addColumn<double>("recordLeft");
    test::row("image in the place", ShownView::Image, 120.0, -20000.0);
    test::row("record in the place", ShownView::Record, -20000.0, 120.0);
    test::row("nothing: the empty image view keeps the place", ShownView::Nothing, 120.0, -20000.0);
}

void TestCommandState::viewsShareOnePlace() {
    QFETCH(ShownView, shown);
    const ViewLefts lefts = ParkedLefts(shown, 120);
    QTEST(lefts.image, "imageLeft");
    QTEST(lefts.record, "recordLeft");
}

void TestCommandState::shownViewSignalsChanges() {
    ShownViewState state;
    QSignalSpy changes(&state, &ShownViewState::changed);
    QCOMPARE(state.current(), ShownView::Nothing);
    state.set(ShownView::Record);
    state.set(ShownView::Record);
    state.set(ShownView::Image);
    state.set(ShownView::Nothing);
    QCOMPARE(changes.count(), 3);
    QCOMPARE(changes.at(0).at(0).value<ShownView>(), ShownView::Record);
    QCOMPARE(changes.at(2).at(0).value<ShownView>(), ShownView::Nothing);
    QVERIFY(!state.recordShown());
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

QTEST_GUILESS_MAIN(TestCommandState)
#include "tst_commandstate.moc"
