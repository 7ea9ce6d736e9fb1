#include "articles/pageshape.h"
#include "mouseevents.h"
#include "pageview/ui/imageview.h"
#include "pageview/viewportcache.h"
#include "scriptedinteraction.h"
#include "testfiles.h"

#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace qen;

namespace {

// A bilevel 300 dpi page small enough for a test and larger than the view.
QImage textPage() {
    QImage image(1200, 1600, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 100; y < 1500; y += 40)
        for (int x = 100 + (y / 40) % 7; x < 1100; x += 9)
            for (int dy = 0; dy < 20; ++dy)
                image.setPixel(x, y + dy, 1);
    image.setPixel(0, 0, 1);
    image.setDotsPerMeterX(11811); // 300 dpi
    image.setDotsPerMeterY(11811);
    return image;
}

} // namespace

class TestImageView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void loadsAndEmpties();
    void badFileEmptiesTheView();
    void zoomKeepsThePageAndRefusesBadFactors_data();
    void zoomKeepsThePageAndRefusesBadFactors();
    void fitCommands();
    void scrollIsClampedAndSignalled();
    void bandIsKeptInImagePixels();
    void mouseEventsCarryButtonsShiftAndTwips();
    void clipboardGoesThroughInteraction();
    void saveWritesWhatTheViewHolds();
    void printingSizeAndPointer();
    void paintsOnlyTheVisiblePart();
    void paintedPixelsAreThePage_data();
    void paintedPixelsAreThePage();

private:
    QTemporaryDir m_dir;
    QString m_page;
    ImageView *newView();
};

void TestImageView::initTestCase() {
    m_page = m_dir.filePath("page.tif");
    ImageDocument::writeFile(textPage(), m_page, ImageFileType::Tiff);
}

ImageView *TestImageView::newView() {
    auto *view = new ImageView;
    view->resize(400, 300);
    view->show();
    if (!QTest::qWaitForWindowExposed(view))
        qWarning("view not exposed");
    return view;
}

void TestImageView::loadsAndEmpties() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    QCOMPARE(view->fileName(), m_page);
    QCOMPARE(view->image().format(), QImage::Format_Mono);
    QCOMPARE(view->image().size(), QSize(1200, 1600));
    QVERIFY(view->lastError().isEmpty());
    view->adjust(pageshape::mirrorHorizontal);
    QCOMPARE(view->image().pixelIndex(1199, 0), 1);
    QVERIFY(view->setFileName(view->fileName())); // undo: the file as loaded
    QCOMPARE(view->image().pixelIndex(0, 0), 1);
    QVERIFY(view->setFileName(QString()));
    QVERIFY(!view->hasImage());
    QVERIFY(view->fileName().isEmpty());
    view->setImage(textPage());
    QVERIFY(view->hasImage());
    QVERIFY(view->fileName().isEmpty());
}

void TestImageView::badFileEmptiesTheView() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    view->setSelectionBand(true, 10, 10);
    const QString bad = test::dataFile("declares-100000x100000.tif");
    QVERIFY(!view->setFileName(bad));
    QVERIFY(!view->hasImage());
    QVERIFY(view->fileName().isEmpty());
    QVERIFY(view->lastError().contains(bad));
    QCOMPARE(view->selectionWidth(), 0);
    view->viewport()->repaint(); // an empty view paints without trouble
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->lastError().isEmpty());
}

void TestImageView::zoomKeepsThePageAndRefusesBadFactors_data() {
    QTest::addColumn<double>("factor");
    QTest::addColumn<bool>("accepted");
    test::row("150%", 1.5, true);
    test::row("0", 0.0, false);
    test::row("negative", -0.2, false);
    test::row("not a number", std::nan(""), false);
    test::row("100000%", 1000.0, false);
    test::row("10000%", 100.0, true);
}

