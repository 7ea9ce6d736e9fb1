#include "export/pdftextlayer.h"

namespace qen::pdf {

namespace {
char32_t onlyCharacter(const QString &text) {
    if (text.size() == 1 && !text.at(0).isSurrogate())
        return text.at(0).unicode();
    if (text.size() == 2 && text.at(0).isHighSurrogate() && text.at(1).isLowSurrogate())
        return QChar::surrogateToUcs4(text.at(0), text.at(1));
    return 0;
}
} // namespace

PageText pageTextOf(const ocr::TextLayer &layer) {
    PageText text;
    text.size = layer.pageSize();
    text.lines.reserve(layer.lineCount());
    for (int l = 0; l < layer.lineCount(); ++l) {
        QList<TextGlyph> line;
        for (int g = layer.firstGlyphOfLine(l); g <= layer.lastGlyphOfLine(l); ++g) {
            const ocr::Glyph glyph = layer.glyph(g);
            line.append({glyph.box, glyph.text, glyph.blankBefore, onlyCharacter(glyph.text)});
        }
        text.lines.append(line);
    }
    return text;
}

} // namespace qen::pdf
