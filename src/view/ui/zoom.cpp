#include "view/ui/zoom.h"

#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "platform/ui/twipsgeometry.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace qen {

namespace {
const QString PanelPrefix = QStringLiteral("缩放比例:");
}

Zoom::Zoom(ImageView *view, const ShownViewState &shown, SelectionShape *ctl, QComboBox *combo,
           QLabel *zoomPanel, QObject *parent)
    : QObject(parent), m_view(view), m_shown(shown), m_ctl(ctl), m_combo(combo),
      m_panel(zoomPanel) {
    // Typed percentages are not added to the list, and "12" is not completed to "120%".
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    // Enter is taken before the combo sees it, so a typed text that matches a list item is
    // applied once, by the typed entry, and not a second time as a Click. Keys arrive at the
    // combo itself, which its line edit hands the focus to; the combo passes them on to the
    // edit by a direct call that no filter on the edit would see.
    combo->installEventFilter(this);
    connect(combo, &QComboBox::activated, this, &Zoom::applyComboText);
    connect(view, &ImageView::scrolled, this, &Zoom::followScroll);
}

bool Zoom::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            typedEntry();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void Zoom::removeSelection() {
    m_view->setSelectionBand(false);
    m_ctl->setShown(false);
}

void Zoom::setComboText(const QString &text) {
    // Keep the current index on the matching item, so that leaving the box does not take the
    // text for a new choice from the list.
    const int index = m_combo->findText(text);
    if (index >= 0 && index != m_combo->currentIndex()) {
        const QSignalBlocker block(m_combo);
        m_combo->setCurrentIndex(index);
    }
    m_combo->setCurrentText(text);
    // A factor a fit left ("78.74194%") is wider than the box: show where it starts, unless
    // the user is typing in it.
    if (QLineEdit *edit = m_combo->lineEdit(); edit && !edit->hasFocus())
        edit->setCursorPosition(0);
}

void Zoom::applyComboText() {
    if (m_shown.recordShown())
        return;
    removeSelection();
    // A factor the view refuses leaves its zoom as it was; the panel still names the choice.
    m_view->zoomToFactor(LeadingNumber(m_combo->currentText()) / 100.0);
    m_panel->setText(PanelPrefix + m_combo->currentText());
}

void Zoom::typedEntry() {
    const QString text = m_combo->currentText();
    if (text.isEmpty())
        return;
    const std::optional<double> percent = TypedPercent(text);
    if (!percent)
        return;
    removeSelection();
    m_view->zoomToFactor(*percent / 100.0);
    setComboText(PercentText(*percent));
    m_panel->setText(PanelPrefix + m_combo->currentText());
}

void Zoom::StepZoom(bool zoomIn) {
    if (m_view->fileName().isEmpty())
        return;
    removeSelection();
    m_ctl->setState(0);
    const double next = double(float(m_view->zoomFactor())) + (zoomIn ? 0.2 : -0.2);
    if (!(next > 0 && next < 100))
        return;
    // The factor is kept in single precision, as the view has always held it.
    m_view->zoomToFactor(double(float(next)));
    m_view->refresh();
    setComboText(PercentText(m_view->zoomFactor() * 100));
}

void Zoom::fit(viewgeom::FitMode mode) {
    if (m_shown.recordShown())
        return;
    m_view->zoomToFit(mode);
}

void Zoom::followScroll() {
    if (!m_ctl->isShown())
        return;
    // The view's own factor, not the combo's text: after a fit or a step the two differ, and
    // the rectangle must stay on the band the view draws.
    const double z = m_view->zoomFactor();
    const QWidget *area = m_view->clientArea();
    const double left =
        (z * m_view->selectionLeft() - m_view->scrollX() - SelectionShape::LeadMargin) *
        twipsPerPixelX(area);
    const double top =
        (z * m_view->selectionTop() - m_view->scrollY() - SelectionShape::LeadMargin) *
        twipsPerPixelY(area);
    m_ctl->move(left, top, m_ctl->widthTwips(), m_ctl->heightTwips());
}

} // namespace qen
