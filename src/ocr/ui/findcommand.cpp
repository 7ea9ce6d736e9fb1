#include "ocr/ui/findcommand.h"

#include "articles/articletree.h"
#include "ocr/textqueue.h"
#include "ocr/ui/findbar.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"

namespace qen {

FindCommand::FindCommand(Controls controls, QObject *parent) : QObject(parent), m_c(controls) {
    connect(m_c.bar, &FindBar::queryEdited, this, &FindCommand::restart);
    connect(m_c.bar, &FindBar::optionsChanged, this, &FindCommand::restart);
    connect(m_c.bar, &FindBar::nextWanted, this, &FindCommand::findNext);
    connect(m_c.bar, &FindBar::previousWanted, this, &FindCommand::findPrevious);
    connect(m_c.bar, &FindBar::closeWanted, this, &FindCommand::close);
    connect(m_c.queue, &ocr::TextQueue::pageRead, this,
            [this](const QString &page) { pageKnown(page, false); });
    connect(m_c.queue, &ocr::TextQueue::pageFailed, this,
            [this](const QString &page) { pageKnown(page, true); });
    connect(m_c.view, &ImageView::pageReplaced, this, &FindCommand::pageReplaced);
    // Closing the articles ends the search; their layers are gone with them.
    connect(&tree(), &ArticleTree::cleared, this, &FindCommand::restart);
}

ArticleTree &FindCommand::tree() const {
    return m_c.documents->model();
}

bool FindCommand::isOpen() const {
    return m_c.bar->isVisible();
}

void FindCommand::open(const QString &query) {
    const bool wasOpen = isOpen();
    if (!wasOpen && m_c.showBar)
        m_c.showBar(true);
    m_c.bar->focusQuery();
    if (!query.isEmpty()) {
        m_c.bar->setQuery(query.simplified());
        restart();
    } else if (!wasOpen) {
        restart();
    }
}

void FindCommand::close() {
    m_search.clear();
    m_last = {};
    m_waiting = 0;
    m_c.queue->want({});
    m_c.view->setMarks(ImageView::MarkSet::Found, {});
    if (m_c.showBar)
        m_c.showBar(false);
    m_c.view->setFocus();
}

QString FindCommand::shownPage() const {
    const ArticleTree &t = tree();
    const int selected = t.selected();
    if (!t.isValid(selected))
        return {};
    return t.key(t.childCount(selected) ? t.firstChild(selected) : selected);
}

QStringList FindCommand::scopePages() const {
    const ArticleTree &t = tree();
    QList<int> articles;
    if (m_c.bar->scope() == FindBar::AllArticles)
        articles = t.roots();
    else if (t.isValid(t.currentArticle()))
        articles = {t.currentArticle()};
    QStringList pages;
    for (const int article : std::as_const(articles)) {
        const QList<int> children = t.children(article);
        for (const int page : children.isEmpty() ? QList<int>{article} : children) {
            if (ocr::isRecognisablePage(t.key(page)))
                pages << t.key(page);
        }
    }
    return pages;
}

// "第 4 页": the page's place in its article, as the tree numbers pages.
QString FindCommand::pageLabel(const QString &page) const {
    const ArticleTree &t = tree();
    const int node = t.find(page);
    const int parent = t.parent(node);
    const int number = parent ? int(t.children(parent).indexOf(node)) + 1 : 1;
    return QStringLiteral("第 %1 页").arg(number);
}

void FindCommand::restart() {
    const QStringList pages = isOpen() ? scopePages() : QStringList();
    m_search.start(m_c.bar->query(),
                   m_c.bar->tolerant() ? ocr::MatchMode::Tolerant : ocr::MatchMode::Exact, pages,
                   int(std::max<qsizetype>(0, pages.indexOf(shownPage()))));
    m_last = {};
    m_waiting = 0;
    m_failed.clear();
    for (const QString &page : std::as_const(pages)) {
        if (const ocr::TextLayer *layer = m_c.queue->layer(page))
            m_search.pageKnown(page, layer);
        else if (m_c.queue->failed(page))
            pageKnown(page, true);
    }
    m_c.queue->want(m_search.unknownPages());
    showMarks();
    updateBar();
}

void FindCommand::step(int direction) {
    if (!isOpen()) {
        open();
        return;
    }
    if (!m_search.active()) {
        m_last = {};
        updateBar();
        return;
    }
    const ocr::FindSearch::Step s = direction > 0 ? m_search.next() : m_search.previous();
    m_last = s;
    m_waiting = s.kind == ocr::FindSearch::Step::Waiting ? direction : 0;
    if (m_waiting)
        m_c.queue->want(m_search.unknownPages());
    else if (s.kind == ocr::FindSearch::Step::Hit)
        showHit(s);
    updateBar();
}

void FindCommand::showHit(const ocr::FindSearch::Step &hit) {
    const QString page = m_search.pages().value(hit.page);
    if (page != shownPage()) {
        m_turning = true;
        m_c.documents->nodeClick(tree().find(page));
        m_turning = false;
    }
    showMarks();
    if (const ocr::TextLayer *layer = m_c.queue->layer(page)) {
        QRect all;
        for (const QRect &r : layer->boxesFor(hit.match.firstGlyph, hit.match.lastGlyph))
            all |= r;
        m_c.view->ensureVisible(all);
    }
}

void FindCommand::pageKnown(const QString &page, bool failed) {
    const int index = m_search.indexOf(page);
    if (!m_search.active() || index < 0 || m_search.known(index))
        return;
    m_search.pageKnown(page, failed ? nullptr : m_c.queue->layer(page));
    if (failed)
        m_failed << pageLabel(page);
    if (page == shownPage())
        showMarks();
    if (m_waiting)
        step(m_waiting);
    else
        updateBar();
}

void FindCommand::pageReplaced() {
    if (!m_search.active() && !isOpen())
        return;
    if (!m_turning) {
        // The reader went elsewhere: a new article is a new scope, and in the same one the
        // next hit is searched from the page now shown.
        if (scopePages() != m_search.pages()) {
            restart();
            return;
        }
        m_search.setOrigin(int(std::max<qsizetype>(0, m_search.indexOf(shownPage()))));
        m_last = {};
        m_waiting = 0;
        updateBar();
    }
    showMarks();
}

void FindCommand::showMarks() {
    const QString page = shownPage();
    const int index = m_search.indexOf(page);
    const ocr::TextLayer *layer = m_c.queue->layer(page);
    if (index < 0 || !layer) {
        m_c.view->setMarks(ImageView::MarkSet::Found, {});
        return;
    }
    QList<QRect> weak, strong;
    const QList<ocr::TextMatch> hits = m_search.hitsOn(index);
    for (int i = 0; i < hits.size(); ++i) {
        const bool current = m_search.currentPage() == index && m_search.currentHit() == i;
        (current ? strong : weak) << layer->boxesFor(hits[i].firstGlyph, hits[i].lastGlyph);
    }
    m_c.view->setMarks(ImageView::MarkSet::Found, weak, strong);
}

void FindCommand::updateBar() {
    m_c.bar->setCount(m_search.countText(m_last));
    QString progress;
    const QStringList unknown = m_search.unknownPages();
    if (m_search.active() && !unknown.isEmpty())
        progress = QStringLiteral("正在识别%1…").arg(pageLabel(unknown.first()));
    if (!m_failed.isEmpty())
        progress += (progress.isEmpty() ? QString() : QStringLiteral("  ")) +
                    QStringLiteral("%1：本页无法识别").arg(m_failed.join(QStringLiteral("、")));
    m_c.bar->setProgress(progress);
}

} // namespace qen
