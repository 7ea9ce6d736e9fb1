#include "pageview/ui/selectionshape.h"

#include "platform/ui/mousestate.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace qen {

namespace {
Qt::CursorShape handleCursor(int handle) {
    switch (handle) {
    case 0:
    case 4:
        return Qt::SizeFDiagCursor;
    case 2:
    case 6:
        return Qt::SizeBDiagCursor;
    case 1:
    case 5:
        return Qt::SizeVerCursor;
    default:
        return Qt::SizeHorCursor;
    }
}
} // namespace

SelectionShape::SelectionShape(QWidget *container) : QWidget(container) {
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    hide();
    move(840, 1410, 1605, 2085);
}

void SelectionShape::setState(int state) {
    m_state = state;
}

bool SelectionShape::move(double left, double top, double width, double height) {
    return moveTwips(this, {left, top, width, height});
}

QRect SelectionShape::frameRect() const {
    return QRect(QPoint(LeadMargin, LeadMargin),
                 QPoint(width() - TrailMargin, height() - TrailMargin));
}

QPoint SelectionShape::handleCentre(int handle) const {
    const QRect f = frameRect();
    const int l = f.left(), t = f.top(), r = f.right(), b = f.bottom();
    const int mx = (l + r) / 2, my = (t + b) / 2;
    switch (handle) {
    case 0:
        return {l, t};
    case 1:
        return {mx, t};
    case 2:
        return {r, t};
    case 3:
        return {r, my};
    case 4:
        return {r, b};
    case 5:
        return {mx, b};
    case 6:
        return {l, b};
    case 7:
        return {l, my};
    default:
        return {};
    }
}

int SelectionShape::handleAt(const QPoint &pos) const {
    // Corners first, so that a tiny shape still offers its corners.
    static constexpr int order[] = {0, 2, 4, 6, 1, 3, 5, 7};
    const int reach = HandleSize / 2 + 1;
    for (int h : order) {
        const QPoint d = pos - handleCentre(h);
        if (std::abs(d.x()) <= reach && std::abs(d.y()) <= reach)
            return h;
    }
    return -1;
}

void SelectionShape::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    const QRect f = frameRect().normalized();
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(f);
    painter.setPen(QPen(Qt::blue, 1, Qt::DashLine));
    painter.drawRect(f);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (int h = 0; h < 8; ++h) {
        const QPoint c = handleCentre(h);
        painter.drawRect(c.x() - HandleSize / 2, c.y() - HandleSize / 2, HandleSize - 1,
                         HandleSize - 1);
    }
}

void SelectionShape::mousePressEvent(QMouseEvent *event) {
    const int handle = handleAt(event->position().toPoint());
    if (handle < 0 || event->button() != Qt::LeftButton) {
        event->ignore(); // the view underneath starts a new selection or a pan
        return;
    }
    m_dragHandle = handle;
    m_lastGlobal = event->globalPosition();
    event->accept();
}

void SelectionShape::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragHandle < 0) {
        const int handle = handleAt(event->position().toPoint());
        if (handle >= 0)
            setCursor(handleCursor(handle));
        else
            unsetCursor();
        event->ignore();
        return;
    }
    // Global positions: the caller moves this shape in answer, which must not feed back
    // into the displacement.
    const QPointF global = event->globalPosition();
    const QPointF delta = global - m_lastGlobal;
    if (delta.isNull())
        return;
    m_lastGlobal = global;
    emit handleDrag(buttonSet(event->buttons()), shiftState(event->modifiers()),
                    std::round(delta.x()) * twipsPerPixelX(this),
                    std::round(delta.y()) * twipsPerPixelY(this), m_dragHandle);
}

void SelectionShape::mouseReleaseEvent(QMouseEvent *event) {
    if (m_dragHandle < 0) {
        event->ignore();
        return;
    }
    const int handle = m_dragHandle;
    m_dragHandle = -1;
    emit handleDragEnd(buttonSet(event->button()), shiftState(event->modifiers()),
                       event->position().x() * twipsPerPixelX(this),
                       event->position().y() * twipsPerPixelY(this), handle);
}

} // namespace qen
