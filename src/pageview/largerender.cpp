#include "pageview/largerender.h"

#include "articles/largepage.h"
#include "pageview/pagerender.h"

#include <algorithm>
#include <cmath>

namespace qen::render {

namespace {

// A screen pixel of the level maps to the level pixels it would map to in the whole level only
// when the part starts at a level pixel whose screen position is a whole number: then rendering
// the part is rendering the level, shifted. Such a start is sought a little before `from`.
int alignedStart(int from, double zoom) {
    for (int x = from; x >= 0 && x > from - 256; --x) {
        const double screen = x * zoom;
        if (std::abs(screen - std::round(screen)) < 1e-6)
            return x;
    }
    return from; // off by a fraction of a screen pixel at worst
}

// The level pixels the screen pixels [lo, hi) take from, with room for bilinear taps.
std::pair<int, int> levelSpan(int lo, int hi, double zoom, int limit) {
    const int first = std::clamp(int(std::floor(lo / zoom)) - 1, 0, limit);
    const int last = std::clamp(int(std::floor(hi / zoom)) + 2, 0, limit);
    return {alignedStart(first, zoom), last};
}

} // namespace

int LargeRegions::levelFor(const LargePage &page, double zoom) {
    int level = 0;
    while (level < page.overviewLevel() && zoom * double(1 << (level + 1)) <= 1 + 1e-9)
        ++level;
    return level;
}

void LargeRegions::clear() {
    m_pixels = QImage();
    m_rect = QRect();
    m_level = -1;
    m_pageKey = 0;
}

void LargeRegions::render(const LargePage &page, double zoom, const QRect &target, bool smooth,
                          QImage &dst, const QPoint &at) {
    m_lastRead = 0;
    if (target.isEmpty() || !(zoom > 0))
        return;
    const int level = levelFor(page, zoom);
    const double levelZoom = zoom * double(1 << level);
    if (level == page.overviewLevel()) {
        renderInto(page.overview(), levelZoom, target, smooth, dst, at);
        return;
    }
    const QSize size = page.levelSize(level);
    const auto [x0, x1] = levelSpan(target.left(), target.right() + 1, levelZoom, size.width());
    const auto [y0, y1] = levelSpan(target.top(), target.bottom() + 1, levelZoom, size.height());
    const QRect needed(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1));
    const qint64 key = page.overview().cacheKey();
    if (key != m_pageKey || level != m_level || !m_rect.contains(needed)) {
        // Half a target more each way, so that the next scroll steps find their pixels here.
        const auto [gx0, gx1] =
            levelSpan(target.left() - target.width() / 2, target.right() + 1 + target.width() / 2,
                      levelZoom, size.width());
        const auto [gy0, gy1] =
            levelSpan(target.top() - target.height() / 2, target.bottom() + 1 + target.height() / 2,
                      levelZoom, size.height());
        QString error;
        m_pixels = QImage(); // the old part goes before the new one is read
        m_pixels = page.region(QRect(QPoint(gx0, gy0), QPoint(gx1 - 1, gy1 - 1)), level, &error);
        if (m_pixels.isNull()) {
            clear();
            // The file can no longer be read where this part lies: the part stays blank rather
            // than showing pixels of another level.
            for (int r = 0; r < target.height(); ++r)
                std::fill_n(dst.scanLine(at.y() + r) + at.x() * dst.depth() / 8,
                            target.width() * dst.depth() / 8, uchar(0x80));
            return;
        }
        m_rect = QRect(QPoint(gx0, gy0), m_pixels.size());
        m_level = level;
        m_pageKey = key;
        m_lastRead = qint64(m_pixels.width()) * m_pixels.height();
    }
    const QPoint shift(qRound(m_rect.left() * levelZoom), qRound(m_rect.top() * levelZoom));
    renderInto(m_pixels, levelZoom, target.translated(-shift), smooth, dst, at);
}

} // namespace qen::render
