#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

namespace qen {

// The toolbar's dispatch: the menu item a button's key runs, compared upper-cased (so a key
// that differs only in letter case runs the same command); "" for a key that runs nothing.
QString ToolbarCommand(const QString &buttonKey);

// Where the keyboard focus is when a key is pressed.
// FindBar: the find bar's query or any other control of the bar.
enum class KeyFocus { ImageView, Tree, TextControl, FindBar, Other };

// What a key press in the main window does.
struct KeyAction {
    // ScreenDown, ScreenUp: a screen further, or the next (previous) page at an edge.
    // CopyText: the text selected with the text tool.
    enum Kind {
        None,
        Scroll,
        CopySelection,
        CopyPage,
        ScreenDown,
        ScreenUp,
        CopyText,
        FindNext,
        FindPrevious,
        CloseFind
    };
    Kind kind = None;
    int dx = 0, dy = 0; // for Scroll, in screen pixels
    bool operator==(const KeyAction &) const = default;
};

// The arrow keys scroll the image by 10 pixels and Page Up/Down by 100 while the image view
// has the focus, whatever Shift, Ctrl or Alt are held; elsewhere they are left to the focused
// control (in the tree they move the selection, which shows the page). Ctrl+C alone copies
// the selected area when a band is drawn (width and height above 0), else the whole page,
// except in a text control, which copies its own selected text. `key` is a Qt::Key, `shift`
// the bit set 1 Shift, 2 Ctrl, 4 Alt. Space and Shift+Space on the image turn by screens, as
// readers of long pages expect.
// With text selected by the text tool, Ctrl+C copies that text instead. F3 and Shift+F3 go to
// the next and previous hit of the find bar wherever the focus is; in the bar, Enter and
// Shift+Enter do the same and Esc closes it, while every other key (arrows, Page Up/Down)
// edits the query and never scrolls.
KeyAction KeyTable(int key, int shift, KeyFocus focus, int bandWidth, int bandHeight,
                   bool textSelected = false);

// The keyboard shortcuts of the menu items, as every desktop reader has them; the menus show
// them. Qt's standard keys are used where Qt has one, so the desktop's own choice wins.
struct MenuShortcut {
    const char *item;
    QList<QKeySequence> keys;
};
const QList<MenuShortcut> &MenuShortcuts();

// Whether a menu shortcut may fire with the focus where it is. In a text control the keys
// keep the control's own meaning, so only function keys (F1, F11) fire there; plain Home and
// End turn to the first and last page only from the image view, and elsewhere stay the focused
// control's (the tree moves its selection with them). `shift` as for KeyTable.
// The find bar counts as a text control here.
bool ShortcutAllowed(int key, int shift, KeyFocus focus);

} // namespace qen
