#include "articles/opener.h"
#include "platform/error.h"
#include "tool/commands.h"
#include "tool/pagelisting.h"

#include <QDir>
#include <QFileInfo>

namespace qen::tool {

int runExtract(const QStringList &args) {
    if (args.size() != 2 || args.first().startsWith(QLatin1String("--")))
        return errorExit(QStringLiteral("usage: qentool extract FILE DIR"));
    const QString file = Opener::cleanItem(args.at(0));
    const QString dir = QDir::cleanPath(args.at(1));
    if (Opener::kindOf(file) != Opener::ItemKind::Package)
        return errorExit(QStringLiteral("%1 is not a package (.qen, .zip)").arg(file));
    const QFileInfo target(dir);
    if (target.exists() && !target.isDir())
        return errorExit(QStringLiteral("%1 exists and is not a folder").arg(dir));
    if (target.exists() &&
        !QDir(dir)
             .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
             .isEmpty())
        return errorExit(
            QStringLiteral("%1 is not empty; extract into a new or empty folder").arg(dir));
    if (!target.exists() && !QDir().mkpath(dir))
        return errorExit(QStringLiteral("cannot create the folder %1").arg(dir));
    try {
        printListing(unpack(file, dir), false);
        return 0;
    } catch (const Error &e) {
        return errorExit(e.description());
    }
}

} // namespace qen::tool
