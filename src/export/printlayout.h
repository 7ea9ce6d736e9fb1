#pragma once

#include <QImage>
#include <QPageSize>
#include <QPointF>
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

// The sheet of one job as the printer describes it, read once on the thread that paints so
// that pages can be made ready on another.
struct Sheet {
    QSizeF paperMm;          // paperMillimetres of the printer's paper
    double dotsPerTwip = 0;  // the printer's resolution
    QPointF printableCorner; // the printable area's corner from the sheet's, device pixels
};

// A page ready for the paint engine: the pixels to send and where they go, in device pixels
// from the printable area's corner.
struct PrintImage {
    QImage pixels;
    QRectF target;
};

// Places a page on the sheet and brings its pixels to what the printer takes: no finer than
// the device, and a bilevel page stays at 1 bit a pixel (printBitmap) at either size.
PrintImage preparePage(const QImage &page, const Sheet &sheet);
// The same of a page file. A page too large to hold whole is placed by its full size and
// read from its file at the coarsest level still as fine as what the printer takes. Throws
// qen::Error naming the file when it cannot be read.
PrintImage preparePageFile(const QString &path, const Sheet &sheet);

// A bilevel page as Qt's PDF engine (behind every printer on Linux) sends it at 1 bit a
// pixel: index 0 black, index 1 white. Given any other colour table the engine widens the
// page to 32 bits a pixel (35 MB for an A4 scan) before it encodes it. The colours shown stay
// the same.
QImage printBitmap(const QImage &mono);

// A bilevel page reduced to `size` by averaging its ink, each pixel black where a good third
// or more of the page under it is, so that a stroke one pixel wide survives a halving: still
// 1 bit, in printBitmap's table.
QImage reducedBitmap(const QImage &mono, const QSize &size);

} // namespace qen::printlayout
