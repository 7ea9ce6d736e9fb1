// Find and text selection in the real window, on a package of pages drawn with known Chinese
// text and read by the recognition library: Ctrl+F, Enter, F3 across pages and the wrap, Esc;
// a drag over a line with the text tool and Ctrl+C; the marks on screen after a mirror and a
// zoom.
#include "articles/articletree.h"
#include "mouseevents.h"
#include "ocr/textlayer.h"
#include "ocr/textqueue.h"
#include "ocr/ui/findbar.h"
#include "ocr/ui/findcommand.h"
#include "ocr/ui/texttool.h"
#include "ocrpage.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "windowfixture.h"

#include <QBuffer>
#include <QInputMethodEvent>
#include <QLineEdit>

using namespace qen;

namespace {

const QList<QStringList> PageLines = {
    {u"近年来，深度学习技术在图像识别领域取得了显著进展。"_qs,
     u"本文提出一种基于卷积神经网络的文字识别方法，"_qs},
    {u"实验使用的数据来自过去的期刊。"_qs, u"图书馆的数字化工作正在加快。"_qs},
    {u"研究人员还发现，页面越清晰，识别的错误就越少。"_qs,
     u"因此扫描时应当选择合适的分辨率和对比度。"_qs},
};

// Pages as a scanner's software writes them: gray TIFFs by Qt's own TIFF plugin.
QByteArray tiffOf(const QImage &page) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "TIFF");
    return bytes;
}

QString shownKey(test::WindowFixture &f) {
    const ArticleTree &tree = f.window->documents()->model();
    return tree.key(tree.selected());
}

// The share of the rectangle's pixels that are ink on the page as the view holds it.
// A key as the user presses it: to whatever has the keyboard focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, key, modifiers);
}

double inkShare(const QImage &page, const QRect &r) {
    const QImage part = page.copy(r).convertToFormat(QImage::Format_Grayscale8);
    int ink = 0;
    for (int y = 0; y < part.height(); ++y)
        for (int x = 0; x < part.width(); ++x)
            ink += part.constScanLine(y)[x] < 128;
    return part.isNull() ? 0 : double(ink) / (part.width() * part.height());
}

} // namespace

class TstFindText : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void findAcrossPagesAndWrap();
    void dragOverALineCopiesIt();
    void marksFollowMirrorAndZoom();
    void recordPageDisablesFind();

private:
    void findFirst(const QString &query);
    std::unique_ptr<test::WindowFixture> m_f;
    QStringList m_pages;
};

void TstFindText::initTestCase() {
    const QString missing = test::pageRecognitionMissing();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
}

void TstFindText::init() {
    m_f = std::make_unique<test::WindowFixture>();
    std::vector<fixture::Entry> entries;
    for (qsizetype i = 0; i < PageLines.size(); ++i) {
        test::OcrPageOptions gray;
        gray.bilevel = false;
        entries.push_back(fixture::file(QStringLiteral("p%1.tif").arg(i + 1).toLatin1(),
                                        tiffOf(test::renderOcrPage(PageLines[i], gray))));
    }
    const QString package = m_f->package(u"found.qen"_qs, u"识别文章"_qs, entries);
    m_f->window->CreateTree(package);
    ocr::TextQueue *queue = m_f->window->textQueue();
    QTRY_VERIFY_WITH_TIMEOUT(queue->pageCount() == 3 && queue->readCount() == 3, 120000);
    const ArticleTree &tree = m_f->window->documents()->model();
    m_pages.clear();
    for (const int page : tree.children(tree.roots().value(0)))
        m_pages << tree.key(page);
    QCOMPARE(m_pages.size(), 3);
    for (const QString &p : std::as_const(m_pages))
        QVERIFY2(queue->layer(p), qPrintable(p));
}

void TstFindText::cleanup() {
    m_f.reset();
}

