// Every page's text: a whole page through the page entry against the tesseract command line,
// workers against one worker, the event loop while the queue works, the cache against
// recognition, qentool text cached against uncached, find over 500 pages against a plain
// search, and the memory a layer takes. Each figure is a ratio to a baseline of the same run.
#include "../tests/support/ocrpage.h"
#include "articles/imagedocument.h"
#include "benchsupport.h"
#include "ocr/pagereader.h"
#include "ocr/textcache.h"
#include "ocr/textmatch.h"
#include "ocr/textqueue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace qen;
using namespace qen::ocr;

namespace {

const QString Tool = test::ocrBenchTool();
const QString Library = test::ocrBenchLibrary();

double runMs(const QString &program, const QStringList &args, const QStringList &env = {}) {
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const QString &kv : env)
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    p.waitForFinished(600000);
    return t.nsecsElapsed() / 1e6;
}

QString writePage(const QTemporaryDir &dir, const QString &name, const QStringList &lines,
                  bool bilevel = true) {
    test::OcrPageOptions o;
    o.bilevel = bilevel;
    const QString file = dir.filePath(name);
    ImageDocument::writeFile(test::renderOcrPage(lines, o), file, ImageFileType::Tiff);
    return file;
}

// Reads the pages with `workers` workers and returns the wall time in ms; the longest gap
// between 5 ms timer ticks on this thread meanwhile goes to *stallMs.
double readWithQueue(PageEngineLibrary &library, const QStringList &pages, int workers,
                     double *stallMs = nullptr) {
    TextQueue queue(library, QStringLiteral("chi_sim"), nullptr, workers);
    QElapsedTimer t, tick;
    QTimer timer;
    double longest = 0;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        longest = std::max(longest, tick.nsecsElapsed() / 1e6);
        tick.restart();
    });
    int done = 0;
    QEventLoop loop;
    auto count = [&] {
        if (++done == pages.size())
            loop.quit();
    };
    QObject::connect(&queue, &TextQueue::pageRead, count);
    QObject::connect(&queue, &TextQueue::pageFailed, count);
    t.start();
    tick.start();
    timer.start();
    queue.addArticle(QStringLiteral("article"), pages);
    loop.exec();
    if (stallMs)
        *stallMs = longest;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    const QString cli = test::ocrBenchCommandLine("bench_text");
    if (cli.isEmpty())
        return 0;
    QTemporaryDir dir;
    qputenv("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    PageEngineLibrary library({Library});

    // One whole page: twelve lines of running text, bilevel, 300 dpi.
    const QString page = writePage(dir, QStringLiteral("page.tif"), test::ocrColumnLines(12, 24));
    std::printf("bench_text (ratios: ours / baseline of the same run)\n");
    {
        PageReader reader(library, QStringLiteral("chi_sim"));
        const double cold = timeMs([&] { reader.read(page); });
        std::vector<double> ours, theirs;
        for (int i = 0; i < 3; ++i) {
            ours.push_back(timeMs([&] { reader.read(page); }));
            theirs.push_back(runMs(
                cli,
                {page, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("chi_sim")},
                {QStringLiteral("OMP_THREAD_LIMIT=1")}));
        }
        row("one page in-process (engine started)", median(ours), median(theirs), "ms");
        row("one page in-process, first (engine starts)", cold, median(theirs), "ms");
    }

    // Ten pages: N workers against one.
    QStringList pages;
    for (int i = 0; i < 10; ++i)
        pages << writePage(dir, QStringLiteral("p%1.tif").arg(i),
                           test::ocrColumnLines(i * 4 + 4, 20).mid(i * 4));
    const int n = TextQueue::defaultWorkers();
    double stall = 0;
    const double one = readWithQueue(library, pages, 1, &stall);
    const double many = n > 1 ? readWithQueue(library, pages, n) : one;
    std::printf("  10 pages: %d worker(s) give %.2f x the throughput of one (goal >= %.2f)\n", n,
                one / many, 0.8 * n);
    const double two = readWithQueue(library, pages, 2);
    std::printf("  10 pages: 2 workers give %.2f x the throughput of one\n", one / two);
    row("longest event-loop gap while the queue works", stall, 5, "ms");

    // The cache: twenty pages recognised and stored, then all twenty loaded.
    {
        TextCache cache(dir.filePath(QStringLiteral("cache20")), 200ll << 20);
        PageReader reader(library, QStringLiteral("chi_sim"));
        QStringList twenty = pages + pages;
        for (int i = 10; i < 20; ++i) { // ten more pages with bytes of their own
            twenty[i] = dir.filePath(QStringLiteral("q%1.tif").arg(i));
            QFile::copy(pages[i - 10], twenty[i]);
            QFile f(twenty[i]);
            f.open(QIODevice::Append);
            f.write("tail");
        }
        const double recognise = timeMs([&] {
            for (const QString &p : twenty)
                pageText(p, &cache, reader);
        });
        const double load = timeMs([&] {
            for (const QString &p : twenty)
                pageText(p, &cache, reader);
        });
        row("20 pages from the cache", load, recognise, "ms");

        // qentool text on a package of the ten pages: cached against uncached, whole process.
        const QString package = dir.filePath(QStringLiteral("ten.qen"));
        QStringList zipArgs{QStringLiteral("-j"), QStringLiteral("-q"), package};
        zipArgs << pages;
        if (runMs(QStringLiteral("zip"), zipArgs) >= 0 && QFile::exists(package)) {
            const double uncached = runMs(Tool, {QStringLiteral("text"), package},
                                          {QStringLiteral("XDG_CACHE_HOME=") + dir.filePath("c2")});
            const double cached = runMs(Tool, {QStringLiteral("text"), package},
                                        {QStringLiteral("XDG_CACHE_HOME=") + dir.filePath("c2")});
            row("qentool text, cached package", cached, uncached, "ms");
        }
    }

    // Find over 500 recognised pages of 1,500 characters each.
    {
        const QString text = test::ocrColumnLines(200, 30).join(QString());
        std::vector<SearchText> searchable;
        QStringList plain;
        const double before = residentMb();
        std::vector<TextLayer> layers;
        for (int p = 0; p < 500; ++p) {
            TextLayer layer(QSize(2480, 3508), 300);
            for (int i = 0; i < 1500; ++i) {
                const int at = (p * 37 + i) % int(text.size());
                layer.append({QRect(100 + (i % 40) * 55, 100 + (i / 40) * 80, 50, 60),
                              text.mid(at, 1), 90, false, i % 40 == 0, i == 0});
            }
            plain << layer.plainText();
            searchable.emplace_back(layer);
            layers.push_back(std::move(layer));
        }
        const double held = residentMb() - before;
        const QString query = text.mid(777, 6);
        QString misread = query;
        misread[2] = QChar(0x9F98);
        int hits = 0;
        const double exact = timeMs([&] {
            for (const SearchText &s : searchable)
                hits += int(s.find(query, MatchMode::Exact).size());
        });
        const double tolerant = timeMs([&] {
            for (const SearchText &s : searchable)
                hits += int(s.find(misread, MatchMode::Tolerant).size());
        });
        const double naive = timeMs([&] {
            for (const QString &s : plain)
                hits += int(s.count(query));
        });
        row("find over 500 pages, exact", exact, naive, "ms");
        row("find over 500 pages, tolerant", tolerant, naive, "ms");
        std::printf("  (%d hits; goal: a query answers in <= 10 ms)\n", hits);
        const qsizetype memory = layers.front().memoryBytes();
        const qsizetype disk = TextCache::entryBytes(QByteArray(64, 'a'), layers.front()).size();
        row("one dense page's layer in memory", memory / 1024.0, 64, "KB");
        row("one dense page's layer on disk", disk / 1024.0, 32, "KB");
        row("500 layers and their search text, resident", held, 40, "MB");
        // Past the queue's bound a layer is held packed; unpacking is the cost of asking for it.
        QByteArray packed;
        const double pack = timeMs([&] { packed = qCompress(layers.front().toBytes(), 1); });
        std::optional<TextLayer> back;
        const double unpack = timeMs([&] { back = TextLayer::fromBytes(qUncompress(packed)); });
        row("one dense page's layer packed", packed.size() / 1024.0, memory / 1024.0, "KB");
        std::printf("  (packed in %.2f ms, unpacked in %.2f ms%s; 2,000 pages hold %d unpacked)\n",
                    pack, unpack, back && *back == layers.front() ? "" : ", NOT EQUAL",
                    TextQueue::DefaultLayersHeld);
    }
    return 0;
}
