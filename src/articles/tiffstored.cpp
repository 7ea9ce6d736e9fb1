#include "articles/tiffstored.h"

#include "articles/tiffmemory.h"

namespace qen::tiff {

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
        uint16_t bps = 1, spp = 1, compression = 1, photometric = 0, fill = 1, planar = 1,
                 orientation = ORIENTATION_TOPLEFT;
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
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
        if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
            photometric = PHOTOMETRIC_MINISWHITE;
        // In floating point: the declared sides and sample sizes multiply past 2^64.
        const double bytes = (double(w) * bps * spp + 7) / 8 * h;
        if (w > 1000000 || h > 1000000 || bytes > double(MaxImageBytes)) {
            *error = QStringLiteral("%1图像尺寸 %2×%3 过大").arg(where).arg(w).arg(h);
            return false;
        }
        p.width = int(w);
        p.height = int(h);
        p.orientation = orientation >= ORIENTATION_TOPLEFT && orientation <= ORIENTATION_LEFTBOT
                            ? orientation
                            : ORIENTATION_TOPLEFT;
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
            p.strips.reserve(qsizetype(strips));
            for (uint32_t s = 0; s < strips; ++s) {
                const uint64_t size = TIFFGetStrileByteCount(tif, s);
                const uint64_t offset = TIFFGetStrileOffset(tif, s);
                if (size == 0 || offset > uint64_t(data.size()) ||
                    size > uint64_t(data.size()) - offset) {
                    *error = QStringLiteral("%1的图像数据超出文件末尾（文件不完整）").arg(where);
                    return false;
                }
                p.strips.append(strips == 1 ? data.mid(qsizetype(offset), qsizetype(size))
                                            : QByteArray());
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
