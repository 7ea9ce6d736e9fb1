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
        // Kept loaded until the process ends: the commands' objects live until then.
        auto *library = new QLibrary(path);
        if (auto entry = reinterpret_cast<FullToolEntry>(library->resolve(QEN_TOOL_ENTRY)))
            return entry(argc, argv);
        reasons << library->errorString();
    }
    if (reasons.isEmpty())
        reasons << QStringLiteral("not found");
    return errorExit(
        QStringLiteral("cannot load the tool's commands (%1); looked for %2")
            .arg(reasons.join(QStringLiteral("; ")), candidates.join(QStringLiteral(", "))));
}

} // namespace qen::tool
