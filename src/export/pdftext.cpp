// The invisible text over a page: what makes a scanned PDF searchable. Readers extract text
// from glyph positions, so the placement is what decides whether a search finds a word:
// poppler, MuPDF and pdf.js all insert a space where two glyphs leave a gap, and break a word
// where the font's metrics do not match the advance written. Every glyph here is stretched
// to reach the next one exactly, and spaces are written as characters where the page has
// them, never left to the reader to guess.
#include "export/pdfwriter.h"

#include "ocr/textlayer.h"
#include "platform/error.h"

#include <QVarLengthArray>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstring>
#include <libdeflate.h>
#include <limits>
#include <numeric>

namespace qen::pdf {

using detail::deflate;

namespace {

// The font's one glyph is blank and a square em wide. Its advance is what /DW says, so a
// reader's idea of where a glyph ends is where the writer put it.
constexpr int GlyphAdvance = 1000;
// Glyphs that would start where the one before starts (zero-width boxes, boxes out of order)
// are moved on by this much of a page pixel, so that starts always increase along a line.
constexpr double MinStepPx = 0.05;
// A space wider than this share of the font size reads as a column gap to poppler, which then
// splits the line; the glyph before a wide blank reaches into it instead.
constexpr double MaxSpaceEm = 0.3;

void put16(QByteArray &b, int v) {
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}

void put32(QByteArray &b, quint32 v) {
    put16(b, int(v >> 16));
    put16(b, int(v & 0xFFFF));
}

quint32 checksum(const QByteArray &table) {
    QByteArray padded = table;
    while (padded.size() % 4)
        padded.append('\0');
    quint32 sum = 0;
    for (qsizetype i = 0; i < padded.size(); i += 4)
        sum += qFromBigEndian<quint32>(padded.constData() + i);
    return sum;
}

QByteArray headTable() {
    QByteArray t;
    put32(t, 0x00010000); // version
    put32(t, 0x00010000); // font revision
    put32(t, 0);          // checksum adjustment, set once the file is whole
    put32(t, 0x5F0F3CF5);
    put16(t, 0x0003);       // baseline at 0, left side bearing at 0
    put16(t, GlyphAdvance); // units per em
    t.append(16, '\0');     // created, modified
    for (const int v : {0, 0, GlyphAdvance, GlyphAdvance})
        put16(t, v); // bounding box
    for (const int v : {0, 8, 2, 0, 0})
        put16(t, v); // style, smallest size, direction, short loca, glyph format
    return t;
}

QByteArray hheaTable() {
    QByteArray t;
    put32(t, 0x00010000);
    for (const int v :
         {GlyphAdvance, -1, 0, GlyphAdvance, 0, 0, GlyphAdvance, 1, 0, 0, 0, 0, 0, 0, 0, 2})
        put16(t, v & 0xFFFF);
    return t;
}

QByteArray maxpTable() {
    QByteArray t;
    put32(t, 0x00010000);
    put16(t, 2); // glyphs: .notdef and the blank
    // Points 2, contours 1, then zones 2; the rest of what a hinted font counts is none.
    for (int i = 0; i < 13; ++i)
        put16(t, i == 0 ? 2 : i == 1 ? 1 : i == 4 ? 2 : 0);
    return t;
}

QByteArray blankGlyph() {
    // A contour from one corner of the em to the other and back: it encloses nothing, so it
    // draws nothing, but it gives the glyph a box. MuPDF extracts no text whose glyph has no
    // outline at all.
    QByteArray g;
    for (const int v : {1, 0, 0, GlyphAdvance, GlyphAdvance, 1, 0})
        put16(g, v);         // contours, box, last point, no instructions
    g.append("\x01\x01", 2); // both points on the curve, coordinates as 16-bit deltas
    for (const int v : {0, GlyphAdvance, 0, GlyphAdvance})
        put16(g, v);
    return g;
}

QByteArray cmapTable() {
    // One empty format 4 subtable: the CIDs reach the glyph through CIDToGIDMap, but tools
    // that inspect the font expect a character map to be there.
    QByteArray t;
    for (const int v : {0, 1, 3, 1})
        put16(t, v);
    put32(t, 12);
    for (const int v : {4, 24, 0, 2, 2, 0, 0, 0xFFFF, 0, 0xFFFF, 1, 0})
        put16(t, v);
    return t;
}

// A TrueType font with no outlines at all, made here rather than read from a file, so that
// the PDF depends on nothing installed where it is written or read.
QByteArray glyphlessFont() {
    QByteArray hmtx;
    for (int i = 0; i < 2; ++i) {
        put16(hmtx, GlyphAdvance);
        put16(hmtx, 0);
    }
    QByteArray post;
    put32(post, 0x00030000); // no glyph names
    post.append(28, '\0');
    QByteArray name;
    for (const int v : {0, 0, 6})
        put16(name, v);
    const QByteArray glyf = blankGlyph();
    QByteArray loca;
    for (const int v : {0, 0, int(glyf.size() / 2)})
        put16(loca, v); // .notdef is empty; the blank glyph is the one outline
    const QList<std::pair<const char *, QByteArray>> tables = {
        {"cmap", cmapTable()}, {"glyf", glyf}, {"head", headTable()},
        {"hhea", hheaTable()}, {"hmtx", hmtx}, {"loca", loca},
        {"maxp", maxpTable()}, {"name", name}, {"post", post}};
    QByteArray font;
    put32(font, 0x00010000);
    put16(font, int(tables.size()));
    for (const int v : {128, 3, int(tables.size()) * 16 - 128})
        put16(font, v);
    quint32 offset = quint32(12 + 16 * tables.size());
    QByteArray body;
    qsizetype headAt = 0;
    for (const auto &[tag, data] : tables) {
        font.append(tag, 4);
        put32(font, checksum(data));
        put32(font, offset + quint32(body.size()));
        put32(font, quint32(data.size()));
        if (qstrcmp(tag, "head") == 0)
            headAt = offset + body.size();
        body += data;
        while (body.size() % 4)
            body.append('\0');
    }
    font += body;
    qToBigEndian<quint32>(0xB1B0AFBA - checksum(font), font.data() + headAt + 8);
    return font;
}

QByteArray stream(const QByteArray &dict, const QByteArray &data) {
    return "<< " + dict + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data +
           "\nendstream\nendobj\n";
}

// The text a code stands for, as ToUnicode writes it: UTF-16BE, so that characters outside
// the BMP come out as their surrogate pairs.
void appendHex16(QByteArray &out, quint16 v) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const char hex[4] = {digits[v >> 12], digits[(v >> 8) & 15], digits[(v >> 4) & 15],
                         digits[v & 15]};
    out.append(hex, 4);
}
void appendUtf16Hex(QByteArray &out, const QString &text) {
    for (const QChar c : text)
        appendHex16(out, c.unicode());
}

char32_t codePointAt(const TextGlyph &g, bool last) {
    if (g.character)
        return g.character;
    const QList<uint> all = g.text.toUcs4();
    return all.isEmpty() ? 0 : char32_t(last ? all.last() : all.first());
}

// What lineContent reads of a line, from the writer's own glyphs...
struct GlyphLine {
    const QList<TextGlyph> &glyphs;
    qsizetype size() const { return glyphs.size(); }
    const QRect &box(qsizetype i) const { return glyphs.at(i).box; }
    bool blankBefore(qsizetype i) const { return glyphs.at(i).blankBefore; }
    char32_t codePoint(qsizetype i, bool last) const { return codePointAt(glyphs.at(i), last); }
    const TextGlyph &key(qsizetype i) const { return glyphs.at(i); }
};

// ... or from a recognised layer, where its glyphs lie.
struct LayerLine {
    const ocr::TextLayer &layer;
    int first, count;
    qsizetype size() const { return count; }
    QRect box(qsizetype i) const { return layer.box(first + int(i)); }
    bool blankBefore(qsizetype i) const { return layer.blankBefore(first + int(i)); }
    char32_t codePoint(qsizetype i, bool last) const {
        return last ? ocr::lastCodePoint(key(i)) : ocr::firstCodePoint(key(i));
    }
    QStringView key(qsizetype i) const { return layer.glyphTextView(first + int(i)); }
};

// One thing to write on a line: a glyph or a space, from `start` (page pixels).
struct Piece {
    quint16 code;
    double start;
    bool space;
};
using Pieces = QVarLengthArray<Piece, 192>;

// The engine now and then gives a glyph of a line a box far taller than its ink. Such boxes,
// when they are few, do not stretch the line, so that the selection stays on the ink; a line
// where many glyphs are taller than the rest (Latin capitals and ascenders) keeps them all.
using Extents = QVarLengthArray<double, 128>;
std::pair<double, double> lineExtent(const Extents &tops, const Extents &bottoms) {
    const qsizetype n = tops.size();
    if (n == 0)
        return {0, 0};
    Extents heights(n), sorted(n);
    for (qsizetype i = 0; i < n; ++i)
        heights[i] = sorted[i] = bottoms[i] - tops[i];
    std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.end());
    const double tall = 1.3 * sorted[n / 2];
    qsizetype outliers = 0;
    for (const double h : heights)
        outliers += h > tall;
    // Without a branch for each glyph: whether a box is dropped follows no pattern.
    const double limit = outliers * 3 < n ? tall : std::numeric_limits<double>::infinity();
    double top = std::numeric_limits<double>::max(), bottom = std::numeric_limits<double>::lowest();
    for (qsizetype i = 0; i < n; ++i) {
        const bool keep = !(heights[i] > limit);
        top = std::min(top, keep ? tops[i] : top);
        bottom = std::max(bottom, keep ? bottoms[i] : bottom);
    }
    return {top, bottom};
}

} // namespace