void TestImageView::zoomKeepsThePageAndRefusesBadFactors() {
    QFETCH(double, factor);
    QFETCH(bool, accepted);
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->zoomToFactor(0.5));
    view->viewport()->repaint();
    const quint64 revision = view->document().revision();
    const qint64 pixels = view->image().cacheKey();
    QCOMPARE(view->zoomToFactor(factor), accepted);
    QCOMPARE(view->zoomFactor(), accepted ? factor : 0.5);
    view->viewport()->repaint();
    QCOMPARE(view->document().revision(), revision); // no reload, no re-decode
    QCOMPARE(view->image().cacheKey(), pixels);
}

void TestImageView::fitCommands() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(!view->zoomToFit(viewgeom::FitMode::Width)); // nothing to fit
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->zoomToFit(viewgeom::FitMode::Width));
    QApplication::processEvents(); // scroll bars come and go through the event loop
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    QVERIFY(view->verticalScrollBar()->maximum() > 0);
    QCOMPARE(std::lround(1200 * view->zoomFactor()), long(view->viewport()->width()));
    QVERIFY(view->zoomToFit(viewgeom::FitMode::Page));
    QApplication::processEvents();
    QCOMPARE(view->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(view->verticalScrollBar()->maximum(), 0);
    QCOMPARE(std::lround(1600 * view->zoomFactor()), long(view->viewport()->height()));
    QVERIFY(view->zoomToFit(viewgeom::FitMode::Height));
    QApplication::processEvents();
    QCOMPARE(view->verticalScrollBar()->maximum(), 0);
}

void TestImageView::scrollIsClampedAndSignalled() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->zoomToFactor(1.0));
    QSignalSpy scrolled(view.get(), &ImageView::scrolled);
    view->setScrollX(-5);
    QCOMPARE(view->scrollX(), 0);
    QCOMPARE(scrolled.count(), 0);
    view->setScrollX(100000);
    QCOMPARE(view->scrollX(), 1200 - view->viewport()->width());
    QCOMPARE(scrolled.count(), 1);
    view->setScrollY(250);
    QCOMPARE(view->scrollY(), 250);
    QCOMPARE(scrolled.count(), 2);
    view->setScrollY(250);
    QCOMPARE(scrolled.count(), 2);
    QVERIFY(view->zoomToFactor(2.0)); // the offsets follow the zoom and are reported
    QCOMPARE(view->scrollY(), 500);
    QCOMPARE(scrolled.count(), 3);
    QVERIFY(view->setFileName(m_page)); // a new page starts at the top
    QCOMPARE(view->scrollY(), 0);
    QCOMPARE(scrolled.count(), 4);
}

void TestImageView::bandIsKeptInImagePixels() {
    std::unique_ptr<ImageView> view(newView());
    view->setSelectionBand(true, 10, 10);
    view->selectionBandExtend(50, 50);
    QCOMPARE(view->selectionWidth(), 0); // empty view: no band
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->zoomToFactor(3.0));
    view->setScrollX(30);
    view->setScrollY(10);
    view->setSelectionBand(true, 100, 50);
    view->selectionBandExtend(291, 191);
    QCOMPARE(view->selectionRect(), QRect(43, 20, 65, 48));
    QCOMPARE(view->selectionImage().size(), QSize(65, 48));
    QCOMPARE(view->selectionImage().format(), QImage::Format_Mono);
    view->selectionBandExtend(20, 5); // end before start: normalised
    QCOMPARE(view->selectionRect(), QRect(16, 5, 28, 16));
    view->setScrollY(20); // the band stays on the same image pixels
    QCOMPARE(view->selectionRect(), QRect(16, 5, 28, 16));
    view->viewport()->repaint();
    view->setSelectionBand(false);
    QCOMPARE(view->selectionWidth(), 0);
    QCOMPARE(view->selectionHeight(), 0);
    QCOMPARE(view->selectionImage().size(), QSize(1200, 1600)); // no band: the page
}

