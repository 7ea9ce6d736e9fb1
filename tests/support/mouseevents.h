#pragma once

// A mouse event sent straight to a widget, placed on the screen as the window system places it.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

namespace qen::test {

inline void sendMouse(QWidget *w, QEvent::Type type, QPoint at, Qt::MouseButton button,
                      Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

} // namespace qen::test
