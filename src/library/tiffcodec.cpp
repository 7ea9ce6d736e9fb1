#include "library/tiffcodec.h"

#include "library/imageops.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qen::tiff {

namespace {

// libtiff reads from and writes to memory: the caller owns the file access (size checks on
// the way in, QSaveFile on the way out), and no path ever reaches the library.
struct MemoryIo {
    const char *data = nullptr;
    qint64 size = 0;
    qint64 pos = 0;
    QByteArray *out = nullptr;
};

tmsize_t readProc(thandle_t h, void *dst, tmsize_t n) {
    auto *io = static_cast<MemoryIo *>(h);
    const qint64 available = std::max<qint64>(0, io->size - io->pos);
    const qint64 count = std::min<qint64>(n, available);
    if (count > 0)
        std::memcpy(dst, io->data + io->pos, static_cast<size_t>(count));
    io->pos += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeProc(thandle_t h, void *src, tmsize_t n) {
    auto *io = static_cast<MemoryIo *>(h);
    if (!io->out || n < 0)
        return -1;
    const qint64 end = io->pos + n;
    if (end > io->out->size())
        io->out->resize(end);
    std::memcpy(io->out->data() + io->pos, src, static_cast<size_t>(n));
    io->pos = end;
    io->data = io->out->constData();
    io->size = io->out->size();
    return n;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto *io = static_cast<MemoryIo *>(h);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = io->pos;
    else if (whence == SEEK_END)
        base = io->size;
    const qint64 target = base + static_cast<qint64>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    io->pos = target;
    return static_cast<toff_t>(target);
}

int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<toff_t>(static_cast<MemoryIo *>(h)->size);
}

int mapProc(thandle_t h, void **base, toff_t *size) {
    auto *io = static_cast<MemoryIo *>(h);
    if (io->out)
        return 0;
    *base = const_cast<char *>(io->data);
    *size = static_cast<toff_t>(io->size);
    return 1;
}
void unmapProc(thandle_t, void *, toff_t) {}

struct ErrorSink {
    QString first;
};

int onError(TIFF *, void *user, const char *module, const char *fmt, va_list ap) {
    auto *sink = static_cast<ErrorSink *>(user);
    if (sink && sink->first.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        sink->first = QString::fromLocal8Bit(text);
        if (module && *module)
            sink->first = QStringLiteral("%1 (%2)").arg(sink->first, QString::fromLatin1(module));
    }
    return 1;
}

int onWarning(TIFF *, void *, const char *, const char *, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF *t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr open(MemoryIo *io, const char *mode, ErrorSink *sink) {
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(MaxImageBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, sink);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, nullptr);
    TIFF *t = TIFFClientOpenExt("page", mode, io, readProc, writeProc, seekProc, closeProc,
                                sizeProc, mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    return TiffPtr(t);
}

// Our words first; libtiff's English text only as a detail behind them.
QString failure(const ErrorSink &sink, const QString &fallback) {
    return sink.first.isEmpty() ? fallback
                                : fallback + QStringLiteral("（详情：%1）").arg(sink.first);
}

// Rows become columns. Bilevel pages stay 1-bit; a mostly white page skips its empty bytes.
QImage transposed(const QImage &source) {
    const int w = source.width(), h = source.height();
    QImage out(h, w, source.format());
    if (out.isNull())
        return out;
    out.setColorTable(source.colorTable());
    out.setDotsPerMeterX(source.dotsPerMeterY());
    out.setDotsPerMeterY(source.dotsPerMeterX());
    switch (source.depth()) {
    case 1:
        out.fill(0);
        for (int y = 0; y < h; ++y) {
            const uchar *row = source.constScanLine(y);
            const uchar bit = uchar(0x80 >> (y & 7));
            for (int bx = 0; bx < (w + 7) / 8; ++bx) {
                if (!row[bx])
                    continue;
                for (int k = 0; k < 8 && bx * 8 + k < w; ++k)
                    if (row[bx] & (0x80 >> k))
                        out.scanLine(bx * 8 + k)[y >> 3] |= bit;
            }
        }
        break;
    case 8:
        for (int y = 0; y < h; ++y) {
            const uchar *row = source.constScanLine(y);
            for (int x = 0; x < w; ++x)
                out.scanLine(x)[y] = row[x];
        }
        break;
    default: {
        const QImage wide =
            source.depth() == 32 ? source : source.convertToFormat(QImage::Format_RGB32);
        out = QImage(h, w, wide.format());
        if (out.isNull())
            return out;
        out.setDotsPerMeterX(source.dotsPerMeterY());
        out.setDotsPerMeterY(source.dotsPerMeterX());
        for (int y = 0; y < h; ++y) {
            const auto *row = reinterpret_cast<const quint32 *>(wide.constScanLine(y));
            for (int x = 0; x < w; ++x)
                reinterpret_cast<quint32 *>(out.scanLine(x))[y] = row[x];
        }
    }
    }
    return out;
}

// Turns a page decoded in stored order the way its Orientation tag says it is seen: scanners
// and fax software write upside-down and sideways pages and leave the turning to the viewer.
QImage oriented(QImage image, uint16_t orientation) {
    if (orientation < ORIENTATION_TOPRIGHT || orientation > ORIENTATION_LEFTBOT)
        return image;
    if (orientation >= ORIENTATION_LEFTTOP)
        image = transposed(image);
    if (image.isNull())
        return image;
    const bool mirror = orientation == ORIENTATION_TOPRIGHT ||
                        orientation == ORIENTATION_BOTRIGHT ||
                        orientation == ORIENTATION_RIGHTTOP || orientation == ORIENTATION_RIGHTBOT;
    const bool flip = orientation == ORIENTATION_BOTRIGHT || orientation == ORIENTATION_BOTLEFT ||
                      orientation == ORIENTATION_RIGHTBOT || orientation == ORIENTATION_LEFTBOT;
    if (mirror)
        imageops::mirrorHorizontal(image);
    if (flip)
        imageops::flipVertical(image);
    return image;
}

// Dots per metre as the page states them; false when it states none that can be used
// (no tag, unit "none", zero or absurd values).
bool resolutionPerMeter(TIFF *t, double *x, double *y) {
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres) || !(xres > 0))
        return false;
    if (!TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres) || !(yres > 0))
        yres = xres;
    const double perMeter = unit == RESUNIT_CENTIMETER ? 100.0
                            : unit == RESUNIT_NONE     ? 0
                                                       : 1 / 0.0254;
    if (!(perMeter > 0) || !(xres < 100000) || !(yres < 100000))
        return false;
    *x = xres * perMeter;
    *y = yres * perMeter;
    return true;
}

