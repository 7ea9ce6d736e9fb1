#include "platform/companion.h"

#include <QDir>

#ifndef QEN_COMPANION_RELDIR
#define QEN_COMPANION_RELDIR "../lib/qenbrowser"
#endif
#ifndef QEN_COMPANION_LIBDIR
#define QEN_COMPANION_LIBDIR "/usr/local/lib/qenbrowser"
#endif

namespace qen {

QStringList companionLibraryPaths(const QString &executableDir, const QString &fileName) {
    const QDir dir(executableDir);
    QStringList paths;
    for (const QString &candidate :
         {dir.filePath(fileName),
          QDir::cleanPath(dir.filePath(QStringLiteral(QEN_COMPANION_RELDIR "/") + fileName)),
          QStringLiteral(QEN_COMPANION_LIBDIR "/") + fileName}) {
        if (!paths.contains(candidate))
            paths << candidate;
    }
    return paths;
}

} // namespace qen
