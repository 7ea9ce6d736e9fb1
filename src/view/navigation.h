#pragma once

namespace qen {

class ArticleTree;

// The eight navigation codes of the Page menu and the toolbar.
enum class NavigationCode {
    HomePage = 1,
    PrevPage = 2,
    NextPage = 3,
    EndPage = 4,
    HomeArticle = 5,
    PrevArticle = 6,
    NextArticle = 7,
    EndArticle = 8,
};

// The node a navigation code moves the selection to, worked out by arithmetic on node
// indices (a package node is directly followed by its pages); 0 when the command stops
// where it is: an empty tree, no selection, a boundary, a code outside 1-8. NextArticle on a
// page of the last article answers the current node: it is shown again without moving.
int NavigationTarget(const ArticleTree &tree, NavigationCode nCode);

// Codes 1-4 move among the pages of one article.
inline bool isPageCode(NavigationCode nCode) {
    return nCode >= NavigationCode::HomePage && nCode <= NavigationCode::EndPage;
}

} // namespace qen