void TstFindText::findFirst(const QString &query) {
    QTest::keyClick(m_f->window->imageView(), Qt::Key_F, Qt::ControlModifier);
    FindBar *bar = m_f->window->findBar();
    QVERIFY(bar->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), bar->queryBox());
    // Chinese comes from the input method as a committed string.
    QInputMethodEvent typed;
    typed.setCommitString(query);
    QApplication::sendEvent(bar->queryBox(), &typed);
    press(Qt::Key_Return);
}

void TstFindText::findAcrossPagesAndWrap() {
    findFirst(u"识别"_qs);
    FindBar *bar = m_f->window->findBar();
    ImageView *view = m_f->window->imageView();
    // Two on the first page, none on the second, one on the third.
    QCOMPARE(bar->countText(), u"第 1 处，共 3 处"_qs);
    QCOMPARE(shownKey(*m_f), m_pages[0]);
    QCOMPARE(view->strongMarks(ImageView::MarkSet::Found).size(), 1);
    QCOMPARE(view->marks(ImageView::MarkSet::Found).size(), 1);
    for (const QRect &r :
         view->strongMarks(ImageView::MarkSet::Found) + view->marks(ImageView::MarkSet::Found))
        QVERIFY2(inkShare(view->image(), r) > 0.08,
                 qPrintable(QString::number(inkShare(view->image(), r))));
    // The view keeps the bar out of its way: the bar sits under it.
    QVERIFY(bar->geometry().top() >= view->geometry().bottom());

    press(Qt::Key_F3);
    QCOMPARE(bar->countText(), u"第 2 处，共 3 处"_qs);
    // F3 from the page, too.
    view->setFocus();
    press(Qt::Key_F3);
    QCOMPARE(shownKey(*m_f), m_pages[2]);
    QCOMPARE(bar->countText(), u"第 3 处，共 3 处"_qs);
    const QRect hit = view->strongMarks(ImageView::MarkSet::Found).value(0);
    QVERIFY(inkShare(view->image(), hit) > 0.08);
    QVERIFY(view->viewport()->rect().intersects(view->pageToView(hit)));
    press(Qt::Key_F3);
    QCOMPARE(shownKey(*m_f), m_pages[0]);
    QCOMPARE(bar->countText(), u"第 1 处，共 3 处（已从头开始）"_qs);
    press(Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(shownKey(*m_f), m_pages[2]);
    QCOMPARE(bar->countText(), u"第 3 处，共 3 处（已从末尾开始）"_qs);

    // A page turn the search did not make forgets the current hit but keeps the marks.
    m_f->command(u"mnuPage_PrevPage"_qs)->trigger();
    QCOMPARE(shownKey(*m_f), m_pages[1]);
    QCOMPARE(bar->countText(), u"共 3 处"_qs);
    bar->focusQuery();
    press(Qt::Key_Return);
    QCOMPARE(shownKey(*m_f), m_pages[2]);

    // Arrows in the query edit it; the page stays where it is.
    const int scroll = view->scrollY();
    press(Qt::Key_Down);
    press(Qt::Key_PageDown);
    QCOMPARE(view->scrollY(), scroll);

    press(Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(view->marks(ImageView::MarkSet::Found).isEmpty());
    QVERIFY(view->strongMarks(ImageView::MarkSet::Found).isEmpty());

    findFirst(u"没有这句话"_qs);
    QCOMPARE(bar->countText(), u"未找到"_qs);
}

void TstFindText::dragOverALineCopiesIt() {
    ImageView *view = m_f->window->imageView();
    m_f->command(u"mnuTool_SelectText"_qs)->trigger();
    QVERIFY(m_f->window->textTool()->active());
    const ocr::TextLayer *layer = m_f->window->textQueue()->layer(m_pages[0]);
    QVERIFY(layer->lineCount() >= 2);
    const QRect line = layer->boxesFor(layer->firstGlyphOfLine(1), layer->lastGlyphOfLine(1))[0];
    view->ensureVisible(line);
    const QRect onScreen = view->pageToView(line);
    const QPoint from(onScreen.left() - 3, onScreen.center().y());
    const QPoint to(onScreen.right() + 3, onScreen.center().y());
    QWidget *viewport = view->viewport();
    test::sendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    test::sendMouse(viewport, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    test::sendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    test::sendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    QVERIFY(m_f->window->textTool()->hasSelection());
    view->setFocus();
    press(Qt::Key_C, Qt::ControlModifier);
    const QString copied = m_f->ui.clipboardText;
    const double cer = test::characterErrorRate(PageLines[0][1], copied);
    QVERIFY2(cer <= 0.1, qPrintable(copied + u" / "_qs + layer->plainText()));
    QVERIFY(!copied.contains(u"\r\n"_qs));

    // With the tool off, Ctrl+C copies the page as before.
    m_f->command(u"mnuTool_SelectText"_qs)->trigger();
    m_f->ui.clipboardText.clear();
    press(Qt::Key_C, Qt::ControlModifier);
    QVERIFY(m_f->ui.clipboardText.isEmpty());
    QVERIFY(!m_f->ui.clipboardImage.isNull());

    m_f->command(u"mnuTool_CopyPageText"_qs)->trigger();
    QCOMPARE(m_f->ui.clipboardText, layer->plainText());
}

void TstFindText::marksFollowMirrorAndZoom() {
    findFirst(u"卷积神经网络"_qs);
    ImageView *view = m_f->window->imageView();
    QCOMPARE(m_f->window->findBar()->countText(), u"第 1 处，共 1 处"_qs);
    const QRect hit = view->strongMarks(ImageView::MarkSet::Found).value(0);
    QVERIFY(!hit.isEmpty());
    auto tintedInkOnScreen = [&] {
        view->ensureVisible(hit);
        const QImage screen =
            view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect r = view->pageToView(hit) & view->viewport()->rect();
        int dark = 0, tinted = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QRgb px = screen.pixel(x, y);
                dark += qGray(px) < 100;
                tinted += qRed(px) - qBlue(px) > 40;
            }
        const double area = double(r.width()) * r.height();
        return area > 0 && dark / area > 0.05 && tinted / area > 0.5;
    };
    QVERIFY(tintedInkOnScreen());
    m_f->command(u"mnuTool_Hreverse"_qs)->trigger();
    QVERIFY(tintedInkOnScreen());
    m_f->command(u"mnuTool_UpDown"_qs)->trigger();
    QVERIFY(view->zoomToFactor(1.7));
    QVERIFY(tintedInkOnScreen());
    QCOMPARE(view->pageToView(hit).width(), qRound(hit.width() * 1.7));
    // Undo goes back to the file's pixels, and the mark with it.
    m_f->command(u"mnuTool_Undo"_qs)->trigger();
    QVERIFY(tintedInkOnScreen());
}

void TstFindText::recordPageDisablesFind() {
    QAction *find = m_f->command(u"mnuPage_Find"_qs);
    QVERIFY(find->isEnabled());
    findFirst(u"识别"_qs);
    const QString record = m_f->make(u"rec.txt"_qs, "\xa1\xbe\xcc\xe2\xc3\xfb\xa1\xbf test\r\n");
    m_f->window->CreateTree(record);
    Documents *documents = m_f->window->documents();
    documents->nodeClick(documents->model().find(record));
    QVERIFY2(documents->shown().recordShown(), qPrintable(shownKey(*m_f)));
    QVERIFY(!find->isEnabled());
    QVERIFY(!m_f->window->findBar()->isVisible());
    // Closing everything mid-search leaves a clear, empty state.
    m_f->window->CloseAll();
    QVERIFY(m_f->window->findCommand()->search().pages().isEmpty());
}

QTEST_MAIN(TstFindText)
#include "tst_findtext.moc"
