#include "platform/uilocale.h"

#include <QDir>
#include <QFileInfo>

namespace qen {

QLocale UiLocale(const QLocale &system) {
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    return system;
}

QString QtCatalogue(const QLocale &locale, const QString &dir) {
    // zh_CN first, then zh: the catalogues are named by language and territory or language.
    for (const QString &name : locale.uiLanguages()) {
        QString underscored = name;
        underscored.replace(QLatin1Char('-'), QLatin1Char('_'));
        for (QString candidate = underscored; !candidate.isEmpty();) {
            const QString path = QDir(dir).filePath(QStringLiteral("qtbase_%1.qm").arg(candidate));
            if (QFileInfo::exists(path))
                return path;
            const qsizetype cut = candidate.lastIndexOf(QLatin1Char('_'));
            candidate = cut > 0 ? candidate.left(cut) : QString();
        }
    }
    return {};
}

} // namespace qen
