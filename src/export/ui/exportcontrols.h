#pragma once

#include <QPointer>
#include <functional>

class QWidget;

namespace qen {

class ArticleTree;
class ImageView;
class PageDisplay;
class RecordView;
class ShownViewState;

// What saving and printing work on: the document model with its page files, the two shown
// views (to tell which one is shown and what it shows), and the window that owns dialogs.
struct ExportControls {
    QWidget *window = nullptr;
    ArticleTree *tree = nullptr;
    PageDisplay *display = nullptr;
    ImageView *imageView = nullptr;   // imgEdit
    RecordView *recordView = nullptr; // rihEdit
    const ShownViewState *shown = nullptr;
};

struct ExportHooks {
    std::function<void(int node)> showNode; // selects a node and shows its page
    // The busy window: shown with a text ("" for its default text), closed at the end.
    std::function<void(const QString &text)> showBusy;
    std::function<void()> closeBusy;
    // The busy window with a way to stop, shown again with each step's text; onCancel runs
    // when the user stops. closeBusy closes it.
    std::function<void(const QString &text, std::function<void()> onCancel)> showProgress;
};

// The busy window for the length of one command, closed also when the command throws.
class ExportBusy {
public:
    ExportBusy(const ExportHooks &hooks, const QString &text = QString()) : m_hooks(hooks) {
        if (m_hooks.showBusy)
            m_hooks.showBusy(text);
    }
    ~ExportBusy() {
        if (m_hooks.closeBusy)
            m_hooks.closeBusy();
    }
    ExportBusy(const ExportBusy &) = delete;
    ExportBusy &operator=(const ExportBusy &) = delete;

private:
    const ExportHooks &m_hooks;
};

} // namespace qen
