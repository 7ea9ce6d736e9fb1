#include "pageview/pagerender.h"

#include "articles/shrinkbox.h"
#include "pageview/viewgeometry.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <QRegion>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace qen::render {

namespace {

using shrink::boxSpan;
using shrink::inkLevel;
using shrink::Span;

// The page columns under each screen column of a target.
std::vector<Span> columnSpans(const QRect &t, double zoom, int pageWidth) {
    std::vector<Span> xs(size_t(t.width()));
    for (int i = 0; i < t.width(); ++i)
        xs[size_t(i)] = boxSpan(t.left() + i, zoom, pageWidth);
    return xs;
}

int nearest(int d, double zoom, int limit) {
    return std::clamp(int(std::floor((d + 0.5) / zoom)), 0, limit - 1);
}

// Bilinear sample position: left page pixel and the weight (0..256) of the right one.
struct Tap {
    int lo, hi, weight;
};
Tap bilinear(int d, double zoom, int limit) {
    const double f = std::max(0.0, (d + 0.5) / zoom - 0.5);
    const int lo = std::min(int(f), limit - 1);
    return {lo, std::min(lo + 1, limit - 1), int((f - lo) * 256 + 0.5)};
}

// One byte lane per pixel of a page byte, in pixel order in memory: adding these up counts
// the ink of up to 255 rows for eight pixels at once.
const std::array<quint64, 256> &inkLanes() {
    static const std::array<quint64, 256> lanes = [] {
        std::array<quint64, 256> out{};
        for (int b = 0; b < 256; ++b) {
            uchar bytes[8];
            for (int k = 0; k < 8; ++k)
                bytes[k] = uchar((b >> (7 - k)) & 1);
            std::memcpy(&out[size_t(b)], bytes, 8);
        }
        return out;
    }();
    return lanes;
}

// The widths of a row's boxes, each once: two or three, whatever the zoom.
std::vector<int> boxWidths(const std::vector<Span> &xs) {
    std::vector<int> widths;
    for (const Span &x : xs)
        if (std::find(widths.begin(), widths.end(), x.hi - x.lo) == widths.end())
            widths.push_back(x.hi - x.lo);
    return widths;
}

int widest(const std::vector<int> &widths) {
    return *std::max_element(widths.begin(), widths.end());
}

// The gray level of every ink count of a box, for each box size a row of screen pixels has:
// dividing once per screen pixel cost twice as much as counting the ink.
class InkLevels {
public:
    explicit InkLevels(const std::vector<Span> &xs)
        : m_widths(boxWidths(xs)), m_ofWidth(size_t(widest(m_widths)) + 1) {}
    // Levels indexed by box width, then ink, for boxes this many page rows high.
    const std::vector<const uchar *> &forRows(int rows) {
        if (rows == m_rows)
            return m_ofWidth;
        m_rows = rows;
        for (const int w : m_widths)
            m_ofWidth[size_t(w)] = forArea(w * rows);
        return m_ofWidth;
    }

private:
    const uchar *forArea(int area) {
        for (const auto &[a, levels] : m_tables)
            if (a == area)
                return levels.data();
        std::vector<uchar> levels(size_t(area) + 1);
        for (int ink = 0; ink <= area; ++ink)
            levels[size_t(ink)] = inkLevel(ink, area);
        m_tables.emplace_back(area, std::move(levels));
        return m_tables.back().second.data();
    }
    std::vector<int> m_widths;
    int m_rows = 0;
    std::vector<const uchar *> m_ofWidth;
    std::vector<std::pair<int, std::vector<uchar>>> m_tables;
};

// Shrinking a bilevel page: the ink under each screen pixel, counted first down the page
// rows of a screen row (eight pixels per addition), then across each pixel's columns. A byte
// lane holds 255 rows; deeper boxes (below 0.4 %) are emptied into wider counters as they go.
void shrinkMono(const QImage &page, double zoom, const QRect &t, QImage &dst, const QPoint &at) {
    const int iw = page.width(), ih = page.height();
    const int rowBytes = (iw + 7) / 8;
    const auto &lanes = inkLanes();
    const std::vector<Span> xs = columnSpans(t, zoom, iw);
    InkLevels levels(xs);
    std::vector<quint64> down(static_cast<size_t>(rowBytes), 0);
    std::vector<int> wide;
    const auto *counts = reinterpret_cast<const uchar *>(down.data());
    auto spill = [&] {
        for (size_t k = 0; k < wide.size(); ++k)
            wide[k] += counts[k];
        std::fill(down.begin(), down.end(), 0);
    };
    for (int r = 0; r < t.height(); ++r) {
        const Span ys = boxSpan(t.top() + r, zoom, ih);
        const bool deep = ys.hi - ys.lo > 255;
        std::fill(down.begin(), down.end(), 0);
        if (deep)
            wide.assign(size_t(rowBytes) * 8, 0);
        for (int sy = ys.lo; sy < ys.hi; ++sy) {
            const uchar *row = page.constScanLine(sy);
            for (int i = 0; i < rowBytes; ++i)
                down[size_t(i)] += lanes[row[i]];
            if (deep && (sy - ys.lo) % 255 == 254)
                spill();
        }
        if (deep)
            spill();
        uchar *out = dst.scanLine(at.y() + r) + at.x();
        const int rows = ys.hi - ys.lo;
        if (deep) {
            for (size_t i = 0; i < xs.size(); ++i) {
                int ink = 0;
                for (int x = xs[i].lo; x < xs[i].hi; ++x)
                    ink += wide[size_t(x)];
                out[i] = inkLevel(ink, double(xs[i].hi - xs[i].lo) * rows);
            }
            continue;
        }
        const std::vector<const uchar *> &ofWidth = levels.forRows(rows);
        for (size_t i = 0; i < xs.size(); ++i) {
            int ink = 0;
            for (int x = xs[i].lo; x < xs[i].hi; ++x)
                ink += counts[x];
            out[i] = ofWidth[size_t(xs[i].hi - xs[i].lo)][ink];
        }
    }
}

void renderMono(const QImage &page, double zoom, const QRect &t, bool smooth, QImage &dst,
                const QPoint &at) {
    const int iw = page.width(), ih = page.height();
    if (smooth && zoom < 1) {
        shrinkMono(page, zoom, t, dst, at);
        return;
    }
    std::vector<int> byteOf(size_t(t.width()));
    std::vector<uchar> maskOf(size_t(t.width()));
    for (int i = 0; i < t.width(); ++i) {
        const int sx = nearest(t.left() + i, zoom, iw);
        byteOf[size_t(i)] = sx >> 3;
        maskOf[size_t(i)] = uchar(0x80 >> (sx & 7));
    }
    int lastSy = -1;
    for (int r = 0; r < t.height(); ++r) {
        uchar *out = dst.scanLine(at.y() + r) + at.x();
        const int sy = nearest(t.top() + r, zoom, ih);
        if (sy == lastSy) { // enlarged: the row above is the same page row
            std::memcpy(out, dst.constScanLine(at.y() + r - 1) + at.x(), size_t(t.width()));
            continue;
        }
        lastSy = sy;
        const uchar *row = page.constScanLine(sy);
        for (size_t i = 0; i < byteOf.size(); ++i)
            out[i] = (row[byteOf[i]] & maskOf[i]) ? 0 : 255;
    }
}

// Rounded division of box sums by the box's area, as a multiplication: a division per channel
// of every screen pixel took as long as summing the page. With a sum below 256 times the area,
// a multiplier of 2^s / area rounded up, s = 8 + 2 * ceil(log2 area), is exact and fits 32
// bits for boxes of up to 2^22 pixels (0.05 % zoom); larger boxes divide.
class BoxDivisor {
public:
    explicit BoxDivisor(quint64 area = 1) : m_area(area) {
        if (area > (quint64(1) << 22))
            return;
        int bits = 0;
        while ((quint64(1) << bits) < area)
            ++bits;
        // Boxes of one, two or four pixels (every zoom from 50 % up) divide by a shift.
        if ((quint64(1) << bits) == area)
            m_powerOfTwo = bits;
        m_shift = 8 + 2 * bits;
        m_multiplier = ((quint64(1) << m_shift) + area - 1) / area;
    }
    uchar average(quint64 sum) const {
        const quint64 n = sum + m_area / 2;
        return uchar(m_multiplier ? (n * m_multiplier) >> m_shift : n / m_area);
    }
#ifdef __SSE2__
    // The four channels of a pixel at once, for boxes that multiply; sums below 2^30.
    bool multiplies() const {
        return m_multiplier != 0;
    }
    quint32 average4(__m128i sums) const {
        const __m128i n = _mm_add_epi32(sums, _mm_set1_epi32(int(m_area / 2)));
        if (m_powerOfTwo >= 0) {
            __m128i q = _mm_srl_epi32(n, _mm_cvtsi32_si128(m_powerOfTwo));
            q = _mm_packs_epi32(q, q);
            return quint32(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
        }
        const __m128i m = _mm_set1_epi32(int(quint32(m_multiplier)));
        const __m128i shift = _mm_cvtsi32_si128(m_shift);
        const __m128i even = _mm_srl_epi64(_mm_mul_epu32(n, m), shift);
        const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(n, 32), m), shift);
        __m128i q = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
        q = _mm_packs_epi32(q, q);
        return quint32(_mm_cvtsi128_si32(_mm_packus_epi16(q, q)));
    }
#endif

private:
    quint64 m_area, m_multiplier = 0;
    int m_shift = 0, m_powerOfTwo = -1;
};

