#pragma once

#include "view/navigation.h"

#include <QObject>

namespace qen {

class Documents;

// NavigateTree: moves the tree's selection by a navigation code and shows the node as a
// click on it would.
class Navigator : public QObject {
    Q_OBJECT
public:
    explicit Navigator(Documents *documents, QObject *parent = nullptr);

    void NavigateTree(NavigationCode nCode);

private:
    Documents *m_documents;
};

} // namespace qen
