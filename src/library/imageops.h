#pragma once

#include <QImage>

// The in-place page adjustments. Pages come in three shapes: bilevel (Format_Mono, index 0
// white, index 1 black), 8-bit gray (Format_Grayscale8) and colour (Format_RGB32). Every
// operation keeps the shape it can and never wraps a value around.
//
// What each does to a bilevel page, so that it stays readable and, where possible, 1-bit:
//   negate            black and white swap; stays bilevel.
//   mirror, flip      stays bilevel.
//   adjustBrightness  strokes get thinner: a black pixel on the right or lower side of a
//                     stroke at least two pixels thick turns white. One-pixel lines keep
//                     their length and no blot disappears, so repeating it cannot erase text.
//                     Stays bilevel.
//                     A negative amount thickens instead (as intensify).
//   enhanceContrast   a bilevel page already has full contrast: unchanged.
//   intensify         strokes get bolder: each black pixel also blackens its right and lower
//                     neighbour, once per whole step of the factor above 1 (2.0 = one pixel).
//                     Stays bilevel.
namespace qen::imageops {

void negate(QImage &image);
void mirrorHorizontal(QImage &image);
void flipVertical(QImage &image);

// Gray and colour: every channel moves towards white by amount/255 of its distance to
// white (amount > 0) or towards black by amount/255 of its value (amount < 0); amount is
// clamped to [-255, 255]. Order is kept, nothing saturates before it was white already.
void adjustBrightness(QImage &image, int amount);

// Gray and colour: the darkest and brightest half percent of the luminance histogram are
// pushed to black and white and the range between is stretched linearly.
void enhanceContrast(QImage &image);

// Gray and colour: the ink (distance from white) is multiplied by factor and clamped, so
// 2.0 darkens faint strokes. Factor is clamped to [0, 16].
void intensify(QImage &image, double factor);

// Bits beyond the width of a Format_Mono row are kept zero so that row-wide bit operations
// and byte comparisons never see stray ink.
void clearMonoPadding(QImage &image);

// Brings any QImage into one of the three page shapes: Mono with index 1 = black, Grayscale8
// for gray content, RGB32 (on white) for everything else. A null image stays null.
QImage normalized(const QImage &image);

// A colour image whose pixels are all black or white becomes bilevel, one whose pixels are
// all gray becomes 8-bit gray; others come back as they are. For decoders (GIF) that hand
// out colour for what is a bilevel or gray page.
QImage reducedToPlainest(const QImage &image);

} // namespace qen::imageops
