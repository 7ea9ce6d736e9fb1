#include "articles/tiffcodec.h"

#include "articles/pageshape.h"
#include "articles/shrinkbox.h"
#include "articles/tiffmemory.h"
#include "articles/tiffpage.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace qen::tiff {

namespace {

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

void readResolution(TIFF *t, QImage &image) {
    double x = 0, y = 0;
    if (resolutionPerMeter(t, &x, &y)) {
        image.setDotsPerMeterX(qRound(x));
        image.setDotsPerMeterY(qRound(y));
    }
}

// Strip by strip into rows of `lineBytes`; used for 1-bit and 8-bit single-channel pages.
// The rows each strip holds, or 0 when a strip's decoded size cannot hold them.
uint32_t stripRows(TIFF *t, int height, qsizetype lineBytes, tmsize_t *stripSize) {
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(t, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > static_cast<uint32_t>(height))
        rowsPerStrip = static_cast<uint32_t>(height);
    *stripSize = TIFFStripSize(t);
    if (*stripSize <= 0 || *stripSize < static_cast<tmsize_t>(rowsPerStrip) * lineBytes)
        return 0;
    return rowsPerStrip;
}

bool readStrips(TIFF *t, QImage &image, int lineBytes) {
    const int height = image.height();
    tmsize_t stripSize = 0;
    const uint32_t rowsPerStrip = stripRows(t, height, lineBytes, &stripSize);
    if (rowsPerStrip == 0)
        return false;
    // A page in one strip, as fax pages often are, would be decoded into a buffer as large as
    // the page itself; row by row it goes straight into the image.
    if (stripSize > (8 << 20)) {
        for (int y = 0; y < height; ++y)
            if (TIFFReadScanline(t, image.scanLine(y), uint32_t(y), 0) < 0)
                return false;
        return true;
    }
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

QImage readSingleChannel(TIFF *t, const PageLayout &l, const ErrorSink &sink, QString *error) {
    const bool bilevel = l.bilevel();
    QImage image(int(l.w), int(l.h), bilevel ? QImage::Format_Mono : QImage::Format_Grayscale8);
    if (image.isNull()) {
        *error = noMemoryText(l);
        return {};
    }
    const int lineBytes = bilevel ? int((l.w + 7) / 8) : int(l.w);
    if (!readStrips(t, image, lineBytes)) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
        return {};
    }
    // Bilevel pages are kept with index 1 = black, so MinIsBlack pages are turned over once
    // here instead of at every paint.
    const bool invert =
        bilevel ? l.photometric == PHOTOMETRIC_MINISBLACK : l.photometric == PHOTOMETRIC_MINISWHITE;
    if (invert)
        image.invertPixels();
    if (bilevel) {
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        pageshape::clearMonoPadding(image);
    }
    return image;
}

// Every other kind of page goes through libtiff's colour raster, then into its page shape.
QImage readColour(TIFF *t, const PageLayout &l, const ErrorSink &sink, QString *error) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(t, why)) {
        *error = unsupportedColourText(t, l);
        return {};
    }
    QImage image(int(l.w), int(l.h), QImage::Format_RGB32);
    if (image.isNull()) {
        *error = noMemoryText(l);
        return {};
    }
    auto *raster = reinterpret_cast<uint32_t *>(image.bits());
    // Asked for the file's own orientation, libtiff hands the rows out as stored; they are
    // turned afterwards, as the single-channel pages are.
    if (!TIFFReadRGBAImageOriented(t, l.w, l.h, raster, l.orientation, 1)) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
        return {};
    }
    // Nothing more is done with a page libtiff found damaged while decoding it.
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏"));
        return {};
    }
    rasterToRgb(raster, qint64(l.w) * l.h);
    if (l.grayKind() && l.spp == 1 && l.bps == 1)
        return pageshape::normalized(
            image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither));
    if (l.grayKind())
        return image.convertToFormat(QImage::Format_Grayscale8);
    if (l.spp == 1 && l.bps <= 8) // a palette page may well be black and white
        return pageshape::reducedToPlainest(image);
    return image;
}

// The page pixels under each picture pixel along one side, boxed as the view shrinks a page.
struct Boxes {
    std::vector<int> lo, hi; // by picture pixel
    std::vector<int> of;     // by page pixel: its picture pixel, or -1 past the last box
    Boxes(int page, int picture, double zoom) : lo(size_t(picture)), hi(size_t(picture)) {
        of.assign(size_t(page), -1);
        for (int d = 0; d < picture; ++d) {
            const shrink::Span s = shrink::boxSpan(d, zoom, page);
            lo[size_t(d)] = s.lo;
            hi[size_t(d)] = s.hi;
            for (int x = s.lo; x < s.hi; ++x)
                of[size_t(x)] = d;
        }
    }
};