// Adds bytes to 32-bit sums, sixteen at a time where the processor can.
void addBytes(const uchar *bytes, quint32 *sums, size_t count) {
    size_t k = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; k + 16 <= count; k += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes + k));
        const __m128i lo = _mm_unpacklo_epi8(b, zero), hi = _mm_unpackhi_epi8(b, zero);
        auto *s = reinterpret_cast<__m128i *>(sums + k);
        const __m128i words[4] = {_mm_unpacklo_epi16(lo, zero), _mm_unpackhi_epi16(lo, zero),
                                  _mm_unpacklo_epi16(hi, zero), _mm_unpackhi_epi16(hi, zero)};
        for (int j = 0; j < 4; ++j)
            _mm_storeu_si128(s + j, _mm_add_epi32(_mm_loadu_si128(s + j), words[j]));
    }
#endif
    for (; k < count; ++k)
        sums[k] += bytes[k];
}

#ifdef __SSE2__
// A row of colour screen pixels whose boxes are one or two page pixels each way, which is
// every zoom from 50 % up: the page pixels are added in 16-bit lanes straight from the page
// rows, without the 32-bit row of sums, and every box's area is a power of two. The
// rounding is the sums' own, so the pixels are those the general shrink makes.
void shrinkColourRow(const uchar *row0, const uchar *row1, const std::vector<Span> &xs,
                     int pageWidth, uchar *out) {
    const __m128i zero = _mm_setzero_si128();
    const int tall = row1 ? 1 : 0;
    // By box width: which of the two loaded pixels count, the half of the area added to
    // round, and the shift that divides.
    const __m128i keep[2] = {_mm_set_epi32(0, 0, 0, -1), _mm_set1_epi32(-1)};
    __m128i half[2], shift[2];
    for (int w = 0; w < 2; ++w) {
        const int bits = w + tall;
        half[w] = _mm_set1_epi16(short((1 << bits) >> 1));
        shift[w] = _mm_cvtsi32_si128(bits);
    }
    auto load = [&](const uchar *row, int lo) {
        if (lo + 1 < pageWidth)
            return _mm_loadl_epi64(reinterpret_cast<const __m128i *>(row + size_t(lo) * 4));
        quint32 last;
        std::memcpy(&last, row + size_t(lo) * 4, 4);
        return _mm_cvtsi32_si128(int(last));
    };
    const size_t n = xs.size();
    for (size_t i = 0; i < n; ++i) {
        const int w = xs[i].hi - xs[i].lo - 1;
        __m128i v = _mm_unpacklo_epi8(_mm_and_si128(load(row0, xs[i].lo), keep[w]), zero);
        if (row1)
            v = _mm_add_epi16(
                v, _mm_unpacklo_epi8(_mm_and_si128(load(row1, xs[i].lo), keep[w]), zero));
        v = _mm_add_epi16(v, _mm_srli_si128(v, 8));
        v = _mm_srl_epi16(_mm_add_epi16(v, half[w]), shift[w]);
        const quint32 pixel = quint32(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
        std::memcpy(out + i * 4, &pixel, 4);
    }
}

// A row of colour screen pixels whose boxes hold at most 257 page pixels (zooms down to about
// 6 %): each channel's sum fits 16 bits. Sixteen bytes of every page row under the screen row
// are added in registers and stored once, instead of added into a row of 32-bit sums row
// after row; then each box adds its columns and divides as the general shrink does.
void shrinkColourRowShallow(const QImage &page, const Span &ys, const std::vector<Span> &xs,
                            const std::vector<BoxDivisor> &ofWidth, std::vector<quint16> &down,
                            uchar *out) {
    const int first = xs.front().lo;
    const size_t bytes = size_t(xs.back().hi - first) * 4;
    QVarLengthArray<const uchar *, 32> rows;
    for (int sy = ys.lo; sy < ys.hi; ++sy)
        rows.append(page.constScanLine(sy) + size_t(first) * 4);
    const __m128i zero = _mm_setzero_si128();
    size_t k = 0;
    for (; k + 16 <= bytes; k += 16) {
        __m128i lo = zero, hi = zero;
        for (const uchar *row : rows) {
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + k));
            lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(b, zero));
            hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(b, zero));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(down.data() + k), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(down.data() + k + 8), hi);
    }
    for (; k < bytes; ++k) {
        quint16 sum = 0;
        for (const uchar *row : rows)
            sum = quint16(sum + row[k]);
        down[k] = sum;
    }
    for (size_t i = 0; i < xs.size(); ++i) {
        const int width = xs[i].hi - xs[i].lo;
        const quint16 *column = down.data() + size_t(xs[i].lo - first) * 4;
        __m128i sums = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(column));
        for (int x = 1; x < width; ++x)
            sums = _mm_add_epi16(
                sums, _mm_loadl_epi64(reinterpret_cast<const __m128i *>(column + x * 4)));
        const quint32 pixel = ofWidth[size_t(width)].average4(_mm_unpacklo_epi16(sums, zero));
        std::memcpy(out + i * 4, &pixel, 4);
    }
}
#endif

