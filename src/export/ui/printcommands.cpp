#include "export/ui/printcommands.h"

#include "articles/articletree.h"
#include "articles/imagedocument.h"
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
#include <QPrinter>
#include <QTextDocument>
#include <QTextFrame>

#include <memory>

namespace qen {

namespace {
const QStringList ImageTypes = {"JPG", "GIF", "BMP", "TIF"};
const QStringList RecordTypes = {"RTF", "TXT", "WP", "TMP"};
} // namespace

PrintJob::PrintJob(QPrinter &printer) : m_printer(printer) {}

PrintJob::~PrintJob() {
    if (m_painter.isActive())
        m_painter.end();
}

QPainter &PrintJob::newPage() {
    if (!m_pages) {
        m_printer.setPageOrientation(QPageLayout::Portrait);
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

void PrintJob::printImage(const QImage &page) {
    QPainter &painter = newPage();
    const QSizeF paper = printlayout::paperMillimetres(m_printer.pageLayout().pageSize());
    const QSizeF size = printlayout::imageTwips(page);
    const QRectF twipsRect = printlayout::imagePlacement(size.width(), size.height(), paper);
    const double scale = m_printer.resolution() / double(twips::PerInch);
    // The painter starts at the printable area, the placement at the sheet's corner.
    const QPointF margin = m_printer.pageRect(QPrinter::DevicePixel).topLeft() -
                           m_printer.paperRect(QPrinter::DevicePixel).topLeft();
    const QRectF target = QRectF(twipsRect.x() * scale, twipsRect.y() * scale,
                                 twipsRect.width() * scale, twipsRect.height() * scale)
                              .translated(-margin);
    // Printing on Linux goes through Qt's PDF engine, which sends images as JPEG unless told
    // otherwise: around scanned text that leaves gray smudges, so bilevel pages go lossless.
    painter.setRenderHint(QPainter::LosslessImageRendering, page.format() == QImage::Format_Mono);
    // Detail beyond what the printer resolves only costs memory and time in the job.
    const QSize pixels = printlayout::printPixels(page.size(), target);
    if (pixels == page.size()) {
        painter.drawImage(target, page);
        return;
    }
    const QImage source = page.format() == QImage::Format_Mono
                              ? page.convertToFormat(QImage::Format_Grayscale8)
                              : page;
    painter.drawImage(target,
                      source.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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

PrintCommands::PrintCommands(ExportControls controls, Interaction &interaction, QObject *parent)
    : QObject(parent), m_controls(controls), m_interaction(interaction) {}

bool PrintCommands::PrintFile(PrintJob &job, const QString &path) {
    const QString type = GetFileExt(path).toUpper();
    if (ImageTypes.contains(type)) {
        job.printImage(ImageDocument::readFile(path));
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

QStringList PrintCommands::scopeFiles(int scope, QStringList *skipped) {
    ArticleTree &tree = *m_controls.tree;
    const int node = tree.selected() ? tree.selected() : tree.roots().constFirst();
    auto page = [&](int index) {
        const QString key = tree.key(index);
        const PageDisplay::PageFile file = m_controls.display->pageFile(index);
        if (!file.ok)
            *skipped << QStringLiteral("%1：无法解码这个 WWP 页面").arg(key);
        return file.ok ? file.path : QString();
    };
    QStringList files;
    if (scope == CurrentArticle && tree.parent(node)) {
        for (const int child : tree.children(tree.parent(node)))
            files << page(child);
    } else if (scope == AllArticles) {
        for (int i = 1; i <= tree.count(); ++i) {
            const QString type = tree.pageType(i);
            if (tree.childCount(i) == 0 && !type.isEmpty() && type != u"QEN" && type != u"ZIP")
                files << page(i);
        }
    } else {
        // The current page as it is shown: the image view's file, or the record as filtered.
        const ImageView *image = m_controls.imageView;
        files << (image && !m_controls.shown->recordShown() ? image->fileName()
                                                            : m_controls.recordView->fileName());
    }
    files.removeAll(QString());
    return files;
}

void PrintCommands::printScope(QPrinter &printer, int scope, QStringList *skipped) {
    const QStringList files = scopeFiles(scope, skipped);
    PrintJob job(printer);
    for (const QString &file : files) {
        // A page that cannot be read is left out; the printer failing ends the walk.
        try {
            PrintFile(job, file);
        } catch (const PrinterError &) {
            throw;
        } catch (const Error &e) {
            *skipped << e.description();
        }
    }
    job.finish();
}

void PrintCommands::reportSkipped(const QStringList &skipped) {
    if (!skipped.isEmpty())
        m_interaction.error(m_controls.window, QStringLiteral("以下页面没有打印：\n") +
                                                   skipped.join(QLatin1Char('\n')));
}

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
    try {
        printScope(m_interaction.printer(), scope, &skipped);
    } catch (const PrinterError &e) {
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
