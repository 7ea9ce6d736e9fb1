// Peak memory of unpacking packages and loading pages, on the largest inputs the program
// accepts. Each case runs in a forked child; its peak resident set is printed beside that of
// a child that does nothing, and the difference against the 300 MB the program may use.
#include "articles/imagedocument.h"
#include "articles/largepage.h"
#include "articles/zipextract.h"
#include "pageview/viewportcache.h"
#include "patterntiff.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace {

// Peak resident set of a child running `work`, in MB; negative when the child failed.
double childPeakMb(const std::function<bool()> &work) {
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) {
        bool ok = false;
        try {
            ok = work();
        } catch (const qen::Error &e) {
            std::fprintf(stderr, "  (%s)\n", qPrintable(e.description()));
            ok = true; // refused with a message is a correct outcome
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return double(usage.ru_maxrss) / 1024.0;
}

// A child's peak as above, and the median time of three runs of `work` in it.
double timedChildPeakMb(const std::function<bool()> &work, double *ms) {
    auto *shared = static_cast<double *>(
        ::mmap(nullptr, sizeof(double), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    if (shared == MAP_FAILED)
        return -1;
    *shared = -1;
    const double peak = childPeakMb([&] {
        std::vector<qint64> times;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            timer.start();
            if (!work())
                return false;
            times.push_back(timer.nsecsElapsed());
        }
        std::sort(times.begin(), times.end());
        *shared = double(times[1]) / 1e6;
        return true;
    });
    *ms = *shared;
    ::munmap(shared, sizeof(double));
    return peak;
}

// A newspaper page scanned in colour at 400 dpi: print-like detail everywhere, so that the
// entropy decoding costs what it costs on a real scan.
bool makeNewspaperJpeg(const QString &path, int w, int h) {
    QImage page(w, h, QImage::Format_RGB32);
    if (page.isNull())
        return false;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int ink = ((x / 3) * 7 + (y / 5) * 13) % 17 < 5 ? 60 : 230;
            line[x] = qRgb(ink + (x / 64) % 20, ink - (y / 64) % 30, ink - ((x + y) / 128) % 25);
        }
    }
    return page.save(path, "jpeg", 85);
}

