#include "view/ui/windowlayout.h"

#include "pageview/shownview.h"
#include "platform/ui/twipsgeometry.h"

#include <QAction>
#include <QMouseEvent>
#include <QWidget>

namespace qen {

WindowLayout::WindowLayout(Controls controls, QObject *parent) : QObject(parent), m_c(controls) {
    m_c.showSplitter->installEventFilter(this);
    m_c.showSplitter->setCursor(Qt::SizeHorCursor);
    // The bar is dragged by its shadow; a plain press must not start a move of the window.
    m_c.showSplitter->setAttribute(Qt::WA_NoMousePropagation);
    if (m_c.fullScreenItem)
        m_c.client->window()->installEventFilter(this);
}

void WindowLayout::followFullScreenItem() {
    QWidget *window = m_c.client->window();
    const Qt::WindowStates state = window->windowState();
    window->setWindowState(m_c.fullScreenItem->isChecked() ? state | Qt::WindowFullScreen
                                                           : state & ~Qt::WindowFullScreen);
}

layout::Panes WindowLayout::panes() const {
    return {geometryTwips(m_c.tree),
            geometryTwips(m_c.showSplitter),
            geometryTwips(m_c.hideSplitter),
            geometryTwips(m_c.imageView),
            geometryTwips(m_c.recordView),
            m_c.thumbnails ? geometryTwips(m_c.thumbnails) : TwipsRect{twips::ParkedLeft}};
}

void WindowLayout::apply(const layout::Panes &p) {
    moveTwips(m_c.tree, p.tree);
    moveTwips(m_c.showSplitter, p.splitter);
    moveTwips(m_c.hideSplitter, p.shadow);
    moveTwips(m_c.imageView, p.imageView);
    moveTwips(m_c.recordView, p.recordView);
    if (m_c.thumbnails)
        moveTwips(m_c.thumbnails, p.thumbnails);
}

bool WindowLayout::thumbnailsShown() const {
    return m_c.thumbnails && m_c.thumbnailsItem && m_c.thumbnailsItem->isChecked();
}

void WindowLayout::toggleThumbnails() {
    if (!m_c.thumbnails)
        return;
    const bool show = thumbnailsShown();
    // Hidden as well as parked, so that the keyboard focus never lands on it unseen.
    m_c.thumbnails->setVisible(show);
    apply(layout::thumbnailsToggled(panes(), show, ThumbnailsWidth));
}

void WindowLayout::arrange() {
    const TwipsRect client = geometryTwips(m_c.client);
    // A hidden bar gives its height to the views.
    const bool toolbarShown = !m_c.toolbar->isHidden();
    const double toolbarHeight = toolbarShown ? ToolbarHeight : 0;
    const double statusHeight = m_c.statusBar->isHidden() ? 0 : StatusHeight;
    const bool imageActive = !m_c.shown->recordShown();
    QWidget *active = imageActive ? m_c.imageView : m_c.recordView;
    QWidget *parked = imageActive ? m_c.recordView : m_c.imageView;

    layout::Input in;
    in.clientWidth = client.width;
    in.clientHeight = client.height;
    in.toolbarTop = 0;
    in.toolbarHeight = toolbarHeight;
    in.statusHeight = statusHeight + (findBarShown() ? FindBarHeight : 0);
    in.tree = geometryTwips(m_c.tree);
    in.splitter = geometryTwips(m_c.showSplitter);
    in.navigationShown = m_c.navigationItem->isChecked();
    in.comboWidth = ComboWidth;
    in.comboHeight = ComboHeight;
    in.captionWidth = CaptionWidth;
    in.captionHeight = CaptionHeight;
    in.twipsPerPixelY = twipsPerPixelY(m_c.client);
    in.thumbnailsWidth = thumbnailsShown() ? ThumbnailsWidth : 0;
    const layout::Result r = layout::arrange(in);

    // A move the window refuses (a negative size when very small) is skipped; the rest runs.
    // The toolbar ends where the zoom caption begins, so its last buttons go into its
    // overflow menu instead of under the combo on a narrow window.
    moveTwips(m_c.toolbar, {0, 0, std::max(0.0, r.caption.left), ToolbarHeight});
    moveTwips(m_c.statusBar, {0, client.height - StatusHeight, client.width, StatusHeight});
    placeFindBar();
    moveTwips(m_c.tree, r.tree);
    moveTwips(m_c.showSplitter, r.splitter);
    moveTwips(active, r.activeView);
    moveTwips(parked, r.parkedView);
    moveTwips(m_c.hideSplitter, r.splitterShadow);
    if (m_c.thumbnails) {
        moveTwips(m_c.thumbnails, r.thumbnails);
        m_c.thumbnails->setVisible(thumbnailsShown());
    }
    moveTwips(m_c.combo, r.combo);
    moveTwips(m_c.caption, r.caption);
    m_c.combo->setVisible(toolbarShown);
    m_c.caption->setVisible(toolbarShown);
    m_c.combo->raise();
    m_c.caption->raise();
}

void WindowLayout::toggleToolbar() {
    const bool show = m_c.toolbar->isHidden();
    m_c.toolbar->setVisible(show);
    m_c.toolbarItem->setChecked(show);
    // The zoom caption and combo sit on the toolbar band and go with it.
    m_c.combo->setVisible(show);
    m_c.caption->setVisible(show);
    apply(layout::toolbarToggled(panes(), show, ToolbarHeight));
}

void WindowLayout::toggleStatusBar() {
    const bool show = m_c.statusBar->isHidden();
    m_c.statusBar->setVisible(show);
    m_c.statusItem->setChecked(show);
    apply(layout::statusBarToggled(panes(), show, StatusHeight));
    placeFindBar();
}

void WindowLayout::showFindBar(bool show) {
    if (!m_c.findBar || findBarShown() == show)
        return;
    m_c.findBar->setVisible(show);
    apply(layout::statusBarToggled(panes(), show, FindBarHeight));
    placeFindBar();
}

bool WindowLayout::findBarShown() const {
    return m_c.findBar && !m_c.findBar->isHidden();
}

void WindowLayout::placeFindBar() {
    if (!findBarShown())
        return;
    const TwipsRect client = geometryTwips(m_c.client);
    const double status = m_c.statusBar->isHidden() ? 0 : StatusHeight;
    moveTwips(m_c.findBar,
              {0, client.height - status - FindBarHeight, client.width, FindBarHeight});
    m_c.findBar->raise();
}

void WindowLayout::toggleNavigation() {
    // The item is checkable, so Qt has already inverted the mark when it was triggered.
    apply(layout::navigationToggled(panes(), m_c.navigationItem->isChecked()));
}

bool WindowLayout::eventFilter(QObject *watched, QEvent *event) {
    if (m_c.fullScreenItem && watched == m_c.client->window() &&
        event->type() == QEvent::WindowStateChange)
        m_c.fullScreenItem->setChecked(m_c.client->window()->isFullScreen());
    if (watched != m_c.showSplitter)
        return QObject::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QObject::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    const double x = mouse->position().x() * twipsPerPixelX(m_c.showSplitter);
    if (type == QEvent::MouseMove) {
        if (mouse->buttons() == Qt::LeftButton)
            setLeftTwips(m_c.hideSplitter, leftTwips(m_c.showSplitter) + x);
        m_c.hideSplitter->raise();
        return true;
    }
    if (mouse->button() != Qt::LeftButton)
        return true;
    apply(layout::splitterDrop(panes(), x));
    return true;
}

} // namespace qen
