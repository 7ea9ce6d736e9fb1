#include "view/layout.h"

#include <QtTest>

using namespace qen;

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void arrange_data();
    void arrange();
    void splitterDrop_data();
    void splitterDrop();
    void toggles();
};

namespace {
// A window 12000 twips wide with the image view shown (or the record view when !image).
layout::Panes panes(bool image, double width = 12000) {
    layout::Panes p;
    p.tree = {0, 420, 1515, 5000};
    p.splitter = {1515, 390, 105, 5060};
    p.shadow = {-20000, 390, 105, 5060};
    const TwipsRect shown{1620, 390, width - 1620, 5060};
    TwipsRect parked = shown;
    parked.left = -20000;
    p.imageView = image ? shown : parked;
    p.recordView = image ? parked : shown;
    return p;
}
} // namespace

void TestLayout::arrange_data() {
    QTest::addColumn<bool>("navigation");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("paneHeight");
    QTest::addColumn<double>("viewWidth");
    // Below a 420 twips toolbar and above a 330 twips status bar; the view right of a 1515
    // twips tree and a 105 twips bar.
    QTest::newRow("pane shown") << true << 12000.0 << 9000.0 << 8250.0 << 10380.0;
    QTest::newRow("pane hidden") << false << 12000.0 << 9000.0 << 8250.0 << 12000.0;
    QTest::newRow("tiny window: no room, nothing negative")
        << true << 1000.0 << 500.0 << 0.0 << 0.0;
}

void TestLayout::arrange() {
    QFETCH(bool, navigation);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, paneHeight);
    QFETCH(double, viewWidth);
    layout::Input in;
    in.clientWidth = width;
    in.clientHeight = height;
    in.toolbarHeight = 420;
    in.statusHeight = 330;
    in.tree = {0, 420, 1515, 100};
    in.splitter = {1515, 390, 105, 160};
    in.navigationShown = navigation;
    in.comboWidth = 1215;
    in.comboHeight = 300;
    in.captionWidth = 915;
    in.captionHeight = 180;
    in.twipsPerPixelY = 15;
    const layout::Result r = layout::arrange(in);

    QCOMPARE(r.tree.width, 1515.0);
    QCOMPARE(r.tree.left, navigation ? 0.0 : -20000.0);
    QCOMPARE(r.tree.top, 420.0);
    QCOMPARE(r.tree.height, paneHeight);
    // The bar reaches 30 twips beyond the tree at both ends and is parked with it.
    QCOMPARE(r.splitter.left, r.tree.left + 1515);
    QCOMPARE(r.splitter.top, 390.0);
    QCOMPARE(r.splitter.height, r.tree.height + 60);
    QCOMPARE(r.splitter.width, 105.0);
    const double viewLeft = navigation ? 1620.0 : 0.0;
    QCOMPARE(r.activeView.left, viewLeft);
    QCOMPARE(r.activeView.width, viewWidth);
    QCOMPARE(r.parkedView.left, -20000.0);
    QCOMPARE(r.parkedView.width, r.activeView.width);
    QCOMPARE(r.parkedView.top, r.activeView.top);
    QCOMPARE(r.splitterShadow.left, -20000.0);
    QCOMPARE(r.combo.left, width - 1215);
    QCOMPARE(r.combo.top, 60.0);
    QCOMPARE(r.caption.left, width - 1215 - 915);
    QCOMPARE(r.caption.top, 90.0); // two pixels below the combo's top
}

void TestLayout::splitterDrop_data() {
    QTest::addColumn<bool>("image");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("shadowLeft");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("999 refused") << true << 12000.0 << 999.0 << false;
    QTest::newRow("1000 accepted") << true << 12000.0 << 1000.0 << true;
    QTest::newRow("10500 accepted") << true << 12000.0 << 10500.0 << true;
    QTest::newRow("10501 refused") << true << 12000.0 << 10501.0 << false;
    QTest::newRow("click without a drag") << true << 12000.0 << -20000.0 << false;
    QTest::newRow("left of the window") << true << 12000.0 << -300.0 << false;
    // On a narrow window a drop at the view's right edge would push the view out of it.
    QTest::newRow("at the view's right edge") << true << 5000.0 << 4895.0 << false;
    QTest::newRow("beyond the window") << true << 5000.0 << 9000.0 << false;
    QTest::newRow("just inside the view") << true << 5000.0 << 4894.0 << true;
    QTest::newRow("record view shown") << false << 12000.0 << 3000.0 << true;
}