void readResolution(TIFF *t, QImage &image) {
    double x = 0, y = 0;
    if (resolutionPerMeter(t, &x, &y)) {
        image.setDotsPerMeterX(qRound(x));
        image.setDotsPerMeterY(qRound(y));
    }
}

// Strip by strip into rows of `lineBytes`; used for 1-bit and 8-bit single-channel pages.
bool readStrips(TIFF *t, QImage &image, int lineBytes) {
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    const int height = image.height();
    if (rowsPerStrip == 0 || rowsPerStrip > static_cast<uint32_t>(height))
        rowsPerStrip = static_cast<uint32_t>(height);
    const tmsize_t stripSize = TIFFStripSize(t);
    if (stripSize <= 0 || stripSize < static_cast<tmsize_t>(rowsPerStrip) * lineBytes)
        return false;
    QByteArray buffer(static_cast<qsizetype>(stripSize), Qt::Uninitialized);
    const uint32_t strips = TIFFNumberOfStrips(t);
    int row = 0;
    for (uint32_t s = 0; s < strips && row < height; ++s) {
        const int rows = std::min<int>(static_cast<int>(rowsPerStrip), height - row);
        const tmsize_t want = static_cast<tmsize_t>(rows) * lineBytes;
        if (TIFFReadEncodedStrip(t, s, buffer.data(), want) != want)
            return false;
        for (int r = 0; r < rows; ++r)
            std::memcpy(image.scanLine(row + r), buffer.constData() + qsizetype(r) * lineBytes,
                        static_cast<size_t>(lineBytes));
        row += rows;
    }
    return row == height;
}

} // namespace