// How a JPEG region was read before libjpeg was called directly: Qt's reader with a clip
// rectangle, which decodes every row above the region.
QImage clipRectRegion(const QString &path, QSize full, const QRect &area, int level) {
    QImageReader reader(path, "jpeg");
    reader.setAutoTransform(false);
    if (level > 0) {
        reader.setScaledSize(qen::LargePage::levelSize(full, level));
        reader.setScaledClipRect(area);
    } else {
        reader.setClipRect(area);
    }
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

void jpegRegions(const QString &path, QSize full) {
    QString error;
    const auto page = qen::LargePage::openInParts(path, &error, 1 << 20);
    if (!page) {
        std::printf("  the newspaper JPEG does not open in parts: %s\n", qPrintable(error));
        return;
    }
    const double base = childPeakMb([] { return true; });
    std::printf("1920x1080 regions of a %dx%d colour JPEG of %.1f MB (median of 3 in a child; "
                "peak MB above a child that does nothing):\n",
                full.width(), full.height(), double(QFileInfo(path).size()) / 1048576.0);
    auto line = [&](const char *what, double ms, double peak, double baseMs) {
        std::printf("  %-50s %8.1f ms  peak %5.0f MB  ratio to whole %.2f\n", what, ms, peak - base,
                    baseMs > 0 ? ms / baseMs : 0.0);
    };
    double wholeMs = 0;
    const double wholePeak = timedChildPeakMb(
        [&] {
            QImageReader::setAllocationLimit(1024);
            return !QImageReader(path, "jpeg").read().isNull();
        },
        &wholeMs);
    line("whole page at 100 %, Qt's reader (baseline)", wholeMs, wholePeak, wholeMs);
    struct Case {
        const char *what;
        int level;
        bool bottom;
    };
    for (const Case &c :
         {Case{"at the bottom, 100 %", 0, true}, Case{"at the top, 100 %", 0, false},
          Case{"at the bottom, 50 %", 1, true}}) {
        const QSize size = qen::LargePage::levelSize(full, c.level);
        const QRect area(size.width() - 1920 - 7, c.bottom ? size.height() - 1080 : 0, 1920, 1080);
        double oldMs = 0, newMs = 0;
        const double oldPeak = timedChildPeakMb(
            [&] { return clipRectRegion(path, full, area, c.level).size() == area.size(); },
            &oldMs);
        const double newPeak = timedChildPeakMb(
            [&] { return page->region(area, c.level, &error).size() == area.size(); }, &newMs);
        std::printf(" %s:\n", c.what);
        line("  Qt's reader with a clip rectangle (before)", oldMs, oldPeak, wholeMs);
        line("  libjpeg, cropped, rows above skipped (now)", newMs, newPeak, wholeMs);
        std::printf("  %-50s ratio now / before %.2f\n", "", oldMs > 0 ? newMs / oldMs : 0.0);
    }
}

bool makeZip(const QString &path, int entries, qint64 zeroBytes) {
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    static const char page[] = "page";
    for (int i = 0; i < entries; ++i) {
        zip_source_t *src = zip_source_buffer(za, page, 4, 0);
        const QByteArray name = QByteArray("p") + QByteArray::number(i) + ".tif";
        zip_file_add(za, name.constData(), src, ZIP_FL_ENC_UTF_8);
    }
    QByteArray zeros;
    if (zeroBytes > 0) {
        zeros = QByteArray(zeroBytes, '\0');
        zip_source_t *src = zip_source_buffer(za, zeros.constData(), zip_uint64_t(zeros.size()), 0);
        const zip_int64_t idx = zip_file_add(za, "big.tif", src, 0);
        zip_set_file_compression(za, zip_uint64_t(idx), ZIP_CM_DEFLATE, 1);
    }
    return zip_close(za) == 0;
}

// A page of the given shape in strips of 64 rows, as scanners write them.
bool makeTiff(const QString &path, int w, int h, int samples, int orientation,
              int compression = COMPRESSION_LZW) {
    return qen::test::writePatternTiff(path, w, h, samples, 64, orientation, compression);
}

// A bilevel page in G4, as fax software and document scanners write them: a ruled line every
// 100 rows.
bool makeBilevel(const QString &path, int w, int h) {
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(h));
    QByteArray blank((w + 7) / 8, '\0'), line((w + 7) / 8, '\xff');
    for (int y = 0; y < h; ++y)
        if (TIFFWriteScanline(tif, (y % 100 ? blank : line).data(), uint32_t(y), 0) < 0)
            return false;
    TIFFClose(tif);
    return true;
}

