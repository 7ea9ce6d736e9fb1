#include "pageview/viewportcache.h"

#include <QRegion>

#include <cstring>

namespace qen::render {

namespace {

void copyPixels(const QImage &src, const QRect &from, QImage &dst, const QPoint &to) {
    const int bpp = src.depth() / 8;
    for (int r = 0; r < from.height(); ++r)
        std::memcpy(dst.scanLine(to.y() + r) + to.x() * bpp,
                    src.constScanLine(from.top() + r) + from.left() * bpp,
                    size_t(from.width() * bpp));
}

// Moves a part of an image within it, the parts possibly overlapping (a scroll).
void movePixels(QImage &image, const QRect &from, const QPoint &to) {
    const int bpp = image.depth() / 8;
    const size_t bytes = size_t(from.width() * bpp);
    auto row = [&](int r) {
        std::memmove(image.scanLine(to.y() + r) + to.x() * bpp,
                     image.constScanLine(from.top() + r) + from.left() * bpp, bytes);
    };
    if (to.y() <= from.top())
        for (int r = 0; r < from.height(); ++r)
            row(r);
    else
        for (int r = from.height() - 1; r >= 0; --r)
            row(r);
}

} // namespace

const QImage *ViewportCache::halfFor(const QImage &page, quint64 revision, double zoom,
                                     bool smooth) {
    // A copy of another page or of the pixels before an adjustment is never drawn from.
    if (m_halfKey != page.cacheKey() || m_halfRevision != revision)
        dropHalf();
    if (!drawsFromHalf(page, zoom, smooth))
        return nullptr;
    if (m_half.isNull()) {
        m_half = halfSize(page);
        m_halfKey = page.cacheKey();
        m_halfRevision = revision;
    }
    return m_half.isNull() ? nullptr : &m_half;
}

void ViewportCache::seedHalf(const QImage &page, quint64 revision, QImage half) {
    if (half.isNull() || page.isNull() || outputFormat(page) != QImage::Format_RGB32 ||
        half.size() != halfSizeOf(page.size()))
        return;
    m_half = std::move(half);
    m_halfKey = page.cacheKey();
    m_halfRevision = revision;
}

void ViewportCache::dropHalf() {
    m_half = QImage();
    m_halfKey = 0;
    m_halfRevision = 0;
}

const QImage &ViewportCache::get(const QImage &page, quint64 revision, double zoom, bool smooth,
                                 const QRect &visible, const LargePage *large) {
    m_lastRendered = 0;
    const bool sameKey = !m_image.isNull() && m_pageKey == page.cacheKey() &&
                         m_revision == revision && m_zoom == zoom && m_smooth == smooth;
    if (sameKey && m_rect.contains(visible))
        return m_image;
    if (page.isNull() || visible.isEmpty()) {
        clear();
        return m_image;
    }
    QRegion todo(visible);
    const QRect overlap = sameKey ? (m_rect & visible) : QRect();
    const QImage::Format format = outputFormat(page);
    if (m_image.size() == visible.size() && m_image.format() == format) {
        // A scroll, a zoom or a page in a window of the same size: the pixels are redone in
        // place, which spares mapping and faulting in a viewport of memory on each change.
        if (!overlap.isEmpty()) {
            movePixels(m_image, overlap.translated(-m_rect.topLeft()),
                       overlap.topLeft() - visible.topLeft());
            todo -= overlap;
        }
    } else {
        QImage next(visible.size(), format);
        if (next.isNull()) {
            clear();
            return m_image;
        }
        if (!overlap.isEmpty()) {
            copyPixels(m_image, overlap.translated(-m_rect.topLeft()), next,
                       overlap.topLeft() - visible.topLeft());
            todo -= overlap;
        }
        m_image = std::move(next); // the old viewport goes before the new one renders
    }
    const QImage *half = large ? nullptr : halfFor(page, revision, zoom, smooth);
    for (const QRect &part : todo) {
        if (large)
            m_regions.render(*large, zoom, part, smooth, m_image,
                             part.topLeft() - visible.topLeft());
        else
            renderInto(page, zoom, part, smooth, m_image, part.topLeft() - visible.topLeft(), half);
        m_lastRendered += qint64(part.width()) * part.height();
    }
    m_rect = visible;
    m_pageKey = page.cacheKey();
    m_revision = revision;
    m_zoom = zoom;
    m_smooth = smooth;
    return m_image;
}

void ViewportCache::seed(const QImage &page, quint64 revision, RenderedViewport viewport) {
    if (viewport.image.isNull() || viewport.image.size() != viewport.rect.size() ||
        viewport.image.format() != outputFormat(page))
        return;
    m_image = std::move(viewport.image);
    m_rect = viewport.rect;
    m_pageKey = page.cacheKey();
    m_revision = revision;
    m_zoom = viewport.zoom;
    m_smooth = viewport.smooth;
    m_lastRendered = 0;
}

void ViewportCache::invalidate() {
    m_rect = QRect();
    m_pageKey = 0;
    m_lastRendered = 0;
}

void ViewportCache::clear() {
    m_image = QImage();
    dropHalf();
    m_regions.clear();
    m_rect = QRect();
    m_lastRendered = 0;
}

} // namespace qen::render
