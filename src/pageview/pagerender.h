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
void renderInto(const QImage &page, double zoom, const QRect &target, bool smooth, QImage &dst,
                const QPoint &at);
QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth);
QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth,
                  QImage::Format format);

} // namespace qen::render