void TestLayout::splitterDrop() {
    QFETCH(bool, image);
    QFETCH(double, width);
    QFETCH(double, shadowLeft);
    QFETCH(bool, accepted);
    layout::Panes before = panes(image, width);
    before.shadow.left = shadowLeft;
    const double x = shadowLeft - before.splitter.left; // released where the shadow is
    const layout::Panes after = layout::splitterDrop(before, x);
    QCOMPARE(after.shadow.left, -20000.0);
    const TwipsRect &view = image ? after.imageView : after.recordView;
    const TwipsRect &parked = image ? after.recordView : after.imageView;
    if (!accepted) {
        QCOMPARE(after.splitter, before.splitter);
        QCOMPARE(after.tree, before.tree);
        QCOMPARE(after.imageView, before.imageView);
        QCOMPARE(after.recordView, before.recordView);
        return;
    }
    QCOMPARE(after.splitter.left, shadowLeft);
    QCOMPARE(after.tree.width, shadowLeft); // the pane ends where the bar begins
    QCOMPARE(view.left, shadowLeft + 105);
    QCOMPARE(view.left + view.width, width); // the right edge stays
    QVERIFY(view.width > 0);
    QCOMPARE(parked.left, -20000.0);
    QCOMPARE(parked.width, view.width);
    QCOMPARE(parked.top, view.top);
}

void TestLayout::toggles() {
    const layout::Panes start = panes(true);
    // Hiding the toolbar moves everything up by its height and makes it that much taller,
    // the parked view too; showing it reverses that.
    const layout::Panes noToolbar = layout::toolbarToggled(start, false, 420);
    QCOMPARE(noToolbar.tree.top, 0.0);
    QCOMPARE(noToolbar.tree.height, 5420.0);
    for (const TwipsRect &r :
         {noToolbar.splitter, noToolbar.shadow, noToolbar.imageView, noToolbar.recordView}) {
        QCOMPARE(r.top, 0.0);
        QCOMPARE(r.height, 5420.0);
    }
    const layout::Panes toolbarBack = layout::toolbarToggled(noToolbar, true, 420);
    QCOMPARE(toolbarBack.tree, start.tree);
    // After a toggle the bar lines up with the tree exactly.
    QCOMPARE(toolbarBack.splitter.top, 420.0);
    QCOMPARE(toolbarBack.splitter.height, 5000.0);

    const layout::Panes noStatus = layout::statusBarToggled(start, false, 330);
    QCOMPARE(noStatus.tree.height, 5330.0);
    QCOMPARE(noStatus.recordView.height, 5330.0);
    QCOMPARE(layout::statusBarToggled(noStatus, true, 330).tree.height, 5000.0);

    for (bool image : {true, false}) {
        const layout::Panes shown = panes(image);
        const layout::Panes hidden = layout::navigationToggled(shown, false);
        const TwipsRect &view = image ? hidden.imageView : hidden.recordView;
        const TwipsRect &parked = image ? hidden.recordView : hidden.imageView;
        QCOMPARE(hidden.tree.left, -20000.0);
        QCOMPARE(hidden.splitter.left, -20000.0);
        QCOMPARE(hidden.tree.width, 1515.0); // kept for the next showing
        QCOMPARE(view.left, 0.0);
        QCOMPARE(view.width, 12000.0);
        QCOMPARE(parked.left, -20000.0);
        QCOMPARE(parked.width, 12000.0);
        const layout::Panes again = layout::navigationToggled(hidden, true);
        QCOMPARE(again.tree.left, 0.0);
        QCOMPARE(again.splitter.left, 1515.0);
        const TwipsRect &back = image ? again.imageView : again.recordView;
        QCOMPARE(back.left, 1620.0);
        QCOMPARE(back.width, 10380.0);
    }
}

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
