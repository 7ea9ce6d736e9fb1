#pragma once

// An Interaction that tests script: queued answers for dialogs and questions, a record of
// every message shown, the clipboard kept in memory, and printing sent to a PDF file.
#include "platform/ui/interaction.h"

#include <QMimeData>
#include <QPrinter>
#include <QQueue>
#include <QTemporaryDir>
#include <memory>

namespace qen::test {

struct ShownMessage {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

class ScriptedInteraction : public Interaction {
public:
    // Without a file, printing still goes to one, in a folder of the interaction's own: an
    // empty output name would send the test's pages to the machine's default printer.
    explicit ScriptedInteraction(const QString &pdfOutput = QString()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(pdfOutput.isEmpty()
                                        ? m_printFolder.filePath(QStringLiteral("printed.pdf"))
                                        : pdfOutput);
    }

    QList<ShownMessage> messages;
    QQueue<QMessageBox::StandardButton> answers; // for questions; Yes when empty
    QQueue<QStringList> openAnswers;             // empty list = Cancel
    QQueue<QString> saveAnswers;                 // "" = Cancel
    QQueue<QString> directoryAnswers;            // "" = Cancel
    QQueue<std::optional<QFont>> fontAnswers;    // nullopt = Cancel
    bool printerSetupAnswer = true;
    bool printerInstalled = true;
    int previewChoice = -1;
    QStringList previewChoices;
    int previewShown = -1;
    QStringList saveDialogFilters, saveDialogSuffixes;
    QImage clipboardImage;
    QString clipboardText;
    QList<QUrl> openedUrls;
    std::unique_ptr<QMimeData> dragged;
    QImage dragPreview;
    int drags = 0;
    QStringList openDialogTitles, openDialogFilters;

    QMessageBox::StandardButton message(QWidget *, QMessageBox::Icon icon, const QString &title,
                                        const QString &text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override {
        messages.append({icon, title, text});
        if (buttons == QMessageBox::Ok || buttons == QMessageBox::NoButton)
            return QMessageBox::Ok;
        return answers.isEmpty() ? defaultButton : answers.dequeue();
    }
    QStringList openFileNames(QWidget *, const QString &title, const QString &,
                              const QString &filter) override {
        openDialogTitles << title;
        openDialogFilters << filter;
        return openAnswers.isEmpty() ? QStringList() : openAnswers.dequeue();
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &,
                         QString *) override {
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    QString existingDirectory(QWidget *, const QString &, const QString &) override {
        return directoryAnswers.isEmpty() ? QString() : directoryAnswers.dequeue();
    }
    QString saveFileNameUnconfirmed(QWidget *, const QString &, const QString &filter,
                                    const QString &suffix) override {
        saveDialogFilters << filter;
        saveDialogSuffixes << suffix;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    std::optional<QFont> font(QWidget *, const QFont &, const QString &) override {
        return fontAnswers.isEmpty() ? std::nullopt : fontAnswers.dequeue();
    }
    QPrinter &printer() override { return m_printer; }
    bool setupPrinter(QWidget *) override { return printerSetupAnswer; }
    bool hasPrinter() override { return printerInstalled; }
    // The user looks at the preview with the scope previewChoice (the given one when < 0),
    // then prints from it.
    void printPreview(QWidget *, QPrinter &printer, const QStringList &choices, int choice,
                      const std::function<void(QPrinter &, int)> &paint) override {
        previewChoices = choices;
        previewShown = choice;
        paint(printer, previewChoice < 0 ? choice : previewChoice);
    }
    void setClipboardImage(const QImage &image) override { clipboardImage = image; }
    void setClipboardText(const QString &text) override { clipboardText = text; }
    bool openUrl(const QUrl &url) override {
        openedUrls << url;
        return true;
    }
    // A drag is dropped at once, as a copy; what it offered stays here to be looked at.
    Qt::DropAction drag(QWidget *, QMimeData *data, const QImage &preview) override {
        dragged.reset(data);
        dragPreview = preview;
        ++drags;
        return Qt::CopyAction;
    }

    // The texts of messages with this title, in order.
    QStringList texts(const QString &title) const {
        QStringList out;
        for (const ShownMessage &m : messages)
            if (m.title == title)
                out << m.text;
        return out;
    }

private:
    QTemporaryDir m_printFolder;
    QPrinter m_printer{QPrinter::HighResolution};
};

} // namespace qen::test
