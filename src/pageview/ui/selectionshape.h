#pragma once

#include "pageview/viewgeometry.h"
#include "platform/ui/twipsgeometry.h"

#include <QPoint>
#include <QWidget>

namespace qen {

// The area-selection rectangle (ctl): a frame with eight grab handles, placed in the image
// view's client area. Its own geometry reaches 8 pixels beyond the band's top-left corner
// and 9 pixels beyond the band's last pixel on the right and at the bottom; the frame is
// drawn on the band's outline and the handles sit on the frame.
//
// A press on a handle starts a handle drag: every pointer movement raises handleDrag with
// the displacement in twips (the caller resizes the shape through move()), the release
// raises handleDragEnd. A press anywhere else passes through to the view underneath.
class SelectionShape : public QWidget {
    Q_OBJECT
public:
    static constexpr int LeadMargin = viewgeom::BandLeadMargin;
    static constexpr int TrailMargin = viewgeom::BandTrailMargin;
    static constexpr int HandleSize = 7;

    // Starts hidden at Left 840, Top 1410, Width 1605, Height 2085 twips of the container.
    explicit SelectionShape(QWidget *container);

    // Visible and State; the callers set them together (True with 1, False with 0).
    bool isShown() const { return !isHidden(); }
    void setShown(bool shown) { setVisible(shown); }
    int state() const { return m_state; }
    void setState(int state);

    // Left, Top, Width, Height in twips of the container.
    double leftTwips() const { return qen::geometryTwips(this).left; }
    double topTwips() const { return qen::geometryTwips(this).top; }
    double widthTwips() const { return qen::geometryTwips(this).width; }
    double heightTwips() const { return qen::geometryTwips(this).height; }
    // Move: a negative width or height is refused (false) and nothing changes.
    bool move(double left, double top, double width, double height);

    // The handle (0-7 clockwise from the top-left corner) at a point of the shape, or -1.
    int handleAt(const QPoint &pos) const;
    // Centre of a handle in the shape's pixels.
    QPoint handleCentre(int handle) const;
    // The band's outline in the shape's pixels (may be inverted on a tiny shape).
    QRect frameRect() const;
    // The handle being dragged, or -1.
    int draggedHandle() const { return m_dragHandle; }

signals:
    // Button set 1 left, 2 right; shift 1 Shift, 2 Ctrl, 4 Alt; x, y twips; handle 0-7.
    void handleDrag(int button, int shift, double x, double y, int handle);
    void handleDragEnd(int button, int shift, double x, double y, int handle);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_state = 0;
    int m_dragHandle = -1;
    QPointF m_lastGlobal;
};

} // namespace qen
