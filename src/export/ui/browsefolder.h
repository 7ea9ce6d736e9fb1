#pragma once

#include <QString>

class QWidget;

namespace qen {

class Interaction;

// The folder browser that saving and export use: a folder dialog starting at the desktop.
// Returns the chosen folder without a trailing "/" (the root stays "/", a folder like any
// other), or "" when the user cancels. Callers join names with QDir::filePath.
QString BrowseForFolder(Interaction &interaction, QWidget *owner, const QString &prompt);

} // namespace qen
