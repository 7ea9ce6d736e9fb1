#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace qen {

// The document model: every open article and page is a node whose key is the full path of
// the file holding it. Nodes are numbered from 1 in the order they were added (the node
// index); a package node is directly followed by its pages. Nodes are only removed all at
// once (close-all), so an index stays valid while its node exists.
//
// The tree widget mirrors this model through the signals; it never changes it itself.
class ArticleTree : public QObject {
    Q_OBJECT
public:
    enum Image { ArticleImage = 1, PageImage = 2 };

    explicit ArticleTree(QObject *parent = nullptr);

    int count() const { return int(m_nodes.size()); }
    bool isEmpty() const { return m_nodes.empty(); }
    bool isValid(int index) const { return index >= 1 && index <= count(); }

    QString key(int index) const;
    QString text(int index) const;
    int image(int index) const;
    int parent(int index) const;          // 0 for a root node
    int firstChild(int index) const;      // 0 when there is none
    int nextSibling(int index) const;     // 0 after the last
    int previousSibling(int index) const; // 0 before the first
    int childCount(int index) const;
    QList<int> children(int index) const;
    QList<int> roots() const;
    // The selected node's parent when it has one, otherwise the selected node.
    int currentArticle() const;
    // Upper-case text after the last "." of the node's key ("" when there is no dot).
    QString pageType(int index) const;

    int find(const QString &key) const { return m_byKey.value(key, 0); }
    bool NodeExists(const QString &key) const { return m_byKey.contains(key); }
    // A node with at least one child has exactly this text; never true with fewer than two
    // nodes in the tree.
    bool TitleExists(const QString &title) const;

    // Adds the package node and one page node "第N页" per name, in the order given (callers
    // sort first). Returns the package node's index, or 0 when a key is already taken.
    int addPackage(const QString &packageKey, const QString &title, const QString &folder,
                   const QStringList &pageNames);
    // A single page or record: text is the file name without its extension.
    int addSingle(const QString &path);

    // A WWP page gets its TIFF's path once decoded. False when another node has that key.
    bool setKey(int index, const QString &newKey);

    int selected() const { return m_selected; }
    void select(int index);

    void clear();

signals:
    // Nodes first..first+count-1 were appended (a package and its pages come in one signal).
    void nodesAdded(int first, int count);
    void keyChanged(int index, const QString &oldKey, const QString &newKey);
    void selectionChanged(int index);
    void cleared();

private:
    struct Node {
        QString key;
        QString text;
        int image = PageImage;
        int parent = 0;
        std::vector<int> children;
        // Sibling links are kept as nodes are added, so that moving between articles or
        // pages never walks the tree.
        int previous = 0, next = 0;
    };
    void link(int index, int previous);
    const Node *node(int index) const {
        return isValid(index) ? &m_nodes[size_t(index - 1)] : nullptr;
    }

    std::vector<Node> m_nodes;
    QHash<QString, int> m_byKey;
    int m_selected = 0;
    int m_lastRoot = 0;
};

// Page text of the Nth page (1-based): "第N页".
QString PageText(int number);

} // namespace qen
