#include "articles/imagedocument.h"
#include "imaging/ui/imagetools.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "pageview/viewgeometry.h"
#include "patterntiff.h"
#include "platform/ui/twipsgeometry.h"
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"
#include "testfiles.h"
#include "windowfixture.h"

#include <QAction>
#include <QClipboard>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

// Pages with something on them everywhere, so that every adjustment changes pixels.
QImage testPage(const QString &kind, QSize size = {900, 1200}) {
    QImage rgb(size, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(rgb.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const bool ink = ((x / 3 + y / 5) % 7 == 0) || rng.bounded(50) == 0;
            const int v = ink ? 20 + rng.bounded(60) : 180 + rng.bounded(60);
            line[x] = kind == "colour" ? qRgb(v, 255 - v, (x + y) & 255) : qRgb(v, v, v);
        }
    }
    if (kind == "bilevel")
        return rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (kind == "gray")
        return rgb.convertToFormat(QImage::Format_Grayscale8);
    return rgb;
}

// Clipboard images go to the real (offscreen) clipboard as well as to the script.
class ClipboardInteraction : public test::ScriptedInteraction {
public:
    void setClipboardImage(const QImage &image) override {
        ScriptedInteraction::setClipboardImage(image);
        QtInteraction().setClipboardImage(image);
    }
};

// Counts how often the busy window was shown.
class BusyWatch : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject *o, QEvent *e) override {
        if (e->type() == QEvent::Show && o->objectName() == QLatin1String("frmMsg"))
            ++shown;
        return false;
    }
};

} // namespace

class TestImageTools : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_f.reset(); }
    void adjustThenUndoRestoresThePixels_data();
    void adjustThenUndoRestoresThePixels();
    void mirrorThenFlipIsHalfTurn();
    void undoKeepsThePageWhenTheFileIsGone();
    void undoAndCopyWaitForTheImageView();
    void grayscaleTogglesTheDisplay();
    void selectionModeToggle();
    void mouseDrawsTheBand_data();
    void mouseDrawsTheBand();
    void dragUpLeftAndClickKeepTheRectangle();
    void handleDragRemovesTheBandUntilReleased();
    void handToolPansAndKeepsTheBand();
    void holdThenMoveDragsOut_data();
    void holdThenMoveDragsOut();
    void copyPageIsTheWholePageAtImageResolution();
    void copySelectedAreaEqualsTheBand_data();
    void copySelectedAreaEqualsTheBand();
    void cropReplacesAReadOnlyOldCrop();
    void cropIntoAFolderThatCannotBeWritten();
    void bandAcrossPageChanges_data();
    void bandAcrossPageChanges();
    void aPageTooLargeToHoldSaysWhatItCannotDo();

private:
    QString writePage(const QString &name, const QImage &image,
                      ImageFileType type = ImageFileType::Tiff);
    void open(const QString &path);
    QAction *command(const char *name) { return m_f->command(name); }
    ImageView *view() { return m_f->window->imageView(); }
    QWidget *viewport() { return view()->clientArea(); }
    void drag(QPoint from, QPoint to);

    std::unique_ptr<test::BasicWindowFixture<ClipboardInteraction>> m_f;
};

void TestImageTools::init() {
    m_f =
        std::make_unique<test::BasicWindowFixture<ClipboardInteraction>>(test::WindowStart::Shown);
    QVERIFY(m_f->exposed);
}

QString TestImageTools::writePage(const QString &name, const QImage &image, ImageFileType type) {
    const QString path = m_f->dir.filePath(name);
    ImageDocument::writeFile(image, path, type);
    return path;
}

void TestImageTools::open(const QString &path) {
    // Opening a second file adds it to the tree; clicking its node shows it.
    m_f->window->CreateTree(path);
    m_f->window->documents()->nodeClick(m_f->window->documents()->model().find(path));
    QCOMPARE(view()->fileName(), path);
    view()->zoomToFactor(1.0);
    QCoreApplication::processEvents();
}

void TestImageTools::drag(QPoint from, QPoint to) {
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(viewport(), (from + to) / 2);
    QTest::mouseMove(viewport(), to);
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, to);
}

