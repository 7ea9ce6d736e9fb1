#pragma once

#include "ocr/textselection.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <functional>

class QAction;
class QWidget;

namespace qen {

class Documents;
class ImageView;
class Interaction;

namespace ocr {
class TextQueue;
}

// Selecting the recognised text of the shown page with the mouse, copying it, and the page's
// right-click menu. While the tool is on it takes the left button in the view from the area
// selection and the pan, which work as before while it is off.
class TextTool : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QWidget *window = nullptr;
        ImageView *view = nullptr;
        Documents *documents = nullptr;
        ocr::TextQueue *queue = nullptr;
        Interaction *interaction = nullptr;
        QAction *toolItem = nullptr; // 选择文字, checkable
        QAction *areaItem = nullptr; // the area selection, which the tool excludes
        // The right-click menu's other entries.
        QAction *copyPageText = nullptr, *copyPage = nullptr, *copyArea = nullptr;
        std::function<void(const QString &query)> find;
    };
    TextTool(Controls controls, QObject *parent = nullptr);

    bool active() const;
    bool hasSelection() const { return !m_range.isEmpty(); }
    QString selectedText() const;
    ocr::GlyphRange selection() const { return m_range; }
    // Ctrl+C and 复制 with the tool on: the selected text, as the clipboard's text.
    void copySelection();
    // 复制本页文字: the whole page's text.
    void copyPageText();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void toolToggled(bool on);
    const ocr::TextLayer *layer() const;
    QString shownPage() const;
    bool mouse(QEvent *event);
    void select(const ocr::GlyphRange &range);
    void followPointer(QPoint page);
    void contextMenu(QPoint global);
    void pageRead(const QString &page);

    Controls m_c;
    QWidget *m_viewport;
    ocr::TextSelector m_selector;
    const ocr::TextLayer *m_selectorLayer = nullptr; // what m_selector was built on
    ocr::GlyphRange m_range;
    QPoint m_press; // page pixels
    bool m_dragging = false;
    QElapsedTimer m_lastDouble; // a press soon after a double click is a triple click
};

} // namespace qen