// Shrinking a gray or colour page: each channel summed down the page rows of a screen row for
// all the columns at once, then across each screen pixel's columns.
template <int C>
void shrinkBytes(const QImage &page, double zoom, const QRect &t, QImage &dst, const QPoint &at) {
    const int iw = page.width(), ih = page.height();
    const size_t n = size_t(t.width());
    const std::vector<Span> xs = columnSpans(t, zoom, iw);
    const int first = xs.front().lo; // the boxes run left to right without gaps
    std::vector<quint32> down(size_t(xs.back().hi - first) * C);
    const std::vector<int> widths = boxWidths(xs);
    const int wide = widest(widths);
    std::vector<BoxDivisor> ofWidth(size_t(wide) + 1);
    int lastRows = 0;
#ifdef __SSE2__
    const bool narrow = C == 4 && wide <= 2;
    std::vector<quint16> shallowSums;
#endif
    for (int r = 0; r < t.height(); ++r) {
        const Span ys = boxSpan(t.top() + r, zoom, ih);
        const int rows = ys.hi - ys.lo;
        if (rows != lastRows) {
            lastRows = rows;
            for (const int w : widths)
                ofWidth[size_t(w)] = BoxDivisor(quint64(w) * quint64(rows));
        }
#ifdef __SSE2__
        if (narrow && rows <= 2) {
            shrinkColourRow(page.constScanLine(ys.lo),
                            rows == 2 ? page.constScanLine(ys.lo + 1) : nullptr, xs, iw,
                            dst.scanLine(at.y() + r) + at.x() * C);
            continue;
        }
        if (C == 4 && quint64(wide) * quint64(rows) <= 257 && ofWidth[size_t(wide)].multiplies()) {
            if (shallowSums.empty())
                shallowSums.resize(down.size());
            shrinkColourRowShallow(page, ys, xs, ofWidth, shallowSums,
                                   dst.scanLine(at.y() + r) + at.x() * C);
            continue;
        }
#endif
        std::fill(down.begin(), down.end(), 0);
        for (int sy = ys.lo; sy < ys.hi; ++sy)
            addBytes(page.constScanLine(sy) + size_t(first) * C, down.data(), down.size());
        uchar *out = dst.scanLine(at.y() + r) + at.x() * C;
        for (size_t i = 0; i < n; ++i) {
            const int width = xs[i].hi - xs[i].lo;
            const BoxDivisor &divisor = ofWidth[size_t(width)];
            const quint32 *column = down.data() + size_t(xs[i].lo - first) * C;
#ifdef __SSE2__
            if constexpr (C == 4) {
                if (divisor.multiplies()) {
                    auto *at = reinterpret_cast<const __m128i *>(column);
                    // Above half size a box is one or two columns wide.
                    __m128i sums = _mm_loadu_si128(at);
                    if (width == 2)
                        sums = _mm_add_epi32(sums, _mm_loadu_si128(at + 1));
                    else
                        for (int x = 1; x < width; ++x)
                            sums = _mm_add_epi32(sums, _mm_loadu_si128(at + x));
                    const quint32 pixel = divisor.average4(sums);
                    std::memcpy(out + i * C, &pixel, 4);
                    continue;
                }
            }
#endif
            quint64 sum[C] = {};
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < C; ++c)
                    sum[c] += column[x * C + c];
            for (int c = 0; c < C; ++c)
                out[i * C + c] = divisor.average(sum[c]);
        }
    }
}