void TestImageTools::adjustThenUndoRestoresThePixels_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("changes");
    for (const QString kind : {"bilevel", "gray", "colour", "ImageMagick G4"}) {
        const bool bilevel = kind == QLatin1String("bilevel") || kind.endsWith("G4");
        QTest::addRow("%s brighter", qPrintable(kind))
            << kind << "mnuTool_Brighter" << true << true;
        QTest::addRow("%s mirror", qPrintable(kind)) << kind << "mnuTool_Hreverse" << true << true;
        QTest::addRow("%s flip", qPrintable(kind)) << kind << "mnuTool_UpDown" << false << true;
        QTest::addRow("%s negate", qPrintable(kind))
            << kind << "mnuTool_BlackWhiteReverse" << true << true;
        // A bilevel page already has full contrast.
        QTest::addRow("%s contrast", qPrintable(kind))
            << kind << "mnuTool_Contrast" << true << !bilevel;
        QTest::addRow("%s intensify", qPrintable(kind))
            << kind << "mnuTool_Intensify" << true << true;
    }
}

void TestImageTools::adjustThenUndoRestoresThePixels() {
    QFETCH(QString, kind);
    QFETCH(QString, item);
    QFETCH(bool, busy);
    QFETCH(bool, changes);
    QString path = m_f->dir.filePath("page.tif");
    if (kind.startsWith("ImageMagick")) {
        if (QStandardPaths::findExecutable("convert").isEmpty())
            QSKIP("ImageMagick is not installed");
        QCOMPARE(QProcess::execute("convert",
                                   {"-size", "640x480", "xc:white", "-fill", "black", "-draw",
                                    "rectangle 50,50 300,200", "-draw", "circle 400,300 450,350",
                                    "-monochrome", "-compress", "Group4", path}),
                 0);
    } else {
        writePage("page.tif", testPage(kind));
    }
    open(path);
    const QImage loaded = ImageDocument::readFile(path);
    BusyWatch watch;
    qApp->installEventFilter(&watch);
    m_f->command(item)->trigger();
    QCOMPARE(view()->image() != loaded, changes);
    QCOMPARE(view()->image().format(), loaded.format());
    m_f->command(item)->trigger(); // adjustments add up
    qApp->removeEventFilter(&watch);
    QCOMPARE(watch.shown, busy ? 2 : 0);
    command("mnuTool_Undo")->trigger();
    QCOMPARE(view()->image(), loaded);
    QCOMPARE(view()->fileName(), path);
    command("mnuTool_Undo")->trigger(); // undo without an adjustment: the same page again
    QCOMPARE(view()->image(), loaded);
    QCOMPARE(ImageDocument::readFile(path), loaded); // the page's file is never touched
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestImageTools::mirrorThenFlipIsHalfTurn() {
    for (const char *kind : {"bilevel", "gray", "colour"}) {
        const QImage page = testPage(kind, {333, 201}); // odd sizes: padding bits in play
        open(writePage(QStringLiteral("%1.tif").arg(kind), page));
        command("mnuTool_Hreverse")->trigger();
        command("mnuTool_UpDown")->trigger();
        const QImage turned = view()->image().convertToFormat(QImage::Format_RGB32);
        QTransform half;
        half.rotate(180);
        const QImage original = ImageDocument::readFile(view()->fileName());
        QVERIFY2(test::samePixels(turned,
                                  original.convertToFormat(QImage::Format_RGB32).transformed(half)),
                 kind);
        command("mnuTool_Undo")->trigger();
        QCOMPARE(view()->image(), ImageDocument::readFile(view()->fileName()));
    }
}

void TestImageTools::undoKeepsThePageWhenTheFileIsGone() {
    const QString path = writePage("gone.tif", testPage("bilevel"));
    open(path);
    command("mnuTool_BlackWhiteReverse")->trigger();
    const QImage adjusted = view()->image();
    view()->setScrollY(100);
    QVERIFY(QFile::remove(path));
    command("mnuTool_Undo")->trigger();
    QCOMPARE(m_f->ui.texts("error").size(), 1);
    QVERIFY(m_f->ui.texts("error").first().contains(path));
    QCOMPARE(view()->image(), adjusted); // not an empty view
    QCOMPARE(view()->fileName(), path);
    QCOMPARE(view()->scrollY(), 100);
}

void TestImageTools::undoAndCopyWaitForTheImageView() {
    const QString path = writePage("page.tif", testPage("gray"));
    const QString record = m_f->make("record.txt", test::gbk(u"【篇名】x"_qs));
    open(path);
    m_f->window->CreateTree(record);
    Documents &documents = *m_f->window->documents();
    documents.nodeClick(documents.model().find(path));
    command("mnuTool_BlackWhiteReverse")->trigger();
    const QImage adjusted = view()->image();
    // A record shown: the image view is parked and the commands leave it alone, also when
    // called directly.
    documents.nodeClick(documents.model().find(record));
    QVERIFY(!m_f->window->imageShown());
    m_f->window->imageTools()->undo();
    m_f->window->imageTools()->copyCurrPage();
    m_f->window->imageTools()->copySelArea();
    QCOMPARE(view()->image(), adjusted);
    QVERIFY(m_f->ui.clipboardImage.isNull());
    QVERIFY(!m_f->window->imageTools()->CropSelectionToFile());
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestImageTools::grayscaleTogglesTheDisplay() {
    QAction *item = command("mnuView_Grayscale");
    QVERIFY(item->isChecked());
    QCOMPARE(view()->grayscaleMode(), 1);
    item->trigger();
    QVERIFY(!item->isChecked());
    QCOMPARE(view()->grayscaleMode(), 0);
    item->trigger();
    QCOMPARE(view()->grayscaleMode(), 1);
}

void TestImageTools::selectionModeToggle() {
    open(writePage("page.tif", testPage("bilevel")));
    QAction *item = command("mnuTool_SelOCRArea");
    QAction *button = command("SelectArea");
    QVERIFY(item->isEnabled());
    QVERIFY(!item->isChecked() && !button->isChecked());
    view()->setSelectionBand(true, 10, 10);
    view()->selectionBandExtend(50, 50);
    item->trigger();
    QVERIFY(item->isChecked() && button->isChecked());
    QCOMPARE(view()->mousePointer(), MousePointer::Cross);
    QCOMPARE(view()->selectionWidth(), 0); // Ctrl+C now copies the whole page
    QVERIFY(!m_f->window->selectionShape()->isShown());
    item->trigger();
    QVERIFY(!item->isChecked() && !button->isChecked());
    QCOMPARE(view()->mousePointer(), MousePointer::Default);
}

void TestImageTools::mouseDrawsTheBand_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QRect>("band");
    // Press at view pixel (100, 50), release at (300, 200): the band covers view pixels
    // (100, 50) to (291, 191) and every image pixel under them.
    test::row("50%", 0.5, QPoint(0, 0), QRect(200, 100, 384, 284));
    test::row("100%", 1.0, QPoint(0, 0), QRect(100, 50, 192, 142));
    test::row("300% scrolled", 3.0, QPoint(30, 60), QRect(43, 36, 65, 48));
}

void TestImageTools::mouseDrawsTheBand() {
    QFETCH(double, zoom);
    QFETCH(QPoint, scroll);
    QFETCH(QRect, band);
    open(writePage("page.tif", testPage("bilevel")));
    view()->zoomToFactor(zoom);
    view()->setScrollX(scroll.x());
    view()->setScrollY(scroll.y());
    QCOMPARE(QPoint(view()->scrollX(), view()->scrollY()), scroll);
    command("mnuTool_SelOCRArea")->trigger();
    drag({100, 50}, {300, 200});
    SelectionShape *ctl = m_f->window->selectionShape();
    QVERIFY(ctl->isShown());
    QCOMPARE(ctl->state(), 1);
    QCOMPARE(ctl->geometry(), QRect(QPoint(92, 42), QPoint(299, 199)));
    QCOMPARE(view()->selectionRect(), band);
    QCOMPARE(m_f->window->imageTools()->anchor(), QPoint(100, 50));
}

void TestImageTools::dragUpLeftAndClickKeepTheRectangle() {
    open(writePage("page.tif", testPage("bilevel")));
    command("mnuTool_SelOCRArea")->trigger();
    drag({100, 50}, {300, 200});
    const QRect drawn = m_f->window->selectionShape()->geometry();
    const QRect band = view()->selectionRect();
    drag({400, 300}, {350, 250}); // up and to the left: the rectangle stays where it was
    QCOMPARE(m_f->window->selectionShape()->geometry(), drawn);
    QCOMPARE(view()->selectionRect(), band);
    // A click commits the rectangle as it stands.
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, {400, 300});
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, {400, 300});
    QCOMPARE(view()->selectionRect(), band);
    drag({200, 100}, {2000, 1500}); // beyond the window and the page: clipped to the page
    QCOMPARE(view()->selectionRect().topLeft(), QPoint(200, 100));
    QCOMPARE(view()->selectionRect().bottomRight(), QPoint(899, 1199));
    // The zoom changes in the middle of a drag: the band takes the pixels under the
    // rectangle at the zoom of the release.
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, {100, 50});
    QTest::mouseMove(viewport(), {200, 150});
    view()->zoomToFactor(2.0);
    QTest::mouseMove(viewport(), {300, 200});
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, {300, 200});
    QCOMPARE(view()->selectionRect(), QRect(50, 25, 96, 71));
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestImageTools::handleDragRemovesTheBandUntilReleased() {
    open(writePage("page.tif", testPage("gray")));
    command("mnuTool_SelOCRArea")->trigger();
    drag({100, 50}, {300, 200});
    SelectionShape *ctl = m_f->window->selectionShape();
    const QPoint corner = ctl->handleCentre(4); // bottom-right
    QCOMPARE(ctl->handleAt(corner), 4);
    QTest::mousePress(ctl, Qt::LeftButton, Qt::NoModifier, corner);
    QTest::mouseMove(ctl, corner + QPoint(30, 20));
    QCOMPARE(view()->selectionWidth(), 0);
    QCOMPARE(ctl->geometry(), QRect(QPoint(92, 42), QPoint(329, 219)));
    QTest::mouseRelease(ctl, Qt::LeftButton, Qt::NoModifier, corner + QPoint(30, 20));
    QCOMPARE(view()->selectionRect(), QRect(QPoint(100, 50), QPoint(321, 211)));
}

