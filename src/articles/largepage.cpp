#include "articles/largepage.h"

#include "articles/jpegregion.h"
#include "articles/pagefile.h"
#include "articles/tiffcodec.h"
#include "articles/tiffpage.h"
#include "articles/tiffstored.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qen {

namespace {

using tiff::PageLayout;

QString damagedText(const tiff::ErrorSink &sink) {
    return tiff::failure(sink, QStringLiteral("TIFF 图像数据已损坏或不完整"));
}

// One open handle on a large page's file: the directory is read once per region, and each
// region decodes only the strips or tiles under it.
class Reader {
public:
    bool open(const QString &path, QString *error) {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("无法读取文件");
            return false;
        }
        m_io = {nullptr, m_file.size(), 0, nullptr, &m_file};
        m_tiff = tiff::openDirectory(m_io, m_sink, 0, m_layout, error);
        return bool(m_tiff);
    }
    ~Reader() {
        if (m_rgbaStarted)
            TIFFRGBAImageEnd(&m_rgba);
    }
    const PageLayout &layout() const { return m_layout; }
    QSize size() const { return {int(m_layout.w), int(m_layout.h)}; }
    qint64 fileBytes() const { return m_io.size; }
    TIFF *tiff() const { return m_tiff.get(); }
    const tiff::ErrorSink &sink() const { return m_sink; }

    // Gray-kind pages of 8 bits in strips are read by their strips; every other kind goes
    // through libtiff's colour raster, which decodes the strips or tiles under a rectangle.
    bool ownStrips() const { return m_layout.gray(); }
    // Rows of the page decoded together: a strip or a row of tiles.
    uint32_t unitRows() const {
        uint32_t rows = 0;
        if (TIFFIsTiled(tiff()))
            TIFFGetField(tiff(), TIFFTAG_TILELENGTH, &rows);
        else
            TIFFGetFieldDefaulted(tiff(), TIFFTAG_ROWSPERSTRIP, &rows);
        return std::clamp<uint32_t>(rows, 1, m_layout.h);
    }
    qint64 unitBytes() const {
        return TIFFIsTiled(tiff()) ? qint64(TIFFTileSize64(tiff()))
                                   : qint64(unitRows()) * m_layout.w * 4;
    }

    // Page pixels [x0, x1) × [y0, y1) at full resolution into `band` (gray or RGB32).
    bool decode(int x0, int x1, int y0, int y1, QImage &band, QString *error) {
        const bool ok = ownStrips() ? decodeStrips(x0, x1, y0, y1, band)
                                    : decodeRaster(x0, x1, y0, y1, band, error);
        if (ok && m_sink.first.isEmpty())
            return true;
        if (error->isEmpty())
            *error = damagedText(m_sink);
        return false;
    }

    bool startRaster(QString *error) {
        char why[1024] = {};
        if (!TIFFRGBAImageOK(tiff(), why) || !TIFFRGBAImageBegin(&m_rgba, tiff(), 1, why)) {
            *error = tiff::unsupportedColourText(tiff(), m_layout);
            return false;
        }
        m_rgbaStarted = true;
        // Asked for the file's own orientation, libtiff hands the rows out as stored: the
        // page is turned afterwards, as a page read whole is.
        m_rgba.req_orientation = m_rgba.orientation;
        return true;
    }

private:
    bool decodeStrips(int x0, int x1, int y0, int y1, QImage &band) {
        const uint32_t rps = unitRows();
        const qsizetype w = qsizetype(m_layout.w);
        if (TIFFStripSize64(tiff()) < uint64_t(rps) * uint64_t(w))
            return false; // a strip that cannot hold its rows
        m_buffer.resize(size_t(rps) * size_t(w));
        for (uint32_t s = uint32_t(y0) / rps; s <= uint32_t(y1 - 1) / rps; ++s) {
            const int first = int(s * rps);
            const int rows = std::min<int>(int(rps), int(m_layout.h) - first);
            const tmsize_t want = tmsize_t(rows) * w;
            if (TIFFReadEncodedStrip(tiff(), s, m_buffer.data(), want) != want)
                return false;
            for (int y = std::max(first, y0); y < std::min(first + rows, y1); ++y)
                std::memcpy(band.scanLine(y - y0), m_buffer.data() + qsizetype(y - first) * w + x0,
                            size_t(x1 - x0));
        }
        if (m_layout.photometric == PHOTOMETRIC_MINISWHITE)
            band.invertPixels();
        return true;
    }

