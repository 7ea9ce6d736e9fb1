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
} // namespace qen::icons
