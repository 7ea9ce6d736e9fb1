#pragma once

#include <QLoggingCategory>

// Life-cycle events (hand-over picked up, raise requested, clean-up); off unless enabled with
// QT_LOGGING_RULES="qen.shell.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcShell)
