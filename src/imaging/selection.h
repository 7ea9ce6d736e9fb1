#pragma once

#include "pageview/viewgeometry.h"
#include "platform/twips.h"

#include <QPoint>
#include <QRect>
#include <optional>

// Geometry of the area selection. The rectangle the user draws and resizes by its handles is
// kept in twips of the view's client area; the band it commits to the view is given in view
// pixels. The rectangle lies LeadMargin pixels outside the band's top-left corner and ends
// TrailMargin pixels beyond the band's last pixel on the right and at the bottom, so that its
// frame and handles sit just outside the selected pixels.
namespace qen::selection {

inline constexpr int LeadMargin = viewgeom::BandLeadMargin;
inline constexpr int TrailMargin = viewgeom::BandTrailMargin;

// Twips per screen pixel, horizontally and vertically (15 on a 96 dpi screen).
struct Scale {
    double x = 15, y = 15;
};

// Nearest whole number with halves going to the even neighbour, the rounding every twips to
// pixel conversion of the selection uses. qRound and std::lround send halves away from zero,
// which moves a band by one pixel whenever a position falls on a half pixel (HiDPI scaling).
long roundEven(double value);

// The view pixel under a pointer position given in twips: the drag anchor.
QPoint pixelAt(double x, double y, Scale t);

// The rectangle while it is drawn from `anchor` (view pixels) to the pointer at (x, y)
// twips: top-left LeadMargin pixels outside the anchor, right and bottom edges on the pointer.
// Width or height come out negative when the pointer is more than LeadMargin pixels left of
// or above the anchor; the rectangle refuses such a move and keeps its last geometry, so a
// selection is drawn towards the lower right.
TwipsRect drawnRectangle(QPoint anchor, double x, double y, Scale t);

// The band corners, in view pixels, that a rectangle commits. On a rectangle narrower or lower
// than LeadMargin + TrailMargin pixels the end lies before the start; the view takes corners
// in any order.
struct BandCorners {
    QPoint start, end;
    bool operator==(const BandCorners &) const = default;
};
BandCorners bandCorners(const TwipsRect &rectangle, Scale t);

// The rectangle that frames a band shown on `band` (view pixels, both edges inclusive): the
// inverse of bandCorners.
TwipsRect rectangleAround(const QRect &band, Scale t);

// The rectangle after its grab handle `handle` (0-7 clockwise from the top-left corner) was
// dragged by (dx, dy) twips: the dragged edges move, the opposite ones stay. Nothing for a
// handle number outside 0-7.
std::optional<TwipsRect> draggedRectangle(const TwipsRect &rectangle, double dx, double dy,
                                          int handle);

// Hand tool: the scroll offsets after the pointer moved from `anchor` (view pixels) to (x, y)
// twips. The page follows the pointer, so dragging to the left scrolls to the right.
QPoint pannedScroll(QPoint scroll, QPoint anchor, double x, double y, Scale t);

} // namespace qen::selection
