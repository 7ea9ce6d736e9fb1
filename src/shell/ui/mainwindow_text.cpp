// Find in the open articles, the text tool and the page's right-click menu.
#include "ocr/ui/findbar.h"
#include "ocr/ui/findcommand.h"
#include "ocr/ui/texttool.h"
#include "pageview/ui/documents.h"
#include "shell/ui/mainwindow.h"
#include "view/ui/keyhandler.h"
#include "view/ui/windowlayout.h"

#include <QAction>

namespace qen {

void MainWindow::wireText() {
    QAction *find = command(QStringLiteral("mnuPage_Find"));
    QAction *tool = command(QStringLiteral("mnuTool_SelectText"));
    QAction *pageText = command(QStringLiteral("mnuTool_CopyPageText"));
    m_find = new FindCommand({m_findBar, m_imgEdit, m_documents, m_textQueue,
                              [this](bool shown) { m_layout->showFindBar(shown); }},
                             this);
    m_textTool = new TextTool({this, m_imgEdit, m_documents, m_textQueue, &m_interaction, tool,
                               command(QStringLiteral("mnuTool_SelOCRArea")), pageText,
                               command(QStringLiteral("mnuTool_CopyCurrPage")),
                               command(QStringLiteral("mnuTool_CopySelArea")),
                               [this](const QString &query) { m_find->open(query); }},
                              this);
    // Ctrl+F over selected text looks for that text.
    connect(find, &QAction::triggered, m_find,
            [this] { m_find->open(m_textTool->selectedText()); });
    connect(pageText, &QAction::triggered, m_textTool, &TextTool::copyPageText);
    QAction *toolButton = command(QStringLiteral("SelectText"));
    toolButton->setCheckable(true);
    connect(tool, &QAction::toggled, toolButton, &QAction::setChecked);
    // Find goes with its command: a record shown, or nothing open, closes the bar.
    connect(find, &QAction::changed, m_find, [this, find] {
        if (!find->isEnabled() && m_find->isOpen())
            m_find->close();
    });
    auto whenFindable = [find](void (FindCommand::*step)(), FindCommand *command) {
        return [find, step, command] {
            if (find->isEnabled())
                (command->*step)();
        };
    };
    m_keys->setTextKeys(
        {m_findBar, [this] { return m_textTool->active() && m_textTool->hasSelection(); },
         [this] { m_textTool->copySelection(); }, whenFindable(&FindCommand::findNext, m_find),
         whenFindable(&FindCommand::findPrevious, m_find), [this] { m_find->close(); }});
}

} // namespace qen