// Where a line's text lies, in page pixels: its left and right ends, its selection's top and
// its baseline.
struct LineFrame {
    double left = 0, right = 0, top = 0, bottom = 0;
    double height() const { return bottom - top; }
    double centre() const { return (top + bottom) / 2; }
};

namespace {

// Boxes are cut to the page: a glyph the engine placed outside it keeps its text, at the
// nearest place on the page.
double cut(double v, double max) {
    return std::clamp(v, 0.0, max);
}

template <class Line> LineFrame frameOf(const Line &line, QSizeF pagePx) {
    LineFrame f;
    f.left = std::numeric_limits<double>::max();
    f.top = std::numeric_limits<double>::max();
    f.bottom = std::numeric_limits<double>::lowest();
    double lowest = std::numeric_limits<double>::max(), tallest = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QRect box = line.box(i);
        f.left = std::min(f.left, cut(box.left(), pagePx.width()));
        f.right = std::max(f.right, cut(box.left() + double(box.width()), pagePx.width()));
        const double top = cut(box.top(), pagePx.height());
        const double bottom = cut(box.top() + double(box.height()), pagePx.height());
        f.top = std::min(f.top, top);
        f.bottom = std::max(f.bottom, bottom);
        lowest = std::min(lowest, bottom - top);
        tallest = std::max(tallest, bottom - top);
    }
    // No box is then taller than the rest by lineExtent's measure: nearly every line.
    if (tallest <= 1.3 * lowest)
        return f;
    Extents tops, bottoms;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QRect box = line.box(i);
        tops.append(cut(box.top(), pagePx.height()));
        bottoms.append(cut(box.top() + double(box.height()), pagePx.height()));
    }
    std::tie(f.top, f.bottom) = lineExtent(tops, bottoms);
    return f;
}

