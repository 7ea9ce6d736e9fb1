#pragma once

#include <QObject>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace qen {

class ArticleTree;

// Keeps tvwTree showing the article tree model. The widget never changes the model: a click
// or a keyboard move is reported as nodeClicked and the display decides what to select.
class TreeMirror : public QObject {
    Q_OBJECT
public:
    TreeMirror(const ArticleTree &model, QTreeWidget *widget, QObject *parent = nullptr);

    QTreeWidgetItem *item(int index) const;

signals:
    void nodeClicked(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void add(int first, int count);
    void select(int index);
    void clear();

    const ArticleTree &m_model;
    QTreeWidget *m_widget;
    std::vector<QTreeWidgetItem *> m_items; // by node index - 1
    bool m_syncing = false;
    bool m_selectPending = false;
};

} // namespace qen
