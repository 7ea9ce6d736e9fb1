#include "export/printlayout.h"
#include "patterntiff.h"
#include "platform/error.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen::printlayout;

class TestPrintLayout : public QObject {
    Q_OBJECT
private slots:
    void placement_data();
    void placement();
    void paper_data();
    void paper();
    void printPixels_data();
    void printPixels();
    void sizeOnPaper_data();
    void sizeOnPaper();
    void preparePage_data();
    void preparePage();
    void printBitmap_data();
    void printBitmap();
    void reducedBitmap_data();
    void reducedBitmap();
    void aPageTooLargeToHoldPrintsWhole();
    void aPageTooLargeEvenInPartsIsNamed();
};

namespace {

QImage bilevel(int width, int height, int dpi) {
    QImage page(width, height, QImage::Format_Mono);
    page.setColorTable({0xffffffff, 0xff000000}); // as pages are kept: index 1 is ink
    page.fill(0);
    for (int y = 0; y < height; y += 7)
        for (int x = y % 5; x < width; x += 3)
            page.setPixel(x, y, 1);
    page.setDotsPerMeterX(qRound(dpi / 0.0254));
    page.setDotsPerMeterY(qRound(dpi / 0.0254));
    return page;
}

bool sameColours(const QImage &a, const QImage &b) {
    return a.size() == b.size() && a.convertToFormat(QImage::Format_Grayscale8) ==
                                       b.convertToFormat(QImage::Format_Grayscale8);
}

const QList<QRgb> EngineTable = {0xff000000, 0xffffffff};

} // namespace

void TestPrintLayout::placement_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QSizeF>("paper");
    QTest::addColumn<QRectF>("expected");
    // Worked by hand: A4 is 11907 x 16839.9 twips, A5 8391.6 x 11907, and the room for a page
    // is the paper less 567 (10 mm) each way. An A4 scan at 300 dpi (2480 x 3508 pixels) is
    // 11904 x 16838.4 twips.
    const QSizeF a4(210, 297), a5(148, 210);
    // Scaled by 11340 / 11904 to 11340 x 16040.613, centred.
    qen::test::row("A4 scan on A4", 11904.0, 16838.4, a4,
                   QRectF(283.5, 399.6435, 11340, 16040.6129));
    // Scaled by 7824.6 / 11904 to 7824.6 x 11068.023.
    qen::test::row("A4 scan on A5", 11904.0, 16838.4, a5,
                   QRectF(283.5, 419.4885, 7824.6, 11068.0229));
    // 600 x 300 pixels at 300 dpi: 2880 x 1440, at its size in the middle of the sheet.
    qen::test::row("small crop at its size", 2880.0, 1440.0, a4,
                   QRectF(4513.5, 7699.95, 2880, 1440));
    // 3000 x 1500 pixels at 300 dpi: 14400 x 7200, scaled by 0.7875 and still twice as wide
    // as high.
    qen::test::row("landscape clipping keeps its shape", 14400.0, 7200.0, a4,
                   QRectF(283.5, 5584.95, 11340, 5670));
    // 1200 x 900 pixels without a resolution, taken as 300 dpi (imageTwips): 5760 x 4320.
    qen::test::row("page without resolution", 5760.0, 4320.0, a4,
                   QRectF(3073.5, 6259.95, 5760, 4320));
    qen::test::row("exactly the room", 11340.0, 16272.9, a4, QRectF(283.5, 283.5, 11340, 16272.9));
    qen::test::row("empty page", 0.0, 0.0, a4, QRectF(5953.5, 8419.95, 0, 0));
}

