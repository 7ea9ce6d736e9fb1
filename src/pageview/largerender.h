#pragma once

#include <QImage>
#include <QRect>

namespace qen {
class LargePage;
}

namespace qen::render {

// Draws a page too large to hold whole as renderInto draws one held whole: from its overview
// at the zooms the overview has a pixel per screen pixel for, else from the part under the
// target read from the file, at the coarsest level that still has one (full resolution from
// 100 % on). The last part read is kept, so a scroll reads only what came into view.
class LargeRegions {
public:
    void render(const LargePage &page, double zoom, const QRect &target, bool smooth, QImage &dst,
                const QPoint &at);
    void clear();
    // The level a zoom is drawn from.
    static int levelFor(const LargePage &page, double zoom);
    // Pixels read from the file by the last render(), for tests and measurements.
    qint64 lastRead() const { return m_lastRead; }

private:
    qint64 m_pageKey = 0;
    int m_level = -1;
    QRect m_rect; // of m_pixels, in pixels of m_level
    QImage m_pixels;
    qint64 m_lastRead = 0;
};

} // namespace qen::render
