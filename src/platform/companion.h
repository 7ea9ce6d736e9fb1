#pragma once

#include <QString>
#include <QStringList>

// Our own libraries that the programs load on first use (recognition, the command-line tool's
// commands) are found beside the executable, as in a build tree, then in the installed
// private library folder. That folder is looked for relative to the executable first, so an
// installed tree still works after it has been moved or installed under another prefix.
namespace qen {

QStringList companionLibraryPaths(const QString &executableDir, const QString &fileName);

} // namespace qen