void TestPrintLayout::placement() {
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QSizeF, paper);
    QFETCH(QRectF, expected);
    const QRectF r = imagePlacement(width, height, paper);
    // The worked numbers are given to a thousandth of a twip.
    const double near = 1e-3 + 1e-4;
    QVERIFY2(
        qAbs(r.x() - expected.x()) < near && qAbs(r.y() - expected.y()) < near &&
            qAbs(r.width() - expected.width()) < near &&
            qAbs(r.height() - expected.height()) < near,
        qPrintable(QString("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
}

void TestPrintLayout::paper_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QPageSize>("size");
    QTest::addColumn<QSizeF>("mm");
    QTest::addColumn<int>("backToCode");
    qen::test::row("A3", 8, QPageSize(QPageSize::A3), QSizeF(297, 420), 8);
    qen::test::row("A4", 9, QPageSize(QPageSize::A4), QSizeF(210, 297), 9);
    qen::test::row("A4 small prints on A4", 10, QPageSize(QPageSize::A4), QSizeF(210, 297), 9);
    qen::test::row("A5", 11, QPageSize(QPageSize::A5), QSizeF(148, 210), 11);
    qen::test::row("B4", 12, QPageSize(QPageSize::B4), QSizeF(250, 354), 12);
    qen::test::row("B5", 13, QPageSize(QPageSize::B5), QSizeF(182, 257), 13);
    qen::test::row("letter: the real size, not 0 x 0", 1, QPageSize(),
                   QPageSize(QPageSize::Letter).size(QPageSize::Millimeter), 0);
}

void TestPrintLayout::paper() {
    QFETCH(int, code);
    QFETCH(QPageSize, size);
    QFETCH(QSizeF, mm);
    QCOMPARE(pageSizeForCode(code).isValid(), size.isValid());
    if (size.isValid())
        QCOMPARE(pageSizeForCode(code).id(), size.id());
    const QPageSize printerPaper = size.isValid() ? size : QPageSize(QPageSize::Letter);
    QTEST(codeForPageSize(printerPaper), "backToCode");
    QCOMPARE(paperMillimetres(printerPaper), mm);
}

void TestPrintLayout::printPixels_data() {
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRectF>("target");
    QTest::addColumn<QSize>("expected");
    qen::test::row("coarser than the device", QSize(2480, 3508), QRectF(0, 0, 4960, 7016),
                   QSize(2480, 3508));
    qen::test::row("finer than the device", QSize(4960, 7016), QRectF(10, 10, 1240, 1754),
                   QSize(1240, 1754));
}

void TestPrintLayout::printPixels() {
    QFETCH(QSize, image);
    QFETCH(QRectF, target);
    QTEST(qen::printlayout::printPixels(image, target), "expected");
}

void TestPrintLayout::sizeOnPaper_data() {
    QTest::addColumn<int>("dotsPerMetre");
    QTest::addColumn<QSizeF>("expected");
    // 2480 x 3508 pixels; 11811 dots a metre is 299.9994 dpi, as 300 dpi files store it.
    qen::test::row("300 dpi", 11811, QSizeF(2480 * 1440 / 299.9994, 3508 * 1440 / 299.9994));
    qen::test::row("600 dpi", 23622, QSizeF(2480 * 1440 / 599.9988, 3508 * 1440 / 599.9988));
    qen::test::row("none (Qt's 96 dpi): taken as 300 dpi", 3780, QSizeF(11904, 16838.4));
}

void TestPrintLayout::sizeOnPaper() {
    QFETCH(int, dotsPerMetre);
    QFETCH(QSizeF, expected);
    QImage image(2480, 3508, QImage::Format_Mono);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    const QSizeF got = imageTwips(image);
    QVERIFY2(qAbs(got.width() - expected.width()) < 1e-3 &&
                 qAbs(got.height() - expected.height()) < 1e-3,
             qPrintable(QString("%1 x %2").arg(got.width()).arg(got.height())));
}

void TestPrintLayout::preparePage_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<QSizeF>("paper");
    QTest::addColumn<int>("printerDpi");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QRectF>("target");
    const QSizeF a4(210, 297), a5(148, 210);
    // Targets are imagePlacement's twips at the printer's dots a twip, less the printable
    // corner of (50, 60) device pixels.
    QTest::addRow("bilevel A4 scan on a 1200 dpi printer: as scanned")
        << bilevel(2480, 3508, 300) << a4 << 1200 << QSize(2480, 3508)
        << QRectF(283.5 * 1200 / 1440 - 50, 399.6435 * 1200 / 1440 - 60, 11340 * 1200 / 1440.0,
                  16040.6129 * 1200 / 1440);
    QTest::addRow("bilevel A4 scan on A5 at 300 dpi: the printer's pixels")
        << bilevel(2480, 3508, 300) << a5 << 300 << QSize(1631, 2306)
        << QRectF(283.5 / 4.8 - 50, 419.4885 / 4.8 - 60, 7824.6 / 4.8, 11068.0229 / 4.8);
    QTest::addRow("bilevel 600 dpi crop on a 300 dpi printer")
        << bilevel(1181, 591, 600) << a4 << 300 << QSize(591, 296)
        << QRectF((11907 - 2834.4) / 2 / 4.8 - 50, (16839.9 - 1418.4) / 2 / 4.8 - 60, 590.5, 295.5);
    QImage gray(1181, 591, QImage::Format_Grayscale8);
    gray.fill(90);
    gray.setDotsPerMeterX(23622);
    gray.setDotsPerMeterY(23622);
    QTest::addRow("gray 600 dpi crop on a 300 dpi printer")
        << gray << a4 << 300 << QSize(591, 296)
        << QRectF((11907 - 2834.4) / 2 / 4.8 - 50, (16839.9 - 1418.4) / 2 / 4.8 - 60, 590.5, 295.5);
}

