#include "imaging/adjustments.h"

#include <QPainter>
#include <QtTest>

#include "testfiles.h"

using namespace qen;

using qen::test::samePixels;

namespace {

QImage monoPage(int w, int h, const std::function<bool(int, int)> &ink) {
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink(x, y))
                image.setPixel(x, y, 1);
    return image;
}

QImage grayRamp() {
    QImage image(256, 3, QImage::Format_Grayscale8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x)
            image.scanLine(y)[x] = uchar(x);
    return image;
}

QImage colourPage() {
    QImage image(29, 17, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x * 9) % 256, (y * 15) % 256, (x * y) % 256));
    return image;
}

int inkCount(const QImage &mono) {
    int n = 0;
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            n += mono.pixelIndex(x, y);
    return n;
}

} // namespace

class TestAdjustments : public QObject {
    Q_OBJECT
private slots:
    void mirrorThenFlipIsHalfTurn_data();
    void mirrorThenFlipIsHalfTurn();
    void negateTwiceIsIdentity_data();
    void negateTwiceIsIdentity();
    void brightnessNeverWraps_data();
    void brightnessNeverWraps();
    void intensifyNeverWraps();
    void bilevelBrightnessThinsButKeepsThinStrokes();
    void bilevelIntensifyThickens();
    void contrastStretchesGrayAndLeavesBilevel();
    void normalisesImagesIntoPageShapes();
};

void TestAdjustments::mirrorThenFlipIsHalfTurn_data() {
    QTest::addColumn<QImage>("page");
    QTest::newRow("bilevel, odd width")
        << monoPage(37, 11, [](int x, int y) { return x * 2 < y + 5 || x == 36; });
    QTest::newRow("gray") << grayRamp();
    QTest::newRow("colour") << colourPage();
}

void TestAdjustments::mirrorThenFlipIsHalfTurn() {
    QFETCH(QImage, page);
    QImage turned = page;
    adjustments::mirrorHorizontal(turned);
    adjustments::flipVertical(turned);
    QCOMPARE(turned.format(), page.format());
    const int w = page.width(), h = page.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            QCOMPARE(turned.pixel(x, y), page.pixel(w - 1 - x, h - 1 - y));
}

void TestAdjustments::negateTwiceIsIdentity_data() {
    mirrorThenFlipIsHalfTurn_data();
}

void TestAdjustments::negateTwiceIsIdentity() {
    QFETCH(QImage, page);
    QImage image = page;
    adjustments::negate(image);
    QVERIFY(!samePixels(image, page));
    QCOMPARE(qGray(image.pixel(0, 0)), 255 - qGray(page.pixel(0, 0)));
    adjustments::negate(image);
    QCOMPARE(image.format(), page.format());
    QVERIFY(samePixels(image, page));
    if (page.format() == QImage::Format_Mono) // padding stays clear through the bit flips
        for (int y = 0; y < image.height(); ++y)
            QCOMPARE(image.constScanLine(y)[4] & 0x07, 0);
}

void TestAdjustments::brightnessNeverWraps_data() {
    QTest::addColumn<int>("amount");
    QTest::newRow("70, the menu's amount") << 70;
    QTest::newRow("255") << 255;
    QTest::newRow("beyond range") << 1000;
    QTest::newRow("darker") << -70;
}

void TestAdjustments::brightnessNeverWraps() {
    QFETCH(int, amount);
    QImage gray = grayRamp();
    QImage colour = colourPage();
    for (int round = 0; round < 6; ++round) {
        const QImage before = gray;
        const QImage colourBefore = colour;
        adjustments::adjustBrightness(gray, amount);
        adjustments::adjustBrightness(colour, amount);
        for (int x = 0; x < 256; ++x) {
            const int v = before.constScanLine(0)[x], w = gray.constScanLine(0)[x];
            QVERIFY(amount > 0 ? w >= v : w <= v);
            if (x > 0) // order is kept: a brighter input is never darker afterwards
                QVERIFY(w >= gray.constScanLine(0)[x - 1]);
        }
        QCOMPARE(int(gray.constScanLine(0)[255]), amount > 0 ? 255 : gray.constScanLine(0)[255]);
        for (int y = 0; y < colour.height(); ++y)
            for (int x = 0; x < colour.width(); ++x) {
                const QRgb a = colourBefore.pixel(x, y), b = colour.pixel(x, y);
                QVERIFY(amount > 0 ? qRed(b) >= qRed(a) && qBlue(b) >= qBlue(a)
                                   : qRed(b) <= qRed(a) && qBlue(b) <= qBlue(a));
            }
    }
    if (amount == 70) // black is lifted, not washed out
        QVERIFY(grayRamp().constScanLine(0)[0] == 0);
}

