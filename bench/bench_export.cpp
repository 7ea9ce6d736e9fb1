// Saving and printing benchmark on 20 generated 300 dpi A4 G4 pages, each figure beside a
// baseline measured in the same run: saving an article against QFile::copy of the same files,
// printing an article to a PDF file (pages prepared one ahead of the printer, bilevel at 1 bit)
// against a plain QPainter::drawImage loop.
#include "articles/articletree.h"
#include "articles/imagedocument.h"
#include "articles/wwp.h"
#include "export/pagesaving.h"
#include "export/printlayout.h"
#include "export/ui/printcommands.h"
#include "pageview/pagedisplay.h"
#include "platform/workfolders.h"

#include "benchsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>

using namespace qen;

namespace {

constexpr int Pages = 20, Runs = 5;

// The process's peak resident set so far (VmHWM), in MB.
double peakMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

void resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const WorkFolders folders(dir.filePath("root"), dir.filePath("app"));
    folders.prepareAtStartup();
    const QString src = dir.filePath("src");
    QDir().mkpath(src);
    QStringList names;
    qint64 bytes = 0;
    for (int i = 0; i < Pages; ++i) {
        names << QStringLiteral("p%1.tif").arg(i + 1, 2, 10, QLatin1Char('0'));
        ImageDocument::writeFile(textPage(i, true), src + QLatin1Char('/') + names.last(),
                                 ImageFileType::Tiff);
        bytes += QFileInfo(src + QLatin1Char('/') + names.last()).size();
    }
    ArticleTree tree;
    const WwpDecoder decoder(folders);
    PageDisplay display(tree, folders, decoder);
    const int article =
        tree.addPackage(src + QStringLiteral("/a.qen"), QStringLiteral("文章"), src, names);
    tree.select(article + 1);
    std::printf("%d G4 pages of %dx%d, %.1f KB each\n", Pages, PageW, PageH,
                bytes / 1024.0 / Pages);

    // Saving an article: pages are copied, not re-encoded.
    std::vector<double> saving, copying;
    for (int run = 0; run < Runs; ++run) {
        const QString a = dir.filePath(QStringLiteral("save%1").arg(run));
        const QString b = dir.filePath(QStringLiteral("copy%1").arg(run));
        QDir().mkpath(a);
        QDir().mkpath(b + QStringLiteral("/文章"));
        copying.push_back(timeMs([&] {
            for (const QString &name : names)
                QFile::copy(src + QLatin1Char('/') + name, b + QStringLiteral("/文章/") + name);
        }));
        int saved = 0;
        saving.push_back(
            timeMs([&] { saved = ArticleSaver(tree, display).saveArticle(article, a).saved; }));
        if (saved != Pages)
            std::printf("saved only %d pages\n", saved);
    }
    std::printf("save article (20 pages): %.2f ms, QFile::copy %.2f ms, ratio %.2f\n",
                median(saving), median(copying), median(saving) / median(copying));

    // Printing an article to a PDF file through QPrinter.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(printlayout::pageSizeForCode(9));
    std::vector<double> printing, drawing;
    double peak = 0;
    for (int run = 0; run < 3; ++run) {
        printer.setOutputFileName(dir.filePath(QStringLiteral("print%1.pdf").arg(run)));
        resetPeak();
        printing.push_back(timeMs([&] {
            PrintJob job(printer);
            QStringList files, skipped;
            for (const QString &name : names)
                files << src + QLatin1Char('/') + name;
            PrintCommands::PrintFiles(job, files, &skipped);
            job.finish();
        }));
        peak = std::max(peak, peakMb());
        printer.setOutputFileName(dir.filePath(QStringLiteral("draw%1.pdf").arg(run)));
        drawing.push_back(timeMs([&] {
            QPainter painter(&printer);
            bool first = true;
            for (const QString &name : names) {
                if (!first)
                    printer.newPage();
                first = false;
                const QImage page(src + QLatin1Char('/') + name);
                painter.drawImage(QRectF(0, 0, page.width() * 2, page.height() * 2), page);
            }
        }));
    }
    std::printf("print article (20 pages) to PDF: %.1f ms, plain drawImage loop %.1f ms, "
                "ratio %.2f; peak resident %.0f MB (limit 150)\n",
                median(printing), median(drawing), median(printing) / median(drawing), peak);
    std::printf("PDF sizes: ours %.0f KB, plain loop %.0f KB\n",
                QFileInfo(dir.filePath(QStringLiteral("print0.pdf"))).size() / 1024.0,
                QFileInfo(dir.filePath(QStringLiteral("draw0.pdf"))).size() / 1024.0);
    return 0;
}
