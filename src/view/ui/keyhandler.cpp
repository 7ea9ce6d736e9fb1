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
#include <QTextEdit>

namespace qen {

KeyHandler::KeyHandler(QWidget *window, ImageView *view, QWidget *tree, QAction *copySelection,
                       QAction *copyPage, QObject *parent)
    : QObject(parent), m_window(window), m_view(view), m_tree(tree), m_copySelection(copySelection),
      m_copyPage(copyPage) {
    qApp->installEventFilter(this);
}

namespace {

KeyFocus focusKind(QWidget *focus, const ImageView *view, const QWidget *tree) {
    for (QWidget *w = focus; w; w = w->parentWidget()) {
        if (w == view)
            return KeyFocus::ImageView;
        if (w == tree)
            return KeyFocus::Tree;
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
    if (event->type() != QEvent::KeyPress)
        return false;
    // A key press travels up from the focused widget; act once, on the first delivery, and
    // only for this window (the result window and dialogs keep their own keys).
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_window || widget != QApplication::focusWidget())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const KeyAction action =
        KeyTable(key->key(), shiftState(key->modifiers()), focusKind(widget, m_view, m_tree),
                 m_view->selectionWidth(), m_view->selectionHeight());
    switch (action.kind) {
    case KeyAction::Scroll:
        m_view->setScrollX(m_view->scrollX() + action.dx);
        m_view->setScrollY(m_view->scrollY() + action.dy);
        return true;
    case KeyAction::CopySelection:
    case KeyAction::CopyPage: {
        QAction *copy = action.kind == KeyAction::CopySelection ? m_copySelection : m_copyPage;
        if (!copy->isEnabled())
            return false;
        copy->trigger();
        return true;
    }
    case KeyAction::None:
        break;
    }
    return false;
}

} // namespace qen
