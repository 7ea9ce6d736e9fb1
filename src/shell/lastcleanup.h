#pragma once

#include <QStringList>

namespace qen {

class WorkFolders;

// The clean-up for the ends that bypass the window and the event loop. Qt ends the process
// itself when the display goes away: through exit() when the X server dies (atexit handlers
// still run) and through _exit() when the Wayland compositor does (nothing runs after it,
// but the warning it prints just before does pass through the message handler). A fatal
// Qt error aborts the same way. Armed for the life of the main window; disarm() before a
// normal return from main, whose destructors tidy up themselves.
namespace lastcleanup {

// Deletes the work folders' leftovers (WorkFolders::cleanUp) and then the given files (the
// single-instance socket and lock) when the process ends by one of those roads.
void arm(const WorkFolders *folders, const QStringList &files);
void disarm();

// A message Qt prints just before it ends the process on its own.
bool endsTheProcess(QtMsgType type, const QString &message);

} // namespace lastcleanup
} // namespace qen
