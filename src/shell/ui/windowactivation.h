#pragma once

#include "shell/activationtoken.h"

class QWidget;

namespace qen {

// Brings the window to the front for a second start, with the token that start was given:
// on Wayland the compositor activates only a window that shows a launcher's token, and on
// X11 a window manager that prevents focus stealing wants the launch's time. Without a
// token (or on a platform that takes none) the window asks for the user's attention in the
// task bar instead, so a double click is never answered by nothing.
void ActivateWindow(QWidget *window, const ActivationToken &token);

} // namespace qen
