#pragma once

#include <QObject>

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

    // Space at the page's edge, or the wheel past it: the next (+1) or previous (-1) page,
    // shown from its top or its bottom so that reading goes on where it was.
    void turn(int direction);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    ImageView *m_view;
    QWidget *m_tree;
    Commands m_commands;
};

} // namespace qen