void TestAdjustments::intensifyNeverWraps() {
    QImage gray = grayRamp();
    adjustments::intensify(gray, 2.0);
    for (int x = 0; x < 256; ++x) {
        const int v = gray.constScanLine(0)[x];
        QVERIFY(v <= x);
        QCOMPARE(v, std::max(0, 255 - (255 - x) * 2));
    }
    QImage once = grayRamp();
    for (int i = 0; i < 5; ++i)
        adjustments::intensify(once, 16.0);
    QCOMPARE(int(once.constScanLine(0)[255]), 255); // white stays white
    QCOMPARE(int(once.constScanLine(0)[0]), 0);
    QImage unchanged = grayRamp();
    adjustments::intensify(unchanged, std::nan(""));
    QVERIFY(samePixels(unchanged, grayRamp()));
}

void TestAdjustments::bilevelBrightnessThinsButKeepsThinStrokes() {
    // A one-pixel frame and a 4-pixel-thick bar.
    const QImage page = monoPage(40, 30, [](int x, int y) {
        return x == 2 || y == 2 || (x >= 10 && x < 30 && y >= 10 && y < 14);
    });
    QImage image = page;
    adjustments::adjustBrightness(image, 70);
    QCOMPARE(image.format(), QImage::Format_Mono);
    QVERIFY(inkCount(image) < inkCount(page));
    for (int i = 0; i < 40; ++i) { // repeat far beyond sense: text never disappears
        QCOMPARE(image.pixelIndex(2, 20), 1);
        QCOMPARE(image.pixelIndex(20, 2), 1);
        adjustments::adjustBrightness(image, 70);
    }
    int barInk = 0;
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 30; ++x)
            barInk += image.pixelIndex(x, y);
    QVERIFY(barInk >= 15 && barInk <= 20); // thinned to one row, never to nothing
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            QVERIFY(image.pixelIndex(x, y) <= page.pixelIndex(x, y)); // no ink appears
}

void TestAdjustments::bilevelIntensifyThickens() {
    QImage image = monoPage(9, 9, [](int x, int y) { return x == 4 && y == 4; });
    adjustments::intensify(image, 2.0);
    QCOMPARE(image.format(), QImage::Format_Mono);
    QCOMPARE(inkCount(image), 3);
    QCOMPARE(image.pixelIndex(5, 4), 1);
    QCOMPARE(image.pixelIndex(4, 5), 1);
    QImage edge = monoPage(9, 9, [](int x, int) { return x == 8; });
    adjustments::intensify(edge, 2.0);
    QCOMPARE(inkCount(edge), 9); // nothing spills into the padding
    QCOMPARE(edge.constScanLine(0)[1] & 0x7f, 0);
    QImage unchanged = monoPage(9, 9, [](int x, int y) { return x == y; });
    adjustments::intensify(unchanged, 1.0);
    QCOMPARE(inkCount(unchanged), 9);
}

void TestAdjustments::contrastStretchesGrayAndLeavesBilevel() {
    QImage gray(100, 10, QImage::Format_Grayscale8);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 100; ++x)
            gray.scanLine(y)[x] = uchar(100 + x / 2);
    adjustments::enhanceContrast(gray);
    QCOMPARE(int(gray.constScanLine(0)[0]), 0);
    QCOMPARE(int(gray.constScanLine(0)[99]), 255);
    QImage flat(10, 10, QImage::Format_Grayscale8);
    flat.fill(128);
    adjustments::enhanceContrast(flat); // nothing to stretch
    QCOMPARE(int(flat.constScanLine(5)[5]), 128);
    const QImage page = monoPage(20, 20, [](int x, int y) { return (x + y) % 3 == 0; });
    QImage mono = page;
    adjustments::enhanceContrast(mono);
    QVERIFY(samePixels(mono, page));
}

void TestAdjustments::normalisesImagesIntoPageShapes() {
    QImage whiteOnBlack(10, 2, QImage::Format_Mono);
    whiteOnBlack.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    whiteOnBlack.fill(0); // all black
    whiteOnBlack.setPixel(3, 1, 1);
    const QImage mono = pageshape::normalized(whiteOnBlack);
    QCOMPARE(mono.color(1), qRgb(0, 0, 0));
    QCOMPARE(mono.pixelIndex(0, 0), 1);
    QCOMPARE(mono.pixelIndex(3, 1), 0);

    QImage transparent(4, 4, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    const QImage flat = pageshape::normalized(transparent);
    QCOMPARE(flat.format(), QImage::Format_RGB32);
    QCOMPARE(flat.pixel(1, 1), qRgb(255, 255, 255));

    QImage grays(4, 4, QImage::Format_RGB32);
    grays.fill(qRgb(90, 90, 90));
    QCOMPARE(pageshape::reducedToPlainest(grays).format(), QImage::Format_Grayscale8);
    grays.setPixel(0, 0, qRgb(255, 255, 255));
    grays.fill(qRgb(0, 0, 0));
    QCOMPARE(pageshape::reducedToPlainest(grays).format(), QImage::Format_Mono);
    grays.setPixel(2, 2, qRgb(1, 2, 3));
    QCOMPARE(pageshape::reducedToPlainest(grays).format(), QImage::Format_RGB32);
}

QTEST_GUILESS_MAIN(TestAdjustments)
#include "tst_adjustments.moc"
