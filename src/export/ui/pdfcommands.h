#pragma once

#include "export/pdfexport.h"
#include "ocr/pagereader.h"

#include <QObject>
#include <functional>
#include <memory>

class QWidget;

namespace qen {

class Documents;
class Interaction;
class WorkFolders;
namespace ocr {
class TextCache;
class TextLayer;
} // namespace ocr

// The three commands of the PDF menu: the current page, the current article, and every
// article (one file each) as PDF. They get what they work on, not the window.
class PdfCommands : public QObject {
    Q_OBJECT
public:
    struct Context {
        QWidget *window = nullptr; // parent of dialogs and message boxes
        Documents *documents = nullptr;
        Interaction *interaction = nullptr;
        const WorkFolders *folders = nullptr;
        // The busy window around the work; closeBusy runs on every way out.
        std::function<void(const QString &text)> showBusy;
        std::function<void()> closeBusy;
        // The busy window with a way to stop: shown again with each page's count, onCancel
        // run when the user stops. Without it, pages are read without a way to stop.
        std::function<void(const QString &text, std::function<void()> onCancel)> showProgress;
        // Whether the PDFs carry the pages' recognised text (the menu's check item).
        std::function<bool()> includeText;
        // The text the background reading already holds for a page file, or null.
        std::function<const ocr::TextLayer *(const QString &page)> knownText;
    };
    // Reads one page's text; setting *cancel from another thread stops it.
    using TextReader =
        std::function<ocr::PageReading(const QString &file, const volatile int *cancel)>;

    explicit PdfCommands(Context context, QObject *parent = nullptr);
    ~PdfCommands() override;

    void SaveCurrentPage();
    void SaveCurrentArticle();
    void SaveAllArticles();

    // Replaces the recognition library for reading pages not read yet (tests).
    void setTextReader(TextReader reader) { m_textReader = std::move(reader); }

private:
    enum class Scope { Page, Article };
    void saveOne(Scope scope);
    // The save dialog and the replace question; empty when the user stops.
    QString chooseTarget();
    // Where the staging folders go, created when missing. Throws qen::Error.
    QString stagingParent() const;
    void inform(const QString &text);
    void warn(const QString &text);
    // The text source of one export of `pages` pages, or none when the PDFs carry no text.
    pdfexport::PageTextSource textSource(int pages);
    // Reads a page on a thread of its own while the busy window stays live; throws
    // pdfexport::Cancelled when the user stops, qen::Error when the page cannot be read.
    ocr::TextLayer readPage(const QString &file, int index, int pages);
    ocr::PageReading readWithLibrary(const QString &file, const volatile int *cancel);

    Context m_context;
    TextReader m_textReader;
    std::unique_ptr<ocr::PageReader> m_reader;
    std::unique_ptr<ocr::TextCache> m_cache;
};

} // namespace qen
