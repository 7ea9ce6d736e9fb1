#pragma once

// Text layers written out by hand: one glyph per character on a grid of 20 x 30 pixel cells,
// one line per entry; a space marks a blank before the next glyph, "|" a new block.
#include "ocr/textlayer.h"

#include <QStringList>

namespace qen::test {

inline QRect gridBox(int line, int column) {
    return QRect(10 + 20 * column, 10 + 30 * line, 18, 24);
}

inline ocr::TextLayer gridLayer(const QStringList &lines, QSize page = QSize(1000, 1000)) {
    ocr::TextLayer layer(page, 300);
    for (qsizetype l = 0; l < lines.size(); ++l) {
        const QList<uint> chars = lines[l].toUcs4();
        bool blank = false, block = false, lineStart = true;
        int column = 0;
        for (const uint c : chars) {
            if (c == ' ') {
                blank = true;
                ++column;
                continue;
            }
            if (c == '|') {
                block = true;
                continue;
            }
            const char32_t cp = c;
            ocr::Glyph g;
            g.text = QString::fromUcs4(&cp, 1);
            g.box = gridBox(int(l), column++);
            g.confidence = 90;
            g.blankBefore = blank;
            g.lineStart = lineStart;
            g.blockStart = block;
            layer.append(g);
            blank = block = lineStart = false;
        }
    }
    return layer;
}

} // namespace qen::test
