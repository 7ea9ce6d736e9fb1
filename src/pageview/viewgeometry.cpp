#include "pageview/viewgeometry.h"

#include <algorithm>
#include <cmath>

namespace qen::viewgeom {

namespace {
// Zoom factors arrive as single-precision values ("30%" is 0.30000001), so an image pixel
// boundary that is exact in decimal must not slip by one through the division.
constexpr double Slack = 1e-6;
} // namespace

bool acceptableZoom(double zoom) {
    return std::isfinite(zoom) && zoom >= MinZoom && zoom <= MaxZoom;
}

int scaledExtent(int pixels, double zoom) {
    if (pixels <= 0 || !(zoom > 0))
        return 0;
    return std::max(1, int(std::lround(pixels * zoom)));
}

QSize scaledSize(const QSize &image, double zoom) {
    return {scaledExtent(image.width(), zoom), scaledExtent(image.height(), zoom)};
}

double fitZoom(FitMode mode, const QSize &image, const QSize &area, int scrollBarExtent) {
    if (image.isEmpty() || area.isEmpty())
        return 0;
    const double w = area.width(), h = area.height();
    const double narrowW = std::max(1, area.width() - scrollBarExtent);
    const double narrowH = std::max(1, area.height() - scrollBarExtent);
    double zoom = 0;
    switch (mode) {
    case FitMode::Width:
        zoom = w / image.width();
        if (scaledExtent(image.height(), zoom) > area.height())
            zoom = narrowW / image.width();
        break;
    case FitMode::Height:
        zoom = h / image.height();
        if (scaledExtent(image.width(), zoom) > area.width())
            zoom = narrowH / image.height();
        break;
    case FitMode::Page:
        zoom = std::min(w / image.width(), h / image.height());
        break;
    }
    return std::clamp(zoom, MinZoom, MaxZoom);
}

QPoint maxScroll(const QSize &scaled, const QSize &viewport) {
    return {std::max(0, scaled.width() - viewport.width()),
            std::max(0, scaled.height() - viewport.height())};
}

QRect bandToImage(const QPoint &a, const QPoint &b, const QPoint &scroll, double zoom,
                  const QSize &image) {
    if (!(zoom > 0) || image.isEmpty())
        return {};
    const double x0 = std::min(a.x(), b.x()) + scroll.x();
    const double x1 = std::max(a.x(), b.x()) + 1 + scroll.x();
    const double y0 = std::min(a.y(), b.y()) + scroll.y();
    const double y1 = std::max(a.y(), b.y()) + 1 + scroll.y();
    auto lo = [zoom](double v) { return std::floor(v / zoom + Slack); };
    auto hi = [zoom](double v) { return std::ceil(v / zoom - Slack); };
    const double left = std::max(0.0, lo(x0)), top = std::max(0.0, lo(y0));
    const double right = std::min(double(image.width()), hi(x1));
    const double bottom = std::min(double(image.height()), hi(y1));
    if (right <= left || bottom <= top)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}

QRect imageToView(const QRect &r, const QPoint &scroll, double zoom) {
    const int left = int(std::lround(r.left() * zoom)) - scroll.x();
    const int top = int(std::lround(r.top() * zoom)) - scroll.y();
    const int right = int(std::lround((r.left() + r.width()) * zoom)) - scroll.x();
    const int bottom = int(std::lround((r.top() + r.height()) * zoom)) - scroll.y();
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace qen::viewgeom
