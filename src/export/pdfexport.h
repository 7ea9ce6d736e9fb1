#pragma once

#include "export/pdfwriter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace qen {

class ArticleTree;
class PageDisplay;

namespace pdfexport {

// A folder of its own for one export's pages, removed with its contents when the export
// ends, so that two exports (or two pages with the same base name) never meet in it.
class Staging {
public:
    // Creates the folder inside parent. Throws qen::Error naming it.
    explicit Staging(const QString &parent);

    // Copies a page file in under the next sequence number (00001.tif, 00002.jpg, ...), so the
    // staged names sort in the order the pages were added. Throws qen::Error.
    void add(const QString &pageFile);
    const QStringList &files() const { return m_files; }
    bool isEmpty() const { return m_files.isEmpty(); }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QStringList m_files;
};

// What happened to one PDF.
struct Outcome {
    enum Kind {
        Written,     // the PDF is in place
        Unsupported, // a page of another type stopped the export (nothing written)
        Nothing,     // no page could be staged, so no PDF was written
        Failed,      // the writer refused a page or the target (nothing written or replaced)
        Cancelled,   // the user stopped the reading of the pages' text (nothing written)
    };
    Kind kind = Nothing;
    QString reason; // for Failed: the writer's description, naming the page or the target
};

// Thrown by a page text source when the user stops the export.
struct Cancelled {};

// The recognised text to lay over a page, by its node and the file that shows it (a WWP
// page's decoded TIFF). Throws qen::Error when the page cannot be read, Cancelled when the
// user stops.
using PageTextSource = std::function<pdf::PageText(int node, const QString &file)>;

// The export of pages from the article tree to PDF files, without dialogs: callers choose
// the target and show the outcome.
class PdfExport {
public:
    // Pages are staged in folders made inside stagingParent (which must exist).
    PdfExport(ArticleTree &tree, PageDisplay &display, QString stagingParent);

    // The page shown for the selected node, as a list of one; empty without a selection.
    QList<int> currentPage() const;
    // The pages of the selected node's article, in the article's order.
    QList<int> currentArticle() const;
    // The pages of an article (a root node): its children, or the root itself for a single file.
    QList<int> pagesOf(int root) const;
    // The article a node belongs to, for the title.
    QString titleOf(int node) const;

    // Stages the pages in the order given (WWP pages decoded as showing them would be) and
    // writes them into target with the title. With skipOthers a page of another type is left
    // out; without it, it ends the export as Unsupported. Throws qen::Error when a page
    // cannot be staged (a WWP page that cannot be decoded, a copy that fails). With a text
    // source, every page's text is had before the file is begun.
    Outcome exportPages(const QList<int> &pages, const QString &title, const QString &target,
                        bool skipOthers, const PageTextSource &text = {});

    struct Failure {
        QString title;
        QString reason;
    };
    // One PDF per article in folder, named after the article's text (made safe, and distinct
    // within the run; an existing file of that name is replaced once the new one is
    // complete). Articles with nothing to export are passed over. Returns the failures. With
    // a text source, the text of every article's pages is had before the first file is
    // written; Cancelled then leaves every file as it was.
    QList<Failure> exportAll(const QString &folder, const PageTextSource &text = {});

private:
    // The text of every image page of the articles, read before anything is written, as a
    // source that gives it again (and a page's reading error again).
    PageTextSource textsOf(const QList<int> &roots, const PageTextSource &text);

    ArticleTree &m_tree;
    PageDisplay &m_display;
    QString m_stagingParent;
};

} // namespace pdfexport
} // namespace qen
