#pragma once

#include <QColor>
#include <QImage>
#include <QRect>

// Drawing a page at a zoom, one visible part at a time: a 300 dpi page is never scaled as a
// whole, and a bilevel page is read straight from its 1-bit rows.
namespace qen::render {

// The output format for a page: Grayscale8 for bilevel and gray pages, RGB32 for colour.
QImage::Format outputFormat(const QImage &page);

// The format of a window's backing store on 24- and 32-bit displays.
constexpr QImage::Format ScreenFormat = QImage::Format_RGB32;

// Writes the part `from` of a Grayscale8 image into `screen` (RGB32 or ARGB32_Premultiplied)
// at `at`, as opaque gray pixels. A gray viewport is kept at a byte a pixel and widened only
// as it is painted: a quarter of the memory to read, and nothing converted that is not shown.
// A mark over the page: a rectangle, in the screen's pixels, and its translucent colour.
struct Tint {
    QRect rect;
    QColor colour;
};
// With tints: each blended over the pixels it covers as source-over paints it, as the row is
// written.
void grayOntoScreen(const QImage &gray, const QRect &from, QImage &screen, const QPoint &at,
                    const Tint *tints = nullptr, int tintCount = 0);

// Renders `target` (in pixels of the page scaled by `zoom`) into `dst` at `at`; `dst` has the
// page's output format or ScreenFormat. Smooth
// shrinks by averaging every page pixel under a screen pixel (so thin strokes of a bilevel
// page stay visible as gray) and enlarges bilinearly (bilevel pages: by pixel, crisp);
// otherwise each screen pixel takes the page pixel under its centre. A screen pixel maps
// to the same page pixels whatever part is rendered, so parts join without seams.
//
// `half`, when given, is halfSize(page): at the zooms drawsFromHalf() names, a smoothed colour
// page is drawn from it at twice the zoom, which reads a quarter of the pixels; the result
// differs from the page's own by the copy's rounding, one level at most.
void renderInto(const QImage &page, double zoom, const QRect &target, bool smooth, QImage &dst,
                const QPoint &at, const QImage *half = nullptr);
QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth);
QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth,
                  QImage::Format format, const QImage *half = nullptr);

// A colour page at half its size, each pixel the rounded average of a 2x2 box (of the one or
// two pixels left at an odd edge). Null for bilevel and gray pages, which keep their own
// paths, and when there is no memory for it.
QImage halfSize(const QImage &page);
QSize halfSizeOf(const QSize &pageSize);
// Whether a viewport of `page` at `zoom` is drawn from its half-size copy when there is one:
// a smoothed colour page below 50 %, at a zoom whose boxes the copy's pixels cover exactly.
bool drawsFromHalf(const QImage &page, double zoom, bool smooth);

} // namespace qen::render
