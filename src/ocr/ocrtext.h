#pragma once

#include "ocr/textlayer.h"

#include <QList>
#include <QString>

// What the engine reads from a Chinese page is tidied once, here, before anyone sees it: the
// library writes the tidied text, so the program and qentool show the same thing.
namespace qen::ocr {

// Han characters, CJK and full-width punctuation: the text whose neighbours decide spacing
// and the width of punctuation.
bool isChineseText(char32_t c);

// - no space between two pieces of Chinese text (a character or Chinese punctuation);
// - the ASCII marks , . : ; ! ? ( ) beside Chinese text become their full-width forms; inside
//   Latin words, numbers and addresses (3.14, e-mail, http://a.b/c?d) they stay;
// - "一" between two digits becomes "—";
// - lines lose surrounding blanks, trailing empty lines are dropped, and each line ends in
//   CR LF.
QString tidyRecognisedText(const QString &raw);

// The same tidying on one line of glyphs, so that every glyph keeps its box: marks are
// widened and dashes mended glyph by glyph, blanks between Chinese text are dropped, and
// glyphs holding nothing but blanks go.
void tidyGlyphLine(QList<Glyph> &line);

} // namespace qen::ocr