QImage read(const QByteArray &data, QString *error, int page) {
    MemoryIo io{data.constData(), data.size(), 0, nullptr};
    ErrorSink sink;
    TiffPtr t = open(&io, "r", &sink);
    if (!t) {
        *error = failure(sink, QStringLiteral("不是有效的 TIFF 文件"));
        return {};
    }
    if (page != 0 && (page < 0 || !TIFFSetDirectory(t.get(), tdir_t(page)))) {
        *error = failure(sink, QStringLiteral("TIFF 文件没有第 %1 页").arg(page + 1));
        return {};
    }
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE, orientation = ORIENTATION_TOPLEFT;
    if (!TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w) ||
        !TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h) || w == 0 || h == 0) {
        *error = failure(sink, QStringLiteral("TIFF 文件没有有效的图像尺寸"));
        return {};
    }
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_ORIENTATION, &orientation);
    // A valid file in a form we cannot decode is not a damaged one: say so.
    if (!TIFFIsCODECConfigured(compression)) {
        const TIFFCodec *codec = TIFFFindCODEC(compression);
        *error = QStringLiteral("本程序不支持这个 TIFF 文件的压缩方式（%1）")
                     .arg(codec ? QString::fromLatin1(codec->name)
                                : QStringLiteral("编号 %1").arg(compression));
        return {};
    }
    if (!TIFFGetField(t.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = PHOTOMETRIC_MINISWHITE;

    const bool singleChannel =
        spp == 1 && !TIFFIsTiled(t.get()) &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    const bool bilevel = singleChannel && bps == 1;
    const bool gray = singleChannel && bps == 8;
    const qint64 pixels = qint64(w) * h;
    const qint64 bytes = bilevel ? pixels / 8 : gray ? pixels : pixels * 4;
    // Everything held at once counts: the file itself, the decoded page, a gray page's copy
    // made from the colour raster, and the turned copy of a sideways page.
    const bool grayFromRaster =
        !bilevel && !gray && spp == 1 &&
        (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
    const qint64 finalBytes = grayFromRaster ? pixels : bytes;
    const qint64 held = data.size() + bytes + (grayFromRaster ? pixels : 0) +
                        (orientation >= ORIENTATION_LEFTTOP ? finalBytes : 0);
    if (w > 1000000 || h > 1000000 || held > MaxImageBytes) {
        *error = QStringLiteral("图像尺寸 %1×%2 过大，无法显示").arg(w).arg(h);
        return {};
    }

    QImage image;
    if (bilevel || gray) {
        image = QImage(int(w), int(h), bilevel ? QImage::Format_Mono : QImage::Format_Grayscale8);
        if (image.isNull()) {
            *error = QStringLiteral("内存不足，无法打开 %1×%2 的图像").arg(w).arg(h);
            return {};
        }
        const int lineBytes = bilevel ? int((w + 7) / 8) : int(w);
        if (!readStrips(t.get(), image, lineBytes)) {
            *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
            return {};
        }
        // Bilevel pages are kept with index 1 = black, so MinIsBlack pages are turned over
        // once here instead of at every paint.
        const bool invert =
            bilevel ? photometric == PHOTOMETRIC_MINISBLACK : photometric == PHOTOMETRIC_MINISWHITE;
        if (invert)
            image.invertPixels();
        if (bilevel) {
            image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
            imageops::clearMonoPadding(image);
        }
    } else {
        char why[1024] = {};
        if (!TIFFRGBAImageOK(t.get(), why)) {
            uint16_t sampleFormat = SAMPLEFORMAT_UINT;
            TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
            QString kind;
            if (sampleFormat == SAMPLEFORMAT_IEEEFP)
                kind = QStringLiteral("浮点数样本");
            else if (bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 16)
                kind = QStringLiteral("每个样本 %1 位").arg(bps);
            else
                kind = QStringLiteral("颜色格式 %1，每像素 %2 个样本").arg(photometric).arg(spp);
            *error = QStringLiteral("本程序不支持这种 TIFF 图像（%1）").arg(kind);
            return {};
        }
        image = QImage(int(w), int(h), QImage::Format_RGB32);
        if (image.isNull()) {
            *error = QStringLiteral("内存不足，无法打开 %1×%2 的图像").arg(w).arg(h);
            return {};
        }
        auto *raster = reinterpret_cast<uint32_t *>(image.bits());
        // Asked for the file's own orientation, libtiff hands the rows out as stored; they
        // are turned below, as the single-channel pages are.
        if (!TIFFReadRGBAImageOriented(t.get(), w, h, raster, orientation, 1)) {
            *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
            return {};
        }
        // libtiff hands out ABGR; pages have no use for transparency, so it goes onto white.
        const qint64 n = pixels;
        for (qint64 i = 0; i < n; ++i) {
            const uint32_t p = raster[i];
            const int a = int(TIFFGetA(p));
            auto over = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
            raster[i] =
                qRgb(over(int(TIFFGetR(p))), over(int(TIFFGetG(p))), over(int(TIFFGetB(p))));
        }
        const bool grayKind =
            photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
        if (grayKind && spp == 1 && bps == 1)
            image = imageops::normalized(
                image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
        else if (grayKind)
            image = image.convertToFormat(QImage::Format_Grayscale8);
        else if (spp == 1 && bps <= 8) // a palette page may well be black and white
            image = imageops::reducedToPlainest(image);
    }
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏"));
        return {};
    }
    readResolution(t.get(), image);
    image = oriented(std::move(image), orientation);
    if (image.isNull())
        *error = QStringLiteral("内存不足，无法打开 %1×%2 的图像").arg(w).arg(h);
    return image;
}

QByteArray write(const QImage &source, QString *error) {
    QByteArray out;
    MemoryIo io{nullptr, 0, 0, &out};
    ErrorSink sink;
    if (source.isNull()) {
        *error = QStringLiteral("没有可保存的图像");
        return {};
    }
    TiffPtr t = open(&io, "w", &sink);
    if (!t) {
        *error = failure(sink, QStringLiteral("无法创建 TIFF 数据"));
        return {};
    }
    const bool bilevel = source.format() == QImage::Format_Mono;
    const bool gray = source.format() == QImage::Format_Grayscale8;
    QImage image = bilevel || gray ? source : source.convertToFormat(QImage::Format_RGB888);
    TIFF *tif = t.get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    int lineBytes = 0;
    if (bilevel) {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(image.height()));
        lineBytes = (image.width() + 7) / 8;
    } else {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, gray ? 1 : 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        lineBytes = image.width() * (gray ? 1 : 3);
    }
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(image.dotsPerMeterX() * 0.0254));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(image.dotsPerMeterY() * 0.0254));
    }
    // The encoder may work on the row it is given, so it gets a copy.
    QByteArray row(lineBytes, Qt::Uninitialized);
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(row.data(), image.constScanLine(y), size_t(lineBytes));
        if (TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) < 0) {
            *error = failure(sink, QStringLiteral("写入 TIFF 数据失败"));
            return {};
        }
    }
    if (!TIFFWriteDirectory(tif)) {
        *error = failure(sink, QStringLiteral("写入 TIFF 数据失败"));
        return {};
    }
    t.reset();
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("写入 TIFF 数据失败"));
        return {};
    }
    return out;
}