void TestImageView::mouseEventsCarryButtonsShiftAndTwips() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    QWidget *area = view->clientArea();
    const double tx = twipsPerPixelX(area), ty = twipsPerPixelY(area);
    QSignalSpy down(view.get(), &ImageView::mouseDown);
    QSignalSpy move(view.get(), &ImageView::mouseMove);
    QSignalSpy up(view.get(), &ImageView::mouseUp);
    test::sendMouse(area, QEvent::MouseButtonPress, {100, 50}, Qt::LeftButton, Qt::LeftButton,
                    Qt::ShiftModifier);
    test::sendMouse(area, QEvent::MouseMove, {120, 60}, Qt::NoButton, Qt::LeftButton);
    test::sendMouse(area, QEvent::MouseButtonRelease, {120, 60}, Qt::LeftButton, {});
    test::sendMouse(area, QEvent::MouseButtonPress, {5, 6}, Qt::RightButton, Qt::RightButton,
                    Qt::ControlModifier);
    QCOMPARE(down.count(), 2);
    QCOMPARE(down[0], (QList<QVariant>{1, 1, 100 * tx, 50 * ty}));
    QCOMPARE(down[1], (QList<QVariant>{2, 2, 5 * tx, 6 * ty}));
    QCOMPARE(move.count(), 1);
    QCOMPARE(move[0], (QList<QVariant>{1, 0, 120 * tx, 60 * ty}));
    QCOMPARE(up.count(), 1);
    QCOMPARE(up[0].at(0).toInt(), 1);
}

void TestImageView::clipboardGoesThroughInteraction() {
    std::unique_ptr<ImageView> view(newView());
    test::ScriptedInteraction interaction;
    view->copyToClipboard(interaction);
    QVERIFY(interaction.clipboardImage.isNull());
    QVERIFY(view->setFileName(m_page));
    view->setSelectionBand(true, 1, 1);
    view->copyToClipboard(interaction); // the whole page, band or not
    QCOMPARE(interaction.clipboardImage.size(), QSize(1200, 1600));
}

void TestImageView::saveWritesWhatTheViewHolds() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    view->adjust([](QImage &image) { image.invertPixels(); });
    const QString out = m_dir.filePath("negated.tif");
    view->setSaveFileType(ImageFileType::Tiff);
    view->setSaveFileName(out);
    view->saveFile();
    const QImage saved = ImageDocument::readFile(out);
    QCOMPARE(saved.format(), QImage::Format_Mono);
    QCOMPARE(saved.pixelIndex(0, 0), 0);
    QCOMPARE(saved.pixelIndex(1, 1), 1);
    QCOMPARE(ImageDocument::readFile(m_page).pixelIndex(1, 1), 0); // the page's file is untouched

    view->setSelectionBand(true, 0, 0);
    view->selectionBandExtend(9, 4);
    ImageView hidden; // the crop path: band -> hidden twin -> TIFF -> back
    hidden.setImage(view->selectionImage());
    hidden.setSaveFileType(ImageFileType::Tiff);
    hidden.setSaveFileName(m_dir.filePath("Temp.tif"));
    hidden.saveFile();
    QVERIFY(hidden.setFileName(m_dir.filePath("Temp.tif")));
    hidden.finishCrop();
    QCOMPARE(hidden.image().size(), QSize(10, 5));

    view->setSaveFileName(m_dir.filePath("missing/folder/x.bmp"));
    view->setSaveFileType(ImageFileType::Bmp);
    QVERIFY(test::errorOf([&] { view->saveFile(); }).contains("missing/folder/x.bmp"));
}

