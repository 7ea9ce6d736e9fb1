#include "tool/fulltool.h"

#include "platform/companion.h"
#include "tool/commands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>

namespace qen::tool {

int runFullTool(int argc, char **argv) {
    const QStringList candidates = companionLibraryPaths(QCoreApplication::applicationDirPath(),
                                                         QStringLiteral("libqentoolcommands.so"));
    QStringList reasons;
    for (const QString &path : candidates) {
        if (!QFileInfo(path).isFile())
            continue;
        // The library stays loaded when the object goes: the commands' objects live until the
        // process ends.
        QLibrary library(path);
        if (auto entry = reinterpret_cast<FullToolEntry>(library.resolve(QEN_TOOL_ENTRY)))
            return entry(argc, argv);
        reasons << library.errorString();
    }
    if (reasons.isEmpty())
        reasons << QStringLiteral("not found");
    return errorExit(
        QStringLiteral("cannot load the tool's commands (%1); looked for %2")
            .arg(reasons.join(QStringLiteral("; ")), candidates.join(QStringLiteral(", "))));
}

} // namespace qen::tool