void TestImageTools::handToolPansAndKeepsTheBand() {
    open(writePage("page.tif", testPage("bilevel", {3000, 4000})));
    view()->setSelectionBand(true, 10, 10);
    view()->selectionBandExtend(60, 60);
    const QRect band = view()->selectionRect();
    m_f->window->selectionShape()->setShown(true);
    view()->setScrollX(100);
    view()->setScrollY(100);
    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, {300, 300});
    QCOMPARE(view()->mousePointer(), MousePointer::Hand);
    QVERIFY(!m_f->window->selectionShape()->isShown());
    QTest::mouseMove(viewport(), {280, 270});
    QCOMPARE(view()->scrollX(), 120);
    QCOMPARE(view()->scrollY(), 130);
    QTest::mouseMove(viewport(), {290, 300});
    QCOMPARE(view()->scrollX(), 110);
    QCOMPARE(view()->scrollY(), 100);
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, {290, 300});
    QCOMPARE(view()->selectionRect(), band);
    QCOMPARE(view()->mousePointer(), MousePointer::Hand);
}

void TestImageTools::holdThenMoveDragsOut_data() {
    QTest::addColumn<bool>("selecting");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<int>("holdMs");
    QTest::addColumn<bool>("dragsBand");
    QTest::addColumn<int>("drags");
    // The band is (20, 20)-(120, 100) in view pixels.
    QTest::newRow("pan mode, off the band: the page")
        << false << QPoint(300, 300) << 700 << false << 1;
    QTest::newRow("pan mode, on the band") << false << QPoint(50, 50) << 700 << true << 1;
    QTest::newRow("selection mode, on the band") << true << QPoint(50, 50) << 700 << true << 1;
    QTest::newRow("selection mode, off the band: the page")
        << true << QPoint(300, 300) << 700 << false << 1;
    QTest::newRow("moved at once: a new band, no drag")
        << true << QPoint(50, 50) << 0 << false << 0;
}