// Gray (C = 1) and RGB32 (C = 4, alpha carried along) pages.
template <int C>
void renderBytes(const QImage &page, double zoom, const QRect &t, bool smooth, QImage &dst,
                 const QPoint &at) {
    const int iw = page.width(), ih = page.height();
    const size_t n = size_t(t.width());
    if (smooth && zoom < 1) {
        shrinkBytes<C>(page, zoom, t, dst, at);
        return;
    }
    if (smooth && zoom > 1) {
        std::vector<Tap> xs(n);
        for (size_t i = 0; i < n; ++i)
            xs[i] = bilinear(t.left() + int(i), zoom, iw);
        for (int r = 0; r < t.height(); ++r) {
            const Tap ty = bilinear(t.top() + r, zoom, ih);
            const uchar *r0 = page.constScanLine(ty.lo), *r1 = page.constScanLine(ty.hi);
            uchar *out = dst.scanLine(at.y() + r) + at.x() * C;
            for (size_t i = 0; i < n; ++i) {
                const int wx = xs[i].weight, wy = ty.weight;
                for (int c = 0; c < C; ++c) {
                    const int top = r0[xs[i].lo * C + c] * (256 - wx) + r0[xs[i].hi * C + c] * wx;
                    const int bottom =
                        r1[xs[i].lo * C + c] * (256 - wx) + r1[xs[i].hi * C + c] * wx;
                    out[i * C + c] = uchar((top * (256 - wy) + bottom * wy + 32768) >> 16);
                }
            }
        }
        return;
    }
    std::vector<int> xs(n);
    for (size_t i = 0; i < n; ++i)
        xs[i] = nearest(t.left() + int(i), zoom, iw);
    for (int r = 0; r < t.height(); ++r) {
        const uchar *row = page.constScanLine(nearest(t.top() + r, zoom, ih));
        uchar *out = dst.scanLine(at.y() + r) + at.x() * C;
        for (size_t i = 0; i < n; ++i)
            std::memcpy(out + i * C, row + xs[i] * C, C);
    }
}

} // namespace

