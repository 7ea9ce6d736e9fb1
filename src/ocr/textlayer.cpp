#include "ocr/textlayer.h"

#include "ocr/ocrtext.h"

#include <QCborMap>
#include <QtEndian>
#include <algorithm>

namespace qen::ocr {

namespace {

constexpr int MaxDpi = 10000;
// A glyph's text is a character or a ligature, never a run of them.
constexpr int MaxGlyphText = 255;

quint16 clampSide(int v) {
    return quint16(std::clamp(v, 0, TextLayer::MaxSide));
}

} // namespace

char32_t firstCodePoint(QStringView s) {
    if (s.isEmpty())
        return 0;
    return s.size() > 1 && s[0].isHighSurrogate() && s[1].isLowSurrogate()
               ? QChar::surrogateToUcs4(s[0], s[1])
               : s[0].unicode();
}

char32_t lastCodePoint(QStringView s) {
    if (s.isEmpty())
        return 0;
    const qsizetype n = s.size();
    return n > 1 && s[n - 1].isLowSurrogate() && s[n - 2].isHighSurrogate()
               ? QChar::surrogateToUcs4(s[n - 2], s[n - 1])
               : s[n - 1].unicode();
}

TextLayer::TextLayer(QSize pageSize, int dpi)
    : m_size(std::clamp(pageSize.width(), 0, MaxSide), std::clamp(pageSize.height(), 0, MaxSide)),
      m_dpi(std::clamp(dpi, 0, MaxDpi)) {}

void TextLayer::append(const Glyph &glyph) {
    appendPiece(glyph.box, glyph.text, glyph.confidence,
                (glyph.blankBefore ? BlankBefore : 0) | (glyph.lineStart ? LineStart : 0) |
                    (glyph.blockStart ? BlockStart : 0));
}

void TextLayer::appendPiece(const QRect &glyphBox, QStringView glyphText, int confidence,
                            quint8 flags) {
    if (glyphText.isEmpty())
        return;
    const QStringView text = glyphText.left(MaxGlyphText);
    const QRect box = glyphBox.intersected(QRect(QPoint(0, 0), m_size));
    Record r;
    r.x = clampSide(box.x());
    r.y = clampSide(box.y());
    r.w = clampSide(box.width());
    r.h = clampSide(box.height());
    r.confidence = quint8(std::clamp(confidence, 0, 100));
    const bool first = m_glyphs.empty();
    const bool block = (flags & BlockStart) || first;
    const bool line = (flags & LineStart) || block;
    r.flags = ((flags & BlankBefore) && !line ? BlankBefore : 0) | (line ? LineStart : 0) |
              (block ? BlockStart : 0);
    m_text += text;
    r.textEnd = quint32(m_text.size());
    if (line)
        m_lineStarts.push_back(int(m_glyphs.size()));
    m_glyphs.push_back(r);
}

Glyph TextLayer::glyph(int index) const {
    const Record &r = m_glyphs[size_t(index)];
    Glyph g;
    g.box = QRect(r.x, r.y, r.w, r.h);
    g.text = glyphText(index);
    g.confidence = r.confidence;
    g.blankBefore = r.flags & BlankBefore;
    g.lineStart = r.flags & LineStart;
    g.blockStart = r.flags & BlockStart;
    return g;
}

QString TextLayer::glyphText(int index) const {
    return glyphTextView(index).toString();
}

int TextLayer::lineOf(int glyph) const {
    const auto it = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), glyph);
    return int(it - m_lineStarts.begin()) - 1;
}

int TextLayer::lastGlyphOfLine(int line) const {
    return line + 1 < lineCount() ? m_lineStarts[size_t(line) + 1] - 1 : count() - 1;
}

bool TextLayer::blankBetween(int previous, int next) const {
    if (!(m_glyphs[size_t(next)].flags & BlankBefore))
        return false;
    const QStringView text(m_text);
    const int ps = textStart(previous);
    const int ns = textStart(next);
    const char32_t before =
        lastCodePoint(text.mid(ps, int(m_glyphs[size_t(previous)].textEnd) - ps));
    const char32_t after = firstCodePoint(text.mid(ns, int(m_glyphs[size_t(next)].textEnd) - ns));
    return !(isChineseText(before) && isChineseText(after));
}

QString TextLayer::lineText(int line) const {
    return text(firstGlyphOfLine(line), lastGlyphOfLine(line));
}