void TestImageTools::holdThenMoveDragsOut() {
    QFETCH(bool, selecting);
    QFETCH(QPoint, press);
    QFETCH(int, holdMs);
    QFETCH(bool, dragsBand);
    QFETCH(int, drags);
    const QString path = writePage("第2页.tif", testPage("gray"));
    open(path);
    if (selecting)
        command("mnuTool_SelOCRArea")->trigger();
    view()->setSelectionBand(true, 20, 20);
    view()->selectionBandExtend(120, 100);
    const QRect band = view()->selectionRect();
    const QImage bandImage = view()->selectionImage();

    QTest::mousePress(viewport(), Qt::LeftButton, Qt::NoModifier, press);
    QTest::qWait(holdMs);
    QTest::mouseMove(viewport(), press + QPoint(40, 30));
    QTest::mouseMove(viewport(), press + QPoint(80, 60));
    QTest::mouseRelease(viewport(), Qt::LeftButton, Qt::NoModifier, press + QPoint(80, 60));
    QCOMPARE(m_f->ui.drags, drags);
    if (!drags) {
        QVERIFY(view()->selectionRect() != band);
        return;
    }
    const QImage dropped = qvariant_cast<QImage>(m_f->ui.dragged->imageData());
    QCOMPARE(dropped, dragsBand ? bandImage : ImageDocument::readFile(path));
    const QList<QUrl> urls = m_f->ui.dragged->urls();
    QCOMPARE(urls.size(), 1);
    QCOMPARE(QFileInfo(urls.first().toLocalFile()).fileName(),
             dragsBand ? QStringLiteral("第2页-选定区域.png") : QStringLiteral("第2页.png"));
    QVERIFY(!m_f->ui.dragPreview.isNull());
    // Dragging neither moves nor loses the band, nor the page under it.
    QCOMPARE(view()->selectionRect(), band);
    QCOMPARE(QPoint(view()->scrollX(), view()->scrollY()), QPoint(0, 0));
    QCOMPARE(m_f->window->selectionShape()->isShown(), selecting);
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestImageTools::copyPageIsTheWholePageAtImageResolution() {
    const QString path = writePage("page.tif", testPage("bilevel"));
    open(path);
    view()->zoomToFactor(0.3);
    view()->setSelectionBand(true, 10, 10);
    view()->selectionBandExtend(60, 60);
    command("mnuTool_CopyCurrPage")->trigger();
    QCOMPARE(view()->selectionWidth(), 0);
    QCOMPARE(m_f->ui.clipboardImage, ImageDocument::readFile(path));
    QCOMPARE(m_f->ui.clipboardImage.format(), QImage::Format_Mono);
    const QImage pasted = QGuiApplication::clipboard()->image();
    QVERIFY(test::samePixels(pasted, ImageDocument::readFile(path)));
}

void TestImageTools::copySelectedAreaEqualsTheBand_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("band");
    for (const char *kind : {"bilevel", "gray", "colour"}) {
        QTest::addRow("%s band", kind) << kind << true;
        QTest::addRow("%s no band", kind) << kind << false;
    }
}

