#pragma once

#include "imaging/pagedrag.h"
#include "imaging/selection.h"
#include "platform/workfolders.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>
#include <vector>

class QWidget;

namespace qen {

class ImageView;
class Interaction;
class SelectionShape;
class ShownViewState;

// The image-tool commands: the six adjustments and undo, the grayscale display, the area
// selection with the mouse and the selection rectangle, copy to the clipboard and the crop
// file that recognition reads. It works on the two image views and the rectangle it is given;
// the main window connects its menu items and the views' events to it.
class ImageTools : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget *window = nullptr; // parent of message boxes
        ImageView *imgEdit = nullptr;
        ImageView *imgHide = nullptr; // the crop goes through it
        SelectionShape *ctl = nullptr;
        const ShownViewState *shown = nullptr;
    };
    struct Hooks {
        // Runs `work` with the busy window showing `text`.
        std::function<void(const QString &text, const std::function<void()> &work)> busy;
        // Selection mode: its menu item is checked and enabled.
        std::function<bool()> selectionMode;
    };
    // One adjustment command: its menu item, whether it shows the busy window, what it does.
    struct Adjustment {
        const char *menuItem;
        bool busy;
        void (*apply)(ImageView &view);
    };
    static const std::vector<Adjustment> &adjustments();
    static QString busyText() { return QStringLiteral("正在处理图像，请稍候..."); }

    ImageTools(const WorkFolders &folders, Interaction &interaction, Controls controls,
               QObject *parent = nullptr);
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    void adjust(const Adjustment &adjustment);
    // Reloads the shown page's file, dropping every adjustment. Only while the image view is
    // shown; a file that cannot be read any more leaves the page as it is, with an error box.
    void undo();
    // After the grayscale item's check mark changed.
    void setGrayscale(bool on);
    // After the selection item's check mark changed: removes the band and the rectangle and
    // sets the pointer (cross in selection mode).
    void selectionModeChanged(bool on);

    // Copies the whole shown page at its own resolution; removes the band first.
    void copyCurrPage();
    // Copies the band's pixels (the whole page without a band) through the crop file.
    void copySelArea();
    // Writes the band's pixels (the whole page without a band) of the shown page to
    // cropPath() through imgHide, which then holds the crop with that file name. The file is
    // written whole or not at all, and a crop left by an earlier command is removed first.
    // False when nothing is shown (the image view is empty or a record is shown) or when the
    // file cannot be written; the latter shows an "error" box naming the folder.
    bool CropSelectionToFile();
    QString cropPath() const;

    // Events of the image view (button set, shift state, twips of its client area) and of the
    // selection rectangle. A press held still for a moment and then moved drags the page out
    // of the view instead, or the band when the press was on it.
    void mouseDown(int button, int shift, double x, double y);
    void mouseMove(int button, int shift, double x, double y);
    void mouseUp(int button, int shift, double x, double y);
    void handleDrag(int button, int shift, double x, double y, int handle);
    void handleDragEnd();

    QPoint anchor() const { return m_anchor; }

private:
    selection::Scale scale() const;
    bool selecting() const;
    void commitRectangle();
    void showRectangle(bool shown);
    void followClippedBand();
    void dragOut();

    WorkFolders m_folders;
    Interaction &m_interaction;
    Controls m_controls;
    Hooks m_hooks;
    QPoint m_anchor; // lAnchorX, lAnchorY: view pixels of the last press or pan step
    pagedrag::Gesture m_gesture;
    QElapsedTimer m_clock;
    QRect m_pressBand; // the band at the press, image pixels
    bool m_pressOnBand = false;
};

} // namespace qen
