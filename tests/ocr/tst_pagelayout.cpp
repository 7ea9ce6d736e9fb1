// Whole pages through the recognition library's page entry: layouts of pages drawn with known
// text, one and two columns, clean and noisy.
#include "articles/imagedocument.h"
#include "ocr/engine/qenocr.h"
#include "ocr/pagereader.h"
#include "ocrpage.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen;
using namespace qen::ocr;

class TstPageLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void onePage_data();
    void onePage();
    void twoColumns_data();
    void twoColumns();
    void areaBoxesArePagePixels();
    void badPages_data();
    void badPages();

private:
    PageReading read(const QImage &page, const QString &name, const QRect &area = QRect());
    QTemporaryDir m_dir;
    std::unique_ptr<PageEngineLibrary> m_library;
    std::unique_ptr<PageReader> m_reader;
};

void TstPageLayout::initTestCase() {
    if (const QString missing = test::pageRecognitionMissing(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_library = std::make_unique<PageEngineLibrary>(QStringList{test::builtOcrLibrary()});
    m_reader = std::make_unique<PageReader>(*m_library, u"chi_sim"_qs);
}

PageReading TstPageLayout::read(const QImage &page, const QString &name, const QRect &area) {
    const QString file = m_dir.filePath(name);
    ImageDocument::writeFile(page, file, ImageFileType::Tiff);
    return m_reader->read(file, area);
}

void TstPageLayout::onePage_data() {
    QTest::addColumn<bool>("bilevel");
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("maxErrorRate");
    QTest::newRow("clean gray") << false << 0.0 << 0.015;
    QTest::newRow("noisy bilevel") << true << 0.01 << 0.04;
}

void TstPageLayout::onePage() {
    QFETCH(bool, bilevel);
    QFETCH(double, noise);
    QFETCH(double, maxErrorRate);
    const QStringList truth = test::ocrTruthLines();
    test::OcrPageOptions o;
    o.bilevel = bilevel;
    o.noise = noise;
    const QImage page = test::renderOcrPage(truth, o);
    const PageReading r = read(page, u"one.tif"_qs);
    QVERIFY2(r.ok(), qPrintable(r.message));
    const TextLayer &layer = *r.layer;
    QCOMPARE(layer.pageSize(), page.size());
    QCOMPARE(layer.dpi(), 300);
    const QString text = layer.plainText();
    const double cer = test::characterErrorRate(truth.join(QString()), text);
    qInfo("character error rate %.2f %%", cer * 100);
    QVERIFY2(cer <= maxErrorRate, qPrintable(QStringLiteral("%1: %2").arg(cer).arg(text)));
    QVERIFY(!test::hasSpaceBetweenChinese(text));
    QCOMPARE(layer.lineCount(), int(truth.size()));
    // Boxes sit on the lines they were drawn on (the engine's boxes of marks such as "，"
    // reach a little below the line).
    for (int l = 0; l < layer.lineCount(); ++l) {
        const QRect band = test::ocrLineBand(page, l, 1);
        for (const QRect &box : layer.boxesFor(layer.firstGlyphOfLine(l), layer.lastGlyphOfLine(l)))
            QVERIFY2(band.contains(box.center()) && box.height() < band.height(),
                     qPrintable(QStringLiteral("%1: %2,%3 %4x%5 outside %6,%7 %8x%9")
                                    .arg(layer.lineText(l))
                                    .arg(box.x())
                                    .arg(box.y())
                                    .arg(box.width())
                                    .arg(box.height())
                                    .arg(band.x())
                                    .arg(band.y())
                                    .arg(band.width())
                                    .arg(band.height())));
    }
}

void TstPageLayout::twoColumns_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<double>("gutterMm");
    QTest::addColumn<bool>("noisy");
    // The engine alone reads this one straight across the gutter.
    QTest::newRow("four lines, 12 mm gutter") << 4 << 12.0 << false;
    QTest::newRow("twelve lines, 6 mm gutter, noisy") << 12 << 6.0 << true;
}

void TstPageLayout::twoColumns() {
    QFETCH(int, rows);
    QFETCH(double, gutterMm);
    QFETCH(bool, noisy);
    const QStringList lines = test::ocrColumnLines(2 * rows);
    test::OcrPageOptions o;
    o.noise = noisy ? 0.01 : 0.0;
    const test::ColumnPage page =
        test::renderColumnPage({lines.mid(0, rows), lines.mid(rows)}, gutterMm, QString(), o);
    const PageReading r = read(page.page, u"columns.tif"_qs);
    QVERIFY2(r.ok(), qPrintable(r.message));
    const TextLayer &layer = *r.layer;
    const QString text = layer.plainText();
    const double cer = test::characterErrorRate(lines.join(QString()), text);
    qInfo("character error rate %.2f %%", cer * 100);
    QVERIFY2(cer <= (noisy ? 0.04 : 0.015),
             qPrintable(QStringLiteral("%1: %2").arg(cer).arg(text)));
    // No line runs across the gutter, and the left column comes first.
    const int gutter = (page.columns[0].right() + page.columns[1].left()) / 2;
    bool right = false;
    for (int l = 0; l < layer.lineCount(); ++l) {
        const QRect box =
            layer.boxesFor(layer.firstGlyphOfLine(l), layer.lastGlyphOfLine(l)).value(0);
        QVERIFY2(box.right() < gutter || box.left() > gutter, qPrintable(layer.lineText(l)));
        if (box.left() > gutter)
            right = true;
        else
            QVERIFY2(!right, qPrintable(layer.lineText(l)));
    }
}

void TstPageLayout::areaBoxesArePagePixels() {
    const QStringList lines = test::ocrColumnLines(6);
    const test::ColumnPage page = test::renderColumnPage({lines.mid(0, 3), lines.mid(3)}, 10);
    const QRect area = page.columns[1].adjusted(-20, -20, 20, 20);
    const PageReading r = read(page.page, u"area.tif"_qs, area);
    QVERIFY2(r.ok(), qPrintable(r.message));
    QCOMPARE(r.layer->pageSize(), page.page.size());
    QVERIFY(r.layer->count() > 20);
    for (int i = 0; i < r.layer->count(); ++i)
        QVERIFY(area.contains(r.layer->box(i)));
    QVERIFY(test::characterErrorRate(lines.mid(3).join(QString()), r.layer->plainText()) <= 0.05);
}

void TstPageLayout::badPages_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("messagePart");
    QTest::newRow("blank page") << u"blank.tif"_qs << QSize(1200, 1600) << int(QEN_OCR_OK)
                                << QString();
    QTest::newRow("1 x 1") << u"dot.tif"_qs << QSize(1, 1) << int(QEN_OCR_OK) << QString();
    QTest::newRow("20000 x 20000") << u"huge.tif"_qs << QSize(20000, 20000)
                                   << int(QEN_OCR_IMAGE_TOO_LARGE) << u"20000×20000"_qs;
    QTest::newRow("not an image") << u"text.tif"_qs << QSize() << int(QEN_OCR_BAD_IMAGE)
                                  << u"text.tif"_qs;
    QTest::newRow("missing") << u"missing.tif"_qs << QSize() << int(QEN_OCR_BAD_IMAGE)
                             << u"missing.tif"_qs;
}

void TstPageLayout::badPages() {
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(int, status);
    QFETCH(QString, messagePart);
    const QString path = m_dir.filePath(file);
    if (size.isValid()) {
        QImage blank(size, QImage::Format_Mono);
        blank.setColor(0, qRgb(0, 0, 0));
        blank.setColor(1, qRgb(255, 255, 255));
        blank.fill(1);
        ImageDocument::writeFile(blank, path, ImageFileType::Tiff);
    } else if (file == u"text.tif"_qs) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a page at all");
    }
    const PageReading r = m_reader->read(path);
    QCOMPARE(r.status, status);
    QVERIFY2(r.message.contains(messagePart), qPrintable(r.message));
    if (status == QEN_OCR_OK) {
        QVERIFY(r.layer && r.layer->isEmpty());
        QCOMPARE(r.layer->pageSize(), size);
    }
    // The engine goes on reading after a bad page.
    if (file == u"missing.tif"_qs)
        QVERIFY(read(test::renderOcrPage(test::ocrTruthLines().mid(0, 1)), u"after.tif"_qs).ok());
}

QTEST_MAIN(TstPageLayout)
#include "tst_pagelayout.moc"
