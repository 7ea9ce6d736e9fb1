#pragma once

#include "articles/tiffmemory.h"

#include <QString>
#include <tiffio.h>

// A TIFF page's directory as the readers of its pixels see it: the page read whole
// (tiffcodec) and the page too large for that, read a part at a time (largepage).
namespace qen::tiff {

// What the directory says about a page, as far as reading it goes.
struct PageLayout {
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t compression = COMPRESSION_NONE, orientation = ORIENTATION_TOPLEFT;
    bool grayKind() const {
        return photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    }
    bool singleChannel = false; // 1- and 8-bit ones are read strip by strip
    bool bilevel() const { return singleChannel && bps == 1; }
    bool gray() const { return singleChannel && bps == 8; }
};

QString tooLargeText(const PageLayout &l);
QString noMemoryText(const PageLayout &l);
// What a colour page libtiff's raster cannot take is, in the reader's words.
QString unsupportedColourText(TIFF *t, const PageLayout &l);

bool readLayout(TIFF *t, const ErrorSink &sink, PageLayout &l, QString *error);
// Whether everything held at once fits the budget: the file itself, the decoded page, a gray
// page's copy made from the colour raster, and the turned copy of a sideways page.
bool withinBudget(const PageLayout &l, qint64 fileBytes);

// libtiff's ABGR raster into RGB32 in place, transparency put onto white.
void rasterToRgb(uint32_t *raster, qint64 n);

// Opens page `page` (0-based) and reads its layout: a directory that says what it holds and a
// compression we can decode. Null with *error otherwise.
TiffPtr openDirectory(MemoryIo &io, ErrorSink &sink, int page, PageLayout &l, QString *error);
// The same, and the page's sides within the memory budget of a page held whole.
TiffPtr openPage(MemoryIo &io, ErrorSink &sink, int page, PageLayout &l, QString *error);

} // namespace qen::tiff
