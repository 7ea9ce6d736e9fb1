// PDF export.
#include "export/ui/pdfcommands.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wirePdf() {
    m_pdf = new PdfCommands({this, m_documents, &m_interaction, &m_folders,
                             [](const QString &text) { BusyMessage::current()->ShowMsg(text); },
                             [] { BusyMessage::dismiss(); }},
                            this);
    connect(command(QStringLiteral("mnuPDF_Current")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveCurrentPage);
    connect(command(QStringLiteral("mnuPDF_CurrentArticle")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveCurrentArticle);
    connect(command(QStringLiteral("mnuPDF_AllArticle")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveAllArticles);
}

} // namespace qen
