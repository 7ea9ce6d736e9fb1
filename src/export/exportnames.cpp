#include "export/exportnames.h"

#include <QFileInfo>

namespace qen::exportnames {

namespace {
// Room for a suffix such as " (12).tif" or ".pdf" after the title.
constexpr qsizetype MaxTitleBytes = 200;
} // namespace

QString safeComponent(const QString &title, const QString &fallback) {
    QString name;
    name.reserve(title.size());
    for (const QChar c : title)
        name += (c == QLatin1Char('/') || c.unicode() < 0x20 || c.unicode() == 0x7F)
                    ? QLatin1Char('_')
                    : c;
    name = name.trimmed();
    while (name.toUtf8().size() > MaxTitleBytes) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    name = name.trimmed();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return fallback;
    return name;
}

QString NameClaims::claim(const QString &name) {
    QString candidate = name;
    if (m_taken.contains(candidate)) {
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        const QString base = dot > 0 ? name.left(dot) : name;
        const QString ext = dot > 0 ? name.mid(dot) : QString();
        for (int n = 2; m_taken.contains(candidate); ++n)
            candidate = QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ext);
    }
    m_taken.insert(candidate);
    return candidate;
}

} // namespace qen::exportnames
