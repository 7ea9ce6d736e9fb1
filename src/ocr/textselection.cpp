#include "ocr/textselection.h"

#include "ocr/ocrtext.h"

#include <algorithm>
#include <climits>

namespace qen::ocr {

TextSelector::TextSelector(const TextLayer &layer) : m_layer(&layer) {
    m_lines.reserve(size_t(layer.lineCount()));
    for (int l = 0; l < layer.lineCount(); ++l) {
        const QList<QRect> boxes =
            layer.boxesFor(layer.firstGlyphOfLine(l), layer.lastGlyphOfLine(l));
        m_lines.push_back(boxes.isEmpty() ? QRect() : boxes.first());
    }
}

namespace {

// How far a point is from a box, zero inside it. A line at the point's height always wins
// over one above or below, as in a text editor: the pointer right of a short line still
// selects to that line's end, and in two columns the nearer column's line is taken.
qint64 distance(const QRect &box, QPoint p) {
    const qint64 dx = p.x() < box.left() ? box.left() - p.x() : std::max(0, p.x() - box.right());
    const qint64 dy = p.y() < box.top() ? box.top() - p.y() : std::max(0, p.y() - box.bottom());
    return (dy << 32) + dx;
}

enum class CharKind { Word, Chinese, Mark, Blank };

CharKind kindOf(const QString &text) {
    const char32_t c = text.isEmpty() ? U' ' : text.toUcs4().value(0);
    if (QChar::isSpace(c))
        return CharKind::Blank;
    if (QChar::isLetterOrNumber(c) && !isChineseText(c))
        return CharKind::Word;
    if (QChar::isLetterOrNumber(c))
        return CharKind::Chinese;
    return CharKind::Mark;
}

} // namespace

int TextSelector::nearestLine(QPoint point) const {
    int best = -1;
    qint64 bestDistance = LLONG_MAX;
    for (size_t l = 0; l < m_lines.size(); ++l) {
        const qint64 d = distance(m_lines[l], point);
        if (d < bestDistance) {
            bestDistance = d;
            best = int(l);
        }
    }
    return best;
}

int TextSelector::caretAt(QPoint point) const {
    const int line = nearestLine(point);
    if (line < 0)
        return 0;
    const int first = m_layer->firstGlyphOfLine(line), last = m_layer->lastGlyphOfLine(line);
    for (int i = first; i <= last; ++i) {
        if (point.x() < m_layer->box(i).center().x())
            return i;
    }
    return last + 1;
}

GlyphRange TextSelector::drag(QPoint press, QPoint now) const {
    const int a = caretAt(press), b = caretAt(now);
    if (a == b)
        return {};
    return {std::min(a, b), std::max(a, b) - 1};
}

GlyphRange TextSelector::runAt(QPoint point) const {
    if (!m_layer || m_layer->isEmpty())
        return {};
    int glyph = m_layer->glyphAt(point);
    if (glyph < 0) {
        const int line = nearestLine(point);
        const int first = m_layer->firstGlyphOfLine(line);
        glyph = std::clamp(caretAt(point), first, m_layer->lastGlyphOfLine(line));
        // The caret stands before the glyph whose middle is right of the point: the glyph
        // left of it may be nearer.
        if (glyph > first &&
            point.x() - m_layer->box(glyph - 1).right() < m_layer->box(glyph).left() - point.x())
            --glyph;
    }
    const int line = m_layer->lineOf(glyph);
    const int lineFirst = m_layer->firstGlyphOfLine(line),
              lineLast = m_layer->lastGlyphOfLine(line);
    const CharKind kind = kindOf(m_layer->glyphText(glyph));
    if (kind == CharKind::Mark || kind == CharKind::Blank)
        return {glyph, glyph};
    // A blank between Latin words ends the word; Chinese runs on until punctuation.
    auto joins = [&](int left, int right) {
        if (kindOf(m_layer->glyphText(left)) != kind || kindOf(m_layer->glyphText(right)) != kind)
            return false;
        return kind == CharKind::Chinese || !m_layer->glyph(right).blankBefore;
    };
    int first = glyph, last = glyph;
    while (first > lineFirst && joins(first - 1, first))
        --first;
    while (last < lineLast && joins(last, last + 1))
        ++last;
    return {first, last};
}

GlyphRange TextSelector::lineAt(QPoint point) const {
    const int line = nearestLine(point);
    if (line < 0)
        return {};
    return {m_layer->firstGlyphOfLine(line), m_layer->lastGlyphOfLine(line)};
}

bool TextSelector::overText(QPoint point) const {
    return std::any_of(m_lines.begin(), m_lines.end(), [&](const QRect &line) {
        const int grow = line.height() / 4;
        return line.adjusted(-grow, -grow, grow, grow).contains(point);
    });
}

} // namespace qen::ocr
