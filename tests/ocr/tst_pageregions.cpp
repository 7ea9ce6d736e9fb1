// Preparing whole pages for the engine: specks away, punctuation kept, columns found.
#include "ocr/pageregions.h"
#include "ocrpage.h"

#include <QtTest>

using namespace qen;
using namespace qen::ocr;

namespace {

QImage grayOf(const QImage &page) {
    return page.convertToFormat(QImage::Format_Grayscale8);
}

int differingPixels(const QImage &a, const QImage &b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.constScanLine(y)[x] != b.constScanLine(y)[x];
    return n;
}

} // namespace

class TstPageRegions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (!test::ocrFontAvailable())
            QSKIP("needs fonts-noto-cjk");
    }
    void punctuationStays_data();
    void punctuationStays();
    void specksGo();
    void regions_data();
    void regions();
    void blankPage();
};

void TstPageRegions::punctuationStays_data() {
    QTest::addColumn<int>("dpi");
    QTest::addColumn<double>("pointSize");
    QTest::newRow("10.5 pt at 300 dpi") << 300 << 10.5;
    QTest::newRow("9 pt at 300 dpi") << 300 << 9.0;
    QTest::newRow("12 pt at 200 dpi") << 200 << 12.0;
    QTest::newRow("14 pt at 400 dpi") << 400 << 14.0;
}

void TstPageRegions::punctuationStays() {
    QFETCH(int, dpi);
    QFETCH(double, pointSize);
    test::OcrPageOptions o;
    o.dpi = dpi;
    o.pointSize = pointSize;
    // The marks on lines of their own, under a line of running text that sets the stroke:
    // the marks' lines keep every pixel.
    const QImage marks = grayOf(test::renderOcrPage(
        {u"：；、。，．·：；、。，"_qs, u"i j ; : . ,"_qs, test::ocrTruthLines()[0]}, o));
    QImage page = marks;
    removeSpeckles(page);
    const QRect markLines = test::ocrLineBand(marks, 0, 2, o).intersected(marks.rect());
    QCOMPARE(differingPixels(page.copy(markLines), marks.copy(markLines)), 0);

    // Running text: the stroke and the character height are measured, and nothing goes but
    // the odd pixel that thresholding cut off a stroke's tip.
    const QImage text = grayOf(test::renderOcrPage(test::ocrTruthLines().mid(0, 2), o));
    page = text;
    const PageInk ink = removeSpeckles(page);
    const double em = pointSize / 72 * dpi;
    QVERIFY2(ink.strokeWidth >= 1 && ink.strokeWidth <= em / 6,
             qPrintable(QString::number(ink.strokeWidth)));
    QVERIFY2(ink.characterHeight >= em / 2 && ink.characterHeight <= em * 1.2,
             qPrintable(QString::number(ink.characterHeight)));
    QVERIFY2(differingPixels(page, text) <= 2 * ink.speckles && ink.speckles <= 40,
             qPrintable(QString::number(ink.speckles)));
}

void TstPageRegions::specksGo() {
    QImage clean = grayOf(test::renderOcrPage(test::ocrTruthLines().mid(0, 2)));
    removeSpeckles(clean);
    QImage page = clean;
    // One, two and three pixels, well away from the text.
    const QList<QPoint> specks{{10, 10}, {30, 10}, {31, 10}, {50, 10}, {51, 11}, {50, 11}};
    for (const QPoint &p : specks)
        page.scanLine(p.y())[p.x()] = 0;
    QCOMPARE(removeSpeckles(page).speckles, 3);
    QCOMPARE(differingPixels(page, clean), 0);

    // A noisy bilevel page loses most of its specks and keeps its text.
    test::OcrPageOptions noisy;
    noisy.noise = 0.01;
    QImage scan = grayOf(test::renderOcrPage(test::ocrTruthLines().mid(0, 2), noisy));
    const int before = differingPixels(scan, clean);
    const PageInk found = removeSpeckles(scan);
    QVERIFY(found.speckles > 0);
    QVERIFY2(differingPixels(scan, clean) < before / 2,
             qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(differingPixels(scan, clean))));
}

void TstPageRegions::regions_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<double>("gutterMm");
    QTest::addColumn<bool>("title");
    QTest::addColumn<QList<int>>("lengths");
    QTest::newRow("one column") << 1 << 0.0 << false << QList<int>{6};
    QTest::newRow("two short columns, 12 mm") << 2 << 12.0 << false << QList<int>{4, 4};
    QTest::newRow("two columns under a title") << 2 << 8.0 << true << QList<int>{10, 10};
    QTest::newRow("left column longer") << 2 << 6.0 << false << QList<int>{9, 5};
    QTest::newRow("right column longer") << 2 << 6.0 << true << QList<int>{3, 8};
    QTest::newRow("three columns") << 3 << 6.0 << false << QList<int>{5, 5, 5};
}

void TstPageRegions::regions() {
    QFETCH(int, columns);
    QFETCH(double, gutterMm);
    QFETCH(bool, title);
    QFETCH(QList<int>, lengths);
    QList<QStringList> text;
    int from = 0;
    for (int c = 0; c < columns; ++c) {
        text << test::ocrColumnLines(from + lengths[c]).mid(from);
        from += lengths[c];
    }
    const test::ColumnPage page = test::renderColumnPage(
        text, gutterMm, title ? u"双栏页面的标题 Title of a page"_qs : QString());
    QImage gray = grayOf(page.page);
    const PageInk ink = removeSpeckles(gray);
    const QList<QRect> regions = readingRegions(gray, ink);
    QCOMPARE(regions.size(), columns + (title ? 1 : 0));
    QList<QRect> drawn = page.columns;
    if (title)
        drawn.prepend(page.title);
    for (qsizetype i = 0; i < regions.size(); ++i) {
        // Each region holds its own column's ink and nothing of the next.
        const QRect &r = regions[i];
        QVERIFY2(drawn[i].adjusted(-4, -20, 4, 20).contains(r),
                 qPrintable(QStringLiteral("%1: %2,%3 %4x%5")
                                .arg(i)
                                .arg(r.x())
                                .arg(r.y())
                                .arg(r.width())
                                .arg(r.height())));
        QVERIFY(r.width() > drawn[i].width() * 3 / 4);
    }
}

void TstPageRegions::blankPage() {
    QImage blank(800, 600, QImage::Format_Grayscale8);
    blank.fill(255);
    const PageInk ink = removeSpeckles(blank);
    QCOMPARE(ink.strokeWidth, 0);
    QVERIFY(readingRegions(blank, ink).isEmpty());
    QVERIFY(readingRegions(QImage(), ink).isEmpty());
}

QTEST_MAIN(TstPageRegions)
#include "tst_pageregions.moc"