    // libtiff's raster takes a column offset only where it counts its samples in bytes: eight
    // bits each, interleaved. Other pages are read at full width and cut.
    bool columnsByOffset() const {
        return m_layout.bps == 8 && m_rgba.isContig &&
               (m_rgba.photometric == PHOTOMETRIC_RGB ||
                m_rgba.photometric == PHOTOMETRIC_MINISBLACK ||
                m_rgba.photometric == PHOTOMETRIC_MINISWHITE);
    }

    bool decodeRaster(int x0, int x1, int y0, int y1, QImage &band, QString *error) {
        const bool offset = columnsByOffset();
        const int width = offset ? x1 - x0 : int(m_layout.w);
        const int rows = y1 - y0;
        QImage raster(width, rows, QImage::Format_RGB32);
        if (raster.isNull()) {
            *error = QStringLiteral("内存不足");
            return false;
        }
        m_rgba.row_offset = y0;
        m_rgba.col_offset = offset ? x0 : 0;
        auto *pixels = reinterpret_cast<uint32_t *>(raster.bits());
        if (!TIFFRGBAImageGet(&m_rgba, pixels, uint32_t(width), uint32_t(rows)))
            return false;
        tiff::rasterToRgb(pixels, qint64(width) * rows);
        const int from = offset ? 0 : x0;
        if (band.format() == QImage::Format_Grayscale8) {
            for (int y = 0; y < rows; ++y) {
                const auto *in = reinterpret_cast<const QRgb *>(raster.constScanLine(y)) + from;
                uchar *out = band.scanLine(y);
                for (int x = 0; x < x1 - x0; ++x)
                    out[x] = uchar(qGreen(in[x]));
            }
        } else {
            for (int y = 0; y < rows; ++y)
                std::memcpy(band.scanLine(y), raster.constScanLine(y) + from * 4,
                            size_t(x1 - x0) * 4);
        }
        return true;
    }

    QFile m_file;
    tiff::MemoryIo m_io;
    tiff::ErrorSink m_sink;
    PageLayout m_layout;
    tiff::TiffPtr m_tiff;
    TIFFRGBAImage m_rgba{};
    bool m_rgbaStarted = false;
    std::vector<uchar> m_buffer;
};

// Sums `rows` of a band into the pixels of one level row: each level pixel the average of the
// `scale` × `scale` page pixels under it, fewer at the edges.
template <int C>
void averageInto(const QImage &band, int firstRow, int rows, int scale, uchar *out, int outWidth,
                 std::vector<quint32> &sums) {
    const int width = band.width();
    sums.assign(size_t(outWidth) * C, 0);
    for (int r = firstRow; r < firstRow + rows; ++r) {
        const uchar *in = band.constScanLine(r);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < C; ++c)
                sums[size_t(x / scale) * C + c] += in[x * C + c];
    }
    for (int i = 0; i < outWidth; ++i) {
        const quint32 area = quint32(std::min(scale, width - i * scale)) * quint32(rows);
        for (int c = 0; c < C; ++c)
            out[i * C + c] = uchar((sums[size_t(i) * C + c] + area / 2) / area);
    }
}

// `level` counts from the pixels the source decodes: a TIFF's own, or a JPEG's after its
// scaled DCT.
template <class Source>
QImage readRegion(Source &reader, const QRect &rect, int level, bool gray, QString *error) {
    const int scale = 1 << level;
    const QRect full =
        QRect(rect.x() * scale, rect.y() * scale, rect.width() * scale, rect.height() * scale) &
        QRect(QPoint(0, 0), reader.size());
    const QImage::Format format = gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    QImage out(rect.size(), format);
    if (out.isNull()) {
        *error =
            QStringLiteral("内存不足，无法读取 %1×%2 的区域").arg(rect.width()).arg(rect.height());
        return {};
    }
    // Bands of whole strips (or rows of tiles) and whole level rows, each decoded once.
    const int unit = int(reader.unitRows());
    const int bandRows = std::max(scale, (unit + scale - 1) / scale * scale);
    QImage band(full.width(), bandRows, format);
    if (band.isNull()) {
        *error = QStringLiteral("内存不足");
        return {};
    }
    std::vector<quint32> sums;
    for (int y = full.top(); y <= full.bottom();) {
        const int end = std::min(full.bottom() + 1, (y / bandRows + 1) * bandRows);
        if (!reader.decode(full.left(), full.right() + 1, y, end, band, error))
            return {};
        for (int r = 0; r < end - y; r += scale) {
            uchar *line = out.scanLine((y + r) / scale - rect.y());
            const int rows = std::min(scale, end - y - r);
            if (scale == 1)
                std::memcpy(line, band.constScanLine(r), size_t(band.bytesPerLine()));
            else if (gray)
                averageInto<1>(band, r, rows, scale, line, out.width(), sums);
            else
                averageInto<4>(band, r, rows, scale, line, out.width(), sums);
        }
        y = end;
    }
    return out;
}

} // namespace

