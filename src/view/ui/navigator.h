#pragma once

#include <QObject>
#include <functional>

namespace qen {

class Documents;

// NavigateTree: moves the tree's selection by a navigation code and shows the node as a
// click on it would.
class Navigator : public QObject {
    Q_OBJECT
public:
    // imageShown tells whether the image view is the shown view: the page commands act only
    // then, as their menu items are only enabled then.
    Navigator(Documents *documents, std::function<bool()> imageShown, QObject *parent = nullptr);

    void NavigateTree(int nCode);

private:
    Documents *m_documents;
    std::function<bool()> m_imageShown;
};

} // namespace qen