void TestPrintLayout::preparePage() {
    QFETCH(QImage, page);
    QFETCH(QSizeF, paper);
    QFETCH(int, printerDpi);
    QFETCH(QRectF, target);
    const PrintImage ready =
        qen::printlayout::preparePage(page, {paper, printerDpi / 1440.0, QPointF(50, 60)});
    QTEST(ready.pixels.size(), "pixels");
    const QRectF t = ready.target;
    QVERIFY2(
        qAbs(t.x() - target.x()) < 0.05 && qAbs(t.y() - target.y()) < 0.05 &&
            qAbs(t.width() - target.width()) < 0.05 && qAbs(t.height() - target.height()) < 0.05,
        qPrintable(QString("%1 %2 %3 %4").arg(t.x()).arg(t.y()).arg(t.width()).arg(t.height())));
    // Bilevel stays 1 bit in the engine's table, never widened.
    QCOMPARE(ready.pixels.depth(), page.depth());
    if (page.depth() == 1) {
        QCOMPARE(ready.pixels.colorTable(), EngineTable);
        if (ready.pixels.size() == page.size())
            QVERIFY(sameColours(ready.pixels, page));
    }
}

void TestPrintLayout::printBitmap_data() {
    QTest::addColumn<QImage>("page");
    QTest::addRow("kept table, row not a whole byte") << bilevel(13, 9, 300);
    QTest::addRow("A4 row") << bilevel(2480, 40, 300);
    QImage engine = bilevel(21, 5, 300);
    engine.invertPixels();
    engine.setColorTable(EngineTable);
    QTest::addRow("already the engine's table") << engine;
    QTest::addRow("LSB first") << bilevel(19, 6, 300).convertToFormat(QImage::Format_MonoLSB);
}

void TestPrintLayout::printBitmap() {
    QFETCH(QImage, page);
    const QImage out = qen::printlayout::printBitmap(page);
    QCOMPARE(out.format(), QImage::Format_Mono);
    QCOMPARE(out.colorTable(), EngineTable);
    QVERIFY(sameColours(out, page));
}

