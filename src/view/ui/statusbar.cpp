#include "view/ui/statusbar.h"

#include <QEvent>

namespace qen {

StatusBar::Arrangement StatusBar::arrangement() const {
    Arrangement a{size(), font(), {}, {}};
    for (const QObject *child : children()) {
        if (const auto *w = qobject_cast<const QWidget *>(child); w && !w->isWindow()) {
            a.panels << (w->isVisible() ? w->geometry() : QRect());
            a.minimumHeights << w->minimumSizeHint().height();
        }
    }
    return a;
}

bool StatusBar::event(QEvent *event) {
    // By the time the status bar sees the request its layout has already placed the panels,
    // so what changed can be told from where they are.
    if (event->type() == QEvent::LayoutRequest) {
        Arrangement now = arrangement();
        const bool same = m_arranged && now == m_last;
        m_last = std::move(now);
        m_arranged = true;
        if (same)
            return QWidget::event(event);
    }
    return QStatusBar::event(event);
}

} // namespace qen
