#pragma once

#include "pageview/shownview.h"
#include "pageview/viewgeometry.h"
#include "view/zoomtext.h"

#include <QObject>

class QComboBox;
class QLabel;

namespace qen {

class ImageView;
class SelectionShape;

// The zoom combo cboZoom, the step and fit commands, and the selection rectangle kept over
// the image while the view scrolls.
class Zoom : public QObject {
    Q_OBJECT
public:
    Zoom(ImageView *view, const ShownViewState &shown, SelectionShape *ctl, QComboBox *combo,
         QLabel *zoomPanel, QObject *parent = nullptr);

    // The combo's Click: applies its percentage; nothing while the record view is shown.
    void applyComboText();
    // Enter in the combo: applies an accepted typed text and writes it back as "N%". A text
    // that is refused stays as typed and changes nothing.
    void typedEntry();
    // Zoom in (true) or out by 20 percentage points; nothing without a loaded page.
    void StepZoom(bool zoomIn);
    // Nothing while the record view is shown.
    void fit(viewgeom::FitMode mode);
    // Moves the selection rectangle to follow the page after a scroll.
    void followScroll();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void removeSelection();
    void setComboText(const QString &text);

    ImageView *m_view;
    const ShownViewState &m_shown;
    SelectionShape *m_ctl;
    QComboBox *m_combo;
    QLabel *m_panel;
};

} // namespace qen