// Poppler (pdftotext, Evince, Okular) puts lines into one block only where their font sizes
// are within 5 % and their baselines at most 1.5 sizes apart. Chinese is set at 1.5 to 1.8
// lines to the em, so lines sized to their ink are each a block of their own. On a page of
// one column that reads right; beside another column, poppler takes the grid of one-line
// blocks for a table and reads across the columns. So the lines of a column that has another
// beside it share one size, large enough for their spacing, centred on each line's ink.
constexpr double SharedSpacing = 1.48; // under poppler's 1.5, for the rounding of positions
constexpr double ParagraphGap = 2.2;   // line heights between centres that end a column's run

void shareColumnSizes(std::vector<LineFrame> &frames) {
    const size_t n = frames.size();
    // Which lines have another beside them (overlapping rows, apart in columns): swept in
    // order of their tops, so that each line meets only the lines level with it.
    std::vector<size_t> byTop(n);
    std::iota(byTop.begin(), byTop.end(), size_t(0));
    std::sort(byTop.begin(), byTop.end(),
              [&](size_t a, size_t b) { return frames[a].top < frames[b].top; });
    std::vector<char> besides(n, 0);
    for (size_t a = 0; a < n; ++a) {
        const LineFrame &l = frames[byTop[a]];
        for (size_t b = a + 1; b < n && frames[byTop[b]].top < l.bottom; ++b) {
            const LineFrame &m = frames[byTop[b]];
            if (l.top < m.bottom && (m.right <= l.left || l.right <= m.left))
                besides[byTop[a]] = besides[byTop[b]] = 1;
        }
    }
    for (size_t from = 0; from < n;) {
        // A run: lines in order, each below the one before and over the same columns.
        size_t to = from + 1;
        bool beside = besides[from] != 0;
        while (to < n) {
            const LineFrame &a = frames[to - 1], &b = frames[to];
            const double gap = b.centre() - a.centre();
            if (gap <= 0 || gap > ParagraphGap * std::min(a.height(), b.height()) ||
                b.left >= a.right || a.left >= b.right)
                break;
            beside = beside || besides[to] != 0;
            ++to;
        }
        if (beside && to - from > 1) {
            std::vector<double> heights;
            double widest = 0;
            for (size_t i = from; i < to; ++i) {
                heights.push_back(frames[i].height());
                if (i > from)
                    widest = std::max(widest, frames[i].centre() - frames[i - 1].centre());
            }
            std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
            const double size = std::max(heights[heights.size() / 2], widest / SharedSpacing);
            // A line the engine gave boxes far taller than the rest keeps its own.
            for (size_t i = from; i < to; ++i)
                if (frames[i].height() <= size * 1.05) {
                    const double c = frames[i].centre();
                    frames[i].top = c - size / 2;
                    frames[i].bottom = c + size / 2;
                }
        }
        from = to;
    }
}

