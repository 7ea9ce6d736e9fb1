// Recognition of a three-line area of a rendered Chinese page: qentool ocr as a whole process
// against the tesseract command line on the same area in the same run (time, character error
// rate), and the library's memory over forty recognitions in one process.
#include "../tests/support/ocrpage.h"
#include "articles/imagedocument.h"
#include "ocr/recognition.h"
#include "ocr/resultfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace qen;

namespace {

const QString Tool = test::ocrBenchTool();
const QString Library = test::ocrBenchLibrary();

struct Run {
    double ms = 0;
    double cpuMs = 0; // user and system time of the process
    QString text;
};

double childrenCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

Run runProcess(const QString &program, const QStringList &args,
               const QStringList &env = QStringList()) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &kv : env)
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    const double cpuBefore = childrenCpuMs();
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(120000);
    const double ms = t.nsecsElapsed() / 1e6;
    return {ms, childrenCpuMs() - cpuBefore, QString::fromUtf8(p.readAllStandardOutput())};
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long peakChildrenKb() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_maxrss;
}

long statusKb(const char *field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return 0;
}

QString areaArg(const QRect &r) {
    return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const QString cli = test::ocrBenchCommandLine("bench_ocr");
    if (cli.isEmpty())
        return 0;
    QTemporaryDir dir;
    const QStringList lines = test::ocrTruthLines();
    struct Page {
        const char *name;
        test::OcrPageOptions options;
    };
    const Page pages[] = {{"clean gray", {false, 0}},
                          {"clean bilevel", {true, 0}},
                          {"noisy bilevel (1% flipped)", {true, 0.01}}};
    // The area: lines 2 to 4, as a reader would select them.
    const QString truth = lines[1] + lines[2] + lines[3];

    // Whole process, peak memory first: the children's peak so far is qentool's alone.
    QString pageFile[3], areaFile[3];
    QRect area;
    for (int i = 0; i < 3; ++i) {
        const QImage page = test::renderOcrPage(lines, pages[i].options);
        area = test::ocrLineBand(page, 1, 3);
        pageFile[i] = dir.filePath(QStringLiteral("page%1.tif").arg(i));
        areaFile[i] = dir.filePath(QStringLiteral("area%1.tif").arg(i));
        ImageDocument::writeFile(page, pageFile[i], ImageFileType::Tiff);
        ImageDocument::writeFile(page.copy(area), areaFile[i], ImageFileType::Tiff);
    }
    runProcess(Tool, {QStringLiteral("ocr"), pageFile[1], QStringLiteral("--area"), areaArg(area)});
    const long toolPeakKb = peakChildrenKb();

    std::printf("bench_ocr: three-line area (%dx%d px) of a 10.5 pt page at 300 dpi\n",
                area.width(), area.height());
    std::printf("  %-28s %9s %9s %9s %9s\n", "page", "CER ours", "CER cli", "CER c+e", "no-space");
    QString misreadings;
    for (int i = 0; i < 3; ++i) {
        const Run ours = runProcess(
            Tool, {QStringLiteral("ocr"), pageFile[i], QStringLiteral("--area"), areaArg(area)});
        const Run both = runProcess(
            Tool, {QStringLiteral("ocr"), pageFile[i], QStringLiteral("--area"), areaArg(area),
                   QStringLiteral("--lang"), QStringLiteral("chi_sim+eng")});
        const Run theirs = runProcess(cli, {areaFile[i], QStringLiteral("stdout"),
                                            QStringLiteral("-l"), QStringLiteral("chi_sim"),
                                            QStringLiteral("--psm"), QStringLiteral("6")});
        std::printf("  %-28s %8.2f%% %8.2f%% %8.2f%% %9s\n", pages[i].name,
                    100 * test::characterErrorRate(truth, ours.text),
                    100 * test::characterErrorRate(truth, theirs.text),
                    100 * test::characterErrorRate(truth, both.text),
                    test::hasSpaceBetweenChinese(ours.text) ? "NO" : "yes");
        misreadings +=
            QStringLiteral("    %1: %2\n")
                .arg(QString::fromLatin1(pages[i].name),
                     QString(ours.text).replace(QLatin1String("\r\n"), QLatin1String(" | ")));
    }
    std::printf("  what we read:\n%s", qPrintable(misreadings));

    // Time, interleaved so that the machine's load falls on all alike: the area above (Latin
    // words, so the English model loads for their second reading) and the three lines from
    // the first (Chinese, digits and punctuation only: the English model stays unloaded).
    const QImage bilevelPage = test::renderOcrPage(lines, pages[1].options);
    const QRect chineseArea = test::ocrLineBand(bilevelPage, 0, 3);
    const QString chineseAreaFile = dir.filePath(QStringLiteral("chinese.tif"));
    ImageDocument::writeFile(bilevelPage.copy(chineseArea), chineseAreaFile, ImageFileType::Tiff);
    struct Timing {
        const char *name;
        QRect area;
        QString areaFile;
        std::vector<double> ours, cli, cliOneThread, oursCpu, cliCpu, cliOneThreadCpu;
    };
    Timing timings[] = {
        {"Chinese only (lines 1-3)", chineseArea, chineseAreaFile, {}, {}, {}, {}, {}, {}},
        {"Latin words (lines 2-4)", area, areaFile[1], {}, {}, {}, {}, {}, {}}};
    const int rounds = qEnvironmentVariableIntValue("QEN_BENCH_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("QEN_BENCH_ROUNDS")
                           : 5;
    for (int r = 0; r < rounds; ++r) {
        for (Timing &t : timings) {
            const Run ours = runProcess(Tool, {QStringLiteral("ocr"), pageFile[1],
                                               QStringLiteral("--area"), areaArg(t.area)});
            t.ours.push_back(ours.ms);
            t.oursCpu.push_back(ours.cpuMs);
            const QStringList cliArgs{t.areaFile,
                                      QStringLiteral("stdout"),
                                      QStringLiteral("-l"),
                                      QStringLiteral("chi_sim"),
                                      QStringLiteral("--psm"),
                                      QStringLiteral("6")};
            const Run theirs = runProcess(cli, cliArgs);
            t.cli.push_back(theirs.ms);
            t.cliCpu.push_back(theirs.cpuMs);
            const Run oneThread = runProcess(cli, cliArgs, {QStringLiteral("OMP_THREAD_LIMIT=1")});
            t.cliOneThread.push_back(oneThread.ms);
            t.cliOneThreadCpu.push_back(oneThread.cpuMs);
        }
    }
    std::printf("  whole process on the clean bilevel page, median of %d (baseline: tesseract "
                "command line at one thread, OMP_THREAD_LIMIT=1, on the same area = 1.00)\n",
                rounds);
    std::printf("    %-28s %21s %21s %14s\n", "area", "qentool ocr wall CPU",
                "CLI all threads wall", "baseline");
    for (const Timing &t : timings) {
        const double base = median(t.cliOneThread), cpuBase = median(t.cliOneThreadCpu);
        std::printf("    %-28s %15.2f %5.2f %21.2f %6.0f ms wall\n", t.name, median(t.ours) / base,
                    median(t.oursCpu) / cpuBase, median(t.cli) / base, base);
    }
    const double base = median(timings[1].cliOneThread);
    std::printf("  peak memory of qentool ocr: %ld MB\n", toolPeakKb / 1024);

    // Memory over forty recognitions in one process.
    ocr::OcrLibrary library({Library});
    long rssAfter1 = 0, rssAfter10 = 0, rssAfter40 = 0;
    QElapsedTimer loop;
    for (int i = 1; i <= 40; ++i) {
        if (i == 2)
            loop.start(); // from the second on, as the program recognises once started
        const ocr::OcrOutcome o =
            library.recognise(pageFile[1], dir.path(), ocr::defaultLanguages(), area);
        if (!o.ok()) {
            std::printf("  recognition failed: %s\n", qPrintable(o.message));
            return 1;
        }
        if (i == 1)
            rssAfter1 = statusKb("VmRSS:");
        if (i == 10)
            rssAfter10 = statusKb("VmRSS:");
    }
    rssAfter40 = statusKb("VmRSS:");
    std::printf("  one recognition in a running program (engine loaded), mean of 39: %.2f of "
                "the command line's time at one thread (%.0f ms)\n",
                loop.nsecsElapsed() / 1e6 / 39 / base, loop.nsecsElapsed() / 1e6 / 39);
    std::printf("  resident memory in one process (baseline: after the 1st = 1.00): "
                "10th %.2f, 40th %.2f (1st %ld MB, 40th %ld MB)\n",
                double(rssAfter10) / rssAfter1, double(rssAfter40) / rssAfter1, rssAfter1 / 1024,
                rssAfter40 / 1024);
    return 0;
}