// What the fax decoder's rows are counted into. libtiff's fill hook carries no user data, so
// the counter of the page being decoded on this thread is found through a thread-local.
struct InkCounter {
    const uchar *buffer = nullptr; // the strip buffer libtiff walks, one row per lineBytes
    qsizetype lineBytes = 0;
    int firstRow = 0; // of the strip being decoded
    const Boxes *columns = nullptr, *rows = nullptr;
    std::vector<quint32> ones; // 1-bits under each picture pixel, row after row
};
thread_local InkCounter *countingInto = nullptr;

void addRun(InkCounter &c, quint32 *line, uint32_t x, uint32_t end) {
    const std::vector<int> &of = c.columns->of;
    while (x < end) {
        const int column = of[x];
        if (column < 0)
            return; // past the last picture column
        const uint32_t stop = std::min<uint32_t>(end, uint32_t(c.columns->hi[size_t(column)]));
        line[column] += stop - x;
        x = stop;
    }
}

// Called by the decoder for every row instead of writing its bits: runs alternate 0-bits and
// 1-bits from the left edge, and may claim more than the row holds when the data is damaged.
void countRuns(unsigned char *buf, uint32_t *runs, uint32_t *erun, uint32_t lastx) {
    InkCounter *c = countingInto;
    if (!c || !buf || buf < c->buffer)
        return;
    const qsizetype y = c->firstRow + (buf - c->buffer) / c->lineBytes;
    if (y >= qsizetype(c->rows->of.size()) || c->rows->of[size_t(y)] < 0)
        return;
    quint32 *line = c->ones.data() + size_t(c->rows->of[size_t(y)]) * c->columns->lo.size();
    lastx = std::min<uint32_t>(lastx, uint32_t(c->columns->of.size()));
    uint32_t x = 0;
    for (const uint32_t *r = runs; r < erun && x < lastx; r += 2) {
        x += std::min(r[0], lastx - x);
        if (r + 1 >= erun)
            break;
        const uint32_t end = x + std::min(r[1], lastx - x);
        addRun(*c, line, x, end);
        x = end;
    }
}

// Every strip through the decoder with countRuns in place of its row writer. The buffer it
// is given is never written, so its pages are never touched.
bool countStrips(TIFF *t, const PageLayout &l, InkCounter &counter) {
    const qsizetype lineBytes = qsizetype((l.w + 7) / 8);
    tmsize_t stripSize = 0;
    const uint32_t rowsPerStrip = stripRows(t, int(l.h), lineBytes, &stripSize);
    if (rowsPerStrip == 0)
        return false;
    if (!TIFFSetField(t, TIFFTAG_FAXFILLFUNC, &countRuns))
        return false;
    std::unique_ptr<uchar[]> buffer(new uchar[size_t(stripSize)]);
    counter.buffer = buffer.get();
    counter.lineBytes = lineBytes;
    countingInto = &counter;
    const uint32_t strips = TIFFNumberOfStrips(t);
    int row = 0;
    bool ok = true;
    for (uint32_t s = 0; ok && s < strips && row < int(l.h); ++s) {
        const int rows = std::min<int>(int(rowsPerStrip), int(l.h) - row);
        const tmsize_t want = tmsize_t(rows) * lineBytes;
        counter.firstRow = row;
        ok = TIFFReadEncodedStrip(t, s, buffer.get(), want) == want;
        row += rows;
    }
    countingInto = nullptr;
    return ok && row == int(l.h);
}

QImage inkToGray(const InkCounter &c, bool onesAreInk) {
    const int w = int(c.columns->lo.size()), h = int(c.rows->lo.size());
    QImage out(w, h, QImage::Format_Grayscale8);
    if (out.isNull())
        return out;
    for (int y = 0; y < h; ++y) {
        const int rows = c.rows->hi[size_t(y)] - c.rows->lo[size_t(y)];
        const quint32 *ones = c.ones.data() + size_t(y) * size_t(w);
        uchar *line = out.scanLine(y);
        for (int x = 0; x < w; ++x) {
            const double area = double(c.columns->hi[size_t(x)] - c.columns->lo[size_t(x)]) * rows;
            const double ink = onesAreInk ? ones[x] : area - ones[x];
            line[x] = shrink::inkLevel(ink, area);
        }
    }
    return out;
}

} // namespace

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
        pageshape::mirrorHorizontal(image);
    if (flip)
        pageshape::flipVertical(image);
    return image;
}

