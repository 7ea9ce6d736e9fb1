#include "ocr/textmatch.h"

#include <algorithm>

namespace qen::ocr {

namespace {

bool isLatin(char32_t c) {
    return QChar::script(c) == QChar::Script_Latin;
}

// Appends the folded form of one piece of text.
void foldInto(const QString &text, std::u32string &out) {
    const QString nfkc = text.normalized(QString::NormalizationForm_KC);
    for (const uint c : nfkc.toUcs4()) {
        if (QChar::isSpace(c))
            continue;
        if (isLatin(c)) {
            // Folding can lengthen a character (ß to ss): it is done on a string.
            const char32_t one = c;
            for (const uint f : QString::fromUcs4(&one, 1).toCaseFolded().toUcs4())
                out.push_back(f);
        } else {
            out.push_back(c);
        }
    }
}

// Whether `window` is `query` with exactly one character replaced.
bool oneReplaced(const char32_t *window, const std::u32string &query) {
    int differences = 0;
    for (size_t k = 0; k < query.size(); ++k) {
        if (window[k] != query[k] && ++differences > 1)
            return false;
    }
    return differences == 1;
}

// Whether `window` (query.size() - 1 long) is `query` with one character left out.
bool oneMissing(const char32_t *window, const std::u32string &query) {
    size_t k = 0;
    const size_t n = query.size() - 1;
    while (k < n && window[k] == query[k])
        ++k;
    for (; k < n; ++k) {
        if (window[k] != query[k + 1])
            return false;
    }
    return true;
}

// Whether `window` (query.size() + 1 long) is `query` with one character put in between two
// of its own: one put in at either end is an exact hit beside it, not a tolerant one.
bool oneExtra(const char32_t *window, const std::u32string &query) {
    const size_t m = query.size();
    size_t k = 0;
    while (k < m && window[k] == query[k])
        ++k;
    if (k == 0 || k >= m)
        return false;
    for (; k < m; ++k) {
        if (window[k + 1] != query[k])
            return false;
    }
    return true;
}

} // namespace

std::u32string foldForSearch(const QString &text) {
    std::u32string out;
    foldInto(text, out);
    return out;
}

SearchText::SearchText(const TextLayer &layer) {
    m_chars.reserve(size_t(layer.count()));
    m_glyph.reserve(size_t(layer.count()));
    for (int i = 0; i < layer.count(); ++i) {
        foldInto(layer.glyphText(i), m_chars);
        m_glyph.resize(m_chars.size(), i);
    }
}

QList<TextMatch> SearchText::find(const std::u32string &query, MatchMode mode) const {
    QList<TextMatch> hits;
    const size_t m = query.size();
    const size_t n = m_chars.size();
    if (m == 0 || n == 0)
        return hits;
    auto hit = [&](size_t at, size_t length, bool exact) {
        return TextMatch{m_glyph[at], m_glyph[at + length - 1], exact};
    };
    // Exact hits first: they decide where tolerant ones may not go.
    std::vector<std::pair<size_t, size_t>> exact;
    for (size_t at = m_chars.find(query); at != std::u32string::npos;
         at = m_chars.find(query, at + m))
        exact.emplace_back(at, at + m);
    if (mode == MatchMode::Exact || m < size_t(TolerantMinLength)) {
        for (const auto &[from, to] : exact)
            hits << hit(from, to - from, true);
        return hits;
    }

    std::vector<std::pair<size_t, size_t>> all = exact;
    size_t next = 0; // the next exact hit a tolerant one must keep clear of
    const char32_t *text = m_chars.data();
    for (size_t at = 0; at + m - 1 <= n;) {
        while (next < exact.size() && exact[next].second <= at)
            ++next;
        if (next < exact.size() && at >= exact[next].first) {
            at = exact[next].second;
            continue;
        }
        const size_t limit = next < exact.size() ? exact[next].first : n;
        size_t length = 0;
        if (at + m <= limit && oneReplaced(text + at, query))
            length = m;
        else if (at + m - 1 <= limit && oneMissing(text + at, query))
            length = m - 1;
        else if (at + m + 1 <= limit && oneExtra(text + at, query))
            length = m + 1;
        if (length) {
            all.emplace_back(at, at + length);
            at += length;
        } else {
            ++at;
        }
    }
    std::sort(all.begin(), all.end());
    for (const auto &[from, to] : all) {
        const bool isExact = std::binary_search(exact.begin(), exact.end(), std::pair(from, to));
        hits << hit(from, to - from, isExact);
    }
    return hits;
}

} // namespace qen::ocr
