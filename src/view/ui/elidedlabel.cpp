#include "view/ui/elidedlabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace qen {

QString ElidedLabel::shownText() const {
    const int width = contentsRect().width() - 2 * margin() - 2 * indent();
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, width));
}

void ElidedLabel::paintEvent(QPaintEvent *) {
    QPainter p(this);
    drawFrame(&p);
    const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&p, r, int(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
}

bool ElidedLabel::event(QEvent *e) {
    // The text is set by callers that know nothing of the tooltip; it is taken when asked.
    if (e->type() == QEvent::ToolTip) {
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(static_cast<QHelpEvent *>(e)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(e);
}

} // namespace qen