void TestImageTools::copySelectedAreaEqualsTheBand() {
    QFETCH(QString, kind);
    QFETCH(bool, band);
    const QString path = writePage("page.tif", testPage(kind));
    open(path);
    view()->zoomToFactor(1.5);
    if (band) {
        view()->setSelectionBand(true, 31, 17);
        view()->selectionBandExtend(200, 90);
    }
    // At 150 % view pixels 31-200 across and 17-90 down lie over image pixels 20-133 and
    // 11-60 (view pixel 31 covers image x 20.67-21.33, view pixel 200 covers 133.33-134).
    const QRect area = band ? QRect(QPoint(20, 11), QPoint(133, 60)) : QRect(0, 0, 900, 1200);
    const QImage expected = ImageDocument::readFile(path).copy(area);
    command("mnuTool_CopySelArea")->trigger();
    QVERIFY(m_f->ui.messages.isEmpty());
    QVERIFY(test::samePixels(m_f->ui.clipboardImage, expected));
    QVERIFY(test::samePixels(QGuiApplication::clipboard()->image(), expected));
    const QString crop = m_f->window->imageTools()->cropPath();
    QCOMPARE(crop, m_f->dir.filePath("prog/Temp.tif"));
    QVERIFY(test::samePixels(ImageDocument::readFile(crop), expected));
    auto *hidden = m_f->window->findChild<ImageView *>("imgHide");
    QCOMPARE(hidden->fileName(), crop);
    QCOMPARE(hidden->selectionWidth(), 0);
}

