#pragma once

#include "articles/package.h"

#include <QString>
#include <functional>

namespace qen {

class ArticleTree;
class WorkFolders;

// What opening needs from the window it runs in. Every hook may be left empty (tests,
// qentool).
struct OpenHooks {
    // Lets repaints and timers run, never user input (QEventLoop::ExcludeUserInputEvents).
    std::function<void()> yield;
    // Hourglass over the image view while a package unpacks; false puts the default back.
    std::function<void(bool busy)> setBusy;
    // Recomputes the command state from the tree and the shown view.
    std::function<void()> updateCommands;
};

// The window keeps one Opener, one PageDisplay and one WwpDecoder beside its ArticleTree. Every
// way of opening (the Open command, the command line, the hand-over check) ends in
//     const int shown = opener.CreateTree(list);     // may throw qen::Error -> "error" box
//     if (shown) nodeClick(shown);                   // PageDisplay::show, then apply the plan
// so the window only supplies the hooks below and applies what the display decided.
//
// Turns a list of file names into article tree nodes: packages are unpacked into fresh work
// folders and added with their pages, single pages and records are added as they are.
// Files already open, packages whose title is already in the tree, packages that unpack to
// nothing and unknown types are skipped without a word.
class Opener {
public:
    Opener(ArticleTree &tree, const WorkFolders &folders);

    void setHooks(OpenHooks hooks) { m_hooks = std::move(hooks); }
    void setExtractOptions(const ExtractOptions &options) { m_options = options; }

    // sFiles: full names separated by NUL; quotes and outer blanks around each are dropped,
    // and the list ends at its first empty item. Selects the node to show and returns its
    // index (0 when nothing is to be shown); the caller then runs the page display on it.
    // A package that cannot be unpacked throws qen::Error; the items after it are not opened
    // and nothing of it is in the tree.
    int CreateTree(const QString &sFiles);

    // "QEN", "ZIP" or "" open as a package; the listed page and record types as single
    // nodes; anything else is not opened.
    enum class ItemKind { Package, Single, Ignored };
    static ItemKind kindOf(const QString &item);
    static QString cleanItem(const QString &item);

private:
    ArticleTree &m_tree;
    const WorkFolders &m_folders;
    OpenHooks m_hooks;
    ExtractOptions m_options;
};

} // namespace qen
