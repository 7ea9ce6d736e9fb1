#include "view/ui/elidedlabel.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

#include <algorithm>

namespace qen {

int ElidedLabel::textWidth() const {
    return std::max(0, contentsRect().width() - 2 * margin() - 2 * indent());
}

QStaticText ElidedLabel::layOut(const QString &text, int width) const {
    QStaticText laid;
    laid.setTextFormat(Qt::PlainText);
    laid.setText(text);
    laid.prepare(QTransform(), font());
    if (laid.size().width() > width) {
        laid.setText(fontMetrics().elidedText(text, Qt::ElideRight, width));
        laid.prepare(QTransform(), font());
    }
    return laid;
}

// Laying a Chinese text out costs more than drawing it, and a status panel is painted again
// at every page turn: the text is laid out once for each text, width and font it is shown with.
const QStaticText &ElidedLabel::laidOut() const {
    const int width = textWidth();
    if (width == m_shownWidth && text() == m_shownFrom && font() == m_shownFont)
        return m_shown;
    m_shownFrom = text();
    m_shownWidth = width;
    m_shownFont = font();
    const auto ahead = std::find_if(m_ahead.cbegin(), m_ahead.cend(),
                                    [&](const Layout &l) { return l.from == m_shownFrom; });
    if (ahead != m_ahead.cend() && width == m_aheadWidth && font() == m_aheadFont)
        m_shown = ahead->shown;
    else
        m_shown = layOut(m_shownFrom, width);
    return m_shown;
}

void ElidedLabel::layOutAhead(const QStringList &texts) {
    const int width = textWidth();
    const bool aheadFits = width == m_aheadWidth && font() == m_aheadFont;
    const bool shownFits = width == m_shownWidth && font() == m_shownFont;
    QList<Layout> ahead;
    for (const QString &text : texts) {
        // Turning on, the page just left is a neighbour again.
        const auto known = std::find_if(m_ahead.cbegin(), m_ahead.cend(),
                                        [&](const Layout &l) { return l.from == text; });
        if (aheadFits && known != m_ahead.cend())
            ahead.append(*known);
        else if (shownFits && text == m_shownFrom)
            ahead.append({text, m_shown});
        else
            ahead.append({text, layOut(text, width)});
    }
    m_ahead = ahead;
    m_aheadWidth = width;
    m_aheadFont = font();
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
