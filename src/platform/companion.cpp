#include "platform/companion.h"
#include "platform/errortext.h"

#include <QDir>
#include <QFileInfo>

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

void *loadCompanionEntry(QLibrary &library, const QStringList &candidates, const char *entry,
                         QStringList *reasons) {
    reasons->clear();
    for (const QString &path : candidates) {
        if (!QFileInfo(path).isFile())
            continue;
        library.setFileName(path);
        if (!library.load()) {
            reasons->append(LibraryLoadErrorText(library.errorString()));
            continue;
        }
        if (void *found = reinterpret_cast<void *>(library.resolve(entry)))
            return found;
        reasons->append(QStringLiteral("%1 缺少入口 %2").arg(path, QLatin1String(entry)));
        library.unload();
    }
    if (reasons->isEmpty())
        reasons->append(QStringLiteral("找不到文件"));
    return nullptr;
}

} // namespace qen
