#include "articles/ui/treemirror.h"

#include "articles/articletree.h"
#include "platform/ui/icons.h"

#include <QApplication>
#include <QEvent>
#include <QTreeWidget>

namespace qen {

namespace {
constexpr int IndexRole = Qt::UserRole + 1;
}

TreeMirror::TreeMirror(const ArticleTree &model, QTreeWidget *widget, QObject *parent)
    : QObject(parent), m_model(model), m_widget(widget) {
    connect(&model, &ArticleTree::nodesAdded, this, &TreeMirror::add);
    // The highlight follows the model in the next pass of the event loop, not at once: a page
    // turn paints its page first (the rows cost as much to paint as the page), and a key held
    // down moves the highlight once per pass instead of once per turn.
    connect(&model, &ArticleTree::selectionChanged, this, [this] {
        if (m_selectPending)
            return;
        m_selectPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_selectPending = false;
                select(m_model.selected());
            },
            Qt::QueuedConnection);
    });
    connect(&model, &ArticleTree::cleared, this, &TreeMirror::clear);
    connect(&model, &ArticleTree::keyChanged, this,
            [this](int index, const QString &, const QString &key) {
                if (QTreeWidgetItem *it = item(index); it && m_model.parent(index))
                    it->setToolTip(0, key);
            });
    // A mouse click shows the page even when its node is already selected; a keyboard move
    // shows the page it lands on.
    connect(widget, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *it) {
        if (!m_syncing)
            emit nodeClicked(it->data(0, IndexRole).toInt());
    });
    connect(widget, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *it) {
        if (!m_syncing && it && QApplication::mouseButtons() == Qt::NoButton)
            emit nodeClicked(it->data(0, IndexRole).toInt());
    });
    // Pressing on one row and releasing on another moves the highlight without a click; once
    // the release has been handled, the row the tree shows is the page the view shows.
    widget->viewport()->installEventFilter(this);
}

bool TreeMirror::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == m_widget->viewport()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                const QTreeWidgetItem *current = m_widget->currentItem();
                if (m_syncing || !current)
                    return;
                const int index = current->data(0, IndexRole).toInt();
                if (index != m_model.selected())
                    emit nodeClicked(index);
            },
            Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

QTreeWidgetItem *TreeMirror::item(int index) const {
    return index >= 1 && index <= int(m_items.size()) ? m_items[size_t(index - 1)] : nullptr;
}

void TreeMirror::add(int first, int count) {
    static const QIcon article = icons::articleIcon(), page = icons::pageIcon();
    for (int index = first; index < first + count; ++index) {
        auto *it = new QTreeWidgetItem(QStringList{m_model.text(index)});
        it->setData(0, IndexRole, index);
        it->setIcon(0, m_model.image(index) == ArticleTree::ArticleImage ? article : page);
        // An article shows its title (which the tree may cut); a page the file it is read from.
        it->setToolTip(0, m_model.parent(index) ? m_model.key(index) : m_model.text(index));
        if (QTreeWidgetItem *parent = item(m_model.parent(index)))
            parent->addChild(it);
        else
            m_widget->addTopLevelItem(it);
        if (index > int(m_items.size()))
            m_items.resize(size_t(index), nullptr);
        m_items[size_t(index - 1)] = it;
    }
}

void TreeMirror::select(int index) {
    QTreeWidgetItem *it = item(index);
    if (!it)
        return;
    m_syncing = true;
    m_widget->setCurrentItem(it);
    m_widget->scrollToItem(it);
    m_syncing = false;
}

void TreeMirror::clear() {
    m_syncing = true;
    m_widget->clear();
    m_items.clear();
    m_syncing = false;
}

} // namespace qen
