#include "view/ui/zoom.h"

#include "library/ui/imageview.h"
#include "platform/ui/twipsgeometry.h"

#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>

namespace qen {

double LeadingNumber(const QString &text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch m = number.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}

Zoom::Zoom(ImageView *view, QComboBox *combo, QLabel *zoomPanel, QObject *parent)
    : QObject(parent), m_view(view), m_combo(combo), m_panel(zoomPanel) {
    connect(combo, &QComboBox::activated, this, &Zoom::applyComboText);
}

void Zoom::applyComboText() {
    if (leftTwips(m_view) < 0)
        return;
    m_view->setSelectionBand(false);
    m_view->zoomToFactor(LeadingNumber(m_combo->currentText()) / 100.0);
    m_panel->setText(QStringLiteral("缩放比例:") + m_combo->currentText());
}

void Zoom::fit(int mode) {
    if (leftTwips(m_view) < 0)
        return;
    m_view->zoomToFit(mode);
}

} // namespace qen
