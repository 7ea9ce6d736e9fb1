#pragma once

// Pages of any size for tests and benchmarks, written row by row through libtiff, so that a
// page too large to hold is made without holding it: each pixel's value follows from its
// place, in blocks of 64 that LZW takes well.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <tiffio.h>

namespace qen::test {

inline uchar patternAt(int x, int y, int channel = 0) {
    return uchar((x / 64 + y / 64 + channel * 85) & 0xff);
}

// The tags of an 8-bit gray (one sample) or RGB (three) page.
inline void setPageTags(TIFF *tif, int w, int h, int samples, int rowsPerStrip, int orientation,
                        int compression) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(rowsPerStrip));
}

// A header declaring a page of the given sides over a few bytes of strip: what is refused on
// its header never reads further.
inline bool writeDeclaredTiff(const QString &path, int w, int h, int samples) {
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    setPageTags(tif, w, h, samples, h, ORIENTATION_TOPLEFT, COMPRESSION_LZW);
    char strip[16] = {};
    const bool ok = TIFFWriteRawStrip(tif, 0, strip, sizeof strip) > 0;
    TIFFClose(tif);
    return ok;
}

// `orientation` and `compression` are the tags' values.
inline bool writePatternTiff(const QString &path, int w, int h, int samples, int rowsPerStrip = 64,
                             int orientation = ORIENTATION_TOPLEFT,
                             int compression = COMPRESSION_LZW) {
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;
    setPageTags(tif, w, h, samples, rowsPerStrip, orientation, compression);
    QByteArray row(qsizetype(w) * samples, '\0');
    bool ok = true;
    for (int y = 0; ok && y < h; ++y) {
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < samples; ++c)
                row[qsizetype(x) * samples + c] = char(patternAt(x, y, c));
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

} // namespace qen::test