QString TextLayer::text(int first, int last) const {
    QString out;
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    for (int i = first; i <= last; ++i) {
        if (i > first && (m_glyphs[size_t(i)].flags & LineStart))
            out += QStringLiteral("\r\n");
        else if (i > first && blankBetween(i - 1, i))
            out += QLatin1Char(' ');
        out += glyphText(i);
    }
    return out;
}

QString TextLayer::plainText(QList<int> *glyphOfChar) const {
    QString out;
    out.reserve(m_text.size() + m_text.size() / 8 + 2 * lineCount());
    if (glyphOfChar) {
        glyphOfChar->clear();
        glyphOfChar->reserve(out.capacity());
    }
    auto put = [&](const QString &s, int glyph) {
        out += s;
        if (glyphOfChar)
            glyphOfChar->insert(glyphOfChar->size(), s.size(), glyph);
    };
    static const QString blank = QStringLiteral(" ");
    static const QString lineEnd = QStringLiteral("\r\n");
    for (int i = 0; i < count(); ++i) {
        const bool line = m_glyphs[size_t(i)].flags & LineStart;
        if (line && i > 0)
            put(lineEnd, -1);
        else if (i > 0 && blankBetween(i - 1, i))
            put(blank, -1);
        put(glyphText(i), i);
    }
    if (!isEmpty())
        put(lineEnd, -1);
    return out;
}

int TextLayer::glyphAt(QPoint point) const {
    for (int i = 0; i < count(); ++i) {
        if (box(i).contains(point))
            return i;
    }
    return -1;
}

QList<int> TextLayer::glyphsIn(const QRect &rect) const {
    QList<int> found;
    for (int i = 0; i < count(); ++i) {
        if (box(i).intersects(rect))
            found << i;
    }
    return found;
}

QList<QRect> TextLayer::boxesFor(int first, int last) const {
    QList<QRect> boxes;
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    int line = -1;
    for (int i = first; i <= last; ++i) {
        const int l = lineOf(i);
        if (l != line || boxes.isEmpty()) {
            boxes << box(i);
            line = l;
        } else {
            boxes.last() |= box(i);
        }
    }
    return boxes;
}

QList<QRect> TextLayer::boxesForText(int from, int length) const {
    QList<int> glyphOfChar;
    plainText(&glyphOfChar);
    const int end = std::min<int>(from + length, int(glyphOfChar.size()));
    int first = -1, last = -1;
    for (int i = std::max(from, 0); i < end; ++i) {
        if (glyphOfChar[i] < 0)
            continue;
        if (first < 0)
            first = glyphOfChar[i];
        last = glyphOfChar[i];
    }
    return first < 0 ? QList<QRect>() : boxesFor(first, last);
}

QCborValue TextLayer::toCbor() const {
    QByteArray lengths, boxes, confidences, flags;
    lengths.reserve(count());
    boxes.resize(qsizetype(count()) * 8);
    confidences.reserve(count());
    flags.reserve(count());
    for (int i = 0; i < count(); ++i) {
        const Record &r = m_glyphs[size_t(i)];
        lengths.append(char(int(r.textEnd) - textStart(i)));
        uchar *b = reinterpret_cast<uchar *>(boxes.data()) + qsizetype(i) * 8;
        qToLittleEndian(r.x, b);
        qToLittleEndian(r.y, b + 2);
        qToLittleEndian(r.w, b + 4);
        qToLittleEndian(r.h, b + 6);
        confidences.append(char(r.confidence));
        flags.append(char(r.flags));
    }
    QCborMap map;
    map[QLatin1String("v")] = FormatVersion;
    map[QLatin1String("w")] = m_size.width();
    map[QLatin1String("h")] = m_size.height();
    map[QLatin1String("dpi")] = m_dpi;
    map[QLatin1String("t")] = m_text;
    map[QLatin1String("n")] = lengths;
    map[QLatin1String("b")] = boxes;
    map[QLatin1String("c")] = confidences;
    map[QLatin1String("f")] = flags;
    return map;
}

