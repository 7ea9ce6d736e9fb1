#include "export/ui/browsefolder.h"

#include "platform/ui/interaction.h"

#include <QDir>
#include <QStandardPaths>

namespace qen {

QString BrowseForFolder(Interaction &interaction, QWidget *owner, const QString &prompt) {
    QString start = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!QDir(start).exists())
        start = QDir::homePath();
    const QString chosen = interaction.existingDirectory(owner, prompt, start);
    if (chosen.isEmpty())
        return QString();
    return QDir::cleanPath(chosen);
}

} // namespace qen
