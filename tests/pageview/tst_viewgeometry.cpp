#include "pageview/viewgeometry.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace qen;

class TestViewGeometry : public QObject {
    Q_OBJECT
private slots:
    void bandCornersInImagePixels_data();
    void bandCornersInImagePixels();
    void bandBackToView();
    void fit_data();
    void fit();
    void zoomLimits_data();
    void zoomLimits();
    void scrollRange();
};

void TestViewGeometry::bandCornersInImagePixels_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPoint>("a");
    QTest::addColumn<QPoint>("b");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRect>("band");
    const QSize a4(2480, 3508);
    // The press at (100, 50) and release at (300, 200) of a selection give the band from view
    // pixel (100, 50) to (291, 191).
    QTest::newRow("100%") << 1.0 << QPoint(100, 50) << QPoint(291, 191) << QPoint() << a4
                          << QRect(100, 50, 192, 142);
    QTest::newRow("50%") << 0.5 << QPoint(100, 50) << QPoint(291, 191) << QPoint() << a4
                         << QRect(200, 100, 384, 284);
    QTest::newRow("300%") << 3.0 << QPoint(100, 50) << QPoint(291, 191) << QPoint() << a4
                          << QRect(33, 16, 65, 48);
    QTest::newRow("300%, corners reversed")
        << 3.0 << QPoint(291, 191) << QPoint(100, 50) << QPoint() << a4 << QRect(33, 16, 65, 48);
    QTest::newRow("300%, scrolled") << 3.0 << QPoint(100, 50) << QPoint(291, 191) << QPoint(30, 10)
                                    << a4 << QRect(43, 20, 65, 48);
    QTest::newRow("end before start in x only")
        << 1.0 << QPoint(291, 50) << QPoint(100, 191) << QPoint() << a4 << QRect(100, 50, 192, 142);
    QTest::newRow("one pixel") << 1.0 << QPoint(7, 9) << QPoint(7, 9) << QPoint() << a4
                               << QRect(7, 9, 1, 1);
    QTest::newRow("clipped at the page's edge")
        << 1.0 << QPoint(100, 50) << QPoint(291, 191) << QPoint() << QSize(150, 100)
        << QRect(100, 50, 50, 50);
    QTest::newRow("off the page") << 1.0 << QPoint(200, 200) << QPoint(210, 210) << QPoint()
                                  << QSize(150, 100) << QRect();
    QTest::newRow("left of the page")
        << 1.0 << QPoint(-20, -20) << QPoint(-5, 5) << QPoint() << QSize(150, 100) << QRect();
    // 30% arrives as the single-precision 0.30000001: pixel 3 is still image pixel 10.
    QTest::newRow("30% in single precision")
        << double(0.3f) << QPoint(3, 3) << QPoint(5, 5) << QPoint() << a4 << QRect(10, 10, 10, 10);
}

void TestViewGeometry::bandCornersInImagePixels() {
    QFETCH(double, zoom);
    QFETCH(QPoint, a);
    QFETCH(QPoint, b);
    QFETCH(QPoint, scroll);
    QFETCH(QSize, image);
    QFETCH(QRect, band);
    const QRect got = viewgeom::bandToImage(a, b, scroll, zoom, image);
    QCOMPARE(got.isEmpty(), band.isEmpty());
    if (!band.isEmpty())
        QCOMPARE(got, band);
}

void TestViewGeometry::bandBackToView() {
    QCOMPARE(viewgeom::imageToView(QRect(100, 50, 192, 142), {}, 1.0), QRect(100, 50, 192, 142));
    QCOMPARE(viewgeom::imageToView(QRect(33, 16, 65, 48), QPoint(30, 10), 3.0),
             QRect(QPoint(69, 38), QPoint(263, 181)));
}

void TestViewGeometry::fit_data() {
    QTest::addColumn<viewgeom::FitMode>("mode");
    using enum viewgeom::FitMode;
    QTest::addColumn<QSize>("image");
    QTest::addColumn<double>("zoom");
    const QSize a4(2480, 3508), wide(4000, 1000);
    // Viewport 1000x800 without scroll bars, bars 17 pixels thick.
    QTest::newRow("width of a tall page leaves room for the bar") << Width << a4 << 983.0 / 2480;
    QTest::newRow("height of a tall page") << Height << a4 << 800.0 / 3508;
    QTest::newRow("whole tall page") << Page << a4 << 800.0 / 3508;
    QTest::newRow("width of a wide page") << Width << wide << 1000.0 / 4000;
    QTest::newRow("height of a wide page leaves room for the bar")
        << Height << wide << 783.0 / 1000;
    QTest::newRow("whole wide page") << Page << wide << 0.25;
    QTest::newRow("empty page") << Width << QSize() << 0.0;
    QTest::newRow("tiny page is enlarged") << Page << QSize(10, 8) << 100.0;
}

void TestViewGeometry::fit() {
    QFETCH(viewgeom::FitMode, mode);
    QFETCH(QSize, image);
    QFETCH(double, zoom);
    QCOMPARE(viewgeom::fitZoom(mode, image, QSize(1000, 800), 17), zoom);
    if (zoom > 0 && zoom < viewgeom::MaxZoom &&
        mode == viewgeom::FitMode::Width) // the page fills the width exactly
        QCOMPARE(viewgeom::scaledExtent(image.width(), zoom),
                 image.height() * zoom > 800 ? 983 : 1000);
}

void TestViewGeometry::zoomLimits_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("zero") << 0.0 << false;
    QTest::newRow("negative") << -1.5 << false;
    QTest::newRow("not a number") << std::nan("") << false;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << false;
    QTest::newRow("lowest") << 0.01 << true;
    QTest::newRow("highest") << 100.0 << true;
    QTest::newRow("5000%") << 50.0 << true;
    QTest::newRow("above highest") << 100.1 << false;
}

void TestViewGeometry::zoomLimits() {
    QFETCH(double, zoom);
    QTEST(viewgeom::acceptableZoom(zoom), "accepted");
}

void TestViewGeometry::scrollRange() {
    QCOMPARE(viewgeom::scaledSize(QSize(2480, 3508), 0.5), QSize(1240, 1754));
    QCOMPARE(viewgeom::scaledSize(QSize(3, 3), 0.01), QSize(1, 1)); // never vanishes
    QCOMPARE(viewgeom::scaledExtent(0, 1.0), 0);
    QCOMPARE(viewgeom::maxScroll(QSize(1000, 2000), QSize(983, 800)), QPoint(17, 1200));
    QCOMPARE(viewgeom::maxScroll(QSize(500, 400), QSize(983, 800)), QPoint(0, 0));
    // 100 times an A4 page still fits the scroll range.
    QCOMPARE(viewgeom::scaledSize(QSize(2480, 3508), 100.0), QSize(248000, 350800));
}

QTEST_GUILESS_MAIN(TestViewGeometry)
#include "tst_viewgeometry.moc"
