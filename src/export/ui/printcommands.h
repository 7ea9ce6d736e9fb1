#pragma once

#include "export/ui/exportcontrols.h"
#include "platform/error.h"

#include <QObject>
#include <QPainter>
#include <QStringList>

class QPrinter;
class QTextDocument;

namespace qen {

class Interaction;

// The printer itself failed (it cannot start the job or take a page): printing stops there,
// where a page that cannot be read is only left out.
class PrinterError : public Error {
public:
    using Error::Error;
};

// One print job: pages are added one after another and the document ends when the job
// does. A walk over an article prints as one job, so a printer pointed at a file gets every
// page rather than the last one.
class PrintJob {
public:
    explicit PrintJob(QPrinter &printer);
    ~PrintJob();
    PrintJob(const PrintJob &) = delete;
    PrintJob &operator=(const PrintJob &) = delete;

    // The painter on a fresh page. Throws PrinterError when the printer cannot start the job
    // or take another page.
    QPainter &newPage();
    // Ends the document; throws PrinterError when the printer reports a failure.
    void finish();
    int pages() const { return m_pages; }

    // An image page, placed on the paper as the layout rules say.
    void printImage(const QImage &image);
    // A record, over as many pages as it needs.
    void printDocument(const QTextDocument &document);

private:
    QPrinter &m_printer;
    QPainter m_painter;
    int m_pages = 0;
};

// The print commands: the current page, the current article or all articles, each as one
// job on the printer chosen in the printer set-up.
class PrintCommands : public QObject {
    Q_OBJECT
public:
    enum Scope { CurrentPage = 1, CurrentArticle = 2, AllArticles = 3 };

    PrintCommands(ExportControls controls, Interaction &interaction, QObject *parent = nullptr);

    // Prints one file into the job: records as text, images as a page each. False for a file
    // type that is not printed. Throws qen::Error for a file that cannot be read, and
    // PrinterError for the printer failing.
    static bool PrintFile(PrintJob &job, const QString &path);

public slots:
    void PrintPages(int scope);
    // 打印预览: what one of the three print commands would print, chosen in the preview, and
    // printed from it as that command prints.
    void PrintPreview();
    // 打印设置: the printer and paper the print commands use.
    void printSetup();

private:
    // The files a scope prints, in order; pages that cannot be decoded go to *skipped.
    QStringList scopeFiles(int scope, QStringList *skipped);
    // The scope's job on `printer`; pages left out go to *skipped. Throws PrinterError.
    void printScope(QPrinter &printer, int scope, QStringList *skipped);
    void reportSkipped(const QStringList &skipped);

    ExportControls m_controls;
    Interaction &m_interaction;
};

} // namespace qen
