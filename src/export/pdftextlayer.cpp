#include "export/pdftextlayer.h"

namespace qen::pdf {

PageText pageTextOf(const ocr::TextLayer &layer) {
    PageText text;
    text.size = layer.pageSize();
    text.lines.reserve(layer.lineCount());
    for (int l = 0; l < layer.lineCount(); ++l) {
        QList<TextGlyph> line;
        for (int g = layer.firstGlyphOfLine(l); g <= layer.lastGlyphOfLine(l); ++g) {
            const ocr::Glyph glyph = layer.glyph(g);
            line.append({glyph.box, glyph.text, glyph.blankBefore});
        }
        text.lines.append(line);
    }
    return text;
}

} // namespace qen::pdf
