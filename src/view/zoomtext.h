#pragma once

#include <QString>
#include <optional>

// The zoom combo's texts: what a typed entry is worth and how a percentage is written.
namespace qen {

// The number at the start of a text such as "150%" (0 when there is none).
double LeadingNumber(const QString &text);

// A typed entry the combo accepts on Enter: a decimal number (optional sign, decimal point,
// exponent, surrounding blanks), optionally followed by a single "%" as its last character.
// Full-width digits and signs, as a Chinese input method types them, count as their ASCII
// forms. Returns the percentage, or nothing when the text is refused.
std::optional<double> TypedPercent(const QString &text);

// A percentage in plain decimal form with "%": seven significant digits, so that a factor
// kept in single precision (0.9 + 0.2 = 1.10000002) reads "110%".
QString PercentText(double percent);

// The factor after wheel notches (up positive, fractions summed) at the toolbar's 0.2 a
// step, kept in single precision as the steps are; nothing when it leaves (0, 100).
std::optional<double> WheelZoom(double factor, double notches);
// The factor after a pinch that grows it by `delta` (0.1 = 10 % larger), held within the
// view's limits.
double PinchZoom(double factor, double delta);

} // namespace qen
