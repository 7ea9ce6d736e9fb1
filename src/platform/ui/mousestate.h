#pragma once

#include <Qt>

// Mouse events carry the button set (1 left, 2 right, 4 middle) and the shift state (1 Shift,
// 2 Ctrl, 4 Alt) as small bit sets, the way the program's handlers test them.
namespace qen {

inline int buttonSet(Qt::MouseButtons buttons) {
    return (buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
           (buttons & Qt::MiddleButton ? 4 : 0);
}

inline int shiftState(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? 1 : 0) | (modifiers & Qt::ControlModifier ? 2 : 0) |
           (modifiers & Qt::AltModifier ? 4 : 0);
}

} // namespace qen
