#include "testfiles.h"
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
    void thumbnailsToggled_data();
    void thumbnailsToggled();
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
    QTest::addColumn<double>("strip"); // the thumbnail strip's width, 0 while hidden
    // Below a 420 twips toolbar and above a 330 twips status bar; the view right of a 1515
    // twips tree and a 105 twips bar.
    test::row("pane shown", true, 12000.0, 9000.0, 8250.0, 10380.0, 0.0);
    test::row("pane hidden", false, 12000.0, 9000.0, 8250.0, 12000.0, 0.0);
    test::row("tiny window: no room, nothing negative", true, 1000.0, 500.0, 0.0, 0.0, 0.0);
    // The strip takes its width from the view's right side; the tree keeps its own.
    test::row("strip, pane shown", true, 12000.0, 9000.0, 8250.0, 8280.0, 2100.0);
    test::row("strip, pane hidden", false, 12000.0, 9000.0, 8250.0, 9900.0, 2100.0);
    test::row("strip wider than the room left", true, 3000.0, 9000.0, 8250.0, 0.0, 2100.0);
}

void TestLayout::arrange() {
    QFETCH(bool, navigation);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, paneHeight);
    QFETCH(double, viewWidth);
    QFETCH(double, strip);
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
    in.thumbnailsWidth = strip;
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
    if (strip > 0) {
        QCOMPARE(r.thumbnails.left, r.activeView.left + r.activeView.width);
        QCOMPARE(r.thumbnails.width, strip);
    } else {
        QCOMPARE(r.thumbnails.left, -20000.0);
    }
    QCOMPARE(r.thumbnails.top, r.activeView.top);
    QCOMPARE(r.thumbnails.height, r.activeView.height);
}

void TestLayout::splitterDrop_data() {
    QTest::addColumn<bool>("image");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("shadowLeft");
    QTest::addColumn<bool>("accepted");
    test::row("999 refused", true, 12000.0, 999.0, false);
    test::row("1000 accepted", true, 12000.0, 1000.0, true);
    test::row("10500 accepted", true, 12000.0, 10500.0, true);
    test::row("10501 refused", true, 12000.0, 10501.0, false);
    test::row("click without a drag", true, 12000.0, -20000.0, false);
    test::row("left of the window", true, 12000.0, -300.0, false);
    // On a narrow window a drop at the view's right edge would push the view out of it.
    test::row("at the view's right edge", true, 5000.0, 4895.0, false);
    test::row("beyond the window", true, 5000.0, 9000.0, false);
    test::row("just inside the view", true, 5000.0, 4894.0, true);
    test::row("record view shown", false, 12000.0, 3000.0, true);
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

void TestLayout::thumbnailsToggled_data() {
    QTest::addColumn<bool>("image");
    QTest::addColumn<bool>("navigation");
    test::row("image view, pane shown", true, true);
    test::row("record view, pane shown", false, true);
    test::row("image view, pane hidden", true, false);
}

void TestLayout::thumbnailsToggled() {
    QFETCH(bool, image);
    QFETCH(bool, navigation);
    layout::Panes start = panes(image);
    start.thumbnails = {-20000, 390, 2100, 5060};
    if (!navigation)
        start = layout::navigationToggled(start, false);
    const auto active = [&](const layout::Panes &p) { return image ? p.imageView : p.recordView; };
    const auto parked = [&](const layout::Panes &p) { return image ? p.recordView : p.imageView; };
    const TwipsRect before = active(start);

    // Shown: the view ends where the strip begins, the strip at the window's right edge.
    const layout::Panes shown = layout::thumbnailsToggled(start, true, 2100);
    QCOMPARE(active(shown).left, before.left);
    QCOMPARE(active(shown).width, before.width - 2100);
    QCOMPARE(shown.thumbnails, (TwipsRect{9900, 390, 2100, 5060}));
    QCOMPARE(parked(shown).left, -20000.0);
    QCOMPARE(parked(shown).width, active(shown).width);
    QCOMPARE(shown.tree, start.tree);

    // The other toggles keep the strip beside the view: the tree's keeps the right edge,
    // the toolbar's moves it with everything else.
    const layout::Panes paneFlipped = layout::navigationToggled(shown, !navigation);
    QCOMPARE(paneFlipped.thumbnails, shown.thumbnails);
    QCOMPARE(active(paneFlipped).left + active(paneFlipped).width, 9900.0);
    const layout::Panes noToolbar = layout::toolbarToggled(shown, false, 420);
    QCOMPARE(noToolbar.thumbnails.top, 0.0);
    QCOMPARE(noToolbar.thumbnails.height, 5420.0);

    // Hidden again: the view has its width back and the strip is parked.
    const layout::Panes hidden = layout::thumbnailsToggled(shown, false, 2100);
    QCOMPARE(active(hidden), before);
    QCOMPARE(hidden.thumbnails.left, -20000.0);
    QCOMPARE(parked(hidden).width, before.width);
}

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