namespace {

void widenRow(const uchar *in, quint32 *out, int width) {
    int i = 0;
#ifdef __SSE2__
    // Four pixels of 16 bytes per store, past the caches: a viewport is written once and
    // then only read by the window system, and reading the old pixels in first (as
    // ordinary stores do) would double the memory traffic of painting a page.
    while (i < width && (reinterpret_cast<quintptr>(out + i) & 15))
        out[i] = 0xff000000u | in[i] * 0x010101u, ++i;
    const __m128i opaque = _mm_set1_epi32(int(0xff000000u));
    for (; i + 16 <= width; i += 16) {
        const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const __m128i lo = _mm_unpacklo_epi8(g, g), hi = _mm_unpackhi_epi8(g, g);
        auto *o = reinterpret_cast<__m128i *>(out + i);
        _mm_stream_si128(o, _mm_or_si128(_mm_unpacklo_epi16(lo, lo), opaque));
        _mm_stream_si128(o + 1, _mm_or_si128(_mm_unpackhi_epi16(lo, lo), opaque));
        _mm_stream_si128(o + 2, _mm_or_si128(_mm_unpacklo_epi16(hi, hi), opaque));
        _mm_stream_si128(o + 3, _mm_or_si128(_mm_unpackhi_epi16(hi, hi), opaque));
    }
    // The rest in fours too: a run that ends where a marked piece begins ends on a cache
    // line, and an ordinary store into a line being streamed costs a read of the line.
    for (; i + 4 <= width; i += 4) {
        quint32 g;
        std::memcpy(&g, in + i, 4);
        const __m128i v = _mm_cvtsi32_si128(int(g));
        const __m128i lo = _mm_unpacklo_epi8(v, v);
        _mm_stream_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_or_si128(_mm_unpacklo_epi16(lo, lo), opaque));
    }
#endif
    for (; i < width; ++i)
        out[i] = 0xff000000u | in[i] * 0x010101u;
}

