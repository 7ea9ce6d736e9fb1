#include "view/ui/navigator.h"

#include "pageview/ui/documents.h"
#include "view/navigation.h"

namespace qen {

Navigator::Navigator(Documents *documents, QObject *parent)
    : QObject(parent), m_documents(documents) {}

void Navigator::NavigateTree(NavigationCode nCode) {
    // A record inside a package has no page to turn; the page commands are switched off
    // there, and a call that comes anyway moves nothing.
    if (isPageCode(nCode) && m_documents->shown().recordShown())
        return;
    const int target = NavigationTarget(m_documents->model(), nCode);
    if (target)
        m_documents->nodeClick(target);
}

} // namespace qen