QSize LargePage::levelSize(QSize full, int level) {
    const int scale = 1 << level;
    return {(full.width() + scale - 1) / scale, (full.height() + scale - 1) / scale};
}

namespace {

enum class Kind { Other, Tiff, Jpeg };

Kind kindOf(const QString &path) {
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return Kind::Other;
    const QByteArray head = probe.read(4);
    if (head == QByteArray("II*\0", 4) || head == QByteArray("MM\0*", 4) ||
        head == QByteArray("II+\0", 4) || head == QByteArray("MM\0+", 4))
        return Kind::Tiff;
    return head.startsWith("\xFF\xD8\xFF") ? Kind::Jpeg : Kind::Other;
}

QString tooManyPixelsText(QSize size, bool gray) {
    return QStringLiteral("图像尺寸 %1×%2 过大（%3页最多 %4 亿像素），无法显示")
        .arg(size.width())
        .arg(size.height())
        .arg(gray ? QStringLiteral("灰度") : QStringLiteral("彩色"))
        .arg((gray ? LargePage::MaxGrayPixels : LargePage::MaxColourPixels) / 100000000);
}

bool tooManyPixels(QSize size, bool gray) {
    return qint64(size.width()) * size.height() >
           (gray ? LargePage::MaxGrayPixels : LargePage::MaxColourPixels);
}

QString changedText() {
    return QStringLiteral("文件在打开之后被改动了，请重新打开这一页");
}

// A JPEG part decodes only its own columns, and of the rows above it reads only their codes.
// Levels 1 to 3 come from libjpeg's scaled DCT while decoding; the levels beyond from the
// 1/8 one, averaged as a TIFF's are.
QImage readJpeg(const QString &path, QSize full, const QRect &area, int level, bool gray,
                QString *error) {
    JpegRegionReader reader;
    if (!reader.open(path, error))
        return {};
    if (reader.fullSize() != full || reader.gray() != gray) {
        *error = changedText();
        return {};
    }
    const int dct = std::min(level, 3);
    if (!reader.start(dct, error))
        return {};
    QImage out = readRegion(reader, area, level - dct, gray, error);
    if (const QSize dpm = reader.dotsPerMeter(); !out.isNull() && !dpm.isEmpty()) {
        out.setDotsPerMeterX(dpm.width());
        out.setDotsPerMeterY(dpm.height());
    }
    return out;
}

// A cut-off JPEG is refused when it opens, as reading it whole refuses it (by its end marker),
// and not only once a part past what it holds is asked for.
bool jpegEnds(QFile &file) {
    file.seek(std::max<qint64>(0, file.size() - 65536));
    return file.read(65536).contains("\xFF\xD9");
}

std::shared_ptr<LargePage> openJpeg(const QString &path, QString *error, QSize *size, bool *gray) {
    QFile file(path);
    JpegRegionReader reader;
    if (!file.open(QIODevice::ReadOnly) || !reader.open(path, error))
        return {};
    *size = reader.fullSize();
    *gray = reader.gray();
    if (!size->isValid() || size->isEmpty()) {
        *error = QStringLiteral("JPEG 文件头已损坏");
        return {};
    }
    if (tooManyPixels(*size, *gray)) {
        *error = tooManyPixelsText(*size, *gray);
        return {};
    }
    if (!jpegEnds(file)) {
        *error = QStringLiteral("JPEG 图像数据不完整（文件被截断）");
        return {};
    }
    return std::make_shared<LargePage>();
}

// The Orientation tag as the whole-page reader follows it: a value outside 1 to 8 is 1.
int orientationOf(const PageLayout &l) {
    return l.orientation >= ORIENTATION_TOPLEFT && l.orientation <= ORIENTATION_LEFTBOT
               ? l.orientation
               : ORIENTATION_TOPLEFT;
}

// Opens a TIFF page to be read a part at a time, with what that takes checked: sizes, a
// colour kind libtiff can read, and strips or tiles of bounded size.
bool openTiffInParts(Reader &reader, const QString &path, bool *gray, QString *error) {
    if (kindOf(path) != Kind::Tiff || !reader.open(path, error)) {
        if (error->isEmpty())
            *error = QStringLiteral("不是有效的 TIFF 文件");
        return false;
    }
    const PageLayout &l = reader.layout();
    *gray = l.spp == 1 && l.grayKind();
    if (l.w > 1000000 || l.h > 1000000) {
        *error = tiff::tooLargeText(l);
        return false;
    }
    if (tooManyPixels(QSize(int(l.w), int(l.h)), *gray)) {
        *error = tooManyPixelsText(QSize(int(l.w), int(l.h)), *gray);
        return false;
    }
    if (!reader.ownStrips() && !reader.startRaster(error))
        return false;
    if (reader.unitBytes() > LargePage::MaxStripBytes) {
        *error = QStringLiteral("图像 %1×%2 过大，且它的数据块过大（每块 %3 行），无法分块显示")
                     .arg(l.w)
                     .arg(l.h)
                     .arg(reader.unitRows());
        return false;
    }
    return true;
}

} // namespace

