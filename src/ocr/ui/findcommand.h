#pragma once

#include "ocr/findsearch.h"

#include <QObject>
#include <functional>

namespace qen {

class ArticleTree;
class Documents;
class FindBar;
class ImageView;

namespace ocr {
class TextQueue;
}

// Find in the open articles: the bar's query searched through the recognised text of the
// current article (or of all of them), hits marked on the page, and a hit on another page
// shown through the same display step as a click in the tree. Pages not read yet are asked
// of the text queue in the order the search reaches them.
class FindCommand : public QObject {
    Q_OBJECT
public:
    struct Controls {
        FindBar *bar = nullptr;
        ImageView *view = nullptr;
        Documents *documents = nullptr;
        ocr::TextQueue *queue = nullptr;
        std::function<void(bool shown)> showBar; // the window makes room under the view
    };
    FindCommand(Controls controls, QObject *parent = nullptr);

    // Ctrl+F: the bar shows with the keyboard in it; a query given replaces the bar's text
    // and is searched at once.
    void open(const QString &query = {});
    void close();
    bool isOpen() const;
    void findNext() { step(+1); }
    void findPrevious() { step(-1); }
    const ocr::FindSearch &search() const { return m_search; }

private:
    ArticleTree &tree() const;
    QString shownPage() const;
    QStringList scopePages() const;
    QString pageLabel(const QString &page) const;
    void restart();
    void step(int direction);
    void showHit(const ocr::FindSearch::Step &hit);
    void pageKnown(const QString &page, bool failed);
    void pageReplaced();
    void showMarks();
    void updateBar();

    Controls m_c;
    ocr::FindSearch m_search;
    ocr::FindSearch::Step m_last;
    int m_waiting = 0;      // the direction of a step waiting for a page, 0 when none
    bool m_turning = false; // the page change under way is find's own
    QStringList m_failed;   // labels of searched pages that cannot be recognised
};

} // namespace qen