std::optional<TextLayer> TextLayer::fromCbor(const QCborValue &value) {
    if (!value.isMap())
        return std::nullopt;
    const QCborMap map = value.toMap();
    const auto integer = [&](const char *key, qint64 low, qint64 high) -> std::optional<int> {
        const QCborValue v = map.value(QLatin1String(key));
        if (!v.isInteger() || v.toInteger() < low || v.toInteger() > high)
            return std::nullopt;
        return int(v.toInteger());
    };
    const auto version = integer("v", FormatVersion, FormatVersion);
    const auto w = integer("w", 0, MaxSide);
    const auto h = integer("h", 0, MaxSide);
    const auto dpi = integer("dpi", 0, MaxDpi);
    const QCborValue t = map.value(QLatin1String("t"));
    const QCborValue n = map.value(QLatin1String("n"));
    const QCborValue b = map.value(QLatin1String("b"));
    const QCborValue c = map.value(QLatin1String("c"));
    const QCborValue f = map.value(QLatin1String("f"));
    if (!version || !w || !h || !dpi || !t.isString() || !n.isByteArray() || !b.isByteArray() ||
        !c.isByteArray() || !f.isByteArray())
        return std::nullopt;
    const QString text = t.toString();
    const QByteArray lengths = n.toByteArray();
    const QByteArray boxes = b.toByteArray();
    const QByteArray confidences = c.toByteArray();
    const QByteArray flags = f.toByteArray();
    const qsizetype glyphs = lengths.size();
    if (boxes.size() != glyphs * 8 || confidences.size() != glyphs || flags.size() != glyphs)
        return std::nullopt;

    TextLayer layer(QSize(*w, *h), *dpi);
    layer.m_glyphs.resize(size_t(glyphs));
    qsizetype at = 0;
    // The checks and rules of append, glyph by glyph, with the text taken whole: a copy of
    // every glyph's text on its own cost more than reading the entry.
    for (qsizetype i = 0; i < glyphs; ++i) {
        const int length = uchar(lengths[i]);
        if (length == 0 || at + length > text.size())
            return std::nullopt;
        const uchar *p = reinterpret_cast<const uchar *>(boxes.constData()) + i * 8;
        Record &r = layer.m_glyphs[size_t(i)];
        r.x = qFromLittleEndian<quint16>(p);
        r.y = qFromLittleEndian<quint16>(p + 2);
        r.w = qFromLittleEndian<quint16>(p + 4);
        r.h = qFromLittleEndian<quint16>(p + 6);
        const uchar bits = uchar(flags[i]);
        r.confidence = uchar(confidences[i]);
        if (r.x + r.w > *w || r.y + r.h > *h || r.confidence > 100 ||
            (bits & ~(BlankBefore | LineStart | BlockStart)))
            return std::nullopt;
        // A box inside the page is its own intersection with it; an empty one is cut as
        // append cuts it.
        if (r.w == 0 || r.h == 0) {
            const QRect cut = QRect(r.x, r.y, r.w, r.h).intersected(QRect(0, 0, *w, *h));
            r.x = clampSide(cut.x());
            r.y = clampSide(cut.y());
            r.w = clampSide(cut.width());
            r.h = clampSide(cut.height());
        }
        const bool block = (bits & BlockStart) || i == 0;
        const bool line = (bits & LineStart) || block;
        r.flags = ((bits & BlankBefore) && !line ? BlankBefore : 0) | (line ? LineStart : 0) |
                  (block ? BlockStart : 0);
        at += length;
        r.textEnd = quint32(at);
        if (line)
            layer.m_lineStarts.push_back(int(i));
    }
    if (at != text.size())
        return std::nullopt;
    layer.m_text = text;
    return layer;
}

QByteArray TextLayer::toBytes() const {
    return toCbor().toCbor();
}

std::optional<TextLayer> TextLayer::fromBytes(const QByteArray &bytes) {
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(bytes, &error);
    if (error.error != QCborError::NoError)
        return std::nullopt;
    return fromCbor(value);
}

qsizetype TextLayer::memoryBytes() const {
    return sizeof(TextLayer) + m_text.capacity() * 2 +
           qsizetype(m_glyphs.capacity() * sizeof(Record)) +
           qsizetype(m_lineStarts.capacity() * sizeof(int));
}

bool operator==(const TextLayer &a, const TextLayer &b) {
    if (a.m_size != b.m_size || a.m_dpi != b.m_dpi || a.m_text != b.m_text ||
        a.m_glyphs.size() != b.m_glyphs.size())
        return false;
    for (size_t i = 0; i < a.m_glyphs.size(); ++i) {
        const TextLayer::Record &x = a.m_glyphs[i];
        const TextLayer::Record &y = b.m_glyphs[i];
        if (x.x != y.x || x.y != y.y || x.w != y.w || x.h != y.h || x.textEnd != y.textEnd ||
            x.confidence != y.confidence || x.flags != y.flags)
            return false;
    }
    return true;
}

} // namespace qen::ocr
