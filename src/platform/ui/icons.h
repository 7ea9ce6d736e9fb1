#pragma once

#include <QIcon>
#include <QString>

namespace qen::icons {
// The toolbar's pictures, drawn by the program itself so that they scale with the screen and
// need no outside artwork. imageKey is the button's image key (tOpen, tSave, ...).
QIcon toolbarIcon(const QString &imageKey);
// The tree's two pictures: an article (package or single file) and a page.
QIcon articleIcon();
QIcon pageIcon();
// The program's own icon, the same pictures the desktop shows in its menu: the window uses it.
QIcon programIcon();
// The pixel sizes programIcon() holds, smallest first.
QList<int> programIconSizes();
} // namespace qen::icons
