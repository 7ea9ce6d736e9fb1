#include "articles/opencommand.h"

namespace qen {

QString OpenDialogTitle() {
    return QStringLiteral("打开文件");
}

QStringList OpenDialogFilters() {
    // Description and pattern pairs as the program has always offered them; a ZIP package is
    // opened through the last one.
    static const char *const pairs[][2] = {
        {"All supper files(*.qen,*.tif,*.wwp,*.wp,*txt,*.rtf,*.jpg,*.gif,*.bmp)",
         "*.qen;*.wwp;*.wp;*txt;*.rtf;*.jpg;*.gif;*.bmp;*.tif"},
        {"*.qen", "*.qen"},
        {"*.wwp", "*.wwp"},
        {"*.txt", "*.txt"},
        {"*.rtf", "*.rtf"},
        {"*.wp", "*.wp"},
        {"*.tif", "*.tif"},
        {"*.jpg", "*.jpg"},
        {"*.gif", "*.gif"},
        {"*.bmp", "*.bmp"},
        {"所有文件(*.*)", "*"},
    };
    // The dialog wants "description (patterns)"; a description that already names its
    // patterns in brackets, or is the pattern itself, is not followed by them a second time.
    QStringList filters;
    for (const auto &pair : pairs) {
        const QString patterns =
            QString::fromUtf8(pair[1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = QString::fromUtf8(pair[0]);
        if (description == patterns) {
            filters << description;
            continue;
        }
        const qsizetype bracket = description.indexOf(QLatin1Char('('));
        if (bracket > 0 && description.endsWith(QLatin1Char(')')))
            description = description.left(bracket).trimmed();
        filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters;
}

QString LastOpenSpec::take(const QStringList &chosen) {
    const QString list = chosen.join(QChar(u'\0'));
    if (list.isEmpty() || list == m_value)
        return QString();
    m_value = list;
    return list;
}

} // namespace qen
