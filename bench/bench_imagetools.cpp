// Image tools benchmark: the six adjustments, undo, memory over repeated adjustments and copying
// a page to the clipboard, on generated 300 dpi A4 pages (a bilevel G4 text page and a
// grayscale JPEG page). Each figure stands beside the naive path measured in the same run:
// convert the page to RGB32, change the pixels, convert back to the page's own format.
#include "articles/imagedocument.h"
#include "imaging/adjustments.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"

#include "benchsupport.h"

#include <QApplication>
#include <QTemporaryDir>

#include <array>

using namespace qen;

namespace {

using Lut = std::array<uchar, 256>;

QImage naiveLut(const QImage &page, const std::function<int(int)> &f) {
    Lut lut;
    for (int v = 0; v < 256; ++v)
        lut[size_t(v)] = uchar(std::clamp(f(v), 0, 255));
    QImage rgb = page.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        auto *p = reinterpret_cast<QRgb *>(rgb.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            p[x] =
                qRgb(lut[size_t(qRed(p[x]))], lut[size_t(qGreen(p[x]))], lut[size_t(qBlue(p[x]))]);
    }
    return rgb;
}

QImage backToPage(const QImage &rgb, const QImage &page) {
    if (page.format() == QImage::Format_Mono)
        return rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    return rgb.convertToFormat(page.format());
}

struct Row {
    const char *name;
    void (*ours)(ImageView &);
    std::function<QImage(const QImage &)> naive; // RGB32 in, RGB32 out
};

const std::vector<Row> &rows() {
    static const std::vector<Row> table = {
        {"brighten 70",
         [](ImageView &v) { v.adjust([](QImage &i) { adjustments::adjustBrightness(i, 70); }); },
         [](const QImage &p) {
             return naiveLut(p, [](int v) { return v + (255 - v) * 70 / 255; });
         }},
        {"mirror", [](ImageView &v) { v.adjust(adjustments::mirrorHorizontal); },
         [](const QImage &p) {
             return p.convertToFormat(QImage::Format_RGB32).mirrored(true, false);
         }},
        {"flip", [](ImageView &v) { v.adjust(adjustments::flipVertical); },
         [](const QImage &p) {
             return p.convertToFormat(QImage::Format_RGB32).mirrored(false, true);
         }},
        {"black-white reverse", [](ImageView &v) { v.adjust(adjustments::negate); },
         [](const QImage &p) {
             QImage rgb = p.convertToFormat(QImage::Format_RGB32);
             rgb.invertPixels();
             return rgb;
         }},
        {"enhance contrast", [](ImageView &v) { v.adjust(adjustments::enhanceContrast); },
         [](const QImage &p) {
             QImage rgb = p.convertToFormat(QImage::Format_RGB32);
             int lo = 255, hi = 0;
             for (int y = 0; y < rgb.height(); ++y) {
                 const auto *l = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
                 for (int x = 0; x < rgb.width(); ++x) {
                     lo = std::min(lo, qGray(l[x]));
                     hi = std::max(hi, qGray(l[x]));
                 }
             }
             const int span = std::max(1, hi - lo);
             return naiveLut(rgb, [=](int v) { return (v - lo) * 255 / span; });
         }},
        {"intensify 2.0",
         [](ImageView &v) { v.adjust([](QImage &i) { adjustments::intensify(i, 2.0); }); },
         [](const QImage &p) { return naiveLut(p, [](int v) { return 255 - (255 - v) * 2; }); }},
    };
    return table;
}

void timeAdjustments(ImageView &view, const QString &path, const char *title, int runs) {
    std::printf("\n%s, median of %d (ours: the view's command; naive: RGB32 and back):\n", title,
                runs);
    view.setFileName(path);
    const QImage page = view.image();
    for (const Row &r : rows()) {
        std::vector<double> ours, naive;
        for (int i = 0; i < runs; ++i) {
            view.reload();
            ours.push_back(timeMs([&] { r.ours(view); }));
            naive.push_back(timeMs([&] { (void)backToPage(r.naive(page), page); }));
        }
        row(r.name, median(ours), median(naive), "ms");
    }
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    std::printf("Image tools benchmark (A4 at 300 dpi = %dx%d)\n", PageW, PageH);
    const QString g4 = dir.filePath(QStringLiteral("page.tif"));
    const QString g4b = dir.filePath(QStringLiteral("page2.tif"));
    const QString jpeg = dir.filePath(QStringLiteral("gray.jpg"));
    ImageDocument::writeFile(textPage(1, true), g4, ImageFileType::Tiff);
    ImageDocument::writeFile(textPage(2, true), g4b, ImageFileType::Tiff);
    ImageDocument::writeFile(textPage(3, false), jpeg, ImageFileType::Jpeg);

    ImageView view;
    view.resize(1600, 1000);
    view.show();
    QApplication::processEvents();

    timeAdjustments(view, g4, "Adjustments on a bilevel G4 page", 7);
    timeAdjustments(view, jpeg, "Adjustments on a grayscale JPEG page", 5);

    // Undo reloads the page's file; a page turn loads another one. Both painted.
    view.zoomToFit(viewgeom::FitMode::Width);
    std::vector<double> undo, turn;
    for (int i = 0; i < 9; ++i) {
        view.setFileName(g4);
        view.adjust(adjustments::negate);
        view.viewport()->repaint();
        undo.push_back(timeMs([&] {
            view.reload();
            view.viewport()->repaint();
        }));
        turn.push_back(timeMs([&] {
            view.setFileName(i % 2 ? g4 : g4b);
            view.viewport()->repaint();
        }));
    }
    std::printf("\nUndo against a page turn (bilevel page at fit width), median of 9:\n");
    std::printf("  %-46s %9.2f ms   page turn %9.2f ms  ratio %.2f\n", "undo + paint", median(undo),
                median(turn), median(turn) > 0 ? median(undo) / median(turn) : 0);

    // Memory: twenty adjustments hold what one held.
    std::printf("\nMemory held by the view after adjustments (page + scaled viewport):\n");
    for (const QString &path : {g4, jpeg}) {
        view.setFileName(path);
        view.viewport()->repaint();
        view.adjust([](QImage &i) { adjustments::adjustBrightness(i, 70); });
        view.viewport()->repaint();
        const double one = view.memoryBytes() / 1048576.0;
        const double rssOne = residentMb();
        for (int i = 0; i < 19; ++i) {
            rows()[size_t(i % 6)].ours(view);
            view.viewport()->repaint();
        }
        const double twenty = view.memoryBytes() / 1048576.0;
        const double rssTwenty = residentMb();
        std::printf("  %-10s after 1: %6.2f MB, after 20: %6.2f MB (ratio %.2f); resident set "
                    "%+.1f MB\n",
                    path == g4 ? "bilevel" : "gray JPEG", one, twenty, one > 0 ? twenty / one : 0,
                    rssTwenty - rssOne);
    }

    // Copy a whole bilevel page to the clipboard: the time until the command returns.
    QtInteraction interaction;
    view.setFileName(g4);
    std::vector<double> copy, naiveCopy;
    for (int i = 0; i < 9; ++i) {
        copy.push_back(timeMs([&] { view.copyToClipboard(interaction); }));
        naiveCopy.push_back(timeMs([&] {
            interaction.setClipboardImage(view.image().convertToFormat(QImage::Format_RGB32));
        }));
    }
    std::printf("\nCopy the whole bilevel page to the clipboard, median of 9 (naive: as RGB32):\n");
    row("copy current page", median(copy), median(naiveCopy), "ms");
    return 0;
}
