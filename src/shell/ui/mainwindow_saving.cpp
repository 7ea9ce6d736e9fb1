// Saving and printing pages, articles and everything; records exported and cited.
#include "export/ui/citationcommands.h"
#include "export/ui/printcommands.h"
#include "export/ui/savecommands.h"
#include "pageview/ui/documents.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wireSaving() {
    const ExportControls controls{
        this,      &m_documents->model(), &m_documents->display(), m_imgEdit,
        m_rihEdit, &m_documents->shown()};
    const ExportHooks hooks{[this](int node) { m_documents->nodeClick(node); },
                            [](const QString &text) { BusyMessage::current()->ShowMsg(text); },
                            [] { BusyMessage::dismiss(); },
                            [](const QString &text, std::function<void()> onCancel) {
                                BusyMessage::current()->ShowProgress(text, std::move(onCancel));
                            }};
    m_saving = new SaveCommands(controls, hooks, m_interaction, this);
    m_printing = new PrintCommands(controls, hooks, m_interaction, this);

    const struct {
        const char *item;
        int scope;
    } saves[] = {{"mnuFile_SaveCurrPage", SaveCommands::CurrentPage},
                 {"mnuFile_SaveCurrArticle", SaveCommands::CurrentArticle},
                 {"mnuFile_SaveAllArticle", SaveCommands::AllArticles}},
      prints[] = {{"mnuFile_PrintCurrPage", PrintCommands::CurrentPage},
                  {"mnuFile_PrintCurrArticle", PrintCommands::CurrentArticle},
                  {"mnuFile_PrintAllArticle", PrintCommands::AllArticles}};
    for (const auto &s : saves)
        connect(command(QString::fromLatin1(s.item)), &QAction::triggered, m_saving,
                [this, scope = s.scope] { m_saving->SavePages(scope); });
    for (const auto &p : prints)
        connect(command(QString::fromLatin1(p.item)), &QAction::triggered, m_printing,
                [this, scope = p.scope] { m_printing->PrintPages(scope); });
    connect(command(QStringLiteral("mnuFile_PrintSetup")), &QAction::triggered, m_printing,
            &PrintCommands::printSetup);
    connect(command(QStringLiteral("mnuFile_PrintPreview")), &QAction::triggered, m_printing,
            &PrintCommands::PrintPreview);

    m_citations = new CitationCommands(controls, hooks, m_interaction, this);
    connect(command(QStringLiteral("mnuFile_ExportRecords")), &QAction::triggered, m_citations,
            &CitationCommands::exportRecords);
    connect(command(QStringLiteral("mnuTool_CopyCitation")), &QAction::triggered, m_citations,
            &CitationCommands::copyCitation);
}

} // namespace qen
