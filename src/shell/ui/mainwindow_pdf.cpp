// PDF export.
#include "export/ui/pdfcommands.h"
#include "ocr/textqueue.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/mainwindow.h"

#include <QAction>

namespace qen {

void MainWindow::wirePdf() {
    QAction *withText = command(QStringLiteral("mnuPDF_WithText"));
    m_pdf = new PdfCommands(
        {this, m_documents, &m_interaction, &m_folders,
         [](const QString &text) { BusyMessage::current()->ShowMsg(text); },
         [] { BusyMessage::dismiss(); },
         [](const QString &text, std::function<void()> onCancel) {
             BusyMessage::current()->ShowProgress(text, std::move(onCancel));
         },
         [withText] { return withText->isChecked(); },
         [this](const QString &page) { return m_textQueue ? m_textQueue->layer(page) : nullptr; }},
        this);
    connect(command(QStringLiteral("mnuPDF_Current")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveCurrentPage);
    connect(command(QStringLiteral("mnuPDF_CurrentArticle")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveCurrentArticle);
    connect(command(QStringLiteral("mnuPDF_AllArticle")), &QAction::triggered, m_pdf,
            &PdfCommands::SaveAllArticles);
}

} // namespace qen
