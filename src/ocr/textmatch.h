#pragma once

#include "ocr/textlayer.h"

#include <QList>
#include <QString>
#include <string>
#include <vector>

// How a query finds text in recognised pages, the same for qentool find and the window's
// find: whitespace and line ends do not count, full-width and half-width forms are one
// (NFKC), Latin letters match in either case, and the tolerant mode lets a query of four
// characters or more through one misread, missing or extra character, which recognition
// errors of a few percent per character would otherwise hide.
namespace qen::ocr {

enum class MatchMode { Exact, Tolerant };

struct TextMatch {
    int firstGlyph = 0;
    int lastGlyph = 0;
    bool exact = true;
    friend bool operator==(const TextMatch &, const TextMatch &) = default;
};

// Tolerance applies from this many characters (after folding) on.
constexpr int TolerantMinLength = 4;

// The folded form of a text as matching sees it.
std::u32string foldForSearch(const QString &text);

// A page's glyphs folded once, to be searched many times.
class SearchText {
public:
    SearchText() = default;
    explicit SearchText(const TextLayer &layer);

    // Hits in reading order, none overlapping another. An exact hit always wins over a
    // tolerant one where they overlap.
    QList<TextMatch> find(const std::u32string &foldedQuery, MatchMode mode) const;
    QList<TextMatch> find(const QString &query, MatchMode mode) const {
        return find(foldForSearch(query), mode);
    }
    qsizetype size() const { return qsizetype(m_chars.size()); }

private:
    std::u32string m_chars;
    std::vector<int> m_glyph; // the glyph each folded character came from
};

} // namespace qen::ocr