bool LargePage::needed(const QString &path) {
    const Kind kind = kindOf(path);
    if (kind == Kind::Jpeg) {
        // As a JPEG read whole counts it: the file and four bytes a pixel.
        QImageReader reader(path, "jpeg");
        const QSize size = reader.size();
        const qint64 fileBytes = QFileInfo(path).size();
        return size.isValid() &&
               (fileBytes + qint64(size.width()) * size.height() * 4 > tiff::MaxImageBytes ||
                fileBytes > pagefile::MaxBytes);
    }
    if (kind != Kind::Tiff)
        return false;
    Reader reader;
    QString ignored;
    if (!reader.open(path, &ignored))
        return false; // reading it whole reports what is wrong
    return !tiff::withinBudget(reader.layout(), reader.fileBytes()) ||
           reader.fileBytes() > pagefile::MaxBytes;
}

std::shared_ptr<const LargePage> LargePage::open(const QString &path, QString *error) {
    if (!needed(path))
        return {};
    return openInParts(path, error, OverviewBytes);
}

std::shared_ptr<const LargePage> LargePage::openJpegInParts(const QString &path, QString *error,
                                                            qint64 overviewBytes) {
    QSize size;
    bool gray = false;
    std::shared_ptr<LargePage> page = openJpeg(path, error, &size, &gray);
    if (!page)
        return {};
    page->m_path = path;
    page->m_size = size;
    page->m_stored = size;
    page->m_gray = gray;
    page->m_jpeg = true;
    while (page->bytesFor(page->levelSize(page->m_level)) > overviewBytes)
        ++page->m_level;
    page->m_overview = readJpeg(path, size, QRect(QPoint(0, 0), page->levelSize(page->m_level)),
                                page->m_level, gray, error);
    if (page->m_overview.isNull())
        return {};
    return page;
}

std::shared_ptr<const LargePage> LargePage::openInParts(const QString &path, QString *error,
                                                        qint64 overviewBytes) {
    const Kind kind = kindOf(path);
    if (kind == Kind::Jpeg)
        return openJpegInParts(path, error, overviewBytes);
    Reader reader;
    bool gray = false;
    if (!openTiffInParts(reader, path, &gray, error))
        return {};
    const PageLayout &l = reader.layout();
    auto page = std::make_shared<LargePage>();
    page->m_path = path;
    page->m_stored = reader.size();
    page->m_orientation = orientationOf(l);
    page->m_size =
        page->m_orientation >= ORIENTATION_LEFTTOP ? page->m_stored.transposed() : page->m_stored;
    page->m_gray = gray;
    while (page->bytesFor(page->levelSize(page->m_level)) > overviewBytes)
        ++page->m_level;
    const QSize overview = levelSize(page->m_stored, page->m_level);
    QImage stored = readRegion(reader, QRect(QPoint(0, 0), overview), page->m_level, gray, error);
    if (stored.isNull())
        return {};
    double x = 0, y = 0;
    if (tiff::resolutionPerMeter(reader.tiff(), &x, &y)) {
        stored.setDotsPerMeterX(qRound(x));
        stored.setDotsPerMeterY(qRound(y));
    }
    page->m_overview = tiff::oriented(std::move(stored), page->m_orientation);
    if (page->m_overview.isNull()) {
        *error = QStringLiteral("内存不足");
        return {};
    }
    return page;
}

