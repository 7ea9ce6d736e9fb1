// Navigation benchmark: the eight navigation codes on a tree of 200 packages x 50 pages
// against one ArticleTree key lookup, and page turns through the window against decoding the
// page alone, all measured in the same run.
#include "benchsupport.h"

#include "articles/articletree.h"
#include "articles/imagedocument.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"
#include "shell/ui/mainwindow.h"
#include "view/navigation.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace qen;

namespace {

double elapsedMs(const std::function<void()> &f) {
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

void navigationCodes() {
    ArticleTree tree;
    QStringList pages;
    for (int p = 1; p <= 50; ++p)
        pages << QStringLiteral("p%1.tif").arg(p, 3, 10, QLatin1Char('0'));
    for (int a = 0; a < 200; ++a) {
        const QString folder = QStringLiteral("/w/4194304article%1").arg(a);
        tree.addPackage(folder + QStringLiteral(".qen"), folder, folder, pages);
    }
    const int n = tree.count();
    // Selections spread over the tree: first, middle and last articles and pages.
    std::vector<int> selections;
    for (int a : {0, 100, 199})
        for (int p : {1, 25, 50})
            selections.push_back(a * 51 + 1 + p);
    selections.push_back(1);
    selections.push_back(n);
    const int rounds = 20000;

    volatile int sink = 0;
    QStringList keys;
    for (int s : selections)
        keys << tree.key(s);
    const double lookupNs = elapsedMs([&] {
                                for (int r = 0; r < rounds; ++r)
                                    for (const QString &k : keys)
                                        sink = sink + tree.find(k);
                            }) *
                            1e6 / (double(rounds) * double(keys.size()));
    std::printf("navigation on %d nodes; baseline: one ArticleTree lookup %.1f ns\n", n, lookupNs);
    const char *names[] = {"HomePage",    "PrevPage",    "NextPage",    "EndPage",
                           "HomeArticle", "PrevArticle", "NextArticle", "EndArticle"};
    for (int code = 1; code <= 8; ++code) {
        double total = 0;
        for (int s : selections) {
            tree.select(s);
            total += elapsedMs([&] {
                for (int r = 0; r < rounds; ++r)
                    sink = sink + NavigationTarget(tree, NavigationCode(code));
            });
        }
        const double ns = total * 1e6 / (double(rounds) * double(selections.size()));
        std::printf("  %-12s %7.1f ns = %5.2fx lookup (limit 10 us)\n", names[code - 1], ns,
                    ns / lookupNs);
    }
}

// A 300 dpi A4 page of text-like strokes, bilevel, written as G4 TIFF like a scanned page.
QImage scannedPage(int seed) {
    QImage page(2480, 3508, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QRandomGenerator rng{quint32(seed)};
    for (int y = 300; y < 3200; y += 62)
        for (int x = 250; x < 2200;) {
            const int w = 20 + int(rng.bounded(30));
            p.fillRect(x, y, w, 40, Qt::black);
            x += w + 8 + int(rng.bounded(20));
        }
    p.end();
    return page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

// The same page in colour, as a magazine's: coloured pictures among the text, a JPEG.
QImage colourPage(int seed) {
    QImage page = scannedPage(seed).convertToFormat(QImage::Format_RGB32);
    QPainter p(&page);
    QRandomGenerator rng{quint32(seed)};
    for (int i = 0; i < 6; ++i)
        p.fillRect(int(rng.bounded(1800)), int(rng.bounded(3000)), 600, 400,
                   QColor::fromHsv(int(rng.bounded(360)), 160, 200));
    return page;
}

void pageTurns(bool colour) {
    QTemporaryDir dir;
    const QString pagesDir = dir.filePath("pages");
    QDir().mkpath(pagesDir);
    const int pageCount = 8;
    QStringList names;
    for (int i = 1; i <= pageCount; ++i) {
        const QString name = QStringLiteral("p%1.%2").arg(i).arg(colour ? "jpg" : "tif");
        ImageDocument::writeFile(colour ? colourPage(i) : scannedPage(i),
                                 pagesDir + QLatin1Char('/') + name,
                                 colour ? ImageFileType::Jpeg : ImageFileType::Tiff);
        names << name;
    }
    const QString package = dir.filePath("bench.qen");
    if (!zipStored(pagesDir, names, package)) {
        std::printf("page turns: skipped (zip is not installed)\n");
        return;
    }

    QtInteraction interaction;
    MainWindow window(WorkFolders(dir.filePath("QenInfo"), dir.filePath("prog")), interaction);
    window.resize(1280, 900);
    window.show();
    window.Form_Load(QString());
    window.CreateTree(package);
    window.command(QStringLiteral("mnuPage_FitWidth"))->trigger();
    ImageView *view = window.imageView();
    QAction *next = window.command(QStringLiteral("mnuPage_NextPage"));
    QAction *home = window.command(QStringLiteral("mnuPage_HomePage"));
    auto paint = [&] { view->viewport()->repaint(); };
    QApplication::processEvents();

    std::vector<double> decode, decodeTwo, turnAhead, turnSettled, turnCold, held;
    qint64 rendered = 0; // pixels rendered while painting turns that were read ahead
    for (int round = 0; round < 3; ++round) {
        home->trigger();
        for (int i = 1; i < pageCount; ++i) {
            const QString file =
                window.documents()->model().key(window.documents()->model().selected() + 1);
            decode.push_back(elapsedMs([&] { ImageDocument::readFile(file); }));
            // A pause, as a reader takes to read a page: the next one is read meanwhile.
            window.documents()->prefetch().waitForIdle();
            // As a page is read where nothing is read ahead.
            decodeTwo.push_back(
                elapsedMs([&] { ImageDocument::readFile(file, ImageDocument::Threads::Two); }));
            turnAhead.push_back(elapsedMs([&] {
                next->trigger();
                paint();
            }));
            rendered += view->viewportCache().lastRendered();
            // What follows the page in the same pass of the event loop: the tree's highlight.
            const double settled = elapsedMs([&] {
                QCoreApplication::sendPostedEvents(); // the highlight moves
                QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); // painted
            });
            turnSettled.push_back(turnAhead.back() + settled);
        }
        home->trigger();
        for (int i = 1; i < pageCount; ++i) {
            window.documents()->prefetch().waitForIdle();
            window.documents()->prefetch().clear(); // as without reading ahead
            turnCold.push_back(elapsedMs([&] {
                next->trigger();
                paint();
            }));
        }
        home->trigger();
        window.documents()->prefetch().waitForIdle();
        // Held down: turns as fast as the keyboard repeats, no pause in between.
        held.push_back(elapsedMs([&] {
                           for (int i = 1; i < pageCount; ++i) {
                               next->trigger();
                               paint();
                           }
                       }) /
                       (pageCount - 1));
    }
    window.documents()->prefetch().waitForIdle();
    const double d = median(decode);
    std::printf("page turns, A4 300 dpi %s pages; baseline: decoding one page %.1f ms\n",
                colour ? "colour JPEG" : "G4", d);
    std::printf("  decoding it on two threads       %6.1f ms = %4.2fx decode\n", median(decodeTwo),
                median(decodeTwo) / d);
    std::printf("  NextPage after a pause, painted  %6.1f ms = %4.2fx decode (limit 0.5x)\n",
                median(turnAhead), median(turnAhead) / d);
    std::printf("    (pixels rendered on those turns: %lld)\n", static_cast<long long>(rendered));
    std::printf("    with the tree's highlight painted %4.1f ms = %4.2fx decode\n",
                median(turnSettled), median(turnSettled) / d);
    std::printf("  NextPage without reading ahead   %6.1f ms = %4.2fx decode\n", median(turnCold),
                median(turnCold) / d);
    std::printf("  NextPage held down, per turn     %6.1f ms = %4.2fx decode\n", median(held),
                median(held) / d);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    navigationCodes();
    pageTurns(false);
    pageTurns(true);
    return 0;
}
