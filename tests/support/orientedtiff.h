#pragma once

// TIFF pages stored turned, with the Orientation tag that says how they are seen: what
// scanners and fax software write. Written with libtiff itself.
#include <QFile>
#include <QImage>
#include <QPoint>
#include <QTemporaryFile>
#include <tiffio.h>

namespace qen::test {

// Where the pixel seen at (x, y) of a w x h page is stored under each Orientation value,
// as the TIFF standard words them: 1 top-left, 2 top-right, 3 bottom-right,
// 4 bottom-left, 5 left-top, 6 right-top, 7 right-bottom, 8 left-bottom (row 0 side first).
inline QPoint storedAt(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, w - 1 - x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {h - 1 - y, x};
    default:
        return {x, y};
    }
}

// Writes `seen` as it would be stored under the orientation: G4 for a bilevel page, LZW RGB
// for a colour one.
inline QByteArray orientedTiff(const QImage &seen, int orientation) {
    const bool bilevel = seen.format() == QImage::Format_Mono;
    const bool turned = orientation >= 5;
    const int sw = turned ? seen.height() : seen.width();
    const int sh = turned ? seen.width() : seen.height();
    QTemporaryFile scratch;
    scratch.open();
    TIFF *tif = TIFFOpen(QFile::encodeName(scratch.fileName()).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(sw));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(sh));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(sh));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bilevel ? 1 : 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
    QImage stored(sw, sh, bilevel ? QImage::Format_Mono : QImage::Format_RGB888);
    stored.setColorTable(seen.colorTable());
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x) {
            const QPoint at = storedAt(orientation, x, y, seen.width(), seen.height());
            if (bilevel)
                stored.setPixel(at, seen.pixelIndex(x, y));
            else
                stored.setPixel(at, seen.pixel(x, y));
        }
    const int lineBytes = bilevel ? (sw + 7) / 8 : sw * 3;
    for (int y = 0; y < sh; ++y) {
        QByteArray row(reinterpret_cast<const char *>(stored.constScanLine(y)), lineBytes);
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    return scratch.readAll();
}

} // namespace qen::test
