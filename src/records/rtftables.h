#pragma once

#include <QByteArray>

#include <string_view>

// The vocabulary of the rich text reader: which keywords it acts on and how the character
// sets named in a file map to code pages and converters.
namespace qen::rtf {

// clang-format off
enum class Kw {
    Unknown, SkipDest, FontTable, ColorTable, FontNumber, FontCharset, FontCodePage, AnsiCpg,
    Mac, Pc, Pca, Deff, Red, Green, Blue, Par, Line, Tab, Page, Cell, Row, Plain, Pard, Bold,
    Italic, Underline, UnderlineNone, Strike, FontSize, Color, Uc, U, Bin, Ql, Qc, Qr, Qj,
    Char // a keyword that stands for one character
};
// clang-format on

struct KwInfo {
    Kw kind = Kw::Unknown;
    char16_t ch = 0;
};

KwInfo keyword(std::string_view name);

// \fcharsetN as a code page; 1 ("default") and unknown sets give the document's code page.
int charsetCodePage(int charset, int ansiCodePage);
bool isDoubleByteLead(int codePage, unsigned char c);
// The converter name for a code page; western European for one we do not know.
QByteArray codecName(int codePage);

} // namespace qen::rtf