void TestImageView::printingSizeAndPointer() {
    std::unique_ptr<ImageView> view(newView());
    QCOMPARE(view->imageWidthTwips(), 0.0);
    QVERIFY(view->setFileName(m_page));
    QVERIFY(std::abs(view->imageWidthTwips() - 1200 * 1440 / 300.0) < 1);
    QVERIFY(std::abs(view->imageHeightTwips() - 1600 * 1440 / 300.0) < 1);
    QCOMPARE(view->picture().size(), QSize(1200, 1600));
    view->setMousePointer(MousePointer::Hand);
    QCOMPARE(view->viewport()->cursor().shape(), Qt::OpenHandCursor);
    view->setMousePointer(MousePointer::Default);
    QVERIFY(!view->viewport()->testAttribute(Qt::WA_SetCursor));
}

void TestImageView::paintsOnlyTheVisiblePart() {
    std::unique_ptr<ImageView> view(newView());
    QVERIFY(view->setFileName(m_page));
    QVERIFY(view->zoomToFactor(2.0));
    QApplication::processEvents();
    view->viewport()->repaint();
    const QSize area = view->viewport()->size();
    QCOMPARE(view->viewportCache().rect().size(), area);
    QCOMPARE(view->memoryBytes(), view->image().sizeInBytes() + view->viewportCache().bytes());
    QVERIFY(view->viewportCache().bytes() <= qint64(area.width() + 3) * area.height() * 4);
    view->setScrollY(30);
    QApplication::processEvents(); // paints the strip that came into view
    QCOMPARE(view->viewportCache().lastRendered(), qint64(area.width()) * 30);
    view->setGrayscaleMode(0);
    QCOMPARE(view->grayscaleMode(), 0);
    // The viewport is rendered afresh in the new mode, into the memory it had.
    const qint64 held = view->viewportCache().bytes();
    view->prepareGrayscale();
    view->viewport()->repaint();
    QCOMPARE(view->viewportCache().lastRendered(), qint64(area.width()) * area.height());
    QCOMPARE(view->viewportCache().bytes(), held);
}

// Gray viewports are written into the window's store directly; what the window then holds,
// and what a grab of the view (drawn through Qt instead) holds, is the page as rendered.
void TestImageView::paintedPixelsAreThePage_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<QPoint>("scroll");
    const QImage bilevel = textPage();
    QImage colour = bilevel.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            colour.setPixel(x, y, qRgb(x % 256, y, 90));
    QTest::addRow("bilevel, smoothed") << bilevel << true << QPoint(0, 0);
    QTest::addRow("bilevel, scrolled") << bilevel << true << QPoint(37, 51);
    QTest::addRow("bilevel, by pixel") << bilevel << false << QPoint(5, 3);
    QTest::addRow("gray") << bilevel.convertToFormat(QImage::Format_Grayscale8) << true
                          << QPoint(11, 0);
    QTest::addRow("colour") << colour << true << QPoint(0, 0);
}

void TestImageView::paintedPixelsAreThePage() {
    QFETCH(QImage, page);
    QFETCH(bool, smooth);
    QFETCH(QPoint, scroll);
    QWidget window;
    window.resize(470, 350);
    auto *view = new ImageView(&window);
    view->setGeometry(23, 11, 401, 297); // away from the store's corner, odd sizes
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    view->setImage(page);
    view->setGrayscaleMode(smooth ? 1 : 0);
    QVERIFY(view->zoomToFactor(0.43));
    view->setScrollX(scroll.x());
    view->setScrollY(scroll.y());
    QApplication::processEvents();
    view->viewport()->repaint();

    const QRect shownPart = view->viewportCache().rect();
    QCOMPARE(shownPart.size(), view->viewport()->size());
    const QImage expected =
        render::scaledPart(view->image(), 0.43, shownPart, smooth, render::ScreenFormat);
    const QPoint at = view->viewport()->mapTo(&window, QPoint(0, 0));
    const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
    QCOMPARE(screen.copy(QRect(at, shownPart.size())).convertToFormat(render::ScreenFormat),
             expected);
    const QImage grabbed = view->viewport()->grab().toImage();
    QCOMPARE(grabbed.convertToFormat(render::ScreenFormat), expected);
}

QTEST_MAIN(TestImageView)
#include "tst_imageview.moc"
