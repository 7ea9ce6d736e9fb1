#include "articles/articletree.h"

#include "platform/filehelpers.h"

namespace qen {

ArticleTree::ArticleTree(QObject *parent) : QObject(parent) {}

QString PageText(int number) {
    return QStringLiteral("第%1页").arg(number);
}

QString ArticleTree::key(int index) const {
    const Node *n = node(index);
    return n ? n->key : QString();
}

QString ArticleTree::text(int index) const {
    const Node *n = node(index);
    return n ? n->text : QString();
}

int ArticleTree::image(int index) const {
    const Node *n = node(index);
    return n ? n->image : 0;
}

int ArticleTree::parent(int index) const {
    const Node *n = node(index);
    return n ? n->parent : 0;
}

int ArticleTree::firstChild(int index) const {
    const Node *n = node(index);
    return n && !n->children.empty() ? n->children.front() : 0;
}

int ArticleTree::nextSibling(int index) const {
    const Node *n = node(index);
    return n ? n->next : 0;
}

int ArticleTree::previousSibling(int index) const {
    const Node *n = node(index);
    return n ? n->previous : 0;
}

void ArticleTree::link(int index, int previous) {
    m_nodes[size_t(index - 1)].previous = previous;
    if (previous)
        m_nodes[size_t(previous - 1)].next = index;
}

int ArticleTree::childCount(int index) const {
    const Node *n = node(index);
    return n ? int(n->children.size()) : 0;
}

QList<int> ArticleTree::children(int index) const {
    QList<int> list;
    if (const Node *n = node(index))
        for (int c : n->children)
            list << c;
    return list;
}

QList<int> ArticleTree::roots() const {
    QList<int> list;
    for (int i = 1; i <= count(); ++i)
        if (m_nodes[size_t(i - 1)].parent == 0)
            list << i;
    return list;
}

int ArticleTree::currentArticle() const {
    if (!isValid(m_selected))
        return 0;
    const int p = parent(m_selected);
    return p ? p : m_selected;
}

QString ArticleTree::pageType(int index) const {
    return GetFileExt(key(index)).toUpper();
}

bool ArticleTree::TitleExists(const QString &title) const {
    if (count() < 2)
        return false;
    for (const Node &n : m_nodes)
        if (!n.children.empty() && n.text == title)
            return true;
    return false;
}

int ArticleTree::addPackage(const QString &packageKey, const QString &title, const QString &folder,
                            const QStringList &pageNames) {
    if (m_byKey.contains(packageKey))
        return 0;
    QStringList keys;
    for (const QString &name : pageNames) {
        const QString k = folder + QLatin1Char('/') + name;
        if (m_byKey.contains(k) || keys.contains(k) || k == packageKey)
            return 0;
        keys << k;
    }
    const int first = count() + 1;
    m_nodes.push_back(Node{packageKey, title, ArticleImage, 0, {}});
    m_byKey.insert(packageKey, first);
    link(first, m_lastRoot);
    m_lastRoot = first;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const int index = count() + 1;
        m_nodes.push_back(Node{keys.at(i), PageText(int(i) + 1), PageImage, first, {}});
        m_nodes[size_t(first - 1)].children.push_back(index);
        m_byKey.insert(keys.at(i), index);
        link(index, i ? index - 1 : 0);
    }
    emit nodesAdded(first, int(keys.size()) + 1);
    return first;
}

int ArticleTree::addSingle(const QString &path) {
    if (m_byKey.contains(path))
        return 0;
    const int index = count() + 1;
    m_nodes.push_back(Node{path, GetBaseName(path), PageImage, 0, {}});
    m_byKey.insert(path, index);
    link(index, m_lastRoot);
    m_lastRoot = index;
    emit nodesAdded(index, 1);
    return index;
}

bool ArticleTree::setKey(int index, const QString &newKey) {
    if (!isValid(index))
        return false;
    Node &n = m_nodes[size_t(index - 1)];
    if (n.key == newKey)
        return true;
    if (m_byKey.contains(newKey))
        return false;
    const QString old = n.key;
    m_byKey.remove(old);
    n.key = newKey;
    m_byKey.insert(newKey, index);
    emit keyChanged(index, old, newKey);
    return true;
}

void ArticleTree::select(int index) {
    const int target = isValid(index) ? index : 0;
    if (target == m_selected)
        return;
    m_selected = target;
    emit selectionChanged(target);
}

void ArticleTree::clear() {
    m_nodes.clear();
    m_byKey.clear();
    m_selected = 0;
    m_lastRoot = 0;
    emit cleared();
}

} // namespace qen
