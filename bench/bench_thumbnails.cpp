// Thumbnail strip benchmark, on a package of 50 A4 G4 pages at 300 dpi in a 1280x900 window:
// (a) the strip complete against decoding the 50 pages one after another; (b) 下一页 after a
// pause while the strip fills against decoding that page; (c) the bytes a picture holds
// against the 64 KB it may take. Baselines are measured in the same run.
#include "benchsupport.h"

#include "articles/imagedocument.h"
#include "pageview/thumbnailcache.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/thumbnailstrip.h"
#include "platform/ui/interaction.h"
#include "shell/ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

using namespace qen;

namespace {

constexpr int Pages = 50;

bool stripComplete(ThumbnailCache &cache) {
    for (int i = 0; i < cache.count(); ++i)
        if (cache.state(i) == ThumbnailCache::State::Waiting)
            return false;
    return cache.count() > 0;
}

// Until every picture is made, with the event loop running as the window's would: asleep
// between events. Spinning on processEvents kept a core busy that the workers share.
void waitForStrip(ThumbnailCache &cache) {
    if (stripComplete(cache))
        return;
    QEventLoop loop;
    QTimer check;
    check.setInterval(1);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (stripComplete(cache))
            loop.quit();
    });
    check.start();
    loop.exec();
}

QString makePackage(const QTemporaryDir &dir, QStringList *files) {
    const QString pagesDir = dir.filePath("pages");
    QDir().mkpath(pagesDir);
    QStringList names;
    for (int i = 1; i <= Pages; ++i) {
        const QString name = QStringLiteral("p%1.tif").arg(i, 2, 10, QLatin1Char('0'));
        ImageDocument::writeFile(textPage(i, true), pagesDir + QLatin1Char('/') + name,
                                 ImageFileType::Tiff);
        names << name;
        *files << pagesDir + QLatin1Char('/') + name;
    }
    const QString package = dir.filePath("bench.qen");
    return zipStored(pagesDir, names, package) ? package : QString();
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList files;
    const QString package = makePackage(dir, &files);
    if (package.isEmpty()) {
        std::printf("thumbnails: skipped (zip is not installed)\n");
        return 0;
    }
    std::vector<double> decode;
    for (const QString &file : files)
        decode.push_back(timeMs([&] { ImageDocument::readFile(file); }));
    double decodeAll = 0, renderAll = 0;
    for (double d : decode)
        decodeAll += d;
    for (const QString &file : files)
        renderAll += timeMs([&] { ThumbnailCache::render(file, ThumbnailStrip::PictureSize); });

    QtInteraction interaction;
    MainWindow window(WorkFolders(dir.filePath("QenInfo"), dir.filePath("prog")), interaction);
    window.resize(1280, 900);
    window.show();
    window.Form_Load(QString());
    QAction *strip = window.command(QStringLiteral("mnuView_Thumbnails"));
    if (!strip->isChecked())
        strip->trigger();
    ThumbnailCache &cache = window.thumbnailStrip()->cache();
    QAction *next = window.command(QStringLiteral("mnuPage_NextPage"));
    QAction *closeAll = window.command(QStringLiteral("mnuFile_CloseAllArticle"));
    ImageView *view = window.imageView();

    std::vector<double> fill, turns, turnDecode;
    int turnsWhileFilling = 0;
    for (int round = 0; round < 3; ++round) {
        closeAll->trigger();
        window.CreateTree(package);
        fill.push_back(timeMs([&] { waitForStrip(cache); }));

        closeAll->trigger();
        window.CreateTree(package);
        for (int i = 0; i < 7; ++i) {
            // A pause, as a reader takes: the next page is read ahead meanwhile.
            window.documents()->prefetch().waitForIdle();
            const bool filling = !stripComplete(cache);
            const double t = timeMs([&] {
                next->trigger();
                view->viewport()->repaint();
            });
            if (filling) {
                turns.push_back(t);
                turnDecode.push_back(decode[size_t(i + 1)]);
                ++turnsWhileFilling;
            }
            QCoreApplication::processEvents(); // the strip's own repaints, between turns
        }
        waitForStrip(cache);
    }
    qint64 largest = 0;
    for (int i = 0; i < cache.count(); ++i)
        largest = std::max(largest, cache.image(i).sizeInBytes());
    // A colour page on a screen of twice the density: the case that would pass the cap.
    QImage colour(PageW, PageH, QImage::Format_RGB32);
    colour.fill(QColor(200, 180, 120));
    const QString colourFile = dir.filePath("colour.jpg");
    ImageDocument::writeFile(colour, colourFile, ImageFileType::Jpeg);
    const qint64 colourBytes =
        ThumbnailCache::render(colourFile, ThumbnailStrip::PictureSize * 2).sizeInBytes();

    std::printf("thumbnails, %d A4 300 dpi G4 pages, window 1280x900\n", Pages);
    row("(a) strip complete (limit 0.5x)", median(fill), decodeAll, "ms");
    row("    the 50 pictures made one after another", renderAll, decodeAll, "ms");
    if (turns.empty())
        std::printf("  (b) no turn came while the strip filled\n");
    else
        row("(b) NextPage after a pause, filling (limit 0.5x)", median(turns), median(turnDecode),
            "ms");
    std::printf("      (%d turns measured while the strip filled)\n", turnsWhileFilling);
    row("(c) largest picture, gray (limit 1.0x)", largest / 1024.0, 64, "KB");
    row("    colour picture at 2x density (limit 1.0x)", colourBytes / 1024.0, 64, "KB");
    return 0;
}
