#pragma once

#include "platform/twips.h"

#include <QWidget>

// The window's layout rules are stated in twips; widgets are placed in pixels. These
// convert at the widget boundary with the widget's own logical DPI.
namespace qen {

double twipsPerPixelX(const QWidget *widget);
double twipsPerPixelY(const QWidget *widget);

TwipsRect geometryTwips(const QWidget *widget);
// A negative width or height is refused (the move is skipped), as a window would refuse it.
bool moveTwips(QWidget *widget, const TwipsRect &rect);
inline double leftTwips(const QWidget *widget) {
    return geometryTwips(widget).left;
}
void setLeftTwips(QWidget *widget, double left);

} // namespace qen
