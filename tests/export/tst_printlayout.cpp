#include "export/printlayout.h"

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
};

void TestPrintLayout::placement_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QSizeF>("paper");
    QTest::addColumn<QRectF>("expected");
    // Worked by hand: A4 is 11907 x 16839.9 twips and A5 8391.6 x 11907. A page that fits is
    // drawn at half its size less 567 x 680.4, centred, then moved 567 left and 340.2 up.
    const QSizeF a4(210, 297);
    QTest::newRow("A4, fits") << 20000.0 << 28000.0 << a4 << QRectF(670, 1419.95, 9433, 13319.6);
    // Wider than the paper less 2 cm: the paper less 10 mm each way, 11907 - 567 by
    // 16839.9 - 567.
    QTest::newRow("A4, too wide: stretched to the paper less 10 mm")
        << 24000.0 << 28000.0 << a4 << QRectF(0, 0, 11340, 16272.9);
    QTest::newRow("A4, too wide whatever its height")
        << 24000.0 << 1000.0 << a4 << QRectF(0, 0, 11340, 16272.9);
    // 40000 twips high draws 19319.6 high on the sheet: scaled by 16272.9 / 19319.6 to
    // 7945.416 x 16272.9, centred across.
    QTest::newRow("A4, too tall: scaled down to the sheet")
        << 20000.0 << 40000.0 << a4 << QRectF(1980.792, 0, 7945.416, 16272.9);
    QTest::newRow("A5") << 10000.0 << 10000.0 << QSizeF(148, 210)
                        << QRectF(1412.3, 3453.5, 4433, 4319.6);
}

void TestPrintLayout::placement() {
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QSizeF, paper);
    QFETCH(QRectF, expected);
    const QRectF r = imagePlacement(width, height, paper);
    // The worked numbers are given to a thousandth of a twip.
    const double near = 1e-3;
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
    QTest::newRow("A3") << 8 << QPageSize(QPageSize::A3) << QSizeF(297, 420) << 8;
    QTest::newRow("A4") << 9 << QPageSize(QPageSize::A4) << QSizeF(210, 297) << 9;
    QTest::newRow("A4 small prints on A4")
        << 10 << QPageSize(QPageSize::A4) << QSizeF(210, 297) << 9;
    QTest::newRow("A5") << 11 << QPageSize(QPageSize::A5) << QSizeF(148, 210) << 11;
    QTest::newRow("B4") << 12 << QPageSize(QPageSize::B4) << QSizeF(250, 354) << 12;
    QTest::newRow("B5") << 13 << QPageSize(QPageSize::B5) << QSizeF(182, 257) << 13;
    QTest::newRow("letter: the real size, not 0 x 0")
        << 1 << QPageSize() << QPageSize(QPageSize::Letter).size(QPageSize::Millimeter) << 0;
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
    QTest::newRow("coarser than the device")
        << QSize(2480, 3508) << QRectF(0, 0, 4960, 7016) << QSize(2480, 3508);
    QTest::newRow("finer than the device")
        << QSize(4960, 7016) << QRectF(10, 10, 1240, 1754) << QSize(1240, 1754);
}

void TestPrintLayout::printPixels() {
    QFETCH(QSize, image);
    QFETCH(QRectF, target);
    QTEST(qen::printlayout::printPixels(image, target), "expected");
}

QTEST_GUILESS_MAIN(TestPrintLayout)
#include "tst_printlayout.moc"
