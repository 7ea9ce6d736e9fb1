#pragma once

#include "ocr/textlayer.h"

#include <QPoint>
#include <QRect>
#include <vector>

// Selecting recognised text with the mouse, as text editors do: a drag runs in reading order
// from the press to the pointer, whole lines between and partial first and last lines; a
// double click takes a run of characters, a triple click the line. Points are in page pixels
// and may lie anywhere, on a glyph or not.
namespace qen::ocr {

struct GlyphRange {
    int first = -1;
    int last = -1;
    bool isEmpty() const { return first < 0 || last < first; }
    friend bool operator==(const GlyphRange &, const GlyphRange &) = default;
};

class TextSelector {
public:
    TextSelector() = default;
    // The layer must outlive the selector.
    explicit TextSelector(const TextLayer &layer);

    // The caret position a point stands for, 0..count: before the glyph whose middle lies
    // right of the point on the nearest line, or after that line's last glyph.
    int caretAt(QPoint point) const;
    // What a drag from press to now selects; empty when both fall on one caret.
    GlyphRange drag(QPoint press, QPoint now) const;
    // The run of characters of the glyph at (or nearest) the point: a Latin word or a number,
    // or Chinese up to the punctuation around it; a punctuation mark alone.
    GlyphRange runAt(QPoint point) const;
    GlyphRange lineAt(QPoint point) const;
    // Whether the point lies on a line of text (within its box, widened by a little).
    bool overText(QPoint point) const;

private:
    int nearestLine(QPoint point) const;

    const TextLayer *m_layer = nullptr;
    std::vector<QRect> m_lines; // each line's box, in reading order
};

} // namespace qen::ocr
