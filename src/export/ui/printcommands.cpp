#include "export/ui/printcommands.h"

#include "articles/articletree.h"
#include "articles/imagedocument.h"
#include "export/printfeed.h"
#include "export/printlayout.h"
#include "pageview/pagedisplay.h"
#include "pageview/shownview.h"
#include "pageview/ui/imageview.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/twips.h"
#include "platform/ui/interaction.h"
#include "records/ui/recordview.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPrinter>
#include <QTextDocument>
#include <QTextFrame>

#include <algorithm>
#include <memory>

namespace qen {

namespace {
const QStringList ImageTypes = {"JPG", "GIF", "BMP", "TIF"};
const QStringList RecordTypes = {"RTF", "TXT", "WP", "TMP"};
} // namespace

PrintJob::PrintJob(QPrinter &printer) : m_printer(printer) {
    // Before the sheet is read: pages are prepared for it before the first is painted.
    m_printer.setPageOrientation(QPageLayout::Portrait);
}

PrintJob::~PrintJob() {
    if (m_painter.isActive())
        m_painter.end();
}

QPainter &PrintJob::newPage() {
    if (!m_pages) {
        if (!m_painter.begin(&m_printer))
            throw PrinterError(QStringLiteral("无法开始打印：打印机 %1 不能使用。")
                                   .arg(m_printer.printerName().isEmpty()
                                            ? m_printer.outputFileName()
                                            : m_printer.printerName()));
    } else if (!m_printer.newPage()) {
        throw PrinterError(QStringLiteral("打印机无法开始新的一页，打印已停止。"));
    }
    ++m_pages;
    return m_painter;
}

void PrintJob::finish() {
    if (m_painter.isActive() && !m_painter.end())
        throw PrinterError(QStringLiteral("打印机报告错误，打印没有完成。"));
    if (m_printer.printerState() == QPrinter::Error)
        throw PrinterError(QStringLiteral("打印机报告错误，打印没有完成。"));
}

bool PrintJob::abort() {
    return m_painter.isActive() && m_printer.abort();
}

printlayout::Sheet PrintJob::sheet() const {
    // The painter starts at the printable area, the placement at the sheet's corner.
    return {printlayout::paperMillimetres(m_printer.pageLayout().pageSize()),
            m_printer.resolution() / double(twips::PerInch),
            m_printer.pageRect(QPrinter::DevicePixel).topLeft() -
                m_printer.paperRect(QPrinter::DevicePixel).topLeft()};
}

void PrintJob::printImage(const QImage &page) {
    printPrepared(printlayout::preparePage(page, sheet()));
}

void PrintJob::printPrepared(const printlayout::PrintImage &page) {
    QPainter &painter = newPage();
    // Printing on Linux goes through Qt's PDF engine, which sends images as JPEG unless told
    // otherwise: around scanned text that leaves gray smudges, so bilevel pages go lossless.
    painter.setRenderHint(QPainter::LosslessImageRendering, page.pixels.depth() == 1);
    painter.drawImage(page.target, page.pixels);
}

void PrintJob::printDocument(const QTextDocument &source) {
    std::unique_ptr<QTextDocument> doc(source.clone());
    // Laid out for the printer, so that point sizes come out at their size on paper.
    doc->documentLayout()->setPaintDevice(&m_printer);
    const QSizeF page = m_printer.pageRect(QPrinter::DevicePixel).size();
    QTextFrameFormat frame = doc->rootFrame()->frameFormat();
    // 2 cm, given at screen resolution: the layout scales frame margins to the device.
    frame.setMargin(2 / 2.54 * 96);
    doc->rootFrame()->setFrameFormat(frame);
    doc->setPageSize(page);
    for (int i = 0; i < doc->pageCount(); ++i) {
        QPainter &painter = newPage();
        painter.save();
        painter.translate(0, -i * page.height());
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = QRectF(0, i * page.height(), page.width(), page.height());
        context.palette.setColor(QPalette::Text, Qt::black);
        painter.setClipRect(context.clip);
        doc->documentLayout()->draw(&painter, context);
        painter.restore();
    }
}

PrintCommands::PrintCommands(ExportControls controls, ExportHooks hooks, Interaction &interaction,
                             QObject *parent)
    : QObject(parent), m_controls(controls), m_hooks(std::move(hooks)), m_interaction(interaction) {
}

bool PrintCommands::PrintFile(PrintJob &job, const QString &path) {
    const QString type = GetFileExt(path).toUpper();
    if (ImageTypes.contains(type)) {
        job.printPrepared(printlayout::preparePageFile(path, job.sheet()));
        return true;
    }
    if (RecordTypes.contains(type)) {
        RecordView record;
        if (!record.loadFile(path))
            throw Error(QStringLiteral("无法读取文件 %1。").arg(path));
        job.printDocument(*record.document());
        return true;
    }
    return false;
}

bool PrintCommands::PrintFiles(PrintJob &job, const QStringList &files, QStringList *skipped,
                               const Progress &progress) {
    const printlayout::Sheet sheet = job.sheet();
    QEventLoop waiting;
    // Declared after the loop it wakes, so that its thread has ended before the loop goes.
    PrintFeed feed(
        int(files.size()),
        [&files, sheet](int i) -> FedPage {
            if (!ImageTypes.contains(GetFileExt(files[i]).toUpper()))
                return {};
            return {FedPage::Image, printlayout::preparePageFile(files[i], sheet), {}};
        },
        [&waiting] {
            QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
        });
    for (int i = 0; i < files.size(); ++i) {
        // Asked between pages: the printer never gets a page cut short.
        if (progress && !progress(i + 1, int(files.size())))
            return false;
        // The window stays painted meanwhile; input waits for the next question.
        while (!feed.ready(i))
            waiting.exec(QEventLoop::ExcludeUserInputEvents);
        const FedPage page = feed.take(i);
        // A page that cannot be read is left out; the printer failing ends the walk.
        try {
            if (page.kind == FedPage::Failed)
                *skipped << page.error;
            else if (page.kind == FedPage::Image)
                job.printPrepared(page.image);
            else
                PrintFile(job, files[i]);
        } catch (const PrinterError &) {
            throw;
        } catch (const Error &e) {
            *skipped << e.description();
        }
    }
    return true;
}

std::optional<QStringList> PrintCommands::scopeFiles(int scope, QStringList *skipped,
                                                     const Progress &decoding) {
    ArticleTree &tree = *m_controls.tree;
    const int node = tree.selected() ? tree.selected() : tree.roots().constFirst();
    QList<int> pages;
    if (scope == CurrentArticle && tree.parent(node)) {
        pages = tree.children(tree.parent(node));
    } else if (scope == AllArticles) {
        for (int i = 1; i <= tree.count(); ++i) {
            const QString type = tree.pageType(i);
            if (tree.childCount(i) == 0 && !type.isEmpty() && type != u"QEN" && type != u"ZIP")
                pages << i;
        }
    } else {
        // The current page as it is shown: the image view's file, or the record as filtered.
        const ImageView *image = m_controls.imageView;
        const QString shown = image && !m_controls.shown->recordShown()
                                  ? image->fileName()
                                  : m_controls.recordView->fileName();
        return shown.isEmpty() ? QStringList() : QStringList{shown};
    }
    // WWP pages are decoded into the work folder as showing them does, a while each: said in
    // the busy window, and stopped there.
    const int wwpCount = int(std::count_if(
        pages.begin(), pages.end(), [&](int index) { return tree.pageType(index) == u"WWP"; }));
    int wwpDone = 0;
    QStringList files;
    for (const int index : std::as_const(pages)) {
        if (tree.pageType(index) == u"WWP" && decoding && !decoding(++wwpDone, wwpCount))
            return std::nullopt;
        const QString key = tree.key(index);
        const PageDisplay::PageFile file = m_controls.display->pageFile(index);
        if (!file.ok)
            *skipped << QStringLiteral("%1：无法解码这个 WWP 页面").arg(key);
        else if (!file.path.isEmpty())
            files << file.path;
    }
    return files;
}

PrintCommands::Printed PrintCommands::printScope(QPrinter &printer, int scope, QStringList *skipped,
                                                 const Progress &progress,
                                                 const Progress &decoding) {
    Printed printed;
    const std::optional<QStringList> files = scopeFiles(scope, skipped, decoding);
    if (!files) {
        printed.stopped = true; // before the printer was asked for anything
        return printed;
    }
    PrintJob job(printer);
    printed.stopped = !PrintFiles(job, *files, skipped, progress);
    printed.pages = job.pages();
    // A stopped job leaves nothing where the print system can take it back; where it cannot
    // (on Linux: Qt's PDF and CUPS engines), the pages done end as a complete document.
    if (printed.stopped && job.abort()) {
        printed.aborted = true;
        return printed;
    }
    job.finish();
    return printed;
}

void PrintCommands::reportStopped(const Printed &printed) {
    // Stopped before the first page, like a dialog cancelled: nothing printed, nothing to say.
    if (printed.stopped && !printed.aborted && printed.pages > 0)
        m_interaction.information(
            m_controls.window,
            QStringLiteral("打印已取消。已打印的 %1 页已送往打印机。").arg(printed.pages));
}

void PrintCommands::reportSkipped(const QStringList &skipped) {
    if (!skipped.isEmpty())
        m_interaction.error(m_controls.window, QStringLiteral("以下页面没有打印：\n") +
                                                   skipped.join(QLatin1Char('\n')));
}

namespace {
// The busy window of one print command: shown by the job's first question, closed on every
// way out, and before anything is said.
class PrintProgress {
public:
    explicit PrintProgress(const ExportHooks &hooks) : m_hooks(hooks) {}
    ~PrintProgress() { close(); }
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    PrintCommands::Progress asked() { return saying(QStringLiteral("正在打印第 %1 / %2 页")); }
    PrintCommands::Progress decoding() {
        return saying(QStringLiteral("正在解码第 %1 / %2 个 WWP 页面"));
    }
    void close() {
        if (m_shown && m_hooks.closeBusy)
            m_hooks.closeBusy();
        m_shown = false;
    }

private:
    PrintCommands::Progress saying(const QString &text) {
        if (!m_hooks.showProgress)
            return {};
        return [this, text](int index, int count) {
            m_hooks.showProgress(text.arg(index).arg(count), [this] { m_stop = true; });
            m_shown = true;
            // The window's button answers here, between pages; the window is modal meanwhile.
            QCoreApplication::processEvents();
            return !m_stop;
        };
    }

