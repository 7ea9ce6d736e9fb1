// Searchable PDFs: what the text layer adds to 20 recognised G4 pages of Chinese text (time in
// the writer, file size, the whole qentool topdf process), and what readers extract from it,
// beside the tesseract command line's own PDF of the same page. Each figure is a ratio to a
// baseline measured in the same run.
#include "../tests/support/ocrpage.h"
#include "articles/imagedocument.h"
#include "benchsupport.h"
#include "export/pdftextlayer.h"
#include "export/pdfwriter.h"
#include "ocr/pagereader.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

using namespace qen;

namespace {

constexpr int Pages = 20, Distinct = 4;

struct Run {
    int status = -1;
    double ms = 0;
    QString out;
};

Run run(const QString &program, const QStringList &args, const QString &cache = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!cache.isEmpty())
        env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    p.setProcessEnvironment(env);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(1800000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            double(t.nsecsElapsed()) / 1e6, QString::fromUtf8(p.readAllStandardOutput())};
}

// A full page of running text, each distinct page starting elsewhere in it.
QStringList pageLines(int page) {
    QStringList lines = test::ocrColumnLines(44 + page, 38);
    return lines.mid(page);
}

void extraction(const char *name, const QString &pdf, const QString &truth) {
    const Run plain = run(QStringLiteral("pdftotext"),
                          {QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")});
    std::printf("  %-22s pdftotext: %4d spaces between Han characters, error rate %.2f %%\n", name,
                test::spacesBetweenChinese(plain.out),
                100 * test::characterErrorRate(truth, plain.out));
    if (!QStandardPaths::findExecutable(QStringLiteral("mutool")).isEmpty()) {
        const Run mu = run(QStringLiteral("mutool"),
                           {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-F"),
                            QStringLiteral("txt"), pdf, QStringLiteral("1")});
        std::printf("  %-22s mutool:    %4d spaces between Han characters, error rate %.2f %%\n",
                    name, test::spacesBetweenChinese(mu.out),
                    100 * test::characterErrorRate(truth, mu.out));
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const QString cli = test::ocrBenchCommandLine("bench_pdftext");
    if (cli.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        std::puts(
            "bench_pdftext: needs the tesseract command line and pdftotext; nothing measured");
        return 0;
    }
    QTemporaryDir dir;
    // --keep: the pages and the cache stay, for a profiler to watch qentool on them.
    if (app.arguments().contains(QStringLiteral("--keep"))) {
        dir.setAutoRemove(false);
        std::printf("bench_pdftext: pages and cache kept in %s\n", qPrintable(dir.path()));
    }
    const QString cache = dir.filePath(QStringLiteral("cache"));
    ocr::PageEngineLibrary library({test::ocrBenchLibrary()});
    ocr::PageReader reader(library, QStringLiteral("chi_sim"));

    // Four distinct bilevel pages (G4 TIFF), repeated to twenty files, each recognised once.
    QStringList files, truths;
    QList<pdf::PageText> texts;
    QList<ocr::TextLayer> layers;
    for (int i = 0; i < Pages; ++i) {
        const QString file = dir.filePath(QStringLiteral("p%1.tif").arg(i + 1, 2, 10, QChar('0')));
        if (i < Distinct) {
            const QStringList lines = pageLines(i);
            ImageDocument::writeFile(test::renderOcrPage(lines), file, ImageFileType::Tiff);
            truths << lines.join(QString());
            const ocr::PageReading r = reader.read(file);
            if (!r.ok()) {
                std::printf("bench_pdftext: recognition failed: %s\n", qPrintable(r.message));
                return 1;
            }
            texts << pdf::pageTextOf(*r.layer);
            layers << *r.layer;
        } else {
            QFile::copy(files.at(i % Distinct), file);
            texts << texts.at(i % Distinct);
            layers << layers.at(i % Distinct);
        }
        files << file;
    }
    QList<pdf::Image> images;
    for (const QString &f : std::as_const(files))
        images << pdf::imagesOf(f);

    const QString plainPdf = dir.filePath(QStringLiteral("plain.pdf"));
    const QString textPdf = dir.filePath(QStringLiteral("text.pdf"));
    // Without text, with the program's copy of the text, or with the layers in place as
    // qentool hands them over.
    enum class Text { None, Copy, Layer };
    auto write = [&](const QString &target, Text text) {
        pdf::Writer writer(target);
        writer.setTitle(QStringLiteral("测试"));
        for (int i = 0; i < Pages; ++i) {
            if (text == Text::Layer)
                writer.addImage(images.at(i), layers.at(i));
            else
                writer.addImage(images.at(i), text == Text::Copy ? texts.at(i) : pdf::PageText{});
        }
        writer.commit();
    };
    // Taken in turns, so that all see the same machine; the best of many, because the
    // difference is a fraction of a file's writing and syncing.
    double plainMs = 1e300, textMs = 1e300, layerMs = 1e300;
    for (int i = 0; i < 25; ++i) {
        plainMs = std::min(plainMs, timeMs([&] { write(plainPdf, Text::None); }));
        textMs = std::min(textMs, timeMs([&] { write(textPdf, Text::Copy); }));
        layerMs = std::min(layerMs, timeMs([&] { write(textPdf, Text::Layer); }));
    }
    std::puts("bench_pdftext: 20 recognised G4 pages of Chinese text, about 1500 characters each");
    std::printf("  writer in-process: %.3f ms/page without text, %.3f ms/page with it: "
                "+%.3f ms/page (ratio %.2f)\n",
                plainMs / Pages, textMs / Pages, (textMs - plainMs) / Pages, textMs / plainMs);
    std::printf("  writer in-process, layers in place: %.3f ms/page: +%.3f ms/page (ratio %.2f)\n",
                layerMs / Pages, (layerMs - plainMs) / Pages, layerMs / plainMs);
    const double plainSize = double(QFileInfo(plainPdf).size());
    const double textSize = double(QFileInfo(textPdf).size());
    std::printf("  size: %.0f KB without text, %.0f KB with it: ratio %.3f\n", plainSize / 1024,
                textSize / 1024, textSize / plainSize);
    // --writer: the writer alone, over and over, for a profiler to watch.
    if (app.arguments().contains(QStringLiteral("--writer"))) {
        for (int i = 0; i < 500; ++i)
            write(textPdf, Text::Layer);
        return 0;
    }

    // The whole process, on pages the cache holds (qentool text fills it).
    const QString tool = test::ocrBenchTool();
    run(tool, QStringList{QStringLiteral("text")} + files.mid(0, Distinct), cache);
    double toolPlain = 1e300, toolText = 1e300;
    for (int i = 0; i < 30; ++i) {
        toolPlain = std::min(
            toolPlain, run(tool, QStringList{QStringLiteral("topdf"), plainPdf} + files, cache).ms);
        const Run r = run(
            tool, QStringList{QStringLiteral("topdf"), QStringLiteral("--text"), textPdf} + files,
            cache);
        if (r.status != 0) {
            std::puts("bench_pdftext: qentool topdf --text failed");
            return 1;
        }
        toolText = std::min(toolText, r.ms);
    }
    std::printf("  qentool topdf: %.0f ms, with --text %.0f ms: ratio %.2f\n", toolPlain, toolText,
                toolText / toolPlain);

    // What readers extract from the first page, beside the tesseract command line's PDF.
    const Run ours = run(tool, {QStringLiteral("text"), files.first()}, cache);
    std::printf(
        "  qentool text:            %4d spaces between Han characters, error rate %.2f %%\n",
        test::spacesBetweenChinese(ours.out),
        100 * test::characterErrorRate(truths.first(), ours.out.section(QLatin1Char('\n'), 1)));
    extraction("ours", textPdf, truths.first());
    const QString base = dir.filePath(QStringLiteral("tesseract"));
    run(cli, {files.first(), base, QStringLiteral("-l"), QStringLiteral("chi_sim"),
              QStringLiteral("pdf")});
    extraction("tesseract pdf", base + QStringLiteral(".pdf"), truths.first());
    return 0;
}