QRect LargePage::storedArea(const QRect &shown, int level) const {
    // Undone in the reverse of the order oriented() turns: the flip, the mirror, the transpose.
    const QSize seen = levelSize(level);
    const int o = m_orientation;
    QRect r = shown;
    if (o == ORIENTATION_BOTRIGHT || o == ORIENTATION_BOTLEFT || o == ORIENTATION_RIGHTBOT ||
        o == ORIENTATION_LEFTBOT)
        r.moveTop(seen.height() - r.bottom() - 1);
    if (o == ORIENTATION_TOPRIGHT || o == ORIENTATION_BOTRIGHT || o == ORIENTATION_RIGHTTOP ||
        o == ORIENTATION_RIGHTBOT)
        r.moveLeft(seen.width() - r.right() - 1);
    return o >= ORIENTATION_LEFTTOP ? QRect(r.y(), r.x(), r.height(), r.width()) : r;
}

QImage LargePage::region(const QRect &rect, int level, QString *error) const {
    const QRect area = rect & QRect(QPoint(0, 0), levelSize(level));
    if (area.isEmpty())
        return {};
    if (bytesFor(area.size()) > MaxRegionBytes) {
        *error = QStringLiteral("所选区域 %1×%2 过大，无法一次读取；请选择较小的区域")
                     .arg(area.width())
                     .arg(area.height());
        return {};
    }
    if (m_jpeg)
        return readJpeg(m_path, m_size, area, level, m_gray, error);
    Reader reader;
    if (!reader.open(m_path, error))
        return {};
    if (reader.size() != m_stored || orientationOf(reader.layout()) != m_orientation) {
        *error = changedText();
        return {};
    }
    if (!reader.ownStrips() && !reader.startRaster(error))
        return {};
    QImage out = tiff::oriented(readRegion(reader, storedArea(area, level), level, m_gray, error),
                                m_orientation);
    if (out.isNull()) {
        if (error->isEmpty())
            *error = QStringLiteral("内存不足");
        return {};
    }
    out.setDotsPerMeterX(m_overview.dotsPerMeterX());
    out.setDotsPerMeterY(m_overview.dotsPerMeterY());
    return out;
}

struct LargePageRows::Impl {
    Reader reader;
    bool gray = false;
    int nextRow = 0;
    int bandRows = 1;
};

LargePageRows::LargePageRows(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
LargePageRows::~LargePageRows() = default;

std::unique_ptr<LargePageRows> LargePageRows::open(const QString &path, QString *error,
                                                   qint64 bandBytes) {
    auto impl = std::make_unique<Impl>();
    if (!openTiffInParts(impl->reader, path, &impl->gray, error))
        return {};
    const int unit = int(impl->reader.unitRows());
    const qint64 rowBytes = qint64(impl->reader.size().width()) * (impl->gray ? 1 : 4);
    impl->bandRows = unit * int(std::max<qint64>(1, bandBytes / (rowBytes * unit)));
    return std::unique_ptr<LargePageRows>(new LargePageRows(std::move(impl)));
}

QSize LargePageRows::size() const {
    return m_impl->reader.size();
}

bool LargePageRows::gray() const {
    return m_impl->gray;
}

int LargePageRows::orientation() const {
    return orientationOf(m_impl->reader.layout());
}

QImage LargePageRows::next(QString *error) {
    Impl &d = *m_impl;
    const QSize page = d.reader.size();
    if (d.nextRow >= page.height())
        return {};
    const int rows = std::min(d.bandRows, page.height() - d.nextRow);
    QImage band(page.width(), rows, d.gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    if (band.isNull()) {
        *error = QStringLiteral("内存不足");
        return {};
    }
    if (!d.reader.decode(0, page.width(), d.nextRow, d.nextRow + rows, band, error))
        return {};
    d.nextRow += rows;
    return band;
}

} // namespace qen
