#pragma once

#include "articles/articletree.h"
#include "articles/opencommand.h"
#include "articles/opener.h"
#include "articles/wwp.h"
#include "pageview/pagedisplay.h"
#include "pageview/pageprefetch.h"
#include "pageview/shownview.h"

#include <QObject>
#include <functional>

class QLabel;
class QTreeWidget;

namespace qen {

class ImageView;
class Interaction;
class TreeMirror;
class WorkFolders;

// Opening files and showing the selected page. It gets the controls it works on, not the
// window: the tree widget, the two views, the status panel for the place, and the
// interaction for the dialog and error boxes.
class Documents : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget *window = nullptr; // parent of dialogs, owner of the hourglass
        QTreeWidget *tree = nullptr;
        ImageView *imageView = nullptr;
        QWidget *recordView = nullptr; // placed beside the image view, loaded through a hook
        QLabel *placePanel = nullptr;  // status bar panel 3
    };
    struct Hooks {
        std::function<void()> updateCommands;
        std::function<void()> fitWidth;
        // Loads a record into the record view and remembers its path; false when unreadable.
        std::function<bool(const QString &path)> loadRecord;
        std::function<void()> filterRecord; // rewrites the shown record by the output options
        // Gets the place texts of the shown page's neighbours once the page is painted, so
        // the place panel can lay them out before a turn needs them.
        std::function<void(const QStringList &places)> placesAhead;
    };

    Documents(const WorkFolders &folders, Interaction &interaction, Controls controls,
              QObject *parent = nullptr);
    ~Documents() override;

    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }
    ArticleTree &model() { return m_model; }
    // Page files for saving, printing and export, decoded as showing them would be.
    PageDisplay &display() { return m_display; }
    bool isOpen() const { return !m_model.isEmpty(); }

    // The Open command: asks for files, opens them, then fits the page to the width.
    void openCommand();
    // What the Open command does with the chosen files, for files that come another way
    // (dropped on the window): opens the NUL-separated list, then fits the page to the width.
    void openAndFit(const QString &sFiles);
    // Opens a NUL-separated list and shows the node it selects. Errors go to an "error" box.
    void CreateTree(const QString &sFiles);
    // Shows the node's page (the first page of a package node).
    void nodeClick(int index);
    // Forgets every article and the last dialog selection, and gives the place back to the
    // image view (emptying the views is the window's).
    void closeAll();

    // Which view shows the page; it changes with every page of the other kind and with
    // closeAll.
    const ShownViewState &shown() const { return m_shown; }

    // Neighbouring pages read ahead of a page turn.
    PagePrefetch &prefetch() { return m_prefetch; }

signals:
    // A file or package is in the tree after an opening, by whatever road it came.
    void opened(const QString &path, const QString &title);

private:
    void placeViews(DisplayPlan::View view);
    void showView(ShownView shown);
    bool showImage(const QString &path);
    void prefetchNeighbours(int node);

    Interaction &m_interaction;
    Controls m_controls;
    Hooks m_hooks;
    ArticleTree m_model;
    WwpDecoder m_decoder;
    Opener m_opener;
    PageDisplay m_display;
    TreeMirror *m_mirror;
    LastOpenSpec m_lastOpenSpec;
    PagePrefetch m_prefetch;
    ShownViewState m_shown;
};

} // namespace qen
