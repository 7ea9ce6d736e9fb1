#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Arithmetic of the page view: zoom, fit, scroll range and the selection band. The page is
// drawn from the view's top-left corner; view pixel v shows image pixel (v + scroll) / zoom.
namespace qen::viewgeom {

inline constexpr double MinZoom = 0.01;
inline constexpr double MaxZoom = 100.0;

// The selection rectangle frames the band from outside: its left and top edges lie this many
// view pixels before the band's first pixel, its right and bottom edges this many after the
// band's last pixel.
inline constexpr int BandLeadMargin = 8;
inline constexpr int BandTrailMargin = 9;

// A factor the view accepts: finite and within [MinZoom, MaxZoom].
bool acceptableZoom(double zoom);

// Size in view pixels of `pixels` image pixels at `zoom` (at least 1 for a non-empty page).
int scaledExtent(int pixels, double zoom);
QSize scaledSize(const QSize &image, double zoom);

// The three fits; the numbers are the view's ZoomToFit codes.
enum class FitMode { Width = 0, Height = 1, Page = 2 };

// The factor for a fit in a viewport of `area` (without scroll bars). Fitting one side
// leaves room for the scroll bar the other side then needs. Returns 0 for an empty page.
double fitZoom(FitMode mode, const QSize &image, const QSize &area, int scrollBarExtent);

// Highest scroll offsets for a page of `scaled` view pixels in a viewport of `viewport`.
QPoint maxScroll(const QSize &scaled, const QSize &viewport);

// The band between two view pixels (both inclusive, in any order) as image pixels: every
// image pixel any part of which lies under the band's view pixels, clipped to the page.
// Empty when the band lies off the page.
QRect bandToImage(const QPoint &a, const QPoint &b, const QPoint &scroll, double zoom,
                  const QSize &image);

// Where an image rectangle lies in view pixels (its outer edges).
QRect imageToView(const QRect &imageRect, const QPoint &scroll, double zoom);

} // namespace qen::viewgeom
