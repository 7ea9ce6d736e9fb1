#pragma once

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
void grayOntoScreen(const QImage &gray, const QRect &from, QImage &screen, const QPoint &at);

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

// A viewport rendered ahead of showing its page (in another thread): the part `rect` of the
// page scaled by `zoom`.
struct RenderedViewport {
    QImage image;
    QRect rect;
    double zoom = 0;
    bool smooth = false;
};

// Keeps the last rendered viewport, in the page's output format. A repaint of the same area is a
// copy; a scroll renders only the strip that came into view; a new page, zoom or mode renders
// afresh. It holds one viewport of pixels and no more.
class ViewportCache {
public:
    const QImage &get(const QImage &page, quint64 revision, double zoom, bool smooth,
                      const QRect &visible);
    QRect rect() const { return m_rect; }
    void clear();
    // Takes a viewport rendered ahead for this page, so the first paint is a copy.
    void seed(const QImage &page, quint64 revision, RenderedViewport viewport);
    qint64 bytes() const { return m_image.sizeInBytes(); }
    // Pixels rendered (not copied) by the last get(), for tests and measurements.
    qint64 lastRendered() const { return m_lastRendered; }

private:
    QImage m_image;
    QRect m_rect;
    qint64 m_pageKey = 0;
    quint64 m_revision = 0;
    double m_zoom = 0;
    bool m_smooth = false;
    qint64 m_lastRendered = 0;
};

} // namespace qen::render
