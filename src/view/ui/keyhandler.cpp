#include "view/ui/keyhandler.h"

#include "pageview/ui/imageview.h"
#include "platform/ui/mousestate.h"
#include "view/dispatch.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextEdit>

namespace qen {

KeyHandler::KeyHandler(QWidget *window, ImageView *view, QWidget *tree, Commands commands,
                       QObject *parent)
    : QObject(parent), m_window(window), m_view(view), m_tree(tree), m_commands(commands) {
    connect(view, &ImageView::wheeledPastEdge, this, &KeyHandler::turn);
    qApp->installEventFilter(this);
}

namespace {

KeyFocus focusKind(QWidget *focus, const ImageView *view, const QWidget *tree,
                   const QWidget *findBar) {
    for (QWidget *w = focus; w; w = w->parentWidget()) {
        if (w == view)
            return KeyFocus::ImageView;
        if (w == tree)
            return KeyFocus::Tree;
        if (findBar && w == findBar)
            return KeyFocus::FindBar;
    }
    // An editable combo box (the zoom box) holds the focus for its line edit.
    const auto *combo = qobject_cast<QComboBox *>(focus);
    if (qobject_cast<QLineEdit *>(focus) || qobject_cast<QTextEdit *>(focus) ||
        qobject_cast<QPlainTextEdit *>(focus) || qobject_cast<QAbstractSpinBox *>(focus) ||
        (combo && combo->isEditable()))
        return KeyFocus::TextControl;
    return KeyFocus::Other;
}

} // namespace

bool KeyHandler::eventFilter(QObject *watched, QEvent *event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    // A key press travels up from the focused widget; act once, on the first delivery, and
    // only for this window (the result window and dialogs keep their own keys).
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_window || widget != QApplication::focusWidget())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const KeyFocus focus = focusKind(widget, m_view, m_tree, m_text.findBar);
    const int shift = shiftState(key->modifiers());
    if (type == QEvent::ShortcutOverride) {
        // An accepted override hands the key to the focused control instead of a shortcut. It
        // is taken here: passed on, it would travel up to the parents with its mark cleared.
        if (ShortcutAllowed(key->key(), shift, focus))
            return false;
        event->accept();
        return true;
    }
    if (key->key() == Qt::Key_Escape && m_window->isFullScreen() && m_commands.fullScreen &&
        focus != KeyFocus::TextControl && focus != KeyFocus::FindBar) {
        m_commands.fullScreen->trigger();
        return true;
    }
    const bool textSelected = m_text.textSelected && m_text.textSelected();
    const KeyAction action = KeyTable(key->key(), shift, focus, m_view->selectionWidth(),
                                      m_view->selectionHeight(), textSelected);
    if (std::function<void()> text = textCommand(action.kind)) {
        text();
        return true;
    }
    switch (action.kind) {
    case KeyAction::Scroll:
        m_view->setScrollX(m_view->scrollX() + action.dx);
        m_view->setScrollY(m_view->scrollY() + action.dy);
        return true;
    case KeyAction::CopySelection:
    case KeyAction::CopyPage: {
        QAction *copy = action.kind == KeyAction::CopySelection ? m_commands.copySelection
                                                                : m_commands.copyPage;
        if (!copy->isEnabled())
            return false;
        copy->trigger();
        return true;
    }
    case KeyAction::ScreenDown:
    case KeyAction::ScreenUp: {
        const int direction = action.kind == KeyAction::ScreenDown ? 1 : -1;
        const int y = m_view->scrollY(), max = m_view->verticalScrollBar()->maximum();
        if (direction > 0 ? y < max : y > 0)
            m_view->setScrollY(y + direction * m_view->viewport()->height());
        else
            turn(direction);
        return true;
    }
    default:
        break;
    }
    return false;
}

std::function<void()> KeyHandler::textCommand(int kind) const {
    switch (kind) {
    case KeyAction::CopyText:
        return m_text.copyText;
    case KeyAction::FindNext:
        return m_text.findNext;
    case KeyAction::FindPrevious:
        return m_text.findPrevious;
    case KeyAction::CloseFind:
        return m_text.closeFind;
    default:
        return {};
    }
}

void KeyHandler::turn(int direction) {
    QAction *command = direction > 0 ? m_commands.nextPage : m_commands.previousPage;
    if (!command || !command->isEnabled())
        return;
    const QString before = m_view->fileName();
    command->trigger();
    if (m_view->fileName() != before) // at the article's end nothing turns, nothing moves
        m_view->setScrollY(direction > 0 ? 0 : m_view->verticalScrollBar()->maximum());
}

} // namespace qen
