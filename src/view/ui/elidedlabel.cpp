#include "view/ui/elidedlabel.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

namespace qen {

// Laying a Chinese text out costs more than drawing it, and a status panel is painted again
// at every page turn: the text is laid out once for each text, width and font it is shown with.
const QStaticText &ElidedLabel::laidOut() const {
    const int width = std::max(0, contentsRect().width() - 2 * margin() - 2 * indent());
    if (width == m_shownWidth && text() == m_shownFrom && font() == m_shownFont)
        return m_shown;
    m_shownFrom = text();
    m_shownWidth = width;
    m_shownFont = font();
    m_shown.setTextFormat(Qt::PlainText);
    m_shown.setText(m_shownFrom);
    m_shown.prepare(QTransform(), m_shownFont);
    if (m_shown.size().width() > width) {
        m_shown.setText(fontMetrics().elidedText(m_shownFrom, Qt::ElideRight, width));
        m_shown.prepare(QTransform(), m_shownFont);
    }
    return m_shown;
}

QString ElidedLabel::shownText() const {
    return laidOut().text();
}

void ElidedLabel::paintEvent(QPaintEvent *event) {
    QPainter p(this);
    // A new text repaints the inside only; the frame is drawn when it is part of the region.
    if (!contentsRect().contains(event->rect()))
        drawFrame(&p);
    const QStaticText &text = laidOut();
    const QRect r =
        contentsRect().adjusted(margin() + indent(), margin(), -margin() - indent(), -margin());
    const QRect at = QStyle::alignedRect(layoutDirection(),
                                         QStyle::visualAlignment(layoutDirection(), alignment()),
                                         text.size().toSize(), r);
    p.setFont(font());
    p.setPen(palette().color(isEnabled() ? palette().currentColorGroup() : QPalette::Disabled,
                             foregroundRole()));
    p.drawStaticText(at.topLeft(), text);
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
