#pragma once

#include "export/printlayout.h"
#include "export/ui/exportcontrols.h"
#include "platform/error.h"

#include <QObject>
#include <QPainter>
#include <QStringList>

#include <functional>
#include <optional>

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
// page rather than the last one. Pages print in portrait whatever the printer was set to.
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
    // Takes back what the printer was given, where the print system can; false where it
    // cannot (Qt's PDF and CUPS engines), and the job then goes on as it was.
    bool abort();
    int pages() const { return m_pages; }

    // The job's sheet, for preparing pages away from the printer.
    printlayout::Sheet sheet() const;
    // An image page, placed on the paper as the layout rules say.
    void printImage(const QImage &image);
    // A page preparePage made ready for this job's sheet.
    void printPrepared(const printlayout::PrintImage &page);
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

    // The hooks' showProgress, when set, shows the busy window over a job with a way to stop.
    PrintCommands(ExportControls controls, ExportHooks hooks, Interaction &interaction,
                  QObject *parent = nullptr);

    // Prints one file into the job: records as text, images as a page each. False for a file
    // type that is not printed. Throws qen::Error for a file that cannot be read, and
    // PrinterError for the printer failing.
    static bool PrintFile(PrintJob &job, const QString &path);
    // Called before each file with its place (from 1) and the count; false stops the job.
    using Progress = std::function<bool(int index, int count)>;
    // Prints the files into the job in order, as PrintFile does, each image page decoded and
    // scaled on a thread of its own one page ahead of the one being painted. Pages that cannot
    // be read go to *skipped. False when `progress` stopped the walk. Throws PrinterError.
    static bool PrintFiles(PrintJob &job, const QStringList &files, QStringList *skipped,
                           const Progress &progress = {});

public slots:
    void PrintPages(int scope);
    // 打印预览: what one of the three print commands would print, chosen in the preview, and
    // printed from it as that command prints.
    void PrintPreview();
    // 打印设置: the printer and paper the print commands use.
    void printSetup();

private:
    struct Printed {
        bool stopped = false; // by the user
        bool aborted = false; // and taken back from the printer
        int pages = 0;
    };
    // The files a scope prints, in order; pages that cannot be decoded go to *skipped. WWP
    // pages are decoded here, each announced to `decoding` first (its place among the WWP
    // pages, from 1, and their count); nullopt when that stopped the walk.
    std::optional<QStringList> scopeFiles(int scope, QStringList *skipped,
                                          const Progress &decoding = {});
    // The scope's job on `printer`; pages left out go to *skipped. Throws PrinterError.
    Printed printScope(QPrinter &printer, int scope, QStringList *skipped,
                       const Progress &progress = {}, const Progress &decoding = {});
    void reportStopped(const Printed &printed);
    void reportSkipped(const QStringList &skipped);

    ExportControls m_controls;
    ExportHooks m_hooks;
    Interaction &m_interaction;
};

} // namespace qen
