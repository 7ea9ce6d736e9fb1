#pragma once

#include <QImage>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>

// Where an image page lands on paper. Everything is in twips (1440 per inch, 56.7 per
// millimetre), measured from the sheet's top-left corner; the printer's own margins are
// taken off where it draws.
namespace qen::printlayout {

inline constexpr double TwipsPerMm = 56.7;

// The paper codes of the paper table (A3 = 8, A4 = 9, A4 small = 10, A5 = 11, B4 = 12,
// B5 = 13) as page sizes; an invalid QPageSize for any other code.
QPageSize pageSizeForCode(int paperCode);
// The code of a page size in that table, 0 when it has none.
int codeForPageSize(const QPageSize &size);

// The paper in millimetres: the table's size for the printer's paper when it has a code,
// otherwise the printer's real page size (portrait), so that no paper prints at 0 × 0.
QSizeF paperMillimetres(const QPageSize &size);

// An image of the given size in twips at its size, centred on the sheet; one larger than the
// paper less 10 mm each way is scaled down to fit within that, keeping its shape. A scan
// prints as large as the page it was made from, and a landscape clipping is not squeezed.
QRectF imagePlacement(double imageWidthTwips, double imageHeightTwips, const QSizeF &paperMm);

// Whether an image states its resolution. Qt gives 96 dpi (3780 dots a metre) to images
// that state none, and that is no scanner's resolution.
bool statesResolution(const QImage &image);

// A page's size on paper in twips, at its own resolution; 300 dpi, a scanner's usual, when
// it states none.
QSizeF imageTwips(const QImage &image);

// The pixel size at which an image covers `target` (device pixels) without carrying more
// detail than the device can print: the image's own size when it is not finer than the
// device, otherwise the target's size.
QSize printPixels(const QSize &image, const QRectF &target);

} // namespace qen::printlayout