// What the view does with a page: opens it, and draws a 1920 x 1080 viewport at fit and at
// 100 % in the middle of the page.
bool showPage(const QString &path) {
    qen::ImageDocument page;
    page.load(path);
    qen::render::ViewportCache cache;
    const QSize size = page.size();
    const double fit = 1080.0 / size.height();
    const QRect fitted(0, 0, std::min(1920, int(size.width() * fit)), 1080);
    const QRect middle(size.width() / 2 - 960, size.height() / 2 - 540, 1920, 1080);
    return !cache.get(page.image(), page.revision(), fit, true, fitted, page.large()).isNull() &&
           !cache.get(page.image(), page.revision(), 1.0, true, middle, page.large()).isNull();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("many.qen"));
    const QString bomb = dir.filePath(QStringLiteral("big-entry.qen"));
    const QString gray = dir.filePath(QStringLiteral("gray.tif"));
    const QString colour = dir.filePath(QStringLiteral("colour.tif"));
    const QString turned = dir.filePath(QStringLiteral("colour-turned.tif"));
    const QString turnedSmaller = dir.filePath(QStringLiteral("colour-turned-smaller.tif"));
    const QString raw = dir.filePath(QStringLiteral("gray-uncompressed.tif"));
    const QString bilevel = dir.filePath(QStringLiteral("bilevel-30000.tif"));
    const QString gray30k = dir.filePath(QStringLiteral("gray-30000.tif"));
    const QString colour30k = dir.filePath(QStringLiteral("colour-30000.tif"));
    const QString jpeg = dir.filePath(QStringLiteral("colour.jpg"));
    {
        QImage photo(8000, 8000, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x)
                line[x] = qRgb(x / 32, y / 32, (x + y) / 64);
        }
        if (!photo.save(jpeg, "jpeg", 85)) {
            std::fprintf(stderr, "cannot make the JPEG\n");
            return 1;
        }
    }
    if (!makeZip(big, 70000, 0) || !makeZip(bomb, 1, 250ll << 20) ||
        !makeTiff(gray, 16000, 16000, 1, 1) || !makeTiff(colour, 8000, 8000, 3, 1) ||
        !makeTiff(turned, 8000, 8000, 3, 6) || !makeTiff(turnedSmaller, 5000, 6000, 3, 6) ||
        !makeTiff(raw, 15000, 16000, 1, 1, COMPRESSION_NONE) ||
        !makeBilevel(bilevel, 30000, 30000) || !makeTiff(gray30k, 30000, 30000, 1, 1) ||
        !qen::test::writeDeclaredTiff(colour30k, 30000, 30000, 3)) {
        std::fprintf(stderr, "cannot make the inputs\n");
        return 1;
    }
    ::malloc_trim(0);

    const double base = childPeakMb([] { return true; });
    std::printf("peak memory (MB above a child that does nothing, %.0f MB; limit 300):\n", base);
    auto report = [&](const char *what, const std::function<bool()> &work) {
        const double peak = childPeakMb(work);
        if (peak < 0)
            std::printf("  %-52s failed\n", what);
        else
            std::printf("  %-52s %6.0f  ratio to limit %.2f\n", what, peak - base,
                        (peak - base) / 300.0);
    };
    int n = 0;
    auto out = [&] {
        const QString folder = dir.filePath(QStringLiteral("out%1").arg(++n));
        QDir().mkpath(folder);
        return folder;
    };
    report("unpack 70,000 entries", [&] { return qen::ExtractZip(big, out()).filesWritten > 0; });
    report("unpack one 250 MB entry", [&] { return qen::ExtractZip(bomb, out()).filesWritten; });
    report("load 16000x16000 gray TIFF",
           [&] { return !qen::ImageDocument::readFile(gray).isNull(); });
    report("load 8000x8000 colour TIFF",
           [&] { return !qen::ImageDocument::readFile(colour).isNull(); });
    report("load 8000x8000 colour TIFF, orientation 6",
           [&] { return !qen::ImageDocument::readFile(turned).isNull(); });
    report("load 5000x6000 colour TIFF, orientation 6",
           [&] { return !qen::ImageDocument::readFile(turnedSmaller).isNull(); });
    report("load 15000x16000 gray TIFF, uncompressed (229 MB file)",
           [&] { return !qen::ImageDocument::readFile(raw).isNull(); });
    // As the view opens them: whole where they fit, else in parts.
    report("show 16000x16000 gray TIFF", [&] { return showPage(gray); });
    report("show 15000x16000 gray TIFF, uncompressed", [&] { return showPage(raw); });
    report("show 8000x8000 colour TIFF", [&] { return showPage(colour); });
    report("show 8000x8000 colour JPEG", [&] { return showPage(jpeg); });
    report("show 30000x30000 bilevel G4 TIFF", [&] { return showPage(bilevel); });
    report("show 30000x30000 gray TIFF", [&] { return showPage(gray30k); });
    report("show 30000x30000 colour TIFF (refused)", [&] { return showPage(colour30k); });
    const QString newspaper = dir.filePath(QStringLiteral("newspaper.jpg"));
    if (!makeNewspaperJpeg(newspaper, 6600, 9400)) {
        std::fprintf(stderr, "cannot make the newspaper JPEG\n");
        return 1;
    }
    ::malloc_trim(0);
    jpegRegions(newspaper, QSize(6600, 9400));
    return 0;
}
