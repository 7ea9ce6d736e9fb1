#pragma once

#include <QByteArray>
#include <QCborValue>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

// The recognised text of one page: its glyphs in reading order, each with its box in page
// pixels. Find, text selection and searchable PDFs all stand on this, so it is kept small
// (a dense page is a few tens of kilobytes) and is built without widgets.
namespace qen::ocr {

struct Glyph {
    QRect box;          // page pixels
    QString text;       // one character as a rule; never empty in a layer
    int confidence = 0; // 0..100, as the engine rates it
    bool blankBefore = false;
    bool lineStart = false;  // the first glyph of a line
    bool blockStart = false; // the first glyph of a block (a column region, a paragraph)
};

// A glyph text's first and last characters, surrogate pairs taken whole; 0 for no text.
char32_t firstCodePoint(QStringView text);
char32_t lastCodePoint(QStringView text);

class TextLayer {
public:
    // Boxes and sizes are kept in 16 bits: larger pages are not recognised at all.
    static constexpr int MaxSide = 65535;
    static constexpr int FormatVersion = 1;

    TextLayer() = default;
    TextLayer(QSize pageSize, int dpi);

    QSize pageSize() const { return m_size; }
    int dpi() const { return m_dpi; }
    int count() const { return int(m_glyphs.size()); }
    bool isEmpty() const { return m_glyphs.empty(); }

    // Empty text is skipped; a box is cut to the page. The first glyph always starts a line
    // and a block, and a block start is a line start.
    void append(const Glyph &glyph);
    Glyph glyph(int index) const;
    // Read for every glyph of every page a PDF's text is written for: inline, so that they
    // cost a load instead of a call.
    QRect box(int index) const {
        const Record &r = m_glyphs[size_t(index)];
        return QRect(r.x, r.y, r.w, r.h);
    }
    QString glyphText(int index) const;
    // The same without a string of its own: valid while the layer is.
    QStringView glyphTextView(int index) const {
        const int start = textStart(index);
        return QStringView(m_text).mid(start, int(m_glyphs[size_t(index)].textEnd) - start);
    }
    bool blankBefore(int index) const { return m_glyphs[size_t(index)].flags & BlankBefore; }

    int lineCount() const { return int(m_lineStarts.size()); }
    // 0-based line of a glyph; lines run through the page in reading order.
    int lineOf(int glyph) const;
    int firstGlyphOfLine(int line) const { return m_lineStarts[size_t(line)]; }
    int lastGlyphOfLine(int line) const;
    // One line of plainText without its line end.
    QString lineText(int line) const;
    // Glyphs first..last as plainText writes them, CR LF between lines and none after the
    // last: what a selection copies.
    QString text(int first, int last) const;

    // Lines end in CR LF; a blank stands where the engine saw one, except between two pieces
    // of Chinese text. When glyphOfChar is given, it receives for each UTF-16 unit of the
    // text the glyph it belongs to, or -1 for blanks and line ends.
    QString plainText(QList<int> *glyphOfChar = nullptr) const;

    // The glyph whose box holds the point, -1 when none does.
    int glyphAt(QPoint point) const;
    // Glyphs whose boxes meet the rectangle, in reading order.
    QList<int> glyphsIn(const QRect &rect) const;
    // Boxes to mark glyphs first..last: one per line, the union of that line's glyphs.
    QList<QRect> boxesFor(int first, int last) const;
    // The same for a range of plainText; blanks and line ends inside it mark nothing.
    QList<QRect> boxesForText(int from, int length) const;

    // The stored form: a CBOR map {v, w, h, dpi, t, n, b, c, f} holding the glyph texts
    // concatenated (t), their lengths (n, one byte each), their boxes (b, four 16-bit
    // little-endian numbers each), confidences (c) and flags (f, bit 0 blank before, bit 1
    // line start, bit 2 block start).
    QCborValue toCbor() const;
    // Anything but a well-formed layer of this version gives nothing: stored layers come from
    // disk and from another library, and are never trusted.
    static std::optional<TextLayer> fromCbor(const QCborValue &value);
    QByteArray toBytes() const;
    static std::optional<TextLayer> fromBytes(const QByteArray &bytes);

    // What the layer holds on the heap, for the memory budget of many open pages.
    qsizetype memoryBytes() const;

    friend bool operator==(const TextLayer &a, const TextLayer &b);

private:
    struct Record {
        quint16 x = 0, y = 0, w = 0, h = 0;
        quint32 textEnd = 0; // end of the glyph's text in m_text
        quint8 confidence = 0;
        quint8 flags = 0;
    };
    enum Flag : quint8 { BlankBefore = 1, LineStart = 2, BlockStart = 4 };
    // append's work, on a piece of text that need not be a string of its own.
    void appendPiece(const QRect &box, QStringView text, int confidence, quint8 flags);
    int textStart(int index) const { return index == 0 ? 0 : int(m_glyphs[index - 1].textEnd); }
    bool blankBetween(int previous, int next) const;

    QSize m_size{0, 0};
    int m_dpi = 0;
    QString m_text;
    std::vector<Record> m_glyphs;
    std::vector<int> m_lineStarts;
};

} // namespace qen::ocr