// Source-over of a premultiplied colour on an opaque pixel: each channel times one less the
// colour's alpha, rounded, two channels at a time, plus the colour.
quint32 blended(quint32 pixel, quint32 colour, quint32 keep) {
    quint32 rb = (pixel & 0xff00ff) * keep;
    rb = ((rb + ((rb >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    quint32 ag = ((pixel >> 8) & 0xff00ff) * keep;
    ag = (ag + ((ag >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return (rb | ag) + colour;
}

} // namespace

namespace {

void streamRow(const quint32 *in, quint32 *out, int width) {
    int i = 0;
#ifdef __SSE2__
    while (i < width && (reinterpret_cast<quintptr>(out + i) & 15))
        out[i] = in[i], ++i;
    for (; i + 4 <= width; i += 4)
        _mm_stream_si128(reinterpret_cast<__m128i *>(out + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i)));
#endif
    for (; i < width; ++i)
        out[i] = in[i];
}

struct Covering {
    int left, right; // columns of the row, right exclusive
    quint32 colour, keep;
    const quint32 *overGray; // the colour blended over each gray level
    int order;               // overlapping marks are blended in the order given
};

const quint32 *plainGray() {
    static const auto table = [] {
        std::array<quint32, 256> t;
        for (quint32 g = 0; g < 256; ++g)
            t[g] = 0xff000000u | g * 0x010101u;
        return t;
    }();
    return table.data();
}

// A row with marks on it. The marked pixels are worked out in a small buffer from the page's
// gray and streamed like the rest: blending into the store afterwards would read each marked
// row back from memory, and an ordinary store into a line being streamed costs as much. So
// the marked spans are widened to whole cache lines of the store.
//
// Rows between two edges of marks, whose store lines fall alike, are cut the same way: the
// cutting is worked out once for them all and each row only looks its pixels up.
class RowPlan {
public:
    // Whether the plan was made for these marks on a row whose store begins `offset` pixels
    // into a cache line.
    bool fits(quint64 marks, int offset) const { return m_marks == marks && m_offset == offset; }
    void make(const QVarLengthArray<Covering, 16> &row, int width, quint64 marks, int offset);
    void write(const uchar *in, quint32 *out) const;

private:
    // Pixels [left, right) looked up in `table`; a plain run goes straight to the store.
    struct Run {
        int left, right;
        const quint32 *table;
    };
    struct Piece {
        int left, right; // right exclusive
        bool marked = false;
        int firstRun = 0, runs = 0;
    };
    void writeBlended(const uchar *in, quint32 *out, const Piece &piece) const;

    quint64 m_marks = ~quint64(0);
    int m_offset = -1;
    bool m_overlapping = false;
    QVarLengthArray<Covering, 16> m_row; // by order, when they overlap
    QVarLengthArray<Piece, 32> m_pieces;
    QVarLengthArray<Run, 64> m_runs;
};

void RowPlan::make(const QVarLengthArray<Covering, 16> &row, int width, quint64 marks, int offset) {
    m_marks = marks;
    m_offset = offset;
    m_pieces.clear();
    m_runs.clear();
    m_row = row;
    std::sort(m_row.begin(), m_row.end(),
              [](const Covering &a, const Covering &b) { return a.left < b.left; });
    // Marks seldom overlap (a hit inside the selection); where they do, each is blended over
    // the last, else a mark is a lookup by the page's gray.
    m_overlapping = false;
    for (int i = 1; i < m_row.size(); ++i)
        m_overlapping |= m_row[i].left < m_row[i - 1].right;
    if (m_overlapping)
        std::sort(m_row.begin(), m_row.end(),
                  [](const Covering &a, const Covering &b) { return a.order < b.order; });
    auto lineStart = [&](int x) { return std::max(0, x - (x + offset) % 16); };
    auto lineEnd = [&](int x) { return std::min(width, x + (16 - (x + offset) % 16) % 16); };
    QVarLengthArray<std::pair<int, int>, 16> spans;
    for (const Covering &c : m_row)
        spans.append({lineStart(c.left), lineEnd(c.right)});
    std::sort(spans.begin(), spans.end());
    int done = 0;
    for (int k = 0; k < spans.size();) {
        const int left = std::max(spans[k].first, done);
        int right = spans[k].second;
        for (++k; k < spans.size() && spans[k].first <= right; ++k)
            right = std::max(right, spans[k].second);
        if (right <= left)
            continue;
        if (left > done)
            m_pieces.append({done, left});
        Piece piece{left, right, true, int(m_runs.size()), 0};
        if (!m_overlapping) {
            // Sorted by left and apart: the piece is gray, a mark, gray, a mark, ... gray.
            int x = left;
            for (const Covering &c : m_row) {
                const int from = std::max(c.left, left), to = std::min(c.right, right);
                if (from >= to)
                    continue;
                if (from > x)
                    m_runs.append({x, from, plainGray()});
                m_runs.append({from, to, c.overGray});
                x = to;
            }
            if (x < right)
                m_runs.append({x, right, plainGray()});
        }
        piece.runs = int(m_runs.size()) - piece.firstRun;
        m_pieces.append(piece);
        done = right;
    }
    if (done < width)
        m_pieces.append({done, width});
}

void RowPlan::writeBlended(const uchar *in, quint32 *out, const Piece &piece) const {
    QVarLengthArray<quint32, 1024> buffer(piece.right - piece.left);
    for (int x = piece.left; x < piece.right; ++x)
        buffer[x - piece.left] = plainGray()[in[x]];
    for (const Covering &c : m_row)
        for (int x = std::max(c.left, piece.left); x < std::min(c.right, piece.right); ++x)
            buffer[x - piece.left] = blended(buffer[x - piece.left], c.colour, c.keep);
    streamRow(buffer.constData(), out + piece.left, piece.right - piece.left);
}

void RowPlan::write(const uchar *in, quint32 *out) const {
    for (const Piece &piece : m_pieces) {
        if (!piece.marked) {
            widenRow(in + piece.left, out + piece.left, piece.right - piece.left);
            continue;
        }
        if (m_overlapping) {
            writeBlended(in, out, piece);
            continue;
        }
        QVarLengthArray<quint32, 1024> buffer(piece.right - piece.left);
        quint32 *b = buffer.data() - piece.left;
        for (int r = piece.firstRun; r < piece.firstRun + piece.runs; ++r) {
            const Run &run = m_runs[r];
            for (int x = run.left; x < run.right; ++x)
                b[x] = run.table[in[x]];
        }
        streamRow(buffer.constData(), out + piece.left, piece.right - piece.left);
    }
}

} // namespace

void grayOntoScreen(const QImage &gray, const QRect &from, QImage &screen, const QPoint &at,
                    const Tint *tints, int tintCount) {
    const int width = from.width();
    // A table per colour of what it makes of each gray level.
    QVarLengthArray<std::pair<QRgb, std::array<quint32, 256>>, 4> tables;
    auto overGray = [&](QColor colour) -> const quint32 * {
        for (const auto &t : tables)
            if (t.first == colour.rgba())
                return t.second.data();
        tables.append({colour.rgba(), {}});
        auto &table = tables.back().second;
        const quint32 premultiplied = qPremultiply(colour.rgba());
        for (quint32 g = 0; g < 256; ++g)
            table[g] =
                blended(0xff000000u | g * 0x010101u, premultiplied, 255 - quint32(colour.alpha()));
        return table.data();
    };
    // The marks that reach these rows, by their first row; each row takes those that have
    // begun and not yet ended, so a row costs only the marks on it.
    struct Mark {
        int top, bottom;
        Covering covering;
    };
    QVarLengthArray<Mark, 64> marks;
    for (int t = 0; t < tintCount; ++t) {
        const QRect &rect = tints[t].rect;
        const int left = std::max(rect.left() - at.x(), 0);
        const int right = std::min(rect.right() + 1 - at.x(), width);
        if (left < right && rect.bottom() >= at.y() && rect.top() < at.y() + from.height())
            marks.append({rect.top(),
                          rect.bottom(),
                          {left, right, qPremultiply(tints[t].colour.rgba()),
                           255 - quint32(tints[t].colour.alpha()), overGray(tints[t].colour), t}});
    }
    std::stable_sort(marks.begin(), marks.end(),
                     [](const Mark &a, const Mark &b) { return a.top < b.top; });
    QVarLengthArray<const Mark *, 16> begun;
    QVarLengthArray<Covering, 16> row;
    RowPlan plan;
    quint64 changes = 0; // counts the marks begun and ended: the row's set is the same until then
    int next = 0;
    for (int r = 0; r < from.height(); ++r) {
        const int y = at.y() + r;
        const uchar *in = gray.constScanLine(from.top() + r) + from.left();
        auto *out = reinterpret_cast<quint32 *>(screen.scanLine(y)) + at.x();
        for (; next < marks.size() && marks[next].top <= y; ++next, ++changes)
            begun.append(&marks[next]);
        for (int k = 0; k < begun.size();) {
            if (begun[k]->bottom < y) {
                begun.remove(k);
                ++changes;
                continue;
            }
            ++k;
        }
        if (begun.isEmpty()) {
            widenRow(in, out, width);
            continue;
        }
        const int offset = int((reinterpret_cast<quintptr>(out) & 63) / 4);
        if (!plan.fits(changes, offset)) {
            row.clear();
            for (const Mark *m : begun)
                row.append(m->covering);
            plan.make(row, width, changes, offset);
        }
        plan.write(in, out);
    }
#ifdef __SSE2__
    _mm_sfence();
#endif
}

QImage::Format outputFormat(const QImage &page) {
    return page.format() == QImage::Format_Mono || page.format() == QImage::Format_Grayscale8
               ? QImage::Format_Grayscale8
               : QImage::Format_RGB32;
}

QSize halfSizeOf(const QSize &size) {
    return {(size.width() + 1) / 2, (size.height() + 1) / 2};
}

namespace {

// One row of the half-size copy from two page rows (the same row twice at an odd bottom edge).
void halveRow(const uchar *row0, const uchar *row1, int pageWidth, uchar *out) {
    const int pairs = pageWidth / 2;
    int i = 0;
#ifdef __SSE2__
    // Two copy pixels from four page pixels of each row, in 16-bit lanes.
    const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
    for (; i + 2 <= pairs; i += 2) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row0 + i * 8));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row1 + i * 8));
        const __m128i lo = _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i hi = _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
        __m128i sums = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
        sums = _mm_srli_epi16(_mm_add_epi16(sums, two), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i * 4), _mm_packus_epi16(sums, sums));
    }
#endif
    for (; i < pairs; ++i)
        for (int c = 0; c < 4; ++c)
            out[i * 4 + c] = uchar((row0[i * 8 + c] + row0[i * 8 + 4 + c] + row1[i * 8 + c] +
                                    row1[i * 8 + 4 + c] + 2) >>
                                   2);
    if (pageWidth % 2) // the last column alone: its pixels counted twice average the same
        for (int c = 0; c < 4; ++c)
            out[pairs * 4 + c] = uchar((row0[pairs * 8 + c] + row1[pairs * 8 + c] + 1) >> 1);
}

