#pragma once

#include <QImage>

// The three shapes a page is kept in: bilevel (Format_Mono, index 0 white, index 1 black),
// 8-bit gray (Format_Grayscale8) and colour (Format_RGB32). Decoders bring every image into
// one of them, and the lossless turns here serve both the decoders (TIFF orientation) and
// the mirror and flip adjustments.
namespace qen::pageshape {

// Bits beyond the width of a Format_Mono row are kept zero so that row-wide bit operations
// and byte comparisons never see stray ink.
void clearMonoPadding(QImage &image);

// Lossless turns; a bilevel page stays 1-bit.
void mirrorHorizontal(QImage &image);
void flipVertical(QImage &image);

// Brings any QImage into one of the three page shapes: Mono with index 1 = black, Grayscale8
// for gray content, RGB32 (on white) for everything else. A null image stays null.
QImage normalized(const QImage &image);

// A colour image whose pixels are all black or white becomes bilevel, one whose pixels are
// all gray becomes 8-bit gray; others come back as they are. For decoders (GIF) that hand
// out colour for what is a bilevel or gray page.
QImage reducedToPlainest(const QImage &image);

} // namespace qen::pageshape
