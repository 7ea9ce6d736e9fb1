#include "articles/opener.h"
#include "articles/pagefile.h"
#include "export/pdfwriter.h"
#include "ocr/enginestamp.h"
#include "ocr/languages.h"
#include "ocr/textcache.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/workahead.h"
#include "tool/commands.h"
#include "tool/pagelisting.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace qen::tool {

namespace {

struct PageToWrite {
    QString file; // what goes into the PDF: the page, or its decoded TIFF
    QString page; // the page as given or unpacked, by which its text is known
};

struct PreparedPage {
    ocr::TextLayer text;
    QList<pdf::Image> images;
};

void writePages(const QList<PageToWrite> &pages, const QString &title, const QString &target,
                bool withText, const PdfPageSource &source) {
    // Each page is read, hashed and its text looked up one page ahead of the writer, on a
    // thread of its own: for a page already recognised that costs as much as laying its
    // text out, and the writer need not wait for it. Two pages are held at most, as when
    // printing; read all at first, the article's text was held whole, and its memory was
    // new to the process page by page, which cost more than reading it.
    WorkAhead<PreparedPage> ahead(int(pages.size()), 1, [&pages, withText, &source](int i) {
        const PageToWrite &page = pages.at(i);
        const QByteArray bytes = pagefile::readBytes(page.file);
        PreparedPage prepared;
        if (withText)
            prepared.text = source.textOf(page.page, page.file, bytes);
        prepared.images = source.imagesOf(page.file, bytes);
        return prepared;
    });
    // The file comes into place only when it is committed, so a page that cannot be read
    // ends the job with nothing written.
    pdf::Writer writer(target);
    writer.setTitle(title);
    for (int i = 0; i < pages.size(); ++i) {
        const PreparedPage page = ahead.take(i);
        // The text is that of the page as shown: a multi-page file's first page.
        for (qsizetype p = 0; p < page.images.size(); ++p) {
            if (p == 0)
                writer.addImage(page.images.at(p), page.text);
            else
                writer.addImage(page.images.at(p));
        }
    }
    writer.commit();
}

} // namespace

int runToPdf(const QStringList &allArgs, const PdfPageSource &source) {
    const bool withText = allArgs.value(0) == QLatin1String("--text");
    const QStringList args = withText ? allArgs.mid(1) : allArgs;
    if (args.size() < 2 || args.first().startsWith(QLatin1String("--")))
        return errorExit(QStringLiteral("usage: qentool topdf [--text] OUT.pdf INPUT..."));
    // A source without text leaves the reading of it to the full tool.
    if (withText && !source.textOf)
        throw NeedsDecoder{};
    const QString target = QDir::cleanPath(args.first());
    // Said once the job's outcome is known: a quick run that hands the job to the full tool
    // must not say it twice.
    QStringList leftOut;
    auto sayLeftOut = [&leftOut] {
        for (const QString &path : std::as_const(leftOut))
            std::fprintf(stderr, "qentool: %s is not an image page; left out\n", qPrintable(path));
    };
    try {
        QTemporaryDir scratch;
        if (!scratch.isValid())
            throw Error(
                QStringLiteral("cannot create a scratch folder: %1").arg(scratch.errorString()));
        QList<PageToWrite> files;
        QString title;
        int unpacked = 0;
        // Pages go in as the program shows them: WWP pages decoded, records left out.
        auto addPage = [&](const QString &path) {
            const QString type = GetFileExt(path).toUpper();
            if (!pdf::IsPdfPageType(type)) {
                leftOut << path;
                return;
            }
            if (type != QLatin1String("WWP")) {
                files.append({path, path});
                return;
            }
            const QString tiff = scratch.filePath(QStringLiteral("wwp%1.tif").arg(files.size()));
            if (!source.decodeWwp(path, tiff))
                throw Error(QStringLiteral("无法解码 WWP 页面 %1").arg(path));
            files.append({tiff, path});
        };
        for (const QString &arg : args.mid(1)) {
            const QString input = Opener::cleanItem(arg);
            if (Opener::kindOf(input) == Opener::ItemKind::Package) {
                const QString folder = scratch.filePath(QStringLiteral("p%1").arg(++unpacked));
                if (!QDir().mkpath(folder))
                    throw Error(QStringLiteral("cannot create the folder %1").arg(folder));
                const Listing listing = unpack(input, folder);
                if (title.isEmpty())
                    title = listing.title;
                for (const QString &page : listing.pages)
                    addPage(folder + QLatin1Char('/') + page);
            } else {
                if (!QFileInfo(input).isFile())
                    throw Error(QStringLiteral("找不到文件 %1。").arg(input));
                addPage(input);
            }
        }
        if (title.isEmpty())
            title = GetBaseName(Opener::cleanItem(args.at(1)));
        if (files.isEmpty())
            throw Error(QStringLiteral("没有可以转换成PDF的页面，未写入 %1").arg(target));
        writePages(files, title, target, withText, source);
        sayLeftOut();
        return 0;
    } catch (const Error &e) {
        sayLeftOut();
        return errorExit(e.description());
    }
}

} // namespace qen::tool

namespace qen::tool {

namespace {

// A page's text from the cache alone: what the engine read of it before, known by the version
// its stamp keeps. Anything not there as it was left (no stamp, a changed engine, a page not
// read yet, an entry that does not read back) hands the job to the full tool, which reads the
// page.
ocr::TextLayer cachedPageText(const QString &page, const QString &decoded,
                              const QByteArray &bytes) {
    if (decoded != page)
        throw NeedsDecoder{};
    static const QString folder = ocr::TextCache::defaultFolder();
    static const std::optional<QString> version = [] {
        const QString programDir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
        for (const QString &library : ocr::librarySearchPaths(programDir))
            if (QFileInfo::exists(library))
                return ocr::enginestamp::recorded(folder, library);
        return std::optional<QString>();
    }();
    if (!version)
        throw NeedsDecoder{};
    static const WorkFolders folders = toolFolders();
    static const QString languages = ocr::configuredLanguages(folders);
    static ocr::TextCache cache(folder, ocr::TextCache::configuredCapBytes(folders));
    std::optional<ocr::TextLayer> layer;
    if (cache.usable())
        layer = cache.load(ocr::TextCache::keyForBytes(bytes, *version, languages));
    if (!layer)
        throw NeedsDecoder{};
    return *std::move(layer);
}

} // namespace

const PdfPageSource &storedPageSource() {
    static const PdfPageSource source{
        [](const QString &, const QString &) -> bool { throw NeedsDecoder{}; },
        [](const QString &path, const QByteArray &bytes) {
            QList<pdf::Image> images = pdf::storedImagesOf(bytes, path);
            for (const pdf::Image &image : std::as_const(images))
                if (image.needsPixels)
                    throw NeedsDecoder{};
            return images;
        },
        cachedPageText};
    return source;
}

} // namespace qen::tool
