#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// TIFF files as they are stored, without decoding a pixel: what writers that carry
// compressed data over unchanged need, and all that `qentool topdf` loads for such pages.
namespace qen::tiff {

// Most memory one page may take while it is read: the file's bytes, the image built from
// them and any copy made on the way (a turned page, a gray page from a colour raster). A file
// that needs more is refused before anything is allocated.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
// Fuzzing builds cap pages lower, so that the fuzzer spends its time in the parsers rather
// than in filling and converting huge blank pages; every check on the cap stays the same.
inline constexpr qint64 MaxImageBytes = 16ll * 1024 * 1024;
#else
inline constexpr qint64 MaxImageBytes = 256ll * 1024 * 1024;
#endif
// The largest pages read a part at a time instead (LargePage): gray ones up to 30000 × 30000,
// colour ones up to 20000 × 20000 (400 million pixels, an A0 sheet at 500 dpi); beyond that
// even their reduced picture takes minutes to make. Pages whose stored data goes into a PDF
// as it is are held to the same, so that a PDF holds no page the program cannot show.
inline constexpr qint64 MaxGrayPixelsInParts = 30000ll * 30000;
inline constexpr qint64 MaxColourPixelsInParts = 20000ll * 20000;

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
    int orientation = 1;       // the Orientation tag: how the stored rows are to be seen
    double xDpi = 0, yDpi = 0; // 0 when the page states no usable resolution
    // Raw strip data in order; empty for tiled pages. Only a page of one strip can be carried
    // over as it is, so only then is its data copied: the strips of others are counted, empty.
    QList<QByteArray> strips;
    QByteArray jpegTables; // the JPEGTables tag, when present
};
// Every page of the file, strips read raw and checked against the file's end. A page that
// declares more than MaxImageBytes of pixels is refused. False with *error on failure.
bool readStored(const QByteArray &data, QList<StoredPage> *pages, QString *error);

} // namespace qen::tiff
