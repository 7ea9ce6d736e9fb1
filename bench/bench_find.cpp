// Find and the text tool in the real window, on recognised pages: the next hit on the same
// page and on another page against a page turn after a pause, a repaint with 50 marks against
// one without, and a text-tool drag over 20 lines per mouse move. Each figure is a ratio to
// a baseline of the same run.
#include "../tests/support/ocrpage.h"
#include "articles/articletree.h"
#include "articles/imagedocument.h"
#include "benchsupport.h"
#include "ocr/textqueue.h"
#include "ocr/ui/findbar.h"
#include "ocr/ui/findcommand.h"
#include "ocr/ui/texttool.h"
#include "pageview/pageprefetch.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"
#include "shell/ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace qen;

namespace {

// Pages of 22 lines, the word looked for two or three times on each.
QStringList pageLines(int page) {
    QStringList lines = test::ocrColumnLines(22, 24);
    std::rotate(lines.begin(), lines.begin() + (page * 3) % lines.size(), lines.end());
    return lines;
}

// Counts the view's paints, so that a figure is known to include one.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void mouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button,
           Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

struct Window {
    QTemporaryDir dir;
    QtInteraction interaction;
    std::unique_ptr<MainWindow> window;
    QStringList pages;
};

// A package of A4 pages at 300 dpi, their text in the upper half; the zip command line makes
// it, as the packages come.
QString makePackage(const QString &dir, const QString &name, int first, int count) {
    const QString pagesDir = dir + QStringLiteral("/pages-") + name;
    QDir().mkpath(pagesDir);
    QStringList names;
    for (int i = first; i < first + count; ++i) {
        test::OcrPageOptions gray;
        gray.bilevel = false;
        const QImage text = test::renderOcrPage(pageLines(i), gray);
        QImage a4(PageW, PageH, QImage::Format_Grayscale8);
        a4.fill(255);
        QPainter(&a4).drawImage(0, 0, text);
        a4.setDotsPerMeterX(text.dotsPerMeterX());
        a4.setDotsPerMeterY(text.dotsPerMeterY());
        const QString page = QStringLiteral("p%1.tif").arg(i + 1);
        a4.save(pagesDir + QLatin1Char('/') + page, "TIFF");
        names << page;
    }
    const QString package = dir + QLatin1Char('/') + name;
    QProcess zip;
    zip.setWorkingDirectory(pagesDir);
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q0"), package} + names);
    return zip.waitForFinished() && zip.exitCode() == 0 ? package : QString();
}

bool openRecognised(Window &w, int count) {
    const QString package = makePackage(w.dir.path(), QStringLiteral("find.qen"), 0, count);
    if (package.isEmpty())
        return false;
    qputenv("XDG_CACHE_HOME", w.dir.filePath(QStringLiteral("cache")).toUtf8());
    w.window = std::make_unique<MainWindow>(WorkFolders(w.dir.filePath(QStringLiteral("QenInfo")),
                                                        w.dir.filePath(QStringLiteral("prog"))),
                                            w.interaction);
    w.window->resize(1280, 900);
    w.window->show();
    w.window->Form_Load(QString());
    w.window->CreateTree(package);
    ocr::TextQueue *queue = w.window->textQueue();
    QElapsedTimer t;
    t.start();
    while (queue->readCount() < count && t.elapsed() < 600000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const ArticleTree &tree = w.window->documents()->model();
    for (const int p : tree.children(tree.roots().value(0)))
        w.pages << tree.key(p);
    for (const QString &p : std::as_const(w.pages))
        if (!queue->layer(p) || queue->layer(p)->isEmpty())
            return false;
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    if (!test::pageRecognitionMissing().isEmpty()) {
        std::printf("find: skipped (%s)\n", qPrintable(test::pageRecognitionMissing()));
        return 0;
    }
    Window w;
    const int pageCount = 4;
    if (!openRecognised(w, pageCount)) {
        std::printf("find: skipped (zip is missing, or the pages could not be recognised)\n");
        return 0;
    }
    MainWindow &window = *w.window;
    ImageView *view = window.imageView();
    Documents *documents = window.documents();
    QAction *next = window.command(QStringLiteral("mnuPage_NextPage"));
    QAction *home = window.command(QStringLiteral("mnuPage_HomePage"));
    window.command(QStringLiteral("mnuPage_FitWidth"))->trigger();
    // What is waiting to be painted, painted: a whole page after a turn, the marks that
    // changed after a step of find.
    auto paint = [&] { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); };
    auto repaint = [&] { view->viewport()->repaint(); };

    // Baseline: a page turn after a pause, the next page read ahead.
    std::vector<double> turn;
    for (int round = 0; round < 3; ++round) {
        home->trigger();
        for (int i = 1; i < pageCount; ++i) {
            documents->prefetch().waitForIdle();
            turn.push_back(timeMs([&] {
                next->trigger();
                paint();
            }));
        }
    }
    const double turnMs = median(turn);

    // Find: the query on every page; steps within a page and across pages.
    home->trigger();
    FindCommand *find = window.findCommand();
    find->open(QStringLiteral("识别"));
    std::vector<double> samePage, otherPage;
    PaintCounter painted;
    view->viewport()->installEventFilter(&painted);
    QString shown = documents->model().key(documents->model().selected());
    for (int step = 0; step < 40; ++step) {
        documents->prefetch().waitForIdle();
        const double ms = timeMs([&] {
            find->findNext();
            paint();
        });
        const QString now = documents->model().key(documents->model().selected());
        (now == shown ? samePage : otherPage).push_back(ms);
        shown = now;
    }
    std::printf("find and text selection, %d recognised pages of 22 lines, A4 at 300 dpi; "
                "baseline: NextPage after a pause, painted, %.2f ms\n",
                pageCount, turnMs);
    row("next hit on the same page, painted (<= 0.3x)", median(samePage), turnMs, "ms");
    row("next hit on another page, painted (<= +2 ms)", median(otherPage), turnMs, "ms");
    std::printf("    (%zu steps on the same page, %zu across pages, %d hits, %d paints)\n",
                samePage.size(), otherPage.size(), find->search().total(), painted.paints);
    find->close();

    // Repaints with and without 50 marks over the page, each two characters wide, as hits are.
    QList<QRect> marks;
    home->trigger();
    const ocr::TextLayer *shownLayer = window.textQueue()->layer(w.pages.value(0));
    for (int i = 0; i < 50; ++i) {
        const int g = (i * 7) % (shownLayer->count() - 1);
        marks << shownLayer->boxesFor(g, g + 1).value(0);
    }
    std::vector<double> bare, marked;
    for (int i = 0; i < 200; ++i) {
        for (const bool withMarks : {false, true}) {
            if (withMarks)
                view->setMarks(ImageView::MarkSet::Found, marks.mid(1), marks.mid(0, 1));
            else
                view->setMarks(ImageView::MarkSet::Found, {});
            paint(); // what the change itself asked for
            (withMarks ? marked : bare).push_back(timeMs(repaint));
        }
    }
    view->setMarks(ImageView::MarkSet::Found, {});
    row("repaint with 50 marks (<= 1.2x)", median(marked), median(bare), "ms");
    {
        qint64 area = 0;
        for (const QRect &r : marks)
            area += qint64(view->pageToView(r).width()) * view->pageToView(r).height();
        std::printf("    (marks cover %lld view pixels of %d)\n", area,
                    view->viewport()->width() * view->viewport()->height());
    }

    // A text-tool drag from the first line down over 20 lines, one repaint per move.
    window.command(QStringLiteral("mnuTool_SelectText"))->trigger();
    const ocr::TextLayer *layer = window.textQueue()->layer(w.pages.value(0));
    home->trigger();
    const QRect first = layer->boxesFor(0, layer->lastGlyphOfLine(0)).value(0);
    const int lastLine = std::min(layer->lineCount() - 1, 20);
    const QRect last =
        layer->boxesFor(layer->firstGlyphOfLine(lastLine), layer->lastGlyphOfLine(lastLine))
            .value(0);
    QWidget *viewport = view->viewport();
    std::vector<double> moves;
    for (int round = 0; round < 3; ++round) {
        const QPoint from = view->pageToView(first).topLeft() + QPoint(-2, 4);
        mouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        const QPoint to = view->pageToView(last).bottomRight() + QPoint(2, -4);
        for (int i = 1; i <= 60; ++i) {
            const QPoint at = from + (to - from) * i / 60;
            moves.push_back(timeMs([&] {
                mouse(viewport, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
                paint();
            }));
        }
        mouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    }
    std::vector<double> still;
    for (int i = 0; i < 30; ++i)
        still.push_back(timeMs(repaint));
    row("text-tool drag over 20 lines, per move (<= 8 ms)", median(moves), median(still), "ms");
    std::printf("    (slowest move %.2f ms; baseline: a repaint without a move; %d characters "
                "selected)\n",
                *std::max_element(moves.begin(), moves.end()),
                int(window.textTool()->selectedText().size()));
    window.command(QStringLiteral("mnuTool_SelectText"))->trigger();

    // Page turns while the queue reads another article, against decoding the page.
    std::vector<double> decode;
    for (int i = 0; i < 7; ++i)
        decode.push_back(timeMs([&] { ImageDocument::readFile(w.pages.value(1)); }));
    ocr::TextQueue *queue = window.textQueue();
    const QString other = makePackage(w.dir.path(), QStringLiteral("other.qen"), 10, 6);
    window.CreateTree(other);
    std::vector<double> busyTurns;
    while (!other.isEmpty() && queue->readCount() < queue->pageCount()) {
        window.command(QStringLiteral("mnuPage_HomeArticle"))->trigger();
        home->trigger();
        for (int i = 1; i < pageCount && queue->readCount() < queue->pageCount(); ++i) {
            documents->prefetch().waitForIdle();
            QElapsedTimer pause;
            pause.start();
            while (pause.elapsed() < 100)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            busyTurns.push_back(timeMs([&] {
                next->trigger();
                paint();
            }));
        }
    }
    if (!busyTurns.empty()) {
        row("NextPage after a pause while the queue reads (<= 0.5x)", median(busyTurns),
            median(decode), "ms");
        std::printf("    (%zu turns while 6 pages were read; baseline: decoding the page)\n",
                    busyTurns.size());
    }
    return 0;
}
