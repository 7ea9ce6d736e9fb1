#include "articles/opener.h"
#include "articles/pagefile.h"
#include "export/pdfwriter.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "tool/commands.h"
#include "tool/pagelisting.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace qen::tool {

int runToPdf(const QStringList &args, const PdfPageSource &source) {
    if (args.size() < 2 || args.first().startsWith(QLatin1String("--")))
        return errorExit(QStringLiteral("usage: qentool topdf OUT.pdf INPUT..."));
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
        QStringList files;
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
                files << path;
                return;
            }
            const QString tiff = scratch.filePath(QStringLiteral("wwp%1.tif").arg(files.size()));
            if (!source.decodeWwp(path, tiff))
                throw Error(QStringLiteral("无法解码 WWP 页面 %1").arg(path));
            files << tiff;
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
        pdf::Writer writer(target);
        writer.setTitle(title);
        for (const QString &file : std::as_const(files))
            for (const pdf::Image &image : source.imagesOf(file))
                writer.addImage(image);
        writer.commit();
        sayLeftOut();
        return 0;
    } catch (const Error &e) {
        sayLeftOut();
        return errorExit(e.description());
    }
}

} // namespace qen::tool

namespace qen::tool {

const PdfPageSource &storedPageSource() {
    static const PdfPageSource source{
        [](const QString &, const QString &) -> bool { throw NeedsDecoder{}; },
        [](const QString &path) {
            QList<pdf::Image> images = pdf::storedImagesOf(pagefile::readBytes(path), path);
            for (const pdf::Image &image : std::as_const(images))
                if (image.needsPixels)
                    throw NeedsDecoder{};
            return images;
        }};
    return source;
}

} // namespace qen::tool