// The first screen column (or row) at `zoom` whose box reaches the last page column (row)
// when their count `limit` is odd; past every column when it is even.
int firstAtOddEdge(double zoom, int limit) {
    if (limit % 2 == 0)
        return std::numeric_limits<int>::max() / 2;
    int d = std::max(0, int(std::floor((limit - 1) * zoom)) - 1);
    while (d > 0 && boxSpan(d - 1, zoom, limit).hi == limit)
        --d;
    while (boxSpan(d, zoom, limit).hi < limit)
        ++d;
    return d;
}

} // namespace

QImage halfSize(const QImage &page) {
    if (page.isNull() || outputFormat(page) != QImage::Format_RGB32)
        return {};
    try {
        const bool direct =
            page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32;
        const QImage source = direct ? page : page.convertToFormat(QImage::Format_RGB32);
        QImage half(halfSizeOf(source.size()), source.format());
        if (source.isNull() || half.isNull())
            return {};
        for (int y = 0; y < half.height(); ++y) {
            const uchar *row0 = source.constScanLine(2 * y);
            const uchar *row1 =
                2 * y + 1 < source.height() ? source.constScanLine(2 * y + 1) : row0;
            halveRow(row0, row1, source.width(), half.scanLine(y));
        }
        return half;
    } catch (const std::bad_alloc &) {
        return {}; // the full page is drawn from, as without a copy
    }
}

