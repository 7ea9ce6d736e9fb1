// Opening speed and footprint, through the program's own window: a package opened until its
// first page is painted, against unzip plus one decode of the same package; memory after
// opening a 500-page package; the title of a 200 MB NUL-padded file, against reading it whole.
#include "articles/package.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"
#include "platform/workfolders.h"
#include "shell/ui/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <tiffio.h>
#include <vector>
#include <zip.h>

using namespace qen;

namespace {

// A scanned-looking A4 page at 150 dpi: lines of word-sized black blocks.
QByteArray g4Page(QRandomGenerator &rng, const QString &scratch) {
    const int w = 1240, h = 1754;
    QImage page(w, h, QImage::Format_Mono);
    page.fill(0);
    page.setColor(0, qRgb(255, 255, 255));
    page.setColor(1, qRgb(0, 0, 0));
    for (int y = 150; y < h - 150; y += 46) {
        int x = 110;
        while (x < w - 140) {
            const int word = int(rng.bounded(20, 90));
            for (int yy = y; yy < y + 24; ++yy)
                for (int xx = x; xx < x + word; ++xx)
                    if (rng.bounded(10) < 6)
                        page.setPixel(xx, yy, 1);
            x += word + int(rng.bounded(8, 20));
        }
    }
    TIFF *tif = TIFFOpen(QFile::encodeName(scratch).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 150.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 150.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    for (int y = 0; y < h; ++y)
        TIFFWriteScanline(tif, const_cast<uchar *>(page.constScanLine(y)), uint32_t(y), 0);
    TIFFClose(tif);
    QFile f(scratch);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void makePackage(const QString &path, int pages, QRandomGenerator &rng, const QString &scratch) {
    // A handful of distinct pages, repeated: what matters is the size and count.
    std::vector<QByteArray> distinct;
    for (int i = 0; i < std::min(pages, 5); ++i)
        distinct.push_back(g4Page(rng, scratch));
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    for (int i = 0; i < pages; ++i) {
        const QByteArray &data = distinct[size_t(i) % distinct.size()];
        zip_source_t *src = zip_source_buffer(za, data.constData(), zip_uint64_t(data.size()), 0);
        const QByteArray name =
            QStringLiteral("p%1.tif").arg(i + 1, 3, 10, QLatin1Char('0')).toUtf8();
        const zip_int64_t idx = zip_file_add(za, name.constData(), src, 0);
        zip_set_file_compression(za, zip_uint64_t(idx), ZIP_CM_DEFLATE, 6);
    }
    zip_close(za);
}

long rssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A main window as the program has it, on its own work root, at the size of a full screen.
std::unique_ptr<MainWindow> makeWindow(const QString &root, Interaction &interaction) {
    QDir(root).removeRecursively();
    auto window =
        std::make_unique<MainWindow>(WorkFolders(root, root + QStringLiteral("/app")), interaction);
    window->resize(1920, 1080);
    window->show();
    window->Form_Load(QString());
    QCoreApplication::processEvents();
    return window;
}

// Our way: the program's opening path up to the first page painted at fit width.
double openOnce(const QString &package, const QString &root, Interaction &interaction) {
    const auto window = makeWindow(root, interaction);
    QElapsedTimer t;
    t.start();
    window->CreateTree(package);
    window->imageView()->zoomToFit(viewgeom::FitMode::Width);
    window->imageView()->viewport()->repaint();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (!window->imageView()->hasImage())
        std::fprintf(stderr, "bench_open: first page was not shown\n");
    return ms;
}

double unzipOnce(const QString &package, const QString &dir) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    QElapsedTimer t;
    t.start();
    QProcess::execute(QStringLiteral("unzip"), {QStringLiteral("-o"), QStringLiteral("-q"), package,
                                                QStringLiteral("-d"), dir});
    const QImage page = QImageReader(dir + QStringLiteral("/p001.tif")).read();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (page.isNull())
        std::fprintf(stderr, "bench_open: unzip baseline page did not decode\n");
    return ms;
}

} // namespace

int main(int argc, char *argv[]) {
    // The offscreen platform warns about every window it shows; the figures are what matter.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &msg) {
        if (type != QtWarningMsg || !msg.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QRandomGenerator rng(7);
    const QString scratch = dir.filePath(QStringLiteral("scratch.tif"));

    // Memory first, while the process is still close to the empty program.
    const QString big = dir.filePath(QStringLiteral("500pages.qen"));
    makePackage(big, 500, rng, scratch);
    QImageReader(scratch).read(); // the image plugin loaded before the baseline
    QtInteraction interaction;
    {
        const auto window = makeWindow(dir.filePath(QStringLiteral("memroot")), interaction);
        const long before = rssKb();
        window->CreateTree(big);
        QCoreApplication::processEvents();
        const double aboveMb = double(rssKb() - before) / 1024.0;
        std::printf("open 500-page package: %d tree items, %.1f MB above the empty program "
                    "(limit 60 MB, ratio %.2f)\n",
                    window->tree()->topLevelItem(0)->childCount(), aboveMb, aboveMb / 60.0);
    }

    const QString pkg = dir.filePath(QStringLiteral("20pages.qen"));
    makePackage(pkg, 20, rng, scratch);
    std::vector<double> ours, baseline;
    for (int i = 0; i < 11; ++i) {
        ours.push_back(openOnce(pkg, dir.filePath(QStringLiteral("root")), interaction));
        baseline.push_back(unzipOnce(pkg, dir.filePath(QStringLiteral("unzipped"))));
    }
    const double o = median(ours), b = median(baseline);
    std::printf("open 20-page G4 package to first page painted: %.1f ms; unzip -o -q + decode: "
                "%.1f ms; ratio %.2f (limit 1.30)\n",
                o, b, o / b);

    return 0;
}
