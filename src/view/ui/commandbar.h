#pragma once

#include <QHash>
#include <QString>

class QAction;
class QMainWindow;
class QToolBar;

namespace qen {

struct CommandState;

// The main window's menu bar and toolbar, declared from tables. Every QAction carries the
// control's name as its objectName (menu items mnu<Menu>_<Item>, toolbar buttons their key).
class CommandBar {
public:
    // Builds the menus into the window's menu bar and the 23 buttons into the toolbar.
    CommandBar(QMainWindow *window, QToolBar *toolbar);

    QAction *menuItem(const QString &name) const { return m_menuItems.value(name); }
    QAction *button(const QString &key) const { return m_buttons.value(key); }
    const QHash<QString, QAction *> &menuItems() const { return m_menuItems; }
    const QHash<QString, QAction *> &buttons() const { return m_buttons; }

    // Each toolbar button runs its menu item (the toolbar dispatch), so a command is
    // connected once, to its menu item.
    void forwardButtons();

    // Sets the enabled flag of every menu item and button the state names; others keep theirs.
    void apply(const CommandState &state);

private:
    QHash<QString, QAction *> m_menuItems;
    QHash<QString, QAction *> m_buttons;
};

} // namespace qen
