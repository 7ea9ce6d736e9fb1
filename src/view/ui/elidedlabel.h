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
    // Lays out texts the panel is about to show (the places of the neighbouring pages), so
    // that showing one of them costs no layout. Replaces the texts laid out before.
    void layOutAhead(const QStringList &texts);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Layout {
        QString from;
        QStaticText shown;
    };
    const QStaticText &laidOut() const;
    int textWidth() const;
    QStaticText layOut(const QString &text, int width) const;

    QList<Layout> m_ahead;
    int m_aheadWidth = -1;
    QFont m_aheadFont;

    mutable QStaticText m_shown;
    mutable QString m_shownFrom;
    mutable QFont m_shownFont;
    mutable int m_shownWidth = -1;
};

} // namespace qen
