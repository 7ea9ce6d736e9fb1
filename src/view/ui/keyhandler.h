#pragma once

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace qen {

class ImageView;

// The main window's keys: scrolling keys for the image view, Ctrl+C for the copy commands,
// Esc out of full screen, and which menu shortcuts may fire where the focus is. It watches
// key presses for the window's widgets before they reach them.
class KeyHandler : public QObject {
    Q_OBJECT
public:
    struct Commands {
        QAction *copySelection = nullptr;
        QAction *copyPage = nullptr;
        QAction *fullScreen = nullptr;
        QAction *nextPage = nullptr, *previousPage = nullptr;
    };
    KeyHandler(QWidget *window, ImageView *view, QWidget *tree, Commands commands,
               QObject *parent = nullptr);

    // The keys of the find bar and the text tool: F3, Enter and Esc in the bar, Ctrl+C of
    // selected text.
    struct TextKeys {
        QWidget *findBar = nullptr;
        std::function<bool()> textSelected;
        std::function<void()> copyText, findNext, findPrevious, closeFind;
    };
    void setTextKeys(TextKeys keys) { m_text = std::move(keys); }

    // Space at the page's edge, or the wheel past it: the next (+1) or previous (-1) page,
    // shown from its top or its bottom so that reading goes on where it was.
    void turn(int direction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<void()> textCommand(int kind) const;

    QWidget *m_window;
    ImageView *m_view;
    QWidget *m_tree;
    Commands m_commands;
    TextKeys m_text;
};

} // namespace qen