// Writes a page's text operators straight into the content's bytes. A page is thousands of
// small appends, and QByteArray's checks and growth on each were most of their cost; the
// caller reserves the most a line can take, so nothing here checks for room.
class Sink {
public:
    Sink(QByteArray &out, qsizetype most) : m_out(out) {
        const qsizetype at = out.size();
        out.resize(at + most);
        m_p = out.data() + at;
    }
    ~Sink() { m_out.resize(m_p - m_out.constData()); }
    Sink(const Sink &) = delete;
    Sink &operator=(const Sink &) = delete;

    void put(char c) { *m_p++ = c; }
    template <std::size_t N> void put(const char (&text)[N]) {
        std::memcpy(m_p, text, N - 1);
        m_p += N - 1;
    }
    void digits(quint64 v) {
        char buffer[20];
        int n = 0;
        do {
            buffer[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        while (n)
            *m_p++ = buffer[--n];
    }
    // A number as PDF writes it: `decimals` at most, trailing zeros dropped, no exponent.
    // Values are held to what a page can measure, so the digits stay within their room.
    void fixed(double v, int decimals) {
        const double scale = decimals == 4 ? 1e4 : 1e2;
        const qint64 units = std::llround(std::clamp(v, -1e12, 1e12) * scale);
        if (units < 0)
            put('-');
        const quint64 whole = quint64(units < 0 ? -units : units);
        const quint64 one = quint64(scale);
        digits(whole / one);
        quint64 rest = whole % one;
        if (!rest)
            return;
        put('.');
        for (quint64 unit = one / 10; rest; unit /= 10) {
            put(char('0' + rest / unit));
            rest %= unit;
        }
    }
    // A two-byte code in a literal string: half the size of hex. The bytes a literal string
    // reads differently (its delimiters, the escape, and line ends, which readers normalise)
    // are escaped.
    void code(quint16 code) {
        // Nearly every byte is plain: both go out at once, and only a code with a byte to
        // escape goes through the switch.
        const char high = char(code >> 8), low = char(code & 0xFF);
        if (!needsEscape(high) && !needsEscape(low)) {
            m_p[0] = high;
            m_p[1] = low;
            m_p += 2;
            return;
        }
        for (const char c : {high, low}) {
            switch (c) {
            case '(':
            case ')':
            case '\\':
                put('\\');
                put(c);
                break;
            case '\r':
                put("\\r");
                break;
            case '\n':
                put("\\n");
                break;
            default:
                put(c);
            }
        }
    }

    // The most a line's header and end take, and each piece at most: its code escaped, and
    // the run it may start with its width.
    static constexpr qsizetype LineBytes = 160, PieceBytes = 40;

private:
    static bool needsEscape(char c) {
        return c == '(' || c == ')' || c == '\\' || c == '\r' || c == '\n';
    }

    QByteArray &m_out;
    char *m_p = nullptr;
};

// How far an even pitch may set a glyph from its box, in ems. Characters are set at an even
// pitch while the ink's box of each wanders across its cell: a run of them is written with one
// width, glyph cells tiling the run, so the text is a few bytes a character and the boxes a
// reader selects are the cells. A glyph further from the pitch (a Latin word, a wide blank)
// starts a run of its own, and so does a space.
constexpr double ReachEm = 0.3;
// How many glyphs past the longest even run found are tried before it is taken.
constexpr qsizetype RunLookahead = 8;

// 1/n for the run lengths evenRun meets most, which it would otherwise divide by for every
// piece it tries.
constexpr auto Reciprocals = [] {
    std::array<double, 64> r{};
    for (std::size_t n = 1; n < r.size(); ++n)
        r[n] = 1.0 / double(n);
    return r;
}();

// The last piece of the longest run from `first` (set from `at`) whose glyphs, at the even
// pitch that makes the run end where the next piece starts, all start within `reach` of
// their own starts. The pitch each glyph allows is an interval; the run's pitch must lie in
// all of them.
qsizetype evenRun(const Pieces &pieces, qsizetype first, double at, double end, double reach) {
    double lo = 0, hi = std::numeric_limits<double>::max();
    qsizetype best = first;
    // A space stands alone: the words beside it begin and end at their boxes, which is
    // where readers put a word's edges.
    if (pieces[first].space)
        return first;
    for (qsizetype j = first + 1; j < pieces.size() && j - best <= RunLookahead; ++j) {
        if (pieces[j].space)
            break;
        const qsizetype n = j - first;
        const double steps = double(n), perStep = n < qsizetype(Reciprocals.size())
                                                      ? Reciprocals[size_t(n)]
                                                      : 1 / steps;
        lo = std::max(lo, (pieces[j].start - reach - at) * perStep);
        hi = std::min(hi, (pieces[j].start + reach - at) * perStep);
        if (lo > hi)
            break;
        // The run's own pitch, (runEnd - at) / (steps + 1), within [lo, hi].
        const double span = (j + 1 < pieces.size() ? pieces[j + 1].start : end) - at;
        if (span >= lo * (steps + 1) && span <= hi * (steps + 1))
            best = j;
    }
    return best;
}

QSizeF shownSize(const Image &image) {
    return image.orientation >= 5 ? QSizeF(image.height, image.width)
                                  : QSizeF(image.width, image.height);
}

} // namespace

QByteArray detail::deflate(const QByteArray &raw, int level) {
    // qCompress puts the length in front of a plain zlib stream, which is what Flate reads.
    return qCompress(raw, level).mid(4);
}

QByteArray detail::deflate(libdeflate_compressor &compressor, const QByteArray &raw) {
    QByteArray out(qsizetype(libdeflate_zlib_compress_bound(&compressor, size_t(raw.size()))),
                   Qt::Uninitialized);
    const size_t n = libdeflate_zlib_compress(&compressor, raw.constData(), size_t(raw.size()),
                                              out.data(), size_t(out.size()));
    if (n == 0) // cannot happen within the bound; a stream that would be wrong is no stream
        throw std::bad_alloc();
    out.truncate(qsizetype(n));
    return out;
}

bool PageText::isEmpty() const {
    return std::all_of(lines.begin(), lines.end(), [](const auto &l) { return l.isEmpty(); });
}

bool IsCjk(char32_t c) {
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

quint16 Writer::codeOf(const TextGlyph &glyph) {
    // Nearly every glyph is one character of the BMP: looked up by its value, neither hashed
    // nor read from its string, which lies elsewhere in memory.
    if (glyph.character && glyph.character < 0x10000 && !m_bmpCodes.empty() &&
        m_bmpCodes[glyph.character])
        return m_bmpCodes[glyph.character];
    if (glyph.text.isEmpty() && glyph.character && glyph.character < 0x10000)
        return codeOf(QString(QChar(char16_t(glyph.character))));
    return codeOf(glyph.text);
}

quint16 Writer::codeOf(QStringView text) {
    if (text.size() == 1 && !text.at(0).isSurrogate() && !m_bmpCodes.empty() &&
        m_bmpCodes[text.at(0).unicode()])
        return m_bmpCodes[text.at(0).unicode()];
    return codeOf(text.toString());
}

quint16 Writer::codeOf(const QString &text) {
    const bool bmp = text.size() == 1 && !text.at(0).isSurrogate();
    if (bmp && !m_bmpCodes.empty() && m_bmpCodes[text.at(0).unicode()])
        return m_bmpCodes[text.at(0).unicode()];
    const auto it = m_codes.constFind(text);
    if (it != m_codes.constEnd())
        return *it;
    // Two-byte codes: a document of more distinct characters than that has no text to offer.
    if (m_codeTexts.size() >= 0xFFFE)
        throw Error(QStringLiteral("无法写入PDF文件 %1：识别文字包含的不同字符过多").arg(m_target));
    m_codeTexts.append(text);
    const quint16 code = quint16(m_codeTexts.size());
    m_codes.insert(text, code);
    if (bmp) {
        if (m_bmpCodes.empty())
            m_bmpCodes.assign(0x10000, 0);
        m_bmpCodes[text.at(0).unicode()] = code;
    }
    return code;
}

template <class Line>
void Writer::lineContent(QByteArray &out, const Line &line, const LineFrame &frame, double sx,
                         double sy, double heightPt, QSizeF pagePx) {
    Pieces pieces;
    double end = 0;
    const quint16 space = codeOf(QStringLiteral(" "));
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QRect box = line.box(i);
        const double left = cut(box.left(), pagePx.width());
        const double right = cut(box.left() + double(box.width()), pagePx.width());
        if (i > 0 && line.blankBefore(i) && !IsCjk(line.codePoint(i - 1, true)) &&
            !IsCjk(line.codePoint(i, false)))
            pieces.append({space, end, true});
        pieces.append({codeOf(line.key(i)), left, false});
        end = std::max(end, right);
    }
    const double bottom = frame.bottom;
    const double size = std::max(frame.height() * sy, 0.01);
    const double maxSpacePx = MaxSpaceEm * size / sx;
    for (qsizetype i = 1; i + 1 < pieces.size(); ++i)
        if (pieces[i].space)
            pieces[i].start = std::max(pieces[i].start, pieces[i + 1].start - maxSpacePx);
    // Starts strictly increase; each piece reaches the next one's start, the last one the
    // line's right edge.
    for (qsizetype i = 1; i < pieces.size(); ++i)
        pieces[i].start = std::max(pieces[i].start, pieces[i - 1].start + MinStepPx);
    end = std::max(end, pieces.last().start + MinStepPx);
    // Readers drop text that starts past the page's edge: a line pushed out of it (boxes out
    // of order, or all past the edge) is squeezed back in.
    if (end > pagePx.width()) {
        const double from = pieces.first().start;
        const double to = std::min(from, pagePx.width() * (1 - 0.5 / double(pieces.size() + 1)));
        const double k = (pagePx.width() - to) / (end - from);
        for (Piece &p : pieces)
            p.start = to + (p.start - from) * k;
        end = pagePx.width();
    }
    Sink sink(out, Sink::LineBytes + Sink::PieceBytes * pieces.size());
    sink.put("BT /F0 ");
    sink.fixed(size, 4);
    sink.put(" Tf 1 0 0 1 ");
    sink.fixed(pieces.first().start * sx, 4);
    sink.put(' ');
    sink.fixed(heightPt - bottom * sy, 4);
    sink.put(" Tm");
    const double emPx = size * GlyphAdvance / 1000.0 / sx;
    const double tzPerPx = 100 / emPx; // Tz is a percentage of the em
    double at = pieces.first().start;
    for (qsizetype i = 0; i < pieces.size();) {
        const qsizetype last = evenRun(pieces, i, at, end, ReachEm * emPx);
        const double runEnd = last + 1 < pieces.size() ? pieces[last + 1].start : end;
        if (i)
            sink.put(")Tj ");
        else
            sink.put(' ');
        const qsizetype glyphs = last - i + 1;
        const double perGlyph = glyphs < qsizetype(Reciprocals.size()) ? Reciprocals[size_t(glyphs)]
                                                                       : 1 / double(glyphs);
        sink.fixed(std::max(0.01, (runEnd - at) * perGlyph * tzPerPx), 2);
        sink.put(" Tz(");
        for (qsizetype k = i; k <= last; ++k)
            sink.code(pieces[k].code);
        at = runEnd;
        i = last + 1;
    }
    sink.put(")Tj ET\n");
}

namespace {

// Room for a page's text, from its glyph and line counts, so that no line grows the buffer.
void reserveText(QByteArray &out, qsizetype glyphs, qsizetype lines) {
    out.reserve(out.size() + 8 + glyphs * 2 * Sink::PieceBytes + lines * Sink::LineBytes);
    out += "3 Tr\n";
}

} // namespace

void Writer::textContent(QByteArray &out, const PageText &text, double widthPt, double heightPt,
                         const Image &image) {
    // The text is measured on the page as it is seen.
    const QSizeF pagePx = text.size.isEmpty() ? shownSize(image) : QSizeF(text.size);
    const double sx = widthPt / pagePx.width(), sy = heightPt / pagePx.height();
    qsizetype glyphs = 0;
    for (const QList<TextGlyph> &line : text.lines)
        glyphs += line.size();
    reserveText(out, glyphs, text.lines.size());
    std::vector<LineFrame> frames;
    frames.reserve(size_t(text.lines.size()));
    for (const QList<TextGlyph> &line : text.lines)
        if (!line.isEmpty())
            frames.push_back(frameOf(GlyphLine{line}, pagePx));
    shareColumnSizes(frames);
    size_t f = 0;
    for (const QList<TextGlyph> &line : text.lines)
        if (!line.isEmpty())
            lineContent(out, GlyphLine{line}, frames[f++], sx, sy, heightPt, pagePx);
}

void Writer::textContent(QByteArray &out, const ocr::TextLayer &layer, double widthPt,
                         double heightPt, const Image &image) {
    const QSizeF pagePx = layer.pageSize().isEmpty() ? shownSize(image) : QSizeF(layer.pageSize());
    const double sx = widthPt / pagePx.width(), sy = heightPt / pagePx.height();
    reserveText(out, layer.count(), layer.lineCount());
    const auto lineAt = [&](int l) {
        const int first = layer.firstGlyphOfLine(l);
        return LayerLine{layer, first, layer.lastGlyphOfLine(l) - first + 1};
    };
    std::vector<LineFrame> frames;
    frames.reserve(size_t(layer.lineCount()));
    for (int l = 0; l < layer.lineCount(); ++l)
        frames.push_back(frameOf(lineAt(l), pagePx));
    shareColumnSizes(frames);
    for (int l = 0; l < layer.lineCount(); ++l)
        lineContent(out, lineAt(l), frames[size_t(l)], sx, sy, heightPt, pagePx);
}

void Writer::writeFont() {
    const int cidFont = beginObject();
    const int descriptor = cidFont + 1, fontFile = cidFont + 2, toUnicode = cidFont + 3,
              cidMap = cidFont + 4;
    auto ref = [](int id) { return QByteArray::number(id) + " 0 R"; };
    write("<< /Type /Font /Subtype /CIDFontType2 /BaseFont /GlyphLessFont /CIDSystemInfo "
          "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
          ref(descriptor) + " /DW " + QByteArray::number(GlyphAdvance) + " /CIDToGIDMap " +
          ref(cidMap) + " >>\nendobj\n");
    beginObject();
    write("<< /Type /FontDescriptor /FontName /GlyphLessFont /Flags 5 /FontBBox [0 0 " +
          QByteArray::number(GlyphAdvance) + " " + QByteArray::number(GlyphAdvance) +
          "] /ItalicAngle 0 /Ascent 1000 /Descent -1 /CapHeight 1000 /StemV 80 /FontFile2 " +
          ref(fontFile) + " >>\nendobj\n");
    beginObject();
    const QByteArray font = glyphlessFont();
    write(stream("/Length1 " + QByteArray::number(font.size()), font));
    beginObject();
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    for (qsizetype from = 0; from < m_codeTexts.size(); from += 100) {
        const qsizetype n = std::min<qsizetype>(100, m_codeTexts.size() - from);
        cmap += QByteArray::number(n) + " beginbfchar\n";
        for (qsizetype i = from; i < from + n; ++i) {
            cmap += '<';
            appendHex16(cmap, quint16(i + 1));
            cmap += "> <";
            appendUtf16Hex(cmap, m_codeTexts.at(i));
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    write(stream("/Filter /FlateDecode", deflate(*m_textCompressor, cmap)));
    beginObject();
    // Every code draws the one blank glyph.
    QByteArray map;
    for (qsizetype i = 0; i <= m_codeTexts.size(); ++i)
        put16(map, i == 0 ? 0 : 1);
    write(stream("/Filter /FlateDecode", deflate(*m_textCompressor, map)));
    beginReserved(m_fontId);
    write("<< /Type /Font /Subtype /Type0 /BaseFont /GlyphLessFont /Encoding /Identity-H "
          "/DescendantFonts [" +
          ref(cidFont) + "] /ToUnicode " + ref(toUnicode) + " >>\nendobj\n");
}

} // namespace qen::pdf
