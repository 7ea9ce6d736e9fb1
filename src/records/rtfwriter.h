#pragma once

#include <QByteArray>

class QTextDocument;

// Rich text for Chinese word processors: the GBK code page declared, text that GBK holds as
// \'hh byte pairs, anything else as \uN with a "?" fallback, and the paragraphs, alignment
// and character formatting (font, size, bold, italic, underline, strike-out, colour) the
// document holds. Nothing is lost: every character is written one way or the other.
namespace qen::rtf {

QByteArray write(const QTextDocument &document);

} // namespace qen::rtf
