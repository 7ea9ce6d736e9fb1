#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// TIFF through libtiff, so that bilevel pages stay 1-bit from file to screen and back.
namespace qen::tiff {

// Most memory one page may take while it is read: the file's bytes, the image built from
// them and any copy made on the way (a turned page, a gray page from a colour raster). A file
// that needs more is refused before anything is allocated.
inline constexpr qint64 MaxImageBytes = 256ll * 1024 * 1024;

// Decodes one page (0-based; the first by default). Bilevel pages come back as Format_Mono
// with index 1 = black, 8-bit gray pages as Format_Grayscale8, everything else as
// Format_RGB32. On failure the result is null and *error says what is wrong (without the
// file name).
QImage read(const QByteArray &data, QString *error, int page = 0);

// Encodes one page: Format_Mono as 1-bit CCITT G4, other images as LZW (8-bit gray or RGB).
// Returns an empty array and sets *error on failure.
QByteArray write(const QImage &image, QString *error);

// What a written file holds, for tests and the benchmark.
struct Info {
    int width = 0, height = 0, bitsPerSample = 0, samplesPerPixel = 0;
    int compression = 0, photometric = 0, pages = 0;
};
bool inspect(const QByteArray &data, Info *info);

// A page as it is stored, for writers that carry compressed data over unchanged. Values are
// libtiff's (COMPRESSION_*, PHOTOMETRIC_*, FILLORDER_*), defaults filled in.
struct StoredPage {
    int width = 0, height = 0, bitsPerSample = 1, samplesPerPixel = 1;
    int compression = 1, photometric = 0, fillOrder = 1, planar = 1;
    bool tiled = false;
    quint32 t4Options = 0;
    double xDpi = 0, yDpi = 0; // 0 when the page states no usable resolution
    QList<QByteArray> strips;  // raw strip data in order; empty for tiled pages
    QByteArray jpegTables;     // the JPEGTables tag, when present
};
// Every page of the file, strips read raw and checked against the file's end. A page that
// declares more than MaxImageBytes of pixels is refused. False with *error on failure.
bool readStored(const QByteArray &data, QList<StoredPage> *pages, QString *error);

} // namespace qen::tiff
