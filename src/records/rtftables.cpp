#include "records/rtftables.h"

#include <unordered_map>
#include <utility>

namespace qen::rtf {

// clang-format off
KwInfo keyword(std::string_view name) {
    static const std::unordered_map<std::string_view, KwInfo> table = [] {
        std::unordered_map<std::string_view, KwInfo> t;
        // Destinations whose content is not part of the text.
        for (std::string_view d : {
                 "info", "stylesheet", "pict", "object", "header", "headerl", "headerr",
                 "headerf", "footer", "footerl", "footerr", "footerf", "footnote", "fldinst",
                 "listtable", "listoverridetable", "revtbl", "rsidtbl", "filetbl", "annotation",
                 "atnid", "atnauthor", "xe", "tc", "txe", "bkmkstart", "bkmkend", "nonshppict",
                 "shppict", "themedata", "colorschememapping", "latentstyles", "datastore",
                 "xmlnstbl", "generator", "userprops", "pgdsctbl", "ftnsep", "ftnsepc",
                 "aftnsep", "aftnsepc", "pn", "objdata", "shp", "do", "template", "docvar",
                 "private", "comment", "author", "operator", "title", "subject", "keywords",
                 "doccomm", "company"})
            t[d] = {Kw::SkipDest};
        const std::pair<std::string_view, Kw> words[] = {
            {"fonttbl", Kw::FontTable}, {"colortbl", Kw::ColorTable}, {"f", Kw::FontNumber},
            {"fcharset", Kw::FontCharset}, {"cpg", Kw::FontCodePage}, {"ansicpg", Kw::AnsiCpg},
            {"mac", Kw::Mac}, {"pc", Kw::Pc}, {"pca", Kw::Pca}, {"deff", Kw::Deff},
            {"red", Kw::Red}, {"green", Kw::Green}, {"blue", Kw::Blue}, {"par", Kw::Par},
            {"line", Kw::Line}, {"tab", Kw::Tab}, {"page", Kw::Page}, {"sect", Kw::Page},
            {"cell", Kw::Cell}, {"nestcell", Kw::Cell}, {"row", Kw::Row}, {"nestrow", Kw::Row},
            {"plain", Kw::Plain}, {"pard", Kw::Pard}, {"b", Kw::Bold}, {"i", Kw::Italic},
            {"ul", Kw::Underline}, {"uld", Kw::Underline}, {"uldb", Kw::Underline},
            {"ulw", Kw::Underline}, {"ulnone", Kw::UnderlineNone}, {"strike", Kw::Strike},
            {"fs", Kw::FontSize}, {"cf", Kw::Color}, {"uc", Kw::Uc}, {"u", Kw::U},
            {"bin", Kw::Bin}, {"ql", Kw::Ql}, {"qc", Kw::Qc}, {"qr", Kw::Qr}, {"qj", Kw::Qj}};
        for (const auto &[word, kind] : words)
            t[word] = {kind};
        const std::pair<std::string_view, char16_t> chars[] = {
            {"emdash", 0x2014}, {"endash", 0x2013}, {"emspace", 0x2003}, {"enspace", 0x2002},
            {"qmspace", 0x2005}, {"bullet", 0x2022}, {"lquote", 0x2018}, {"rquote", 0x2019},
            {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"zwj", 0x200D}, {"zwnj", 0x200C},
            {"ltrmark", 0x200E}, {"rtlmark", 0x200F}, {"zwbo", 0x200B}};
        for (const auto &[word, ch] : chars)
            t[word] = {Kw::Char, ch};
        return t;
    }();
    const auto it = table.find(name);
    return it == table.end() ? KwInfo{} : it->second;
}

int charsetCodePage(int charset, int ansiCodePage) {
    static const std::pair<int, int> map[] = {
        {0, 1252}, {2, 1252} /* symbol fonts: bytes are glyph numbers */, {77, 10000},
        {128, 932}, {129, 949}, {130, 1361}, {134, 936}, {136, 950}, {161, 1253}, {162, 1254},
        {163, 1258}, {177, 1255}, {178, 1256}, {186, 1257}, {204, 1251}, {222, 874},
        {238, 1250}, {254, 437}, {255, 850}};
    for (const auto &[set, page] : map)
        if (set == charset)
            return page;
    return ansiCodePage;
}

bool isDoubleByteLead(int codePage, unsigned char c) {
    switch (codePage) {
    case 936: case 949: case 950: return c >= 0x81 && c <= 0xFE;
    case 932: return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    default: return false;
    }
}

QByteArray codecName(int codePage) {
    static const std::pair<int, const char *> map[] = {
        {936, "GBK"}, {932, "Shift_JIS"}, {949, "windows-949"}, {950, "Big5"},
        {437, "IBM437"}, {850, "IBM850"}, {874, "windows-874"}, {10000, "macintosh"},
        {65001, "UTF-8"}};
    for (const auto &[page, name] : map)
        if (page == codePage)
            return name;
    if (codePage >= 1250 && codePage <= 1258)
        return "windows-" + QByteArray::number(codePage);
    return "windows-1252";
}
// clang-format on

} // namespace qen::rtf
