#pragma once

#include "pageview/largerender.h"
#include "pageview/pagerender.h"

#include <QImage>
#include <QRect>

namespace qen::render {

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
    // `large`, when given, is the page `page` is the overview of; it is drawn from its file
    // at the zooms the overview is too coarse for.
    const QImage &get(const QImage &page, quint64 revision, double zoom, bool smooth,
                      const QRect &visible, const LargePage *large = nullptr);
    QRect rect() const { return m_rect; }
    void clear();
    // What is held no longer stands for anything, but its memory stays for the next viewport
    // of the same size: mapping and faulting in a fresh one costs as much as rendering it.
    void invalidate();
    // Takes a viewport rendered ahead for this page, so the first paint is a copy.
    void seed(const QImage &page, quint64 revision, RenderedViewport viewport);
    // Takes the half-size copy of this page (render::halfSize) made ahead, in another thread;
    // without one, it is made here when a zoom first needs it.
    void seedHalf(const QImage &page, quint64 revision, QImage half);
    // A new page: the copy of the old one goes now, not at the next paint.
    void dropHalf();
    qint64 bytes() const { return m_image.sizeInBytes(); }
    // The page's half-size copy, held while its page and revision are the ones drawn.
    qint64 halfBytes() const { return m_half.sizeInBytes(); }
    // Pixels rendered (not copied) by the last get(), for tests and measurements.
    qint64 lastRendered() const { return m_lastRendered; }

private:
    const QImage *halfFor(const QImage &page, quint64 revision, double zoom, bool smooth);

    QImage m_image;
    QImage m_half;
    qint64 m_halfKey = 0;
    quint64 m_halfRevision = 0;
    LargeRegions m_regions;
    QRect m_rect;
    qint64 m_pageKey = 0;
    quint64 m_revision = 0;
    double m_zoom = 0;
    bool m_smooth = false;
    qint64 m_lastRendered = 0;
};

} // namespace qen::render
