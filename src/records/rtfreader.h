#pragma once

#include <QByteArrayView>

class QTextDocument;

// Rich text as word processors write it, read into a QTextDocument: the text with its
// paragraphs, line breaks and tabs, and the character formatting a record shows (bold,
// italic, underline, strike-out, size, colour, font). Text in 8-bit code pages is decoded
// by the document's or the font's code page, GBK when the file names none.
namespace qen::rtf {

// True when the bytes begin like rich text ("{\rtf").
bool isRtf(QByteArrayView bytes);

// Replaces the document's content with what the data holds. Never fails: damaged or
// truncated data gives the text read up to the damage; groups nested deeper than a sane
// limit and binary data are passed over.
void read(QByteArrayView data, QTextDocument &document);

} // namespace qen::rtf
