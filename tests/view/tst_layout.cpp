#include "view/layout.h"

#include <QtTest>

using namespace qen;

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void arrange_data();
    void arrange();
};

void TestLayout::arrange_data() {
    QTest::addColumn<bool>("navigation");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::newRow("pane shown") << true << 12000.0 << 9000.0;
    QTest::newRow("pane hidden") << false << 12000.0 << 9000.0;
    QTest::newRow("tiny window") << true << 1000.0 << 500.0;
}

void TestLayout::arrange() {
    QFETCH(bool, navigation);
    QFETCH(double, width);
    QFETCH(double, height);
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
    QCOMPARE(r.tree.height, height - 420 - 330);
    // The bar reaches 30 twips beyond the tree at both ends and is parked with it.
    QCOMPARE(r.splitter.left, r.tree.left + 1515);
    QCOMPARE(r.splitter.top, 390.0);
    QCOMPARE(r.splitter.height, r.tree.height + 60);
    QCOMPARE(r.splitter.width, 105.0);
    const double viewLeft = navigation ? 1620.0 : 0.0;
    QCOMPARE(r.activeView.left, viewLeft);
    QCOMPARE(r.activeView.left + r.activeView.width, width); // flush with the right edge
    QCOMPARE(r.parkedView.left, -20000.0);
    QCOMPARE(r.parkedView.width, r.activeView.width);
    QCOMPARE(r.parkedView.top, r.activeView.top);
    QCOMPARE(r.splitterShadow.left, -20000.0);
    QCOMPARE(r.combo.left, width - 1215);
    QCOMPARE(r.combo.top, 60.0);
    QCOMPARE(r.caption.left, width - 1215 - 915);
    QCOMPARE(r.caption.top, 90.0); // two pixels below the combo's top
}

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