void TestImageTools::cropReplacesAReadOnlyOldCrop() {
    QImage page = testPage("bilevel");
    page.setDotsPerMeterX(11811); // 300 dpi, which recognition needs to know
    page.setDotsPerMeterY(11811);
    const QString path = writePage("page.tif", page);
    open(path);
    QVERIFY(m_f->window->imageTools()->CropSelectionToFile());
    const QString crop = m_f->window->imageTools()->cropPath();
    QVERIFY(QFile::setPermissions(crop, QFile::ReadOwner));
    view()->setSelectionBand(true, 0, 0);
    view()->selectionBandExtend(9, 4);
    QVERIFY(m_f->window->imageTools()->CropSelectionToFile());
    const QImage cropped = ImageDocument::readFile(crop);
    QCOMPARE(cropped.size(), QSize(10, 5));
    QCOMPARE(qRound(cropped.dotsPerMeterX() * 0.0254), 300);
    // Nothing shown: the old crop is gone, so recognition cannot take it for a new one.
    view()->setFileName(QString());
    QVERIFY(!m_f->window->imageTools()->CropSelectionToFile());
    QVERIFY(!QFileInfo::exists(crop));
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestImageTools::cropIntoAFolderThatCannotBeWritten() {
    // The program folder's name is taken by a file: nothing can be written there, also not
    // by root.
    test::writeFile(m_f->dir.filePath("prog"), "not a folder");
    open(writePage("page.tif", testPage("gray")));
    command("mnuTool_CopySelArea")->trigger();
    QCOMPARE(m_f->ui.texts("error").size(), 1);
    QVERIFY(m_f->ui.texts("error").first().contains(m_f->dir.path()));
    QVERIFY(m_f->ui.clipboardImage.isNull());
    QVERIFY(!m_f->window->imageTools()->CropSelectionToFile());
    QCOMPARE(m_f->ui.texts("error").size(), 2);
}

void TestImageTools::bandAcrossPageChanges_data() {
    QTest::addColumn<QSize>("next");
    QTest::addColumn<QRect>("band");
    test::row("same size", QSize(900, 1200), QRect(100, 50, 192, 142));
    test::row("reaches beyond", QSize(200, 100), QRect(100, 50, 100, 50));
    test::row("wholly outside", QSize(90, 40), QRect());
}

void TestImageTools::bandAcrossPageChanges() {
    QFETCH(QSize, next);
    QFETCH(QRect, band);
    open(writePage("first.tif", testPage("bilevel")));
    command("mnuTool_SelOCRArea")->trigger();
    drag({100, 50}, {300, 200});
    QCOMPARE(view()->selectionRect(), QRect(100, 50, 192, 142));
    open(writePage("second.tif", testPage("gray", next)));
    QCOMPARE(view()->selectionRect(), band);
    SelectionShape *ctl = m_f->window->selectionShape();
    QCOMPARE(ctl->isShown(), !band.isEmpty());
    QCOMPARE(ctl->state(), band.isEmpty() ? 0 : 1);
    if (!band.isEmpty()) // the rectangle frames the band that is left
        QCOMPARE(ctl->frameRect().translated(ctl->pos()),
                 viewgeom::imageToView(band, {view()->scrollX(), view()->scrollY()}, 1.0));
}

void TestImageTools::aPageTooLargeToHoldSaysWhatItCannotDo() {
    // 16400 x 16400 gray, over the 256 MB of a page held whole.
    const QString path = m_f->dir.filePath("large.tif");
    QVERIFY(test::writePatternTiff(path, 16400, 16400, 1));
    open(path);
    QVERIFY(view()->document().large());
    const quint64 revision = view()->document().revision();
    command("mnuTool_Contrast")->trigger();
    command("mnuTool_CopyCurrPage")->trigger();
    QCOMPARE(m_f->ui.messages.size(), 2);
    for (const auto &m : m_f->ui.messages)
        QVERIFY2(m.text.contains(QStringLiteral("16400×16400 像素，太大")), qPrintable(m.text));
    QCOMPARE(view()->document().revision(), revision);
    QVERIFY(m_f->ui.clipboardImage.isNull());

    // A band is read from the file at full resolution.
    m_f->ui.messages.clear();
    view()->setSelectionRect(QRect(150, 250, 120, 40));
    command("mnuTool_CopySelArea")->trigger();
    QVERIFY(m_f->ui.messages.isEmpty());
    QCOMPARE(m_f->ui.clipboardImage.size(), QSize(120, 40));
    const QImage copied = m_f->ui.clipboardImage.convertToFormat(QImage::Format_Grayscale8);
    QCOMPARE(copied.constScanLine(0)[0], test::patternAt(150, 250));
    QCOMPARE(copied.constScanLine(39)[119], test::patternAt(269, 289));
}

QTEST_MAIN(TestImageTools)
#include "tst_imagetools.moc"
