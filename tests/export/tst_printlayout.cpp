#include "export/printlayout.h"
#include "testfiles.h"

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
};

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

QTEST_GUILESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
