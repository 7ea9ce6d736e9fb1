// The half of the PDF writer that decodes: pages whose stored data PDF cannot carry go in as
// their exact pixels. Everything that copies stored data is in pdfwriter.cpp, which needs no
// image library.
#include "export/pdfwriter.h"
#include "export/printlayout.h"

#include "articles/imagedocument.h"
#include "articles/largepage.h"
#include "articles/tiffcodec.h"
#include "platform/error.h"

namespace qen::pdf {

namespace {

void appendRows(QByteArray &raw, const QImage &img, int lineBytes) {
    raw.reserve(raw.size() + qsizetype(lineBytes) * img.height());
    for (int y = 0; y < img.height(); ++y)
        raw.append(reinterpret_cast<const char *>(img.constScanLine(y)), lineBytes);
}

// Rows of 8-bit gray as they are, of anything else as RGB: a gray or colour page's samples.
void appendSamples(QByteArray &raw, const QImage &page) {
    if (page.format() == QImage::Format_Grayscale8)
        return appendRows(raw, page, page.width());
    appendRows(raw, page.convertToFormat(QImage::Format_RGB888), page.width() * 3);
}

Image flateImage(const QImage &source) {
    Image image;
    image.width = source.width();
    image.height = source.height();
    image.filter = "/FlateDecode";
    QByteArray raw;
    if (source.format() == QImage::Format_Mono && source.colorCount() == 2) {
        image.bitsPerComponent = 1;
        const QRgb zero = source.color(0) | 0xff000000, one = source.color(1) | 0xff000000;
        const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
        if (zero == white && one == black) {
            image.colorSpace = "/DeviceGray";
            image.decode = "[1 0]";
        } else if (zero == black && one == white) {
            image.colorSpace = "/DeviceGray";
        } else {
            image.colorSpace = "[/Indexed /DeviceRGB 1 <" +
                               QByteArray::number(zero & 0xffffff, 16).rightJustified(6, '0') +
                               QByteArray::number(one & 0xffffff, 16).rightJustified(6, '0') + ">]";
        }
        appendRows(raw, source, (source.width() + 7) / 8);
    } else {
        image.colorSpace =
            source.format() == QImage::Format_Grayscale8 ? "/DeviceGray" : "/DeviceRGB";
        appendSamples(raw, source);
    }
    image.data = detail::deflate(raw);
    return image;
}

// A page too large to hold goes in as its exact pixels all the same, read from its file a
// band at a time while the writer deflates them.
Image streamedTiffPage(const QString &path, const Image &stored) {
    QString error;
    std::shared_ptr<LargePageRows> source = LargePageRows::open(path, &error);
    if (!source)
        failPage(path, error);
    Image image;
    image.width = source->size().width();
    image.height = source->size().height();
    image.filter = "/FlateDecode";
    image.colorSpace = source->gray() ? "/DeviceGray" : "/DeviceRGB";
    image.setResolution(stored.xDpi, stored.yDpi);
    // The rows go in as stored, turned where the page is drawn, as copied data is.
    image.orientation = source->orientation();
    image.rows = [source, path](QByteArray &out) {
        QString error;
        const QImage band = source->next(&error);
        if (band.isNull() && !error.isEmpty())
            failPage(path, error);
        if (band.isNull())
            return false;
        appendSamples(out, band);
        return true;
    };
    return image;
}

Image decodedTiffPage(const QByteArray &data, const QString &path, int index, int pages,
                      const Image &stored) {
    QString error;
    const QImage pixels = tiff::read(data, &error, index);
    // Refused whole before anything is allocated; only then is the file asked whether it can
    // be read in parts.
    if (pixels.isNull() && index == 0 && stored.filter != "/CCITTFaxDecode" &&
        LargePage::needed(path))
        return streamedTiffPage(path, stored);
    if (pixels.isNull())
        failPage(path,
                 pages > 1 ? QStringLiteral("第 %1 页：%2").arg(index + 1).arg(error) : error);
    Image image;
    if (stored.filter == "/CCITTFaxDecode") {
        const QByteArray g4 = tiff::write(pixels, &error);
        if (g4.isEmpty())
            failPage(path, error);
        const QList<Image> again = storedImagesOf(g4, path);
        if (again.isEmpty() || again.first().needsPixels)
            failPage(path, QStringLiteral("无法重新编码为 G4"));
        image = again.first();
    } else {
        image = flateImage(pixels);
    }
    image.setResolution(stored.xDpi, stored.yDpi);
    return image;
}

} // namespace

QList<Image> imagesOf(const QString &path) {
    return imagesOf(path, ImageDocument::readBytes(path));
}

QList<Image> imagesOf(const QString &path, const QByteArray &data) {
    QList<Image> images = storedImagesOf(data, path);
    if (isTiff(data)) {
        for (int i = 0; i < images.size(); ++i)
            if (images.at(i).needsPixels)
                images[i] = decodedTiffPage(data, path, i, int(images.size()), images.at(i));
        return images;
    }
    if (!images.first().needsPixels)
        return images;
    // GIF, BMP, PNG: read as showing them does, with the same checks.
    QImage pixels;
    try {
        pixels = ImageDocument::readFile(path);
    } catch (const Error &e) {
        failPage(path, e.description());
    }
    Image image = flateImage(pixels);
    if (printlayout::statesResolution(pixels))
        image.setResolution(pixels.dotsPerMeterX() * 0.0254, pixels.dotsPerMeterY() * 0.0254);
    return {image};
}

void Writer::addFile(const QString &path) {
    const QList<Image> images = imagesOf(path);
    for (const Image &image : images)
        addImage(image);
}

void WritePdf(const QStringList &files, const QString &title, const QString &target) {
    WritePdf(files, {}, title, target);
}

void WritePdf(const QStringList &files, const QList<PageText> &texts, const QString &title,
              const QString &target) {
    Writer writer(target);
    writer.setTitle(title);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QList<Image> images = imagesOf(files.at(i));
        for (qsizetype p = 0; p < images.size(); ++p)
            writer.addImage(images.at(p), p == 0 ? texts.value(i) : PageText{});
    }
    writer.commit();
}

} // namespace qen::pdf
