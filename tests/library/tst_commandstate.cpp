#include "library/articletree.h"
#include "library/commandstate.h"
#include "library/opencommand.h"
#include "library/opener.h"
#include "library/pagedisplay.h"
#include "library/wwp.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

// Every toolbar button and the zoom combo carry the flag of the menu item they follow.
bool followersAgree(const CommandState &state) {
    for (const auto &[key, item] : ToolbarFollows())
        if (state.enabled(key) != state.enabled(item))
            return false;
    return state.zoomCombo == state.enabled(QStringLiteral("mnuPage_ZoomIn"));
}

} // namespace

class TestCommandState : public QObject {
    Q_OBJECT
private slots:
    void afterOpeningTifTxtAndCloseAll();
    void viewsSwapPlaces_data();
    void viewsSwapPlaces();
    void sameSelectionTwiceOpensOnce();
};

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
    QVERIFY(followersAgree(state));

    opener.CreateTree(txt);
    state = showNode(tree.find(txt));
    QVERIFY(!state.enabled("mnuPage_ZoomIn"));
    QVERIFY(!state.enabled("ZoomIn"));
    QVERIFY(!state.zoomCombo);
    QVERIFY(state.enabled("mnuTool_OutputOption"));
    QVERIFY(state.enabled("mnuPage_NextArticle"));
    QVERIFY(followersAgree(state));

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

QTEST_GUILESS_MAIN(TestCommandState)
#include "tst_commandstate.moc"