    const ExportHooks &m_hooks;
    bool m_shown = false, m_stop = false;
};
} // namespace

void PrintCommands::PrintPages(int scope) {
    if (m_controls.tree->isEmpty())
        return;
    // Said once for the command, not once for every page.
    if (!m_interaction.hasPrinter()) {
        m_interaction.information(m_controls.window,
                                  QStringLiteral("没有可用的打印机。请先安装打印机，再打印。"));
        return;
    }
    QStringList skipped;
    PrintProgress progress(m_hooks);
    try {
        const Printed printed = printScope(m_interaction.printer(), scope, &skipped,
                                           progress.asked(), progress.decoding());
        progress.close();
        reportStopped(printed);
    } catch (const PrinterError &e) {
        progress.close();
        m_interaction.error(m_controls.window, e.description());
        return;
    }
    reportSkipped(skipped);
}

void PrintCommands::PrintPreview() {
    if (m_controls.tree->isEmpty())
        return;
    // The preview draws again at every change in it; what was left out is said once, after.
    QStringList skipped, failures;
    m_interaction.printPreview(
        m_controls.window, m_interaction.printer(),
        {QStringLiteral("当前页"), QStringLiteral("当前篇"), QStringLiteral("所有篇")},
        CurrentPage - 1, [&](QPrinter &printer, int choice) {
            skipped.clear();
            try {
                printScope(printer, choice + 1, &skipped);
            } catch (const PrinterError &e) {
                if (!failures.contains(e.description()))
                    failures << e.description();
            }
        });
    for (const QString &f : std::as_const(failures))
        m_interaction.error(m_controls.window, f);
    reportSkipped(skipped);
}

void PrintCommands::printSetup() {
    m_interaction.setupPrinter(m_controls.window);
}

} // namespace qen
