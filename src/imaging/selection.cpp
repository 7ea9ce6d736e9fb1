#include "imaging/selection.h"

#include <cmath>

namespace qen::selection {

long roundEven(double value) {
    // nearbyint rounds by the current mode, which the program leaves at round-to-nearest-even.
    return long(std::nearbyint(value));
}

QPoint pixelAt(double x, double y, Scale t) {
    return {int(roundEven(x / t.x)), int(roundEven(y / t.y))};
}

TwipsRect drawnRectangle(QPoint anchor, double x, double y, Scale t) {
    const double left = (anchor.x() - LeadMargin) * t.x;
    const double top = (anchor.y() - LeadMargin) * t.y;
    return {left, top, x - left, y - top};
}

BandCorners bandCorners(const TwipsRect &r, Scale t) {
    return {{int(roundEven(r.left / t.x + LeadMargin)), int(roundEven(r.top / t.y + LeadMargin))},
            {int(roundEven((r.left + r.width) / t.x - TrailMargin)),
             int(roundEven((r.top + r.height) / t.y - TrailMargin))}};
}

TwipsRect rectangleAround(const QRect &band, Scale t) {
    const double left = (band.left() - LeadMargin) * t.x;
    const double top = (band.top() - LeadMargin) * t.y;
    return {left, top, (band.right() + TrailMargin) * t.x - left,
            (band.bottom() + TrailMargin) * t.y - top};
}

std::optional<TwipsRect> draggedRectangle(const TwipsRect &r, double dx, double dy, int handle) {
    // Which edges a handle carries: left, top, right, bottom.
    struct Edges {
        bool left, top, right, bottom;
    };
    static constexpr Edges table[8] = {
        {true, true, false, false},  // 0 top-left corner
        {false, true, false, false}, // 1 top edge
        {false, true, true, false},  // 2 top-right corner
        {false, false, true, false}, // 3 right edge
        {false, false, true, true},  // 4 bottom-right corner
        {false, false, false, true}, // 5 bottom edge
        {true, false, false, true},  // 6 bottom-left corner
        {true, false, false, false}, // 7 left edge
    };
    if (handle < 0 || handle > 7)
        return std::nullopt;
    const Edges e = table[handle];
    TwipsRect out = r;
    if (e.left) {
        out.left += dx;
        out.width -= dx;
    }
    if (e.right)
        out.width += dx;
    if (e.top) {
        out.top += dy;
        out.height -= dy;
    }
    if (e.bottom)
        out.height += dy;
    return out;
}

QPoint pannedScroll(QPoint scroll, QPoint anchor, double x, double y, Scale t) {
    return {int(roundEven(scroll.x() + anchor.x() - x / t.x)),
            int(roundEven(scroll.y() + anchor.y() - y / t.y))};
}

} // namespace qen::selection