namespace {

// Whether every box of screen pixels [0, count) covers the same page pixels drawn from the
// copy at twice the zoom as drawn from the page.
bool sameBoxes(int count, double zoom, int limit) {
    const int halfLimit = (limit + 1) / 2;
    for (int d = 0; d < count; ++d) {
        const Span page = boxSpan(d, zoom, limit), half = boxSpan(d, zoom * 2, halfLimit);
        if (page.lo != 2 * half.lo || page.hi != std::min(2 * half.hi, limit))
            return false;
    }
    return true;
}

} // namespace

// Only where the boxes agree (25 %, 12.5 %, ...): elsewhere a box drawn from the copy starts on
// an even page pixel, up to one pixel off the page's own, and a sharp edge would move by up
// to half a screen pixel and change its gray by a hundred levels or more.
bool drawsFromHalf(const QImage &page, double zoom, bool smooth) {
    if (!smooth || !(zoom < 0.5) || page.isNull() || outputFormat(page) != QImage::Format_RGB32)
        return false;
    const QSize scaled = viewgeom::scaledSize(page.size(), zoom);
    return sameBoxes(scaled.width(), zoom, page.width()) &&
           sameBoxes(scaled.height(), zoom, page.height());
}

void renderInto(const QImage &page, double zoom, const QRect &target, bool smooth, QImage &dst,
                const QPoint &at, const QImage *half) {
    if (page.isNull() || target.isEmpty() || !(zoom > 0))
        return;
    if (half && drawsFromHalf(page, zoom, smooth) && half->size() == halfSizeOf(page.size())) {
        // The copy's pixels at an odd edge stand for one page column or row, yet average as
        // much as the others: the screen pixels whose boxes reach it are drawn from the page.
        const QRect inner = target & QRect(QPoint(target.left(), target.top()),
                                           QPoint(firstAtOddEdge(zoom, page.width()) - 1,
                                                  firstAtOddEdge(zoom, page.height()) - 1));
        if (!inner.isEmpty())
            renderInto(*half, zoom * 2, inner, smooth, dst,
                       at + inner.topLeft() - target.topLeft());
        for (const QRect &edge : QRegion(target).subtracted(QRegion(inner)))
            renderInto(page, zoom, edge, smooth, dst, at + edge.topLeft() - target.topLeft());
        return;
    }
    if (dst.format() != outputFormat(page)) {
        if (dst.format() != ScreenFormat)
            return; // no other format is rendered into
        // A band of gray rows at a time: small enough to come from the heap again and again
        // instead of being mapped and faulted in afresh for every part.
        const int rows = std::clamp(65536 / target.width(), 1, target.height());
        QImage gray(target.width(), rows, QImage::Format_Grayscale8);
        if (gray.isNull())
            return;
        for (int y = 0; y < target.height(); y += rows) {
            const QRect band(target.left(), target.top() + y, target.width(),
                             std::min(rows, target.height() - y));
            renderInto(page, zoom, band, smooth, gray, {0, 0});
            grayOntoScreen(gray, QRect(0, 0, gray.width(), band.height()), dst, at + QPoint(0, y));
        }
        return;
    }
    switch (page.format()) {
    case QImage::Format_Mono:
        renderMono(page, zoom, target, smooth, dst, at);
        break;
    case QImage::Format_Grayscale8:
        renderBytes<1>(page, zoom, target, smooth, dst, at);
        break;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
        renderBytes<4>(page, zoom, target, smooth, dst, at);
        break;
    default:
        renderBytes<4>(page.convertToFormat(QImage::Format_RGB32), zoom, target, smooth, dst, at);
        break;
    }
}

QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth) {
    return scaledPart(page, zoom, target, smooth, outputFormat(page));
}

QImage scaledPart(const QImage &page, double zoom, const QRect &target, bool smooth,
                  QImage::Format format, const QImage *half) {
    if (page.isNull() || target.isEmpty())
        return {};
    QImage out(target.size(), format);
    if (!out.isNull())
        renderInto(page, zoom, target, smooth, out, {0, 0}, half);
    return out;
}

} // namespace qen::render
