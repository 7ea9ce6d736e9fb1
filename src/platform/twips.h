#pragma once

// Window geometry is stated in twips (1/1440 inch). Conversions happen only where a widget
// is placed; arithmetic stays in twips so that it matches the stated rules exactly.
namespace qen::twips {
inline constexpr int PerInch = 1440;
inline constexpr int ParkedLeft = -20000;

inline double perPixel(double logicalDpi) {
    return PerInch / logicalDpi;
}
} // namespace qen::twips

namespace qen {
struct TwipsRect {
    double left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipsRect &) const = default;
};
} // namespace qen
