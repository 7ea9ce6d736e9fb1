#include "tool/fulltool.h"

#include "platform/companion.h"
#include "tool/commands.h"

#include <QCoreApplication>
#include <QLibrary>

namespace qen::tool {

int runFullTool(int argc, char **argv) {
    const QStringList candidates = companionLibraryPaths(QCoreApplication::applicationDirPath(),
                                                         QStringLiteral("libqentoolcommands.so"));
    // The library stays loaded when the object goes: the commands' objects live until the
    // process ends.
    QLibrary library;
    QStringList reasons;
    if (auto entry = reinterpret_cast<FullToolEntry>(
            loadCompanionEntry(library, candidates, QEN_TOOL_ENTRY, &reasons)))
        return entry(argc, argv);
    return errorExit(
        QStringLiteral("cannot load the tool's commands (%1); looked for %2")
            .arg(reasons.join(QStringLiteral("; ")), candidates.join(QStringLiteral(", "))));
}

} // namespace qen::tool
