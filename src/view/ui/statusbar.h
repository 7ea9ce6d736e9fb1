#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QStatusBar>

namespace qen {

// The window's status bar. QStatusBar repaints itself whole whenever one of its panels asks
// for a new layout, and a panel asks each time its text changes: on every page turn that
// cost more than painting the page. Here a layout request that moved nothing repaints
// nothing; the changed panel repaints its own text.
class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    using QStatusBar::QStatusBar;

protected:
    bool event(QEvent *event) override;

private:
    struct Arrangement {
        QSize size;
        QFont font;
        QList<QRect> panels;
        QList<int> minimumHeights;
        bool operator==(const Arrangement &) const = default;
    };
    Arrangement arrangement() const;

    Arrangement m_last;
    bool m_arranged = false;
};

} // namespace qen
