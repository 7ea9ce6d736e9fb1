#pragma once

#include <QLibrary>
#include <QString>
#include <QStringList>

// Our own libraries that the programs load on first use (recognition, the command-line tool's
// commands) are found beside the executable, as in a build tree, then in the installed
// private library folder. That folder is looked for relative to the executable first, so an
// installed tree still works after it has been moved or installed under another prefix.
namespace qen {

QStringList companionLibraryPaths(const QString &executableDir, const QString &fileName);

// Loads the first candidate that exists and exports `entry` into `library`, and returns the
// entry. Null when none does; *reasons then says why for each candidate tried ("找不到文件"
// when none exists).
void *loadCompanionEntry(QLibrary &library, const QStringList &candidates, const char *entry,
                         QStringList *reasons);

} // namespace qen
