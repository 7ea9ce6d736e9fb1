#include "pageview/viewgeometry.h"
#include "view/zoomtext.h"

#include <QtTest>

using namespace qen;

// Zooms around the pointer: the factor a wheel or a pinch reaches, and where the view scrolls
// so that the page point under the pointer stays under it.
class TestWheelZoom : public QObject {
    Q_OBJECT
private slots:
    void wheelSteps_data();
    void wheelSteps();
    void pinch_data();
    void pinch();
    void anchored_data();
    void anchored();
};

void TestWheelZoom::wheelSteps_data() {
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("notches");
    QTest::addColumn<double>("expected"); // 0: refused
    QTest::newRow("one notch up") << 1.0 << 1.0 << 1.2;
    QTest::newRow("one notch down") << 1.0 << -1.0 << 0.8;
    QTest::newRow("ten notches at once") << 1.0 << 10.0 << 3.0;
    QTest::newRow("a touchpad's quarter notches, summed") << 1.0 << 0.25 << 1.05;
    QTest::newRow("below zero is refused") << 0.1 << -1.0 << 0.0;
    QTest::newRow("at the top limit") << 99.9 << 1.0 << 0.0;
    QTest::newRow("nothing turned") << 0.5 << 0.0 << 0.5;
}

void TestWheelZoom::wheelSteps() {
    QFETCH(double, factor);
    QFETCH(double, notches);
    QFETCH(double, expected);
    const std::optional<double> next = WheelZoom(factor, notches);
    QCOMPARE(next.has_value(), expected > 0);
    if (next) // single precision, as the toolbar's steps
        QCOMPARE(float(*next), float(expected));
}

void TestWheelZoom::pinch_data() {
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("delta");
    QTest::addColumn<double>("expected");
    QTest::newRow("spread 10 %") << 0.5 << 0.1 << 0.55;
    QTest::newRow("pinch 20 %") << 1.0 << -0.2 << 0.8;
    QTest::newRow("held at the smallest") << 0.011 << -0.5 << 0.01;
    QTest::newRow("held at the largest") << 90.0 << 0.5 << 100.0;
}

void TestWheelZoom::pinch() {
    QFETCH(double, factor);
    QFETCH(double, delta);
    QFETCH(double, expected);
    QVERIFY(qAbs(PinchZoom(factor, delta) - expected) < 1e-12);
}

void TestWheelZoom::anchored_data() {
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QPoint>("anchor");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<QPoint>("expected");
    // Page point under the anchor: (scroll + anchor) / from. Worked by hand.
    QTest::newRow("top-left anchor scales the offsets")
        << QPoint(100, 40) << QPoint(0, 0) << 1.0 << 2.0 << QPoint(200, 80);
    QTest::newRow("doubling around (300, 200)")
        << QPoint(0, 0) << QPoint(300, 200) << 1.0 << 2.0 << QPoint(300, 200);
    QTest::newRow("halving around (300, 200), scrolled")
        << QPoint(500, 600) << QPoint(300, 200) << 1.0 << 0.5 << QPoint(100, 200);
    QTest::newRow("0.5 to 0.7 around (123, 45)")
        << QPoint(10, 20) << QPoint(123, 45) << 0.5 << 0.7 << QPoint(63, 46);
    QTest::newRow("unchanged zoom") << QPoint(7, 9) << QPoint(50, 50) << 1.2 << 1.2 << QPoint(7, 9);
}

void TestWheelZoom::anchored() {
    QFETCH(QPoint, scroll);
    QFETCH(QPoint, anchor);
    QFETCH(double, from);
    QFETCH(double, to);
    QTEST(viewgeom::anchoredScroll(scroll, anchor, from, to), "expected");
}

QTEST_GUILESS_MAIN(TestWheelZoom)
#include "tst_wheelzoom.moc"
