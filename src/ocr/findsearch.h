#pragma once

#include "ocr/textmatch.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// A search through the pages of the open articles, one hit at a time, without widgets. Pages
// become known as their text arrives (or fails); a step that must cross a page not read yet
// waits for it, so that hits are always visited in reading order and none is skipped.
namespace qen::ocr {

class FindSearch {
public:
    // Longer queries are cut here: nothing on a page is that long, and folding and matching a
    // pasted paragraph on every keystroke would only slow typing down.
    static constexpr int MaxQueryLength = 1000;

    struct Step {
        enum Kind {
            Hit,     // the current hit moved to page/match
            Waiting, // the page `page` must be read first; step again once it is known
            NoHit,   // nothing found on any page (all known)
            NoQuery, // the query has nothing to look for
        };
        Kind kind = NoQuery;
        int page = -1; // index into pages()
        TextMatch match;
        bool wrapped = false; // the step went past the last hit back to the first, or back
        friend bool operator==(const Step &, const Step &) = default;
    };

    // A new search over the pages in order; stepping starts at the beginning of `origin`.
    // Whitespace does not count, so a query of blanks alone looks for nothing.
    void start(const QString &query, MatchMode mode, QStringList pages, int origin);
    void clear() { *this = FindSearch(); }
    bool active() const { return !m_query.empty(); }
    const QStringList &pages() const { return m_pages; }
    int indexOf(const QString &page) const { return m_pages.indexOf(page); }

    // A page's text arrived; null when it cannot be read (it then counts as a page without
    // hits). Pages not in the search are ignored.
    void pageKnown(const QString &page, const TextLayer *layer);
    bool known(int page) const { return m_hits[size_t(page)].has_value(); }
    // Pages still to read, those the next step needs first, then the rest in order from it.
    QStringList unknownPages() const;

    Step next() { return step(+1); }
    Step previous() { return step(-1); }
    // Forgets the current hit; the next step starts at the beginning of the page (a page
    // change find did not make).
    void setOrigin(int page);

    // The hits on a page, empty before it is known.
    QList<TextMatch> hitsOn(int page) const;
    // The current hit's page and its place among that page's hits, -1 without one.
    int currentPage() const { return m_current.page; }
    int currentHit() const { return m_current.hit; }
    // Hits on the pages known so far.
    int total() const;
    // "第 2 处，共 7 处" on a hit, with a note after a wrap; "共 7 处" before the first step;
    // "未找到" once every page is known without a hit; empty without a query.
    QString countText(const Step &last) const;

private:
    struct Place {
        int page = -1;
        int hit = -1; // -1: before the first hit of the page (going forward), after its last
    };
    Step step(int direction);
    int ordinal() const; // 1-based place of the current hit among all known hits

    std::u32string m_query;
    MatchMode m_mode = MatchMode::Exact;
    QStringList m_pages;
    std::vector<std::optional<QList<TextMatch>>> m_hits;
    Place m_current;
    int m_origin = 0;
};

} // namespace qen::ocr
