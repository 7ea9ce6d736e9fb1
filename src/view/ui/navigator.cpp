#include "view/ui/navigator.h"

#include "library/ui/documents.h"
#include "view/navigation.h"

namespace qen {

Navigator::Navigator(Documents *documents, std::function<bool()> imageShown, QObject *parent)
    : QObject(parent), m_documents(documents), m_imageShown(std::move(imageShown)) {}

void Navigator::NavigateTree(int nCode) {
    // A record inside a package has no page to turn; the page commands are switched off
    // there, and a call that comes anyway moves nothing.
    if (isPageCode(nCode) && !m_imageShown())
        return;
    const int target = NavigationTarget(m_documents->model(), nCode);
    if (target)
        m_documents->nodeClick(target);
}

} // namespace qen
