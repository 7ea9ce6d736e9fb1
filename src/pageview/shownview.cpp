#include "pageview/shownview.h"

#include "platform/twips.h"

namespace qen {

ViewLefts ParkedLefts(ShownView shown, double placeLeft) {
    if (shown == ShownView::Record)
        return {twips::ParkedLeft, placeLeft};
    return {placeLeft, twips::ParkedLeft};
}

void ShownViewState::set(ShownView shown) {
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit changed(shown);
}

} // namespace qen
