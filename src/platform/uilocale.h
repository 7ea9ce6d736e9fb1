#pragma once

#include <QLocale>

namespace qen {

// The locale whose Qt texts (dialog buttons, file dialogs) the program shows. The program
// itself speaks Chinese, so a system without a locale ("C", "POSIX") gets simplified Chinese
// rather than English; any other locale keeps its own.
QLocale UiLocale(const QLocale &system);

// Qt's own translation catalogue for that locale ("qtbase_zh_CN"), searched in dir; an empty
// text when there is none, so that Qt stays in English.
QString QtCatalogue(const QLocale &locale, const QString &dir);

} // namespace qen
