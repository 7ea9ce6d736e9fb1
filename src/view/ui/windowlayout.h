#pragma once

#include "view/layout.h"

#include <QObject>

class QAction;
class QLabel;
class QWidget;

namespace qen {

class ShownViewState;

// Places the main window's regions in twips: on every resize, while the splitter bar is
// dragged and dropped, and when the View menu shows or hides the toolbar, the status bar or
// the navigation pane. The arithmetic is in view/layout; this applies it to the widgets.
class WindowLayout : public QObject {
    Q_OBJECT
public:
    // Design sizes in twips.
    static constexpr double ToolbarHeight = 420, StatusHeight = 330;
    static constexpr double TreeWidth = 1515, SplitterWidth = 105;
    static constexpr double ComboWidth = 1215, ComboHeight = 300;
    static constexpr double CaptionWidth = 915, CaptionHeight = 180;
    static constexpr double FindBarHeight = 480;
    // The thumbnail strip: a picture of a page with its number, and the strip's scroll bar.
    static constexpr double ThumbnailsWidth = 2100;

    struct Controls {
        QWidget *client = nullptr;
        QWidget *toolbar = nullptr, *statusBar = nullptr, *tree = nullptr;
        QWidget *showSplitter = nullptr, *hideSplitter = nullptr;
        QWidget *imageView = nullptr, *recordView = nullptr;
        const ShownViewState *shown = nullptr; // which of the two holds the page place
        QWidget *combo = nullptr, *caption = nullptr;
        QAction *toolbarItem = nullptr, *statusItem = nullptr, *navigationItem = nullptr;
        QAction *fullScreenItem = nullptr;
        QWidget *findBar = nullptr;    // under the views, above the status bar, while shown
        QWidget *thumbnails = nullptr; // at the view's right edge while its item is checked
        QAction *thumbnailsItem = nullptr;
    };
    explicit WindowLayout(Controls controls, QObject *parent = nullptr);

    // Form_Resize.
    void arrange();
    void toggleToolbar();
    void toggleStatusBar();
    void toggleNavigation();
    // Follows the thumbnail item's check mark.
    void toggleThumbnails();
    // The find bar takes its height from the views and the tree, and gives it back.
    void showFindBar(bool show);
    // The window fills the screen while the item is checked; leaving full screen any other
    // way (the window manager's own key) clears the mark.
    void followFullScreenItem();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    layout::Panes panes() const;
    bool findBarShown() const;
    bool thumbnailsShown() const;
    void placeFindBar();
    void apply(const layout::Panes &p);

    Controls m_c;
};

} // namespace qen
