#include "export/pdftextlayer.h"

namespace qen::pdf {

namespace {
char32_t onlyCharacter(QStringView text) {
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
        line.reserve(layer.lastGlyphOfLine(l) - layer.firstGlyphOfLine(l) + 1);
        for (int g = layer.firstGlyphOfLine(l); g <= layer.lastGlyphOfLine(l); ++g) {
            // A glyph of one BMP character is carried by its value alone: a string for each
            // of a page's glyphs cost more than writing the page's text.
            const QStringView text = layer.glyphTextView(g);
            const char32_t c = onlyCharacter(text);
            line.append({layer.box(g), c && c < 0x10000 ? QString() : text.toString(),
                         layer.blankBefore(g), c});
        }
        text.lines.append(line);
    }
    return text;
}

} // namespace qen::pdf
