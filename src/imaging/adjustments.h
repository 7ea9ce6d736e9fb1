#pragma once

#include "articles/pageshape.h"

#include <QImage>

// The in-place page adjustments, on the three page shapes of articles/pageshape.h. Every
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
namespace qen::adjustments {

void negate(QImage &image);
// The decoders turn pages by the same lossless steps.
using pageshape::flipVertical;
using pageshape::mirrorHorizontal;

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

} // namespace qen::adjustments
