#include "ocr/findsearch.h"

#include <climits>

namespace qen::ocr {

void FindSearch::start(const QString &query, MatchMode mode, QStringList pages, int origin) {
    clear();
    std::u32string folded = foldForSearch(query.left(MaxQueryLength));
    if (folded.empty() || pages.isEmpty())
        return;
    m_query = std::move(folded);
    m_mode = mode;
    m_pages = std::move(pages);
    m_hits.resize(size_t(m_pages.size()));
    m_origin = std::clamp(origin, 0, int(m_pages.size()) - 1);
}

void FindSearch::pageKnown(const QString &page, const TextLayer *layer) {
    const int index = indexOf(page);
    if (!active() || index < 0 || known(index))
        return;
    m_hits[size_t(index)] = layer ? SearchText(*layer).find(m_query, m_mode) : QList<TextMatch>();
}

QStringList FindSearch::unknownPages() const {
    QStringList out;
    const int n = int(m_pages.size());
    const int from = m_current.page >= 0 ? m_current.page : m_origin;
    for (int k = 0; k < n; ++k) {
        const int p = (from + k) % n;
        if (!known(p))
            out << m_pages[p];
    }
    return out;
}

void FindSearch::setOrigin(int page) {
    m_current = {};
    if (!m_pages.isEmpty())
        m_origin = std::clamp(page, 0, int(m_pages.size()) - 1);
}

QList<TextMatch> FindSearch::hitsOn(int page) const {
    if (page < 0 || page >= int(m_hits.size()) || !known(page))
        return {};
    return *m_hits[size_t(page)];
}

int FindSearch::total() const {
    int sum = 0;
    for (const auto &hits : m_hits)
        sum += hits ? int(hits->size()) : 0;
    return sum;
}

int FindSearch::ordinal() const {
    int before = 0;
    for (int p = 0; p < m_current.page; ++p)
        before += int(hitsOn(p).size());
    return before + m_current.hit + 1;
}

FindSearch::Step FindSearch::step(int direction) {
    if (!active())
        return {};
    const int n = int(m_pages.size());
    // hit == INT_MAX stands for "after the page's last hit" when going back.
    const int fresh = direction > 0 ? -1 : INT_MAX;
    int page = m_current.page >= 0 ? m_current.page : m_origin;
    int hit = m_current.page >= 0 ? m_current.hit : fresh;
    bool wrapped = false;
    // One lap and the start page once more, for the hits before the current one.
    for (int visited = 0; visited <= n; ++visited) {
        if (!known(page))
            return {Step::Waiting, page, {}, wrapped};
        const QList<TextMatch> &hits = *m_hits[size_t(page)];
        const int index = direction > 0 ? hit + 1 : (hit == INT_MAX ? int(hits.size()) : hit) - 1;
        if (index >= 0 && index < hits.size()) {
            m_current = {page, index};
            return {Step::Hit, page, hits[index], wrapped};
        }
        page += direction;
        if (page >= n || page < 0) {
            page = page < 0 ? n - 1 : 0;
            wrapped = true;
        }
        hit = fresh;
    }
    return {Step::NoHit, -1, {}, false};
}

QString FindSearch::countText(const Step &last) const {
    switch (last.kind) {
    case Step::NoHit:
        return QStringLiteral("未找到");
    case Step::NoQuery:
    case Step::Hit:
    case Step::Waiting:
        break;
    }
    if (!active())
        return {};
    if (m_current.page < 0) {
        const int found = total();
        if (found)
            return QStringLiteral("共 %1 处").arg(found);
        return unknownPages().isEmpty() ? QStringLiteral("未找到") : QString();
    }
    const QString count = QStringLiteral("第 %1 处，共 %2 处").arg(ordinal()).arg(total());
    if (last.kind != Step::Hit || !last.wrapped)
        return count;
    return count + (m_current.hit == 0 && ordinal() == 1 ? QStringLiteral("（已从头开始）")
                                                         : QStringLiteral("（已从末尾开始）"));
}

} // namespace qen::ocr
