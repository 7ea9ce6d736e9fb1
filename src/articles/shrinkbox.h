#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>

// How a page is shrunk by averaging: the page pixels under each pixel of the smaller picture,
// and the gray their ink makes. The view and the thumbnails shrink alike through these, so a
// page looks the same in both.
namespace qen::shrink {

struct Span {
    int lo, hi; // page pixels [lo, hi)
};

// The page pixels under picture pixel d at `zoom`, clamped to the page's `limit`; never empty.
inline Span boxSpan(int d, double zoom, int limit) {
    int lo = int(std::floor(d / zoom));
    int hi = int(std::floor((d + 1) / zoom));
    lo = std::clamp(lo, 0, limit - 1);
    hi = std::clamp(hi, lo + 1, limit);
    return {lo, hi};
}

// The gray of a box of `area` pixels with `ink` of them black, rounded.
inline uchar inkLevel(double ink, double area) {
    return uchar(255 - int(ink * 255 / area + 0.5));
}

} // namespace qen::shrink
