#pragma once

#include <QRect>
#include <QString>

// The arithmetic of the recognition result window, apart from its widgets.
namespace qen::ocr {

// The window's client size at creation, in twips.
inline constexpr double DesignClientWidthTwips = 8685;
inline constexpr double DesignClientHeightTwips = 7500;

// Where ShowMe puts the window, in pixels (outer frame): from the screen size and the
// window's current client size, all in twips, with the original program's divisors and its
// rounding (halves to even).
QRect showMeGeometry(double screenWidthTwips, double screenHeightTwips, double clientWidthTwips,
                     double clientHeightTwips);

// The same rectangle kept within the available screen area: no larger, and moved inside.
// Applied after showMeGeometry because each ShowMe would otherwise grow the window by a
// third until it ran off the screen.
QRect keptOnScreen(const QRect &outer, const QRect &available);

// The text with every CR LF pair removed; a lone CR or LF stays.
QString withoutLineBreaks(const QString &text);

// The text box keeps the two kinds of line break apart: CR LF as a paragraph break, a lone CR
// or LF as a line break inside a paragraph (U+2028), so that the filter can remove the one
// and keep the other. These convert to and from the box's raw text (paragraphs separated by
// U+2029).
QString toTextBox(const QString &text);
QString fromTextBox(const QString &raw);

} // namespace qen::ocr
