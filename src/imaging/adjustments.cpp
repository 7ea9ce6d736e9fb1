#include "imaging/adjustments.h"
#include "articles/pageshape.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace qen::adjustments {

using pageshape::clearMonoPadding;

namespace {

using Lut = std::array<uchar, 256>;

bool isMonoPage(const QImage &image) {
    return image.format() == QImage::Format_Mono;
}

void applyLut(QImage &image, const Lut &lut) {
    if (image.format() == QImage::Format_Grayscale8) {
        for (int y = 0; y < image.height(); ++y) {
            uchar *p = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x)
                p[x] = lut[p[x]];
        }
        return;
    }
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *p = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = p[x];
            p[x] = qRgba(lut[qRed(c)], lut[qGreen(c)], lut[qBlue(c)], qAlpha(c));
        }
    }
}

// One pass over a bilevel page with the rows above and below as they were before the pass.
// `rule` gets the current row, its left and right neighbour bits, and the rows above and
// below, byte by byte, and returns the new byte.
template <typename Rule> void monoPass(QImage &image, Rule rule) {
    const int nb = (image.width() + 7) / 8;
    std::vector<uchar> above(size_t(nb), 0), zero(size_t(nb), 0);
    std::vector<uchar> current(size_t(nb), 0);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        std::copy(row, row + nb, current.begin());
        const uchar *below = y + 1 < image.height() ? image.constScanLine(y + 1) : zero.data();
        for (int i = 0; i < nb; ++i) {
            const uchar b = current[size_t(i)];
            const uchar next = i + 1 < nb ? current[size_t(i) + 1] : 0;
            const uchar prev = i > 0 ? current[size_t(i) - 1] : 0;
            const uchar right = uchar((b << 1) | (next >> 7)); // pixel x+1 at x's place
            const uchar left = uchar((b >> 1) | (prev << 7));  // pixel x-1 at x's place
            row[i] = rule(b, left, right, above[size_t(i)], below[i]);
        }
        above.swap(current);
    }
    clearMonoPadding(image);
}

void thinStrokes(QImage &image) {
    monoPass(image, [](uchar b, uchar left, uchar right, uchar up, uchar down) {
        // Only pixels on the side of a stroke that is thick across: the end of a one-pixel
        // line has no ink above and below (or left and right), so lines never get shorter,
        // and the top-left pixel of every blot survives.
        const uchar rightEdge = b & uchar(~right) & left & (up | down);
        const uchar bottomEdge = b & uchar(~down) & up & (left | right);
        return uchar(b & ~(rightEdge | bottomEdge));
    });
}

void thickenStrokes(QImage &image) {
    monoPass(image,
             [](uchar b, uchar left, uchar, uchar up, uchar) { return uchar(b | left | up); });
}

uchar clampByte(double v) {
    return uchar(std::clamp(std::lround(v), 0l, 255l));
}

} // namespace

void negate(QImage &image) {
    if (image.isNull())
        return;
    image.invertPixels();
    clearMonoPadding(image);
}

void adjustBrightness(QImage &image, int amount) {
    if (image.isNull() || amount == 0)
        return;
    amount = std::clamp(amount, -255, 255);
    if (isMonoPage(image)) {
        if (amount > 0)
            thinStrokes(image);
        else
            thickenStrokes(image);
        return;
    }
    Lut lut;
    for (int v = 0; v < 256; ++v)
        lut[size_t(v)] = amount > 0 ? clampByte(v + (255 - v) * amount / 255.0)
                                    : clampByte(v - v * double(-amount) / 255.0);
    applyLut(image, lut);
}

void enhanceContrast(QImage &image) {
    if (image.isNull() || isMonoPage(image))
        return;
    std::array<qint64, 256> histogram{};
    const bool gray = image.format() == QImage::Format_Grayscale8;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            ++histogram[gray ? line[x] : size_t(qGray(reinterpret_cast<const QRgb *>(line)[x]))];
    }
    const qint64 total = qint64(image.width()) * image.height();
    const qint64 cut = total / 200;
    int lo = 0, hi = 255;
    for (qint64 seen = 0; lo < 255 && (seen += histogram[size_t(lo)]) <= cut;)
        ++lo;
    for (qint64 seen = 0; hi > 0 && (seen += histogram[size_t(hi)]) <= cut;)
        --hi;
    if (hi <= lo)
        return;
    Lut lut;
    for (int v = 0; v < 256; ++v)
        lut[size_t(v)] = clampByte((v - lo) * 255.0 / (hi - lo));
    applyLut(image, lut);
}

void intensify(QImage &image, double factor) {
    if (image.isNull() || !std::isfinite(factor))
        return;
    factor = std::clamp(factor, 0.0, 16.0);
    if (isMonoPage(image)) {
        const int passes = std::min(8, int(std::floor(factor - 1 + 1e-9)));
        for (int i = 0; i < passes; ++i)
            thickenStrokes(image);
        return;
    }
    Lut lut;
    for (int v = 0; v < 256; ++v)
        lut[size_t(v)] = clampByte(255 - (255 - v) * factor);
    applyLut(image, lut);
}

} // namespace qen::adjustments