bool inspect(const QByteArray &data, Info *info) {
    MemoryIo io{data.constData(), data.size(), 0, nullptr};
    ErrorSink sink;
    TiffPtr t = open(&io, "r", &sink);
    if (!t)
        return false;
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, compression = 1, photometric = 0;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    *info = {
        int(w), int(h), bps, spp, compression, photometric, int(TIFFNumberOfDirectories(t.get()))};
    return true;
}

bool readStored(const QByteArray &data, QList<StoredPage> *pages, QString *error) {
    MemoryIo io{data.constData(), data.size(), 0, nullptr};
    ErrorSink sink;
    TiffPtr t = open(&io, "r", &sink);
    if (!t) {
        *error = failure(sink, QStringLiteral("不是有效的 TIFF 文件"));
        return false;
    }
    TIFF *tif = t.get();
    pages->clear();
    do {
        const QString where = QStringLiteral("第 %1 页").arg(pages->size() + 1);
        StoredPage p;
        uint32_t w = 0, h = 0;
        uint16_t bps = 1, spp = 1, compression = 1, photometric = 0, fill = 1, planar = 1;
        if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) ||
            !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) || w == 0 || h == 0) {
            *error = failure(sink, where + QStringLiteral("没有有效的图像尺寸"));
            return false;
        }
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fill);
        TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
        if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
            photometric = PHOTOMETRIC_MINISWHITE;
        const qint64 bytes = (qint64(w) * bps * spp + 7) / 8 * h;
        if (w > 1000000 || h > 1000000 || bytes > MaxImageBytes) {
            *error = QStringLiteral("%1图像尺寸 %2×%3 过大").arg(where).arg(w).arg(h);
            return false;
        }
        p.width = int(w);
        p.height = int(h);
        p.bitsPerSample = bps;
        p.samplesPerPixel = spp;
        p.compression = compression;
        p.photometric = photometric;
        p.fillOrder = fill;
        p.planar = planar;
        p.tiled = TIFFIsTiled(tif);
        uint32_t t4 = 0;
        if (compression == COMPRESSION_CCITTFAX3 && TIFFGetField(tif, TIFFTAG_GROUP3OPTIONS, &t4))
            p.t4Options = t4;
        double x = 0, y = 0;
        if (resolutionPerMeter(tif, &x, &y)) {
            p.xDpi = x * 0.0254;
            p.yDpi = y * 0.0254;
        }
        uint32_t tablesSize = 0;
        void *tables = nullptr;
        if (compression == COMPRESSION_JPEG &&
            TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tablesSize, &tables) && tables)
            p.jpegTables = QByteArray(static_cast<const char *>(tables), qsizetype(tablesSize));
        if (!p.tiled) {
            const uint32_t strips = TIFFNumberOfStrips(tif);
            for (uint32_t s = 0; s < strips; ++s) {
                const uint64_t size = TIFFGetStrileByteCount(tif, s);
                const uint64_t offset = TIFFGetStrileOffset(tif, s);
                if (size == 0 || offset > uint64_t(data.size()) ||
                    size > uint64_t(data.size()) - offset) {
                    *error = QStringLiteral("%1的图像数据超出文件末尾（文件不完整）").arg(where);
                    return false;
                }
                p.strips.append(data.mid(qsizetype(offset), qsizetype(size)));
            }
        }
        pages->append(std::move(p));
    } while (TIFFReadDirectory(tif));
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("TIFF 文件已损坏"));
        return false;
    }
    return true;
}

} // namespace qen::tiff
