#pragma once

#include <QObject>

class QComboBox;
class QLabel;

namespace qen {

class ImageView;

// The zoom combo and the fit commands of the image view.
class Zoom : public QObject {
    Q_OBJECT
public:
    Zoom(ImageView *view, QComboBox *combo, QLabel *zoomPanel, QObject *parent = nullptr);

    // Applies the combo's percentage (its Click): nothing while the record view is shown.
    void applyComboText();
    // 0 best width, 1 best height, 2 best size; nothing while the record view is shown.
    void fit(int mode);

private:
    ImageView *m_view;
    QComboBox *m_combo;
    QLabel *m_panel;
};

// The number at the start of a text such as "150%" (0 when there is none).
double LeadingNumber(const QString &text);

} // namespace qen
