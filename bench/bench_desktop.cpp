// The desktop comforts in the real window: a Ctrl+wheel notch against a zoom change from the
// toolbar (both painted), a burst of ten notches against one, and the File menu opening with
// ten recent files, some of them on paths that do not answer, against the menu with none.
// Each figure is a ratio to a baseline of the same run.
#include "articles/imagedocument.h"
#include "benchsupport.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"
#include "shell/ui/mainwindow.h"
#include "view/ui/recentmenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <cstdio>

using namespace qen;

namespace {

// What is waiting to be painted, painted.
void paint() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
}

void wheel(QWidget *viewport, int notches) {
    const QPointF at(viewport->width() / 3.0, viewport->height() / 3.0);
    for (int i = 0; i < std::abs(notches); ++i) {
        QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(),
                          QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &event);
    }
}

QMenu *fileMenu(MainWindow &window) {
    for (QAction *a : window.menuBar()->actions())
        if (a->menu() && a->menu()->actions().contains(window.recentMenu()->menu()->menuAction()))
            return a->menu();
    return nullptr;
}

// Opening the File menu as a click does, until it is on the screen and painted.
double openMs(QMenu *menu) {
    const double ms = timeMs([&] {
        menu->popup(QPoint(10, 10));
        paint();
    });
    menu->hide();
    paint();
    return ms;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("page.tif"));
    ImageDocument::writeFile(textPage(1, true), page, ImageFileType::Tiff);
    QtInteraction interaction;
    MainWindow window(
        WorkFolders(dir.filePath(QStringLiteral("QenInfo")), dir.filePath(QStringLiteral("prog"))),
        interaction);
    window.resize(1280, 900);
    window.show();
    window.Form_Load(QString());
    window.CreateTree(page);
    window.command(QStringLiteral("mnuPage_FitWidth"))->trigger();
    paint();
    ImageView *view = window.imageView();
    QWidget *viewport = view->viewport();

    // In and out by turns, so every step is a real change within the zoom limits.
    std::vector<double> toolbar, notch, burst;
    QAction *in = window.command(QStringLiteral("mnuPage_ZoomIn"));
    QAction *out = window.command(QStringLiteral("mnuPage_ZoomOut"));
    for (int i = 0; i < 40; ++i) {
        toolbar.push_back(timeMs([&] {
            (i % 2 ? out : in)->trigger();
            paint();
        }));
        notch.push_back(timeMs([&] {
            wheel(viewport, i % 2 ? -1 : 1);
            paint();
        }));
        burst.push_back(timeMs([&] {
            wheel(viewport, i % 2 ? -10 : 10);
            paint();
        }));
    }
    const double fit = view->zoomFactor();
    std::printf("desktop, an A4 G4 page at 300 dpi in a 1280x900 window (zoom %.0f %%)\n",
                fit * 100);
    row("Ctrl+wheel, one notch, painted (<= 1x)", median(notch), median(toolbar), "ms");
    row("ten notches at once, painted (<= 2x one)", median(burst), median(notch), "ms");

    // Ten recent files, three of them on a share that is not mounted.
    RecentMenu *recent = window.recentMenu();
    QMenu *file = fileMenu(window);
    if (!file) {
        std::puts("  the File menu was not found");
        return 1;
    }
    std::vector<double> empty, full;
    for (int i = 0; i < 20; ++i)
        empty.push_back(openMs(file));
    for (int i = 0; i < 10; ++i) {
        const QString path = i % 3 == 2
                                 ? QStringLiteral("/net/unreachable/share/article%1.qen").arg(i)
                                 : dir.filePath(QStringLiteral("article%1.qen").arg(i));
        recent->add(path, QStringLiteral("文章 %1").arg(i));
    }
    for (int i = 0; i < 20; ++i)
        full.push_back(openMs(file));
    row("File menu with 10 recent files (<= 5 ms)", median(full), median(empty), "ms");
    std::printf("    (slowest opening %.2f ms; baseline: the menu with no recent file)\n",
                *std::max_element(full.begin(), full.end()));
    return 0;
}
