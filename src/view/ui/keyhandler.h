#pragma once

#include <QObject>

class QAction;
class QWidget;

namespace qen {

class ImageView;

// The main window's keys: scrolling keys for the image view and Ctrl+C for the copy commands.
// It watches key presses for the window's widgets before they reach them.
class KeyHandler : public QObject {
    Q_OBJECT
public:
    KeyHandler(QWidget *window, ImageView *view, QWidget *tree, QAction *copySelection,
               QAction *copyPage, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    ImageView *m_view;
    QWidget *m_tree;
    QAction *m_copySelection;
    QAction *m_copyPage;
};

} // namespace qen
