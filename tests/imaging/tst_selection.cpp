#include "imaging/selection.h"
#include "testfiles.h"

#include <QtTest>

using namespace qen;
using namespace qen::selection;

Q_DECLARE_METATYPE(qen::TwipsRect)

namespace qen {
char *toString(const TwipsRect &r) {
    return QTest::toString(
        QStringLiteral("(%1, %2, %3 x %4)").arg(r.left).arg(r.top).arg(r.width).arg(r.height));
}
namespace selection {
char *toString(const BandCorners &c) {
    return QTest::toString(QStringLiteral("(%1, %2) - (%3, %4)")
                               .arg(c.start.x())
                               .arg(c.start.y())
                               .arg(c.end.x())
                               .arg(c.end.y()));
}
} // namespace selection
} // namespace qen

class TestSelection : public QObject {
    Q_OBJECT
private slots:
    void drawAndCommit_data();
    void drawAndCommit();
    void handleDrag_data();
    void handleDrag();
    void roundingSendsHalvesToEven_data();
    void roundingSendsHalvesToEven();
    void rectangleAroundIsTheInverseOfCommit();
};

void TestSelection::drawAndCommit_data() {
    QTest::addColumn<double>("t");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<TwipsRect>("rectangle");
    QTest::addColumn<QPoint>("bandStart");
    QTest::addColumn<QPoint>("bandEnd");
    QTest::addColumn<bool>("accepted");
    test::row("worked example", 15.0, QPoint(100, 50), QPoint(300, 200),
              TwipsRect{1380, 630, 3120, 2370}, QPoint(100, 50), QPoint(291, 191), true);
    test::row("144 dpi", 10.0, QPoint(100, 50), QPoint(300, 200), TwipsRect{920, 420, 2080, 1580},
              QPoint(100, 50), QPoint(291, 191), true);
    // Less than 17 pixels wide: the band's end lies before its start.
    test::row("tiny", 15.0, QPoint(100, 50), QPoint(105, 52), TwipsRect{1380, 630, 195, 150},
              QPoint(100, 50), QPoint(96, 43), true);
    test::row("pointer back on the anchor", 15.0, QPoint(100, 50), QPoint(100, 50),
              TwipsRect{1380, 630, 120, 120}, QPoint(100, 50), QPoint(91, 41), true);
    test::row("up and to the left: refused", 15.0, QPoint(100, 50), QPoint(80, 30),
              TwipsRect{1380, 630, -180, -180}, QPoint(), QPoint(), false);
    test::row("left of the window: refused", 15.0, QPoint(3, 3), QPoint(-20, 40),
              TwipsRect{-75, -75, -225, 675}, QPoint(), QPoint(), false);
}

void TestSelection::drawAndCommit() {
    QFETCH(double, t);
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(TwipsRect, rectangle);
    QFETCH(bool, accepted);
    const Scale s{t, t};
    const QPoint anchor = pixelAt(press.x() * t, press.y() * t, s);
    QCOMPARE(anchor, press);
    const TwipsRect drawn = drawnRectangle(anchor, release.x() * t, release.y() * t, s);
    QCOMPARE(drawn, rectangle);
    QCOMPARE(drawn.width >= 0 && drawn.height >= 0, accepted);
    if (accepted) {
        QFETCH(QPoint, bandStart);
        QFETCH(QPoint, bandEnd);
        QCOMPARE(bandCorners(drawn, s), (BandCorners{bandStart, bandEnd}));
    }
}

void TestSelection::handleDrag_data() {
    QTest::addColumn<int>("handle");
    QTest::addColumn<TwipsRect>("expected");
    // L 1000, T 2000, W 3000, H 4000 dragged by X 150, Y -300.
    test::row("0 top-left", 0, TwipsRect{1150, 1700, 2850, 4300});
    test::row("1 top", 1, TwipsRect{1000, 1700, 3000, 4300});
    test::row("2 top-right", 2, TwipsRect{1000, 1700, 3150, 4300});
    test::row("3 right", 3, TwipsRect{1000, 2000, 3150, 4000});
    test::row("4 bottom-right", 4, TwipsRect{1000, 2000, 3150, 3700});
    test::row("5 bottom", 5, TwipsRect{1000, 2000, 3000, 3700});
    test::row("6 bottom-left", 6, TwipsRect{1150, 2000, 2850, 3700});
    test::row("7 left", 7, TwipsRect{1150, 2000, 2850, 4000});
}

void TestSelection::handleDrag() {
    QFETCH(int, handle);
    QFETCH(TwipsRect, expected);
    const auto r = draggedRectangle({1000, 2000, 3000, 4000}, 150, -300, handle);
    QVERIFY(r);
    QCOMPARE(*r, expected);
    QVERIFY(!draggedRectangle({1000, 2000, 3000, 4000}, 150, -300, 8));
    QVERIFY(!draggedRectangle({1000, 2000, 3000, 4000}, 150, -300, -1));
}

void TestSelection::roundingSendsHalvesToEven_data() {
    QTest::addColumn<double>("twips");
    QTest::addColumn<int>("pixel");
    // 1.5 screen pixels per logical pixel: positions fall on half pixels.
    test::row("0.5", 7.5, 0);
    test::row("1.5", 22.5, 2);
    test::row("2.5", 37.5, 2);
    test::row("-0.5", -7.5, 0);
    test::row("-1.5", -22.5, -2);
    test::row("2.4", 36.0, 2);
}

void TestSelection::roundingSendsHalvesToEven() {
    QFETCH(double, twips);
    QFETCH(int, pixel);
    QCOMPARE(pixelAt(twips, twips, {15, 15}), QPoint(pixel, pixel));
}

void TestSelection::rectangleAroundIsTheInverseOfCommit() {
    for (const QRect &band :
         {QRect(QPoint(100, 50), QPoint(291, 191)), QRect(0, 0, 1, 1), QRect(-30, 700, 400, 3)}) {
        const TwipsRect r = rectangleAround(band, {15, 12});
        const BandCorners c = bandCorners(r, {15, 12});
        QCOMPARE(c.start, band.topLeft());
        QCOMPARE(c.end, band.bottomRight());
    }
}

QTEST_GUILESS_MAIN(TestSelection)
#include "tst_selection.moc"
