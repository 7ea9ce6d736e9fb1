// Page view benchmark: page turns, repaints and memory of the image view on 300 dpi A4 pages
// it generates (bilevel G4 text pages, a grayscale and a colour JPEG page), each figure beside the
// naive path measured in the same run: Qt decode, convert to RGB32, smooth scale.
#include "articles/imagedocument.h"
#include "articles/tiffcodec.h"
#include "pageview/pagerender.h"
#include "pageview/ui/imageview.h"

#include "benchsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using namespace qen;

namespace {

constexpr int WindowW = 1920, WindowH = 1080;

// The naive view: Qt decodes the whole page, converts it to RGB32 and scales all of it.
class NaiveView : public QWidget {
public:
    double zoom = 1;
    int scrollY = 0;
    void load(const QString &path) {
        QImageReader reader(path);
        reader.setAllocationLimit(1024);
        const QImage decoded = reader.read();
        m_rgb = decoded.convertToFormat(QImage::Format_RGB32);
        rescale();
    }
    void rescale() {
        m_scaled = m_rgb.scaled(int(m_rgb.width() * zoom + 0.5), int(m_rgb.height() * zoom + 0.5),
                                Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    qint64 bytes() const { return m_rgb.sizeInBytes() + m_scaled.sizeInBytes(); }
    void clear() {
        m_rgb = QImage();
        m_scaled = QImage();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        p.drawImage(QPoint(0, 0), m_scaled, QRect(QPoint(0, scrollY), size()));
    }

private:
    QImage m_rgb, m_scaled;
};

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("Image view benchmark (A4 at 300 dpi = %dx%d, window %dx%d)\n", PageW, PageH,
                WindowW, WindowH);

    // Pages: eight distinct G4 text pages and one grayscale JPEG page.
    QStringList g4Pages;
    for (int i = 0; i < 8; ++i) {
        const QString path = dir.filePath(QStringLiteral("page%1.tif").arg(i));
        ImageDocument::writeFile(textPage(i, true), path, ImageFileType::Tiff);
        g4Pages << path;
    }
    const QString jpegPage = dir.filePath(QStringLiteral("gray.jpg"));
    ImageDocument::writeFile(textPage(99, false), jpegPage, ImageFileType::Jpeg);
    std::printf("  G4 page file %lld KB, JPEG page file %lld KB\n", QFile(g4Pages[0]).size() / 1024,
                QFile(jpegPage).size() / 1024);

    const double rssStart = residentMb();
    ImageView view;
    view.resize(WindowW, WindowH);
    view.show();
    QApplication::processEvents();
    view.setFileName(g4Pages[0]);
    view.zoomToFit(viewgeom::FitMode::Width);
    QApplication::processEvents();
    view.viewport()->repaint();
    const double fit = view.zoomFactor();

    NaiveView naive;
    naive.resize(view.viewport()->size());
    naive.zoom = fit;
    naive.show();
    QApplication::processEvents();

    // Page turn: load and finish the first paint at fit width.
    std::vector<double> ours, base, decode;
    for (int i = 0; i < 16; ++i) {
        const QString &path = g4Pages[(i + 1) % g4Pages.size()];
        ours.push_back(timeMs([&] {
            view.setFileName(path);
            view.viewport()->repaint();
        }));
        base.push_back(timeMs([&] {
            naive.load(path);
            naive.repaint();
        }));
        decode.push_back(timeMs([&] { (void)ImageDocument::readFile(path); }));
    }
    std::printf("\nPage turn, G4 text page at fit width (%.0f%%), median of 16:\n", fit * 100);
    row("load + first paint", median(ours), median(base), "ms");
    std::printf("  (decode alone through libtiff: %.2f ms)\n", median(decode));

    ours.clear();
    base.clear();
    for (int i = 0; i < 6; ++i) {
        ours.push_back(timeMs([&] {
            view.setFileName(jpegPage);
            view.viewport()->repaint();
        }));
        base.push_back(timeMs([&] {
            naive.load(jpegPage);
            naive.repaint();
        }));
    }
    std::printf("Page turn, grayscale JPEG page at fit width, median of 6:\n");
    row("load + first paint", median(ours), median(base), "ms");

    // Repaints of the whole 1920x1080 area at several zooms on a G4 page.
    view.setFileName(g4Pages[0]);
    naive.load(g4Pages[0]);
    std::printf("\nRepaint of the %dx%d area, G4 page (naive: rescale whole page on zoom, "
                "blit when cached):\n",
                view.viewport()->width(), view.viewport()->height());
    for (double zoom : {0.25, 0.5, fit, 1.0, 2.0, 3.0}) {
        std::vector<double> cold, warm, scroll, naiveCold, naiveWarm;
        for (int i = 0; i < 5; ++i) {
            view.zoomToFactor(zoom);
            view.setScrollY(200);
            QApplication::processEvents();
            view.prepareGrayscale(); // drop the cached viewport: a full render
            cold.push_back(timeMs([&] { view.viewport()->repaint(); }));
            warm.push_back(timeMs([&] { view.viewport()->repaint(); }));
            scroll.push_back(timeMs([&] {
                view.setScrollY(view.scrollY() + 40);
                view.viewport()->repaint();
            }));
            naive.zoom = zoom;
            naive.scrollY = 200;
            naiveCold.push_back(timeMs([&] {
                naive.rescale();
                naive.repaint();
            }));
            naiveWarm.push_back(timeMs([&] { naive.repaint(); }));
        }
        char label[64];
        std::snprintf(label, sizeof label, "zoom %3.0f%%: after a zoom change", zoom * 100);
        row(label, median(cold), median(naiveCold), "ms");
        std::snprintf(label, sizeof label, "zoom %3.0f%%: repaint, nothing changed", zoom * 100);
        row(label, median(warm), median(naiveWarm), "ms");
        std::snprintf(label, sizeof label, "zoom %3.0f%%: scroll by 40 pixels", zoom * 100);
        row(label, median(scroll), median(naiveWarm), "ms");
    }

    // A zoom change on pages that are not bilevel: the gray JPEG page and a colour page.
    QImage colour = textPage(98, false).convertToFormat(QImage::Format_RGB32);
    {
        QPainter p(&colour);
        QRandomGenerator rng{98};
        for (int i = 0; i < 12; ++i) // photographs and coloured headings
            p.fillRect(rng.bounded(PageW - 600), rng.bounded(PageH - 400), 600, 400,
                       QColor::fromHsv(rng.bounded(360), 160, 200));
    }
    const QString colourPage = dir.filePath(QStringLiteral("colour.jpg"));
    ImageDocument::writeFile(colour, colourPage, ImageFileType::Jpeg);
    std::printf("\nZoom change at fit width on other pages (and at 25 %%), median of 5:\n");
    for (const auto &[name, path, zoom] :
         {std::tuple("grayscale JPEG page", jpegPage, 0.0),
          std::tuple("colour JPEG page", colourPage, 0.0),
          std::tuple("colour JPEG page at 25 %", colourPage, 0.25),
          std::tuple("colour JPEG page at 35 %", colourPage, 0.35)}) {
        view.setFileName(path);
        if (zoom > 0)
            view.zoomToFactor(zoom);
        else
            view.zoomToFit(viewgeom::FitMode::Width);
        naive.load(path);
        naive.zoom = view.zoomFactor();
        QApplication::processEvents();
        std::vector<double> cold, naiveCold;
        for (int i = 0; i < 5; ++i) {
            view.prepareGrayscale();
            cold.push_back(timeMs([&] { view.viewport()->repaint(); }));
            naiveCold.push_back(timeMs([&] {
                naive.rescale();
                naive.repaint();
            }));
        }
        row(name, median(cold), median(naiveCold), "ms");
    }

    // Below 50 % the view draws a colour page from its half-size copy, made once per page (in
    // the read-ahead, or at the first such zoom): the same viewport drawn both ways.
    std::printf("Colour page below 50 %%, the visible area drawn from the half-size copy and "
                "from the full page, median of 5:\n");
    const QImage colourDecoded = ImageDocument::readFile(colourPage);
    QImage half;
    std::vector<double> making;
    for (int i = 0; i < 5; ++i)
        making.push_back(timeMs([&] { half = render::halfSize(colourDecoded); }));
    double fullAt25 = 0;
    for (double zoom : {0.25, 0.35}) {
        const QRect visible = QRect(QPoint(0, 0), view.viewport()->size()) &
                              QRect(QPoint(0, 0), viewgeom::scaledSize(colourDecoded.size(), zoom));
        QImage screen(visible.size(), render::ScreenFormat);
        std::vector<double> fromHalf, fromPage;
        for (int i = 0; i < 5; ++i) {
            fromHalf.push_back(timeMs([&] {
                render::renderInto(colourDecoded, zoom, visible, true, screen, {0, 0}, &half);
            }));
            fromPage.push_back(timeMs([&] {
                render::renderInto(colourDecoded, zoom, visible, true, screen, {0, 0});
            }));
        }
        if (zoom == 0.25)
            fullAt25 = median(fromPage);
        std::printf(
            "  at %2.0f %%: from the copy %7.2f ms, from the full page %7.2f ms, ratio %.2f\n",
            zoom * 100, median(fromHalf), median(fromPage), median(fromHalf) / median(fromPage));
    }
    std::printf("  making the copy, once a page: %.2f ms (%.2f of one full-page render at 25 %%)\n",
                median(making), median(making) / fullAt25);

    // Memory per shown bilevel page and growth over 200 pages.
    view.zoomToFit(viewgeom::FitMode::Width);
    QApplication::processEvents();
    view.setFileName(g4Pages[1]);
    view.viewport()->repaint();
    naive.zoom = view.zoomFactor();
    naive.load(g4Pages[1]);
    std::printf("\nMemory per shown bilevel page (page + scaled viewport):\n");
    row("bytes held by the view", view.memoryBytes() / 1048576.0, naive.bytes() / 1048576.0, "MB");
    naive.clear();
    view.setFileName(QString());
    view.viewport()->repaint();
    const double emptyRss = residentMb();
    view.setFileName(g4Pages[1]);
    view.viewport()->repaint();
    const double oursRss = residentMb() - emptyRss;
    view.setFileName(QString());
    view.viewport()->repaint();
    const double emptyRss2 = residentMb();
    naive.load(g4Pages[1]);
    naive.repaint();
    const double naiveRss = residentMb() - emptyRss2;
    row("resident set growth for one shown page", oursRss, naiveRss, "MB");
    naive.clear(); // keep the naive path's buffers out of the growth figure
    naive.hide();

    for (int i = 0; i < 10; ++i) {
        view.setFileName(g4Pages[i % g4Pages.size()]);
        view.viewport()->repaint();
    }
    const double rssWarm = residentMb();
    for (int i = 0; i < 200; ++i) {
        view.setFileName(g4Pages[i % g4Pages.size()]);
        view.setScrollY(i * 7 % 1000);
        view.viewport()->repaint();
        QApplication::processEvents();
    }
    const double rssAfter = residentMb();
    std::printf("Memory growth over 200 shown pages (resident set):\n");
    std::printf("  after 10 pages %.1f MB, after 210 pages %.1f MB: growth %.1f MB "
                "(process at start %.1f MB)\n",
                rssWarm, rssAfter, rssAfter - rssWarm, rssStart);
    return 0;
}
