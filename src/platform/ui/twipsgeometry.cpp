#include "platform/ui/twipsgeometry.h"

#include "platform/twips.h"

#include <cmath>

namespace qen {

double twipsPerPixelX(const QWidget *widget) {
    return twips::perPixel(widget->logicalDpiX());
}
double twipsPerPixelY(const QWidget *widget) {
    return twips::perPixel(widget->logicalDpiY());
}

TwipsRect geometryTwips(const QWidget *widget) {
    const QRect g = widget->geometry();
    const double tx = twipsPerPixelX(widget), ty = twipsPerPixelY(widget);
    return {g.x() * tx, g.y() * ty, g.width() * tx, g.height() * ty};
}

bool moveTwips(QWidget *widget, const TwipsRect &rect) {
    if (rect.width < 0 || rect.height < 0)
        return false;
    const double tx = twipsPerPixelX(widget), ty = twipsPerPixelY(widget);
    widget->setGeometry(static_cast<int>(std::lround(rect.left / tx)),
                        static_cast<int>(std::lround(rect.top / ty)),
                        static_cast<int>(std::lround(rect.width / tx)),
                        static_cast<int>(std::lround(rect.height / ty)));
    return true;
}

void setLeftTwips(QWidget *widget, double left) {
    TwipsRect r = geometryTwips(widget);
    r.left = left;
    moveTwips(widget, r);
}

} // namespace qen
