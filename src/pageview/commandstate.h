#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace qen {

// Which commands can be used follows from two facts only: whether any article is open, and
// whether the image view (rather than the record view) is the shown one. Whether a command
// makes sense on the particular page is left to the command.
struct CommandState {
    // Menu items by objectName, in the order they are set.
    std::vector<std::pair<QString, bool>> menu;
    // Toolbar buttons by key; each copies the flag of the menu item it follows.
    std::vector<std::pair<QString, bool>> toolbar;
    // cboZoom follows mnuPage_ZoomIn.
    bool zoomCombo = false;

    // The flag given to a menu item or toolbar key; false for names not in the tables.
    bool enabled(const QString &name) const;
};

CommandState ComputeCommandState(bool open, bool imageShown);

// The toolbar key -> menu item table, in its order.
const std::vector<std::pair<QString, QString>> &ToolbarFollows();

} // namespace qen
