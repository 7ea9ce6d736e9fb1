#include "pageview/ui/documents.h"

#include "articles/opencommand.h"
#include "articles/ui/treemirror.h"
#include "pageview/ui/imageview.h"
#include "platform/error.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

namespace qen {

namespace {

class WaitCursor {
public:
    explicit WaitCursor(QWidget *w) : m_widget(w) {
        if (m_widget)
            m_widget->setCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (m_widget)
            m_widget->unsetCursor();
    }

private:
    QWidget *m_widget;
};

} // namespace

Documents::Documents(const WorkFolders &folders, Interaction &interaction, Controls controls,
                     QObject *parent)
    : QObject(parent), m_interaction(interaction), m_controls(controls), m_decoder(folders),
      m_opener(m_model, folders), m_display(m_model, folders, m_decoder),
      m_mirror(new TreeMirror(m_model, controls.tree, this)) {
    OpenHooks hooks;
    hooks.yield = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    hooks.setBusy = [this](bool busy) {
        m_controls.imageView->setMousePointer(busy ? MousePointer::Hourglass
                                                   : MousePointer::Default);
    };
    hooks.updateCommands = [this] {
        if (m_hooks.updateCommands)
            m_hooks.updateCommands();
    };
    m_opener.setHooks(hooks);
    connect(m_mirror, &TreeMirror::nodeClicked, this, &Documents::nodeClick);
    // Pages read ahead follow the view: after a fit, a zoom or a resize the next turn is still
    // a copy (the first fit comes after the first page is shown and its neighbours read).
    connect(controls.imageView, &ImageView::viewportToRenderChanged, this,
            [this] { m_prefetch.setViewport(m_controls.imageView->viewportToRender()); });
}

Documents::~Documents() = default;

void Documents::openCommand() {
    const QString files = m_lastOpenSpec.take(m_interaction.openFileNames(
        m_controls.window, OpenDialogTitle(), QString(), OpenDialogFilters().join(";;")));
    if (files.isEmpty())
        return; // Cancel, or the same selection again: the command ends without a word
    openAndFit(files);
}

void Documents::openAndFit(const QString &sFiles) {
    CreateTree(sFiles);
    if (m_hooks.fitWidth)
        m_hooks.fitWidth();
}

void Documents::CreateTree(const QString &sFiles) {
    try {
        const int node = m_opener.CreateTree(sFiles);
        if (node)
            nodeClick(node);
        for (const QString &item : sFiles.split(QChar(u'\0'), Qt::SkipEmptyParts))
            if (const int added = m_model.find(item))
                emit opened(item, m_model.text(added));
    } catch (const Error &e) {
        m_controls.imageView->setMousePointer(MousePointer::Default);
        m_interaction.error(m_controls.window, e.description());
    }
}

void Documents::placeViews(DisplayPlan::View view) {
    if (view == DisplayPlan::View::Image)
        showView(ShownView::Image);
    else if (view == DisplayPlan::View::Record)
        showView(ShownView::Record);
}

void Documents::showView(ShownView shown) {
    // The place is wherever the view in use stands now: the layout may have moved it.
    QWidget *inPlace = m_shown.recordShown() ? m_controls.recordView : m_controls.imageView;
    const ViewLefts lefts = ParkedLefts(shown, leftTwips(inPlace));
    setLeftTwips(m_controls.imageView, lefts.image);
    setLeftTwips(m_controls.recordView, lefts.record);
    m_shown.set(shown);
}

void Documents::nodeClick(int index) {
    if (!m_model.isValid(index))
        return;
    // A page read ahead is shown at once; a wait pointer would only flicker, and setting one
    // reaches every widget of the window.
    WaitCursor wait(m_prefetch.holds(m_model.key(index)) ? nullptr : m_controls.window);
    const DisplayPlan plan = m_display.show(index);
    m_controls.placePanel->setText(plan.statusText);
    switch (plan.view) {
    case DisplayPlan::View::Image:
        if (!showImage(plan.path))
            m_interaction.error(m_controls.window, m_controls.imageView->lastError());
        break;
    case DisplayPlan::View::Record:
        // A record that cannot be read is reported once; filtering it would only add a
        // second message blaming the settings file.
        if (!m_hooks.loadRecord || !m_hooks.loadRecord(plan.path))
            m_interaction.error(m_controls.window,
                                QStringLiteral("无法读取题录 %1。").arg(plan.path));
        else if (m_hooks.filterRecord)
            m_hooks.filterRecord();
        break;
    case DisplayPlan::View::Unchanged:
        break;
    }
    placeViews(plan.view);
    prefetchNeighbours(plan.view == DisplayPlan::View::Image ? plan.node : 0);
    if (m_hooks.updateCommands)
        m_hooks.updateCommands();
    if (m_controls.imageView->mousePointer() == MousePointer::Hourglass)
        m_controls.imageView->setMousePointer(MousePointer::Default);
}

bool Documents::showImage(const QString &path) {
    if (std::optional<PagePrefetch::Page> page = m_prefetch.take(path)) {
        m_controls.imageView->setFileName(path, page->image, std::move(page->viewport),
                                          std::move(page->half));
        return true;
    }
    // A page decoded on two threads takes the second core for its time: not while pages are
    // being read ahead, as when a key held down turns faster than they are read.
    return m_controls.imageView->setFileName(
        path, m_prefetch.reading() ? ImageDocument::Threads::One : ImageDocument::Threads::Two);
}

// The previous and the next page of the shown page's article are read in the background;
// pages still in WWP form are left to the display, which decodes them beside the package.
void Documents::prefetchNeighbours(int node) {
    QStringList paths, places;
    if (const int parent = m_model.parent(node)) {
        const int last = parent + m_model.childCount(parent);
        for (const int neighbour : {node + 1, node - 1}) {
            if (neighbour <= parent || neighbour > last)
                continue;
            places << StatusText(m_model, neighbour);
            if (IsImageType(m_model.pageType(neighbour)))
                paths << m_model.key(neighbour);
        }
    }
    // Rendered at the zoom the page will be shown with: page turns keep the zoom.
    m_prefetch.prefetch(paths, m_controls.imageView->viewportToRender());
    // After the page's paint, which the posted update request brings first.
    if (m_hooks.placesAhead && !places.isEmpty())
        QTimer::singleShot(0, this, [this, places] { m_hooks.placesAhead(places); });
}

void Documents::closeAll() {
    showView(ShownView::Nothing);
    m_prefetch.clear();
    m_model.clear();
    m_lastOpenSpec.clear();
}

} // namespace qen
