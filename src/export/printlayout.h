#pragma once

#include <QImage>
#include <QPageSize>
#include <QRectF>
#include <QSizeF>

// Where an image page lands on paper. Everything is in twips (1440 per inch, 56.7 per
// millimetre), measured from the printable area's top-left corner, as the printer draws.
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

// An image of the given size in twips: half its size less 1 cm of width and 1.2 cm of
// height, centred and then moved 1 cm left and 0.6 cm up. When the width does not fit
// within the paper less 2 cm, it is stretched to the paper less 10 mm each way. A page too
// tall for the paper is scaled down, keeping its proportions, to the paper's height less
// 10 mm: printed at its size it would run off the sheet.
QRectF imagePlacement(double imageWidthTwips, double imageHeightTwips, const QSizeF &paperMm);

// A page's size in twips at its own resolution (96 dpi when it records none), as the image
// view reports it.
QSizeF imageTwips(const QImage &image);

// The pixel size at which an image covers `target` (device pixels) without carrying more
// detail than the device can print: the image's own size when it is not finer than the
// device, otherwise the target's size.
QSize printPixels(const QSize &image, const QRectF &target);

} // namespace qen::printlayout