QImage read(const QByteArray &data, QString *error, int page) {
    MemoryIo io{data.constData(), data.size(), 0, nullptr};
    ErrorSink sink;
    PageLayout l;
    TiffPtr t = openPage(io, sink, page, l, error);
    if (!t)
        return {};
    QImage image = l.bilevel() || l.gray() ? readSingleChannel(t.get(), l, sink, error)
                                           : readColour(t.get(), l, sink, error);
    if (image.isNull()) {
        if (error->isEmpty()) // a conversion into the page shape that found no memory
            *error = noMemoryText(l);
        return {};
    }
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏"));
        return {};
    }
    readResolution(t.get(), image);
    image = oriented(std::move(image), l.orientation);
    if (image.isNull())
        *error = noMemoryText(l);
    return image;
}

QByteArray write(const QImage &source, QString *error) {
    if (source.isNull()) {
        *error = QStringLiteral("没有可保存的图像");
        return {};
    }
    const bool keep =
        source.format() == QImage::Format_Mono || source.format() == QImage::Format_Grayscale8;
    const QImage image = keep ? source : source.convertToFormat(QImage::Format_RGB888);
    Rows rows{image.width(),         image.height(),
              image.format(),        image.dotsPerMeterX(),
              image.dotsPerMeterY(), [&image](int y, QString *) { return image.constScanLine(y); }};
    return writeRows(rows, error);
}

QByteArray writeRows(const Rows &rows, QString *error) {
    QByteArray out;
    MemoryIo io{nullptr, 0, 0, &out};
    ErrorSink sink;
    TiffPtr t = open(&io, "w", &sink);
    if (!t) {
        *error = failure(sink, QStringLiteral("无法创建 TIFF 数据"));
        return {};
    }
    const bool bilevel = rows.format == QImage::Format_Mono;
    const bool gray = rows.format == QImage::Format_Grayscale8;
    TIFF *tif = t.get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(rows.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(rows.height));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    int lineBytes = 0;
    if (bilevel) {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rows.height));
        lineBytes = (rows.width + 7) / 8;
    } else {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, gray ? 1 : 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, gray ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        lineBytes = rows.width * (gray ? 1 : 3);
    }
    if (rows.dotsPerMeterX > 0 && rows.dotsPerMeterY > 0) {
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(rows.dotsPerMeterX * 0.0254));
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(rows.dotsPerMeterY * 0.0254));
    }
    // The encoder may work on the row it is given, so it gets a copy.
    QByteArray row(lineBytes, Qt::Uninitialized);
    for (int y = 0; y < rows.height; ++y) {
        const uchar *line = rows.row(y, error);
        if (!line)
            return {};
        std::memcpy(row.data(), line, size_t(lineBytes));
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

QImage readShrunk(const QByteArray &data, QSize box, QString *error, bool *shrunk) {
    *shrunk = false;
    MemoryIo io{data.constData(), data.size(), 0, nullptr};
    ErrorSink sink;
    PageLayout l;
    TiffPtr t = openPage(io, sink, 0, l, error);
    if (!t)
        return {};
    const double zoom = std::min(double(box.width()) / l.w, double(box.height()) / l.h);
    // Turned pages are rare enough to go the whole way, through the turning the full page has.
    if (!l.bilevel() || !(zoom < 1) || l.orientation != ORIENTATION_TOPLEFT ||
        (l.compression != COMPRESSION_CCITTFAX3 && l.compression != COMPRESSION_CCITTFAX4))
        return {};
    *shrunk = true;
    const auto extent = [zoom](uint32_t side) {
        return std::max(1, int(std::lround(side * zoom)));
    };
    const Boxes columns(int(l.w), extent(l.w), zoom), rows(int(l.h), extent(l.h), zoom);
    InkCounter counter;
    counter.columns = &columns;
    counter.rows = &rows;
    counter.ones.assign(columns.lo.size() * rows.lo.size(), 0);
    if (!countStrips(t.get(), l, counter)) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
        return {};
    }
    if (!sink.first.isEmpty()) {
        *error = failure(sink, QStringLiteral("TIFF 图像数据已损坏"));
        return {};
    }
    QImage image = inkToGray(counter, l.photometric != PHOTOMETRIC_MINISBLACK);
    if (image.isNull())
        *error = noMemoryText(l);
    return image;
}

} // namespace qen::tiff
