#pragma once

#include <QLabel>
#include <QStaticText>

namespace qen {

// A status panel whose text is cut with "…" where it does not fit (never in the middle of a
// character), with the whole text as its tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // The text as drawn in the panel's present width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    const QStaticText &laidOut() const;

    mutable QStaticText m_shown;
    mutable QString m_shownFrom;
    mutable QFont m_shownFont;
    mutable int m_shownWidth = -1;
};

} // namespace qen
