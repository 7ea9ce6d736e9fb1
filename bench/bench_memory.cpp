// Peak memory of unpacking packages and loading pages, on the largest inputs the program
// accepts. Each case runs in a forked child; its peak resident set is printed beside that of
// a child that does nothing, and the difference against the 300 MB the program may use.
#include "articles/imagedocument.h"
#include "articles/zipextract.h"
#include "platform/error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>
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

// An uncompressed page of the given shape, in strips, as scanners write them.
bool makeTiff(const QString &path, int w, int h, int samples, int orientation,
              int compression = COMPRESSION_LZW) {
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 64u);
    QByteArray row(w * samples, '\x80');
    for (int y = 0; y < h; ++y)
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0)
            return false;
    TIFFClose(tif);
    return true;
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
    if (!makeZip(big, 70000, 0) || !makeZip(bomb, 1, 250ll << 20) ||
        !makeTiff(gray, 16000, 16000, 1, 1) || !makeTiff(colour, 8000, 8000, 3, 1) ||
        !makeTiff(turned, 8000, 8000, 3, 6) || !makeTiff(turnedSmaller, 5000, 6000, 3, 6) ||
        !makeTiff(raw, 15000, 16000, 1, 1, COMPRESSION_NONE)) {
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
    return 0;
}
