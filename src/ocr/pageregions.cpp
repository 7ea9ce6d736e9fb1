#include "ocr/pageregions.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <vector>

namespace qen::ocr {

namespace {

struct Run {
    int y, x0, x1; // [x0, x1)
};

struct Part {
    int area = 0;
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    int height() const { return bottom - top + 1; }
    int width() const { return right - left + 1; }
};

int findRoot(std::vector<int> &parent, int i) {
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// The page's ink as horizontal runs, joined into 8-connected parts.
struct Labels {
    std::vector<Run> runs;
    std::vector<int> partOf; // per run
    std::vector<Part> parts;
};

Labels label(const QImage &gray) {
    Labels l;
    std::vector<int> parent;
    size_t previousRow = 0, rowBegin = 0;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *row = gray.constScanLine(y);
        rowBegin = l.runs.size();
        size_t scan = previousRow;
        for (int x = 0; x < gray.width();) {
            if (row[x] >= InkThreshold) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < gray.width() && row[x] < InkThreshold)
                ++x;
            const int id = int(l.runs.size());
            l.runs.push_back({y, x0, x});
            parent.push_back(id);
            // Runs of the row above that touch this one, diagonally included.
            while (scan < rowBegin && l.runs[scan].x1 < x0)
                ++scan;
            for (size_t j = scan; j < rowBegin; ++j) {
                const Run &above = l.runs[j];
                if (above.x0 > x)
                    break;
                {
                    const int a = findRoot(parent, int(j)), b = findRoot(parent, id);
                    if (a != b)
                        parent[size_t(std::max(a, b))] = std::min(a, b);
                }
            }
        }
        previousRow = rowBegin;
    }
    l.partOf.resize(l.runs.size());
    std::vector<int> index(l.runs.size(), -1);
    for (size_t i = 0; i < l.runs.size(); ++i) {
        const int root = findRoot(parent, int(i));
        if (index[size_t(root)] < 0) {
            index[size_t(root)] = int(l.parts.size());
            l.parts.emplace_back();
        }
        const int p = index[size_t(root)];
        l.partOf[i] = p;
        Part &part = l.parts[size_t(p)];
        const Run &r = l.runs[i];
        part.area += r.x1 - r.x0;
        part.left = std::min(part.left, r.x0);
        part.right = std::max(part.right, r.x1 - 1);
        part.top = std::min(part.top, r.y);
        part.bottom = std::max(part.bottom, r.y);
    }
    return l;
}

int mostCommonRun(const Labels &l, int minArea) {
    std::vector<int> histogram(64, 0);
    for (size_t i = 0; i < l.runs.size(); ++i) {
        const int length = l.runs[i].x1 - l.runs[i].x0;
        if (length < int(histogram.size()) && l.parts[size_t(l.partOf[i])].area >= minArea)
            ++histogram[size_t(length)];
    }
    const auto best = std::max_element(histogram.begin() + 1, histogram.end());
    return *best > 0 ? int(best - histogram.begin()) : 0;
}

// The smallest rectangle holding the ink inside `area`; empty when there is none.
QRect inkBounds(const QImage &gray, const QRect &area) {
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const uchar *row = gray.constScanLine(y);
        for (int x = area.left(); x <= area.right(); ++x) {
            if (row[x] < InkThreshold) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

struct Interval {
    int from, to; // [from, to)
    int width() const { return to - from; }
};

// The white column intervals of the rows [top, bottom], the page edges included.
std::vector<Interval> whiteColumns(const QImage &gray, int top, int bottom) {
    std::vector<int> ink(size_t(gray.width()), 0);
    for (int y = top; y <= bottom; ++y) {
        const uchar *row = gray.constScanLine(y);
        for (int x = 0; x < gray.width(); ++x)
            ink[size_t(x)] += row[x] < InkThreshold;
    }
    std::vector<Interval> white;
    for (int x = 0; x < gray.width();) {
        if (ink[size_t(x)]) {
            ++x;
            continue;
        }
        const int from = x;
        while (x < gray.width() && !ink[size_t(x)])
            ++x;
        white.push_back({from, x});
    }
    return white;
}

struct Band {
    int top, bottom; // rows, inclusive
};

} // namespace

PageInk removeSpeckles(QImage &gray) {
    PageInk ink;
    if (gray.isNull() || gray.format() != QImage::Format_Grayscale8)
        return ink;
    const Labels l = label(gray);
    // Specks are a few pixels; parts of characters have a few dozen at the least.
    ink.strokeWidth = mostCommonRun(l, 20);
    if (!ink.strokeWidth)
        ink.strokeWidth = mostCommonRun(l, 0);
    if (!ink.strokeWidth)
        return ink;
    const double s = ink.strokeWidth;
    const double minArea = std::max(2.0, 0.6 * s * s);
    std::vector<bool> speck(l.parts.size(), false);
    std::vector<int> heights;
    for (size_t p = 0; p < l.parts.size(); ++p) {
        const Part &part = l.parts[p];
        if (part.area < minArea && part.width() <= s && part.height() <= s) {
            speck[p] = true;
            ++ink.speckles;
        } else if (part.area >= 2 * s * s && part.height() < gray.height() / 5) {
            heights.push_back(part.height());
        }
    }
    for (size_t i = 0; i < l.runs.size(); ++i) {
        if (!speck[size_t(l.partOf[i])])
            continue;
        const Run &r = l.runs[i];
        std::fill(gray.scanLine(r.y) + r.x0, gray.scanLine(r.y) + r.x1, uchar(255));
    }
    if (!heights.empty()) {
        // Characters in one piece are the tallest parts; strokes of split ones are shorter.
        const auto at = heights.begin() + std::ptrdiff_t(heights.size() * 8 / 10);
        std::nth_element(heights.begin(), at, heights.end());
        ink.characterHeight = *at;
    }
    return ink;
}

QList<QRect> readingRegions(const QImage &gray, const PageInk &ink) {
    QList<QRect> regions;
    if (gray.isNull() || gray.format() != QImage::Format_Grayscale8)
        return regions;
    const int charHeight = std::max(ink.characterHeight, 4);
    // Wider than a word space in Latin text, narrower than the gutters of newspapers.
    const int minGutter = std::max(8, charHeight * 6 / 5);
    // Blank rows inside a line (二, 三, a line of Latin without ascenders) are narrower.
    const int minLineGap = std::max(2, charHeight / 3);

    std::vector<Band> bands;
    int lastInk = -1 - minLineGap;
    for (int y = 0; y < gray.height(); ++y) {
        const uchar *row = gray.constScanLine(y);
        const bool any =
            std::any_of(row, row + gray.width(), [](uchar v) { return v < InkThreshold; });
        if (!any)
            continue;
        if (!bands.empty() && y - lastInk <= minLineGap)
            bands.back().bottom = y;
        else
            bands.push_back({y, y});
        lastInk = y;
    }

    // Blocks of consecutive bands that share the gutters found in the first of them.
    struct Block {
        int top, bottom;
        std::vector<Interval> gutters;
    };
    std::vector<Block> blocks;
    for (const Band &band : bands) {
        const std::vector<Interval> white = whiteColumns(gray, band.top, band.bottom);
        std::vector<Interval> interior;
        for (const Interval &w : white) {
            if (w.from > 0 && w.to < gray.width() && w.width() >= minGutter)
                interior.push_back(w);
        }
        if (!blocks.empty() && !blocks.back().gutters.empty()) {
            // A band continues the columns when its white space keeps a gutter open: the
            // short last line of a column leaves it open too.
            std::vector<Interval> kept;
            for (const Interval &g : blocks.back().gutters) {
                for (const Interval &w : white) {
                    const Interval both{std::max(g.from, w.from), std::min(g.to, w.to)};
                    if (both.width() >= minGutter)
                        kept.push_back(both);
                }
            }
            if (!kept.empty()) {
                blocks.back().gutters = kept;
                blocks.back().bottom = band.bottom;
                continue;
            }
        }
        const bool columns = !interior.empty() && band.bottom - band.top + 1 >= charHeight / 2;
        if (!columns && !blocks.empty() && blocks.back().gutters.empty()) {
            blocks.back().bottom = band.bottom;
            continue;
        }
        blocks.push_back({band.top, band.bottom, columns ? interior : std::vector<Interval>()});
    }

    for (const Block &block : blocks) {
        int left = 0;
        std::vector<Interval> columns;
        for (const Interval &g : block.gutters) {
            columns.push_back({left, g.from});
            left = g.to;
        }
        columns.push_back({left, gray.width()});
        for (const Interval &c : columns) {
            const QRect r =
                inkBounds(gray, QRect(QPoint(c.from, block.top), QPoint(c.to - 1, block.bottom)));
            if (!r.isEmpty())
                regions << r;
        }
    }
    return regions;
}

} // namespace qen::ocr
