#include "view/navigation.h"

#include "articles/articletree.h"

namespace qen {

namespace {

// The last page of the article that page i belongs to.
int lastPageOf(const ArticleTree &tree, int parent) {
    return parent + tree.childCount(parent);
}

} // namespace

int NavigationTarget(const ArticleTree &tree, NavigationCode nCode) {
    const int n = tree.count();
    const int i = tree.selected();
    if (n == 0 || !tree.isValid(i))
        return 0;
    const int parent = tree.parent(i);
    using enum NavigationCode;
    switch (nCode) {
    case HomePage:
        if (!parent || i == 1 || i == tree.firstChild(parent))
            return 0;
        return tree.firstChild(parent);
    case PrevPage:
        // On the first page of an article the command does not cross into the previous one.
        if (!parent || i == 1 || i == tree.firstChild(parent))
            return 0;
        return i - 1;
    case NextPage:
        if (!parent || i == n || i == lastPageOf(tree, parent))
            return 0;
        return i + 1;
    case EndPage:
        if (!parent || i == lastPageOf(tree, parent))
            return 0;
        return lastPageOf(tree, parent);
    case HomeArticle:
        return i == 1 ? 0 : 1;
    case PrevArticle:
        if (i == 1 || parent == 1)
            return 0;
        if (!parent)
            return i - 1; // the previous single file, or the last page of the previous package
        return tree.previousSibling(parent) ? tree.previousSibling(parent) : i;
    case NextArticle:
        if (i == n)
            return 0;
        if (!parent)
            return i + 1; // the next single file, or this package's own first page
        return tree.nextSibling(parent) ? tree.nextSibling(parent) : i;
    case EndArticle: {
        if (i == n)
            return 0;
        const int lastParent = tree.parent(n);
        return lastParent ? lastParent : n;
    }
    default:
        return 0;
    }
}

} // namespace qen