void TestPrintLayout::reducedBitmap_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<QImage>("expected");
    auto plain = [](int w, int h, bool ink) {
        QImage img(w, h, QImage::Format_Mono);
        img.setColorTable({0xffffffff, 0xff000000});
        img.fill(ink ? 1 : 0);
        return img;
    };
    QImage lines = plain(200, 100, false), linesHalf = plain(100, 50, false);
    for (int x = 3; x < 200; x += 10)
        for (int y = 0; y < 100; ++y)
            lines.setPixel(x, y, 1);
    for (int x = 1; x < 100; x += 5)
        for (int y = 0; y < 50; ++y)
            linesHalf.setPixel(x, y, 1);
    QTest::addRow("one-pixel strokes twice as fine as the printer stay") << lines << linesHalf;
    // One pixel of four inked: a quarter of ink, too little to print.
    QImage dust = plain(200, 100, false);
    for (int y = 0; y < 100; y += 2)
        for (int x = 0; x < 200; x += 2)
            dust.setPixel(x, y, 1);
    QTest::addRow("a quarter of ink is paper") << dust << plain(100, 50, false);
    QTest::addRow("black stays black") << plain(90, 60, true) << plain(30, 20, true);
}

void TestPrintLayout::reducedBitmap() {
    QFETCH(QImage, page);
    QFETCH(QImage, expected);
    const QImage out = qen::printlayout::reducedBitmap(page, expected.size());
    QCOMPARE(out.format(), QImage::Format_Mono);
    QCOMPARE(out.colorTable(), EngineTable);
    QVERIFY(sameColours(out, expected));
}

void TestPrintLayout::aPageTooLargeToHoldPrintsWhole() {
    // 16400 x 16400 gray at 300 dpi (no resolution stated) is 1.39 m a side: on A4 at 600 dpi
    // it is 200 mm, 4725 device pixels, a side. Level 1 (8200) is the coarsest that covers it.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.tif"));
    QVERIFY(qen::test::writePatternTiff(path, 16400, 16400, 1));
    const Sheet sheet{{210, 297}, 600 / 1440.0, QPointF(50, 60)};
    const PrintImage ready = preparePageFile(path, sheet);
    const QRectF placed = imagePlacement(16400 * 4.8, 16400 * 4.8, sheet.paperMm);
    const QRectF expected(placed.x() * sheet.dotsPerTwip - 50, placed.y() * sheet.dotsPerTwip - 60,
                          placed.width() * sheet.dotsPerTwip, placed.height() * sheet.dotsPerTwip);
    QVERIFY(qAbs(ready.target.width() - expected.width()) < 0.05);
    QVERIFY(qAbs(ready.target.x() - expected.x()) < 0.05);
    QVERIFY(qAbs(ready.target.y() - expected.y()) < 0.05);
    QCOMPARE(ready.pixels.size(), qen::printlayout::printPixels(QSize(16400, 16400), ready.target));
    QCOMPARE(ready.pixels.format(), QImage::Format_Grayscale8);
    // The middle of every eighth block of the pattern keeps its value.
    const double scale = ready.pixels.width() / 16400.0;
    int worst = 0;
    for (int by = 0; by < 16400 / 64; by += 8)
        for (int bx = 0; bx < 16400 / 64; bx += 8) {
            const int x = bx * 64 + 32, y = by * 64 + 32;
            const int got = ready.pixels.constScanLine(int(y * scale))[int(x * scale)];
            worst = std::max(worst, std::abs(got - qen::test::patternAt(x, y)));
        }
    QVERIFY2(worst <= 1, qPrintable(QString::number(worst)));
}

void TestPrintLayout::aPageTooLargeEvenInPartsIsNamed() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.tif"));
    QVERIFY(qen::test::writeDeclaredTiff(path, 30000, 30000, 3));
    QString message;
    try {
        preparePageFile(path, {{210, 297}, 600 / 1440.0, QPointF()});
    } catch (const qen::Error &e) {
        message = e.description();
    }
    QVERIFY2(message.contains(u"huge.tif") && message.contains(u"30000"), qPrintable(message));
}
QTEST_GUILESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
