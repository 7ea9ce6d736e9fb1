#include "ocr/ui/texttool.h"

#include "articles/articletree.h"
#include "ocr/textqueue.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/interaction.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleHints>

namespace qen {

TextTool::TextTool(Controls controls, QObject *parent)
    : QObject(parent), m_c(controls), m_viewport(m_c.view->viewport()) {
    m_viewport->installEventFilter(this);
    m_viewport->setMouseTracking(true);
    connect(m_c.toolItem, &QAction::toggled, this, &TextTool::toolToggled);
    // The two left-button tools exclude each other; either may be off.
    connect(m_c.areaItem, &QAction::triggered, this, [this](bool on) {
        if (on && m_c.toolItem->isChecked())
            m_c.toolItem->setChecked(false);
    });
    connect(m_c.view, &ImageView::pageReplaced, this, [this] {
        m_range = {};
        m_dragging = false;
        m_selectorLayer = nullptr;
        if (active())
            m_c.queue->want({shownPage()});
    });
    connect(&m_c.documents->model(), &ArticleTree::cleared, this, [this] {
        m_range = {};
        m_selectorLayer = nullptr;
    });
    connect(m_c.queue, &ocr::TextQueue::pageRead, this, &TextTool::pageRead);
    connect(m_c.queue, &ocr::TextQueue::pageFailed, this, &TextTool::pageRead);
}

bool TextTool::active() const {
    return m_c.toolItem->isChecked() && m_c.toolItem->isEnabled();
}

void TextTool::toolToggled(bool on) {
    if (on && m_c.areaItem->isChecked())
        m_c.areaItem->trigger(); // through its own command, so the band goes too
    if (!on) {
        select({});
        m_c.view->setMousePointer(MousePointer::Default);
        return;
    }
    // The page is read first if it has not been; the queue puts it before everything else.
    if (!layer()) {
        m_c.queue->want({shownPage()});
        m_c.view->setMousePointer(MousePointer::Hourglass);
    }
}

void TextTool::pageRead(const QString &page) {
    if (!active() || page != shownPage())
        return;
    if (m_c.view->mousePointer() == MousePointer::Hourglass)
        m_c.view->setMousePointer(MousePointer::Default);
}

QString TextTool::shownPage() const {
    const ArticleTree &t = m_c.documents->model();
    const int selected = t.selected();
    if (!t.isValid(selected) || m_c.documents->shown().recordShown())
        return {};
    return t.key(t.childCount(selected) ? t.firstChild(selected) : selected);
}

const ocr::TextLayer *TextTool::layer() const {
    const QString page = shownPage();
    return page.isEmpty() ? nullptr : m_c.queue->layer(page);
}

QString TextTool::selectedText() const {
    const ocr::TextLayer *l = layer();
    return l && !m_range.isEmpty() ? l->text(m_range.first, m_range.last) : QString();
}

void TextTool::copySelection() {
    const QString text = selectedText();
    if (!text.isEmpty())
        m_c.interaction->setClipboardText(text);
}

void TextTool::copyPageText() {
    const ocr::TextLayer *l = layer();
    if (!l) {
        m_c.queue->want({shownPage()});
        m_c.interaction->information(m_c.window, QStringLiteral("本页文字尚未识别，请稍候再试。"));
        return;
    }
    if (l->isEmpty()) {
        m_c.interaction->information(m_c.window, QStringLiteral("本页没有识别出文字。"));
        return;
    }
    m_c.interaction->setClipboardText(l->plainText());
}

void TextTool::select(const ocr::GlyphRange &range) {
    m_range = range;
    const ocr::TextLayer *l = layer();
    m_c.view->setMarks(ImageView::MarkSet::Selected, {},
                       l && !range.isEmpty() ? l->boxesFor(range.first, range.last)
                                             : QList<QRect>());
}

void TextTool::followPointer(QPoint page) {
    if (m_c.view->mousePointer() == MousePointer::Hourglass)
        return;
    m_c.view->setMousePointer(m_selector.overText(page) ? MousePointer::Text
                                                        : MousePointer::Default);
}

bool TextTool::eventFilter(QObject *watched, QEvent *event) {
    // Compared with the pointer kept: the viewport still sends events while the view around
    // it is being destroyed, when the view can no longer be asked for it.
    if (watched != m_viewport)
        return false;
    if (event->type() == QEvent::ContextMenu) {
        contextMenu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
    if (!active())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return mouse(event);
    default:
        return false;
    }
}

bool TextTool::mouse(QEvent *event) {
    auto *m = static_cast<QMouseEvent *>(event);
    const ocr::TextLayer *l = layer();
    if (l != m_selectorLayer) {
        m_selector = l ? ocr::TextSelector(*l) : ocr::TextSelector();
        m_selectorLayer = l;
    }
    const QPoint page = m_c.view->viewToPage(m->position().toPoint());
    const bool left = m->button() == Qt::LeftButton || (m->buttons() & Qt::LeftButton);
    if (!l || !left) {
        if (l && event->type() == QEvent::MouseMove)
            followPointer(page);
        // The other buttons keep their meaning; the left one does nothing until the text is in.
        return left;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const int interval = QGuiApplication::styleHints()->mouseDoubleClickInterval();
        if (m_lastDouble.isValid() && m_lastDouble.elapsed() < interval) {
            m_lastDouble.invalidate();
            select(m_selector.lineAt(page));
            return true;
        }
        m_press = page;
        m_dragging = true;
        select({});
        return true;
    }
    case QEvent::MouseButtonDblClick:
        m_dragging = false;
        m_lastDouble.start();
        select(m_selector.runAt(page));
        return true;
    case QEvent::MouseMove:
        if (m_dragging)
            select(m_selector.drag(m_press, page));
        followPointer(page);
        return true;
    default:
        m_dragging = false;
        return true;
    }
}

void TextTool::contextMenu(QPoint global) {
    if (!m_c.view->hasImage())
        return;
    QMenu menu(m_c.view);
    QAction *copy = menu.addAction(QStringLiteral("复制"));
    copy->setEnabled(active() && hasSelection());
    menu.addAction(m_c.copyPageText);
    const QString selected = selectedText().simplified();
    const QString shown = selected.size() > 12 ? selected.left(12) + u'…' : selected;
    QAction *find = menu.addAction(QStringLiteral("查找\"%1\"").arg(shown));
    find->setEnabled(!selected.isEmpty());
    menu.addSeparator();
    menu.addAction(m_c.copyPage);
    menu.addAction(m_c.copyArea);
    QAction *chosen = menu.exec(global);
    if (chosen == copy)
        copySelection();
    else if (chosen == find && m_c.find)
        m_c.find(selected);
}

} // namespace qen
