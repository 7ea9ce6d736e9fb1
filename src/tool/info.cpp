#include "articles/opener.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "tool/commands.h"
#include "tool/pagelisting.h"

#include <QFileInfo>
#include <QTemporaryDir>

namespace qen::tool {

int runInfo(const QStringList &args) {
    bool json = false;
    QStringList positional;
    for (const QString &a : args) {
        if (a == QLatin1String("--json"))
            json = true;
        else if (a.startsWith(QLatin1String("--")))
            return errorExit(QStringLiteral("info: unknown option '%1'").arg(a));
        else
            positional << a;
    }
    if (positional.size() != 1)
        return errorExit(QStringLiteral("usage: qentool info FILE [--json]"));
    const QString file = Opener::cleanItem(positional.first());
    try {
        switch (Opener::kindOf(file)) {
        case Opener::ItemKind::Package: {
            QTemporaryDir scratch;
            if (!scratch.isValid())
                throw Error(QStringLiteral("cannot create a scratch folder: %1")
                                .arg(scratch.errorString()));
            printListing(unpack(file, scratch.path()), json);
            return 0;
        }
        case Opener::ItemKind::Single: {
            if (!QFileInfo(file).isFile())
                throw Error(QStringLiteral("找不到文件 %1。").arg(file));
            printListing({GetBaseName(file), {QFileInfo(file).fileName()}}, json);
            return 0;
        }
        case Opener::ItemKind::Ignored:
            break;
        }
        return errorExit(QStringLiteral("%1 is neither a package nor a page or record file "
                                        "(known: QEN, ZIP, WWP, TIF, JPG, GIF, BMP, TXT, RTF, WP)")
                             .arg(file));
    } catch (const Error &e) {
        return errorExit(e.description());
    }
}

} // namespace qen::tool
