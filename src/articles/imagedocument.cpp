#include "articles/imagedocument.h"

#include "articles/gifcodec.h"
#include "articles/jpegregion.h"
#include "articles/pagefile.h"
#include "articles/pageshape.h"
#include "articles/tiffcodec.h"
#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/filehelpers.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

namespace qen {

namespace {

enum class Content { Unknown, Tiff, Jpeg, Gif, Bmp, Png };

Content sniff(const QByteArray &d) {
    if (d.startsWith("II*\0") || d.startsWith(QByteArray("MM\0*", 4)) ||
        d.startsWith(QByteArray("II+\0", 4)) || d.startsWith(QByteArray("MM\0+", 4)))
        return Content::Tiff;
    if (d.startsWith("\xFF\xD8\xFF"))
        return Content::Jpeg;
    if (d.startsWith("GIF87a") || d.startsWith("GIF89a"))
        return Content::Gif;
    if (d.startsWith("BM") && d.size() >= 26)
        return Content::Bmp;
    if (d.startsWith("\x89PNG\r\n\x1a\n"))
        return Content::Png;
    return Content::Unknown;
}

QString contentName(Content c) {
    switch (c) {
    case Content::Tiff:
        return QStringLiteral("TIFF");
    case Content::Jpeg:
        return QStringLiteral("JPEG");
    case Content::Gif:
        return QStringLiteral("GIF");
    case Content::Bmp:
        return QStringLiteral("BMP");
    case Content::Png:
        return QStringLiteral("PNG");
    case Content::Unknown:
        break;
    }
    return {};
}

const char *qtFormat(Content c) {
    switch (c) {
    case Content::Jpeg:
        return "jpeg";
    case Content::Gif:
        return "gif";
    case Content::Bmp:
        return "bmp";
    case Content::Png:
        return "png";
    default:
        return "";
    }
}

quint32 le32(const QByteArray &d, int at) {
    return quint32(uchar(d[at])) | quint32(uchar(d[at + 1])) << 8 |
           quint32(uchar(d[at + 2])) << 16 | quint32(uchar(d[at + 3])) << 24;
}

// Every chunk up to IEND lies inside the file. libpng takes a chunk's declared length as it
// stands and allocates it before reading: a 300-byte file declaring a 256 MB text chunk
// would cost that much memory to refuse.
bool pngChunksFit(const QByteArray &d) {
    const auto *b = reinterpret_cast<const uchar *>(d.constData());
    qsizetype at = 8; // the signature
    while (at + 8 <= d.size()) {
        if (std::memcmp(b + at + 4, "IEND", 4) == 0)
            return true;
        const quint32 length = qFromBigEndian<quint32>(b + at);
        if (length > quint64(d.size() - at - 8) || d.size() - at - 8 - qsizetype(length) < 4)
            return false; // data and CRC run past the end
        at += 12 + qsizetype(length);
    }
    return at == d.size();
}

// Qt's BMP reader fills a short file's missing rows with black and calls it a success.
bool bmpComplete(const QByteArray &d) {
    if (d.size() < 34)
        return false;
    const qint64 bitsAt = le32(d, 10);
    const quint32 headerSize = le32(d, 14);
    if (headerSize < 40) // the old OS/2 header: trust the declared file size
        return le32(d, 2) <= quint32(d.size());
    const qint64 width = qint32(le32(d, 18));
    const qint64 height = std::abs(qint64(qint32(le32(d, 22))));
    const int bpp = uchar(d[28]) | uchar(d[29]) << 8;
    const quint32 compression = le32(d, 30);
    if (compression != 0 && compression != 3)
        return le32(d, 2) <= quint32(d.size());
    const qint64 rowBytes = (width * bpp + 31) / 32 * 4;
    return bitsAt + rowBytes * height <= d.size();
}

// Qt's JPEG and GIF readers show whatever part of a cut-off file they got; a page with a
// gray or missing lower part must not pass for the page, so the end of the stream is checked.
bool looksComplete(const QByteArray &d, Content c) {
    if (c == Content::Jpeg) {
        const qsizetype lastScan = d.lastIndexOf("\xFF\xDA");
        return lastScan > 0 && d.indexOf("\xFF\xD9", lastScan) > lastScan;
    }
    if (c == Content::Gif) {
        qsizetype end = d.size();
        while (end > 0 && d.at(end - 1) == '\0')
            --end;
        return end > 0 && d.at(end - 1) == '\x3B';
    }
    if (c == Content::Bmp)
        return bmpComplete(d);
    return true;
}

// The sides a JPEG's frame header declares, read from its markers; invalid when there is none.
QSize jpegFrameSize(const QByteArray &d) {
    const auto *b = reinterpret_cast<const uchar *>(d.constData());
    qsizetype at = 2;
    while (at + 9 <= d.size() && b[at] == 0xFF) {
        const uchar marker = b[at + 1];
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return {qFromBigEndian<quint16>(b + at + 7), qFromBigEndian<quint16>(b + at + 5)};
        at += 2 + qFromBigEndian<quint16>(b + at + 2);
    }
    return {};
}

// `box`, when valid, asks for the page at most that size where the format can shrink while it
// decodes (JPEG by its scaled DCT), which costs a fraction of a full decode. A JPEG page of the
// size and format of `reuse` is decoded into its memory.
QImage decodeWithQt(const QByteArray &data, Content c, QString *error, QSize box,
                    ImageDocument::Threads threads, QImage reuse) {
    const auto truncated = [&] {
        *error = QStringLiteral("%1 图像数据不完整（文件被截断）").arg(contentName(c));
        return QImage();
    };
    // Before Qt reads even the header: libpng allocates each chunk it meets on the way.
    if (c == Content::Png && !pngChunksFit(data))
        return truncated();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormat(c));
    reader.setAllocationLimit(int(tiff::MaxImageBytes / (1024 * 1024)));
    reader.setAutoTransform(false);
    QSize declared = reader.size();
    // A top-down BMP declares a negative height, which is valid.
    if (c == Content::Bmp)
        declared.setHeight(std::abs(declared.height()));
    if (!declared.isValid() || declared.isEmpty()) {
        // Qt's reader takes no JPEG with a side over 65500 pixels and says only that it failed.
        const QSize frame = c == Content::Jpeg ? jpegFrameSize(data) : QSize();
        *error = frame.width() > 65500 || frame.height() > 65500
                     ? QStringLiteral("图像尺寸 %1×%2 过大，无法显示")
                           .arg(frame.width())
                           .arg(frame.height())
                     : QStringLiteral("%1 文件头已损坏").arg(contentName(c));
        return {};
    }
    // The file's bytes stay while the image is built; a page with transparency is copied
    // once more when it is put on white.
    const QImage::Format format = reader.imageFormat();
    const bool flattened = format != QImage::Format_Invalid &&
                           QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha;
    const qint64 imageBytes = qint64(declared.width()) * declared.height() * 4;
    if (data.size() + imageBytes * (flattened ? 2 : 1) > tiff::MaxImageBytes) {
        *error = QStringLiteral("图像尺寸 %1×%2 过大，无法显示")
                     .arg(declared.width())
                     .arg(declared.height());
        return {};
    }
    if (!looksComplete(data, c))
        return truncated();
    if (c == Content::Jpeg && box.isValid() &&
        (declared.width() > box.width() || declared.height() > box.height()))
        reader.setScaledSize(declared.scaled(box, Qt::KeepAspectRatio).expandedTo({1, 1}));
    if (c != Content::Jpeg || box.isValid())
        reuse = QImage();
    if (c == Content::Jpeg && !box.isValid() && threads == ImageDocument::Threads::Two) {
        QImage image = JpegRegionReader::readWholeInTwo(data, std::move(reuse));
        if (!image.isNull())
            return image;
    }
    // Qt's reader decodes into an image of the size and format it needs, as `reuse` may be.
    QImage image = std::move(reuse);
    if (!reader.read(&image) || image.isNull()) {
        *error = QStringLiteral("%1 图像数据已损坏（详情：%2）")
                     .arg(contentName(c), LibraryErrorText(reader.errorString()));
        return {};
    }
    return image;
}

using pagefile::fail;

} // namespace

QByteArray ImageDocument::readBytes(const QString &path) {
    return pagefile::readBytes(path);
}

QImage ImageDocument::decode(const QByteArray &data, QString *error) {
    return decodeReduced(data, QSize(), error);
}

namespace {

QImage decodePage(const QByteArray &data, QSize box, ImageDocument::Threads threads, QString *error,
                  QImage reuse = {}) {
    // By content, as every viewer does: a JPEG named .tif is still a good page.
    const Content content = sniff(data);
    if (content == Content::Unknown) {
        *error = QStringLiteral("不是可识别的图像格式（TIFF、JPEG、GIF、BMP、PNG）");
        return {};
    }
    if (content == Content::Tiff && box.isValid()) {
        // A fax page's picture is counted from its runs as they are decoded, so the page is
        // never written out in full only to be shrunk again.
        bool shrunk = false;
        QImage picture = tiff::readShrunk(data, box, error, &shrunk);
        if (shrunk || !error->isEmpty())
            return picture;
    }
    const QImage decoded = content == Content::Tiff
                               ? tiff::read(data, error)
                               : decodeWithQt(data, content, error, box, threads, std::move(reuse));
    if (decoded.isNull()) {
        if (error->isEmpty())
            *error = QStringLiteral("图像数据已损坏");
        return {};
    }
    // A TIFF page comes in its page shape already; shaping it again would copy a bilevel page
    // as its colour table is set, twice its memory at the peak.
    QImage page = content == Content::Tiff ? decoded : pageshape::normalized(decoded);
    if (content == Content::Gif)
        page = pageshape::reducedToPlainest(page);
    if (page.isNull())
        *error = QStringLiteral("内存不足");
    return page;
}

QImage readWhole(const QString &path, ImageDocument::Threads threads, QImage reuse) {
    QString error;
    const QImage page =
        decodePage(ImageDocument::readBytes(path), QSize(), threads, &error, std::move(reuse));
    if (page.isNull())
        fail(path, error);
    return page;
}

} // namespace

QImage ImageDocument::decodeReduced(const QByteArray &data, QSize box, QString *error) {
    return decodePage(data, box, Threads::One, error);
}

QImage ImageDocument::readFile(const QString &path, Threads threads) {
    return readWhole(path, threads, QImage());
}

QByteArray ImageDocument::encode(const QImage &source, ImageFileType type, QString *error) {
    if (source.isNull()) {
        *error = QStringLiteral("没有可保存的图像");
        return {};
    }
    const QImage image = pageshape::normalized(source);
    switch (type) {
    case ImageFileType::Tiff:
        return tiff::write(image, error);
    case ImageFileType::Gif:
        return gif::write(image, error);
    case ImageFileType::Bmp:
    case ImageFileType::Jpeg: {
        const bool bmp = type == ImageFileType::Bmp;
        QImage out = image;
        if (bmp && image.format() == QImage::Format_Grayscale8) {
            // An 8-bit palette keeps a gray page gray (and a quarter of the size of RGB).
            QList<QRgb> grays;
            for (int v = 0; v < 256; ++v)
                grays << qRgb(v, v, v);
            out = image.convertToFormat(QImage::Format_Indexed8, grays);
        } else if (!bmp && image.format() == QImage::Format_Mono) {
            out = image.convertToFormat(QImage::Format_Grayscale8);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, bmp ? "bmp" : "jpeg");
        if (!bmp)
            writer.setQuality(90);
        if (!writer.write(out)) {
            *error = LibraryErrorText(writer.errorString());
            return {};
        }
        return bytes;
    }
    }
    *error = QStringLiteral("不支持的保存类型 %1").arg(int(type));
    return {};
}

namespace {

void writeBytes(const QByteArray &bytes, const QString &path) {
    if (QFileInfo::exists(path))
        MakeWritable(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("无法保存图像文件 %1：%2")
                        .arg(path, LibraryErrorText(file.errorString())));
}

// A large page's rows, read from its file a band at a time; colour rows as RGB888.
QByteArray encodeLarge(const LargePage &page, ImageFileType type, QString *error) {
    if (type != ImageFileType::Tiff) {
        *error = QStringLiteral("这一页有 %1×%2 像素，太大，只能保存为 TIFF 文件")
                     .arg(page.size().width())
                     .arg(page.size().height());
        return {};
    }
    const bool gray = page.format() == QImage::Format_Grayscale8;
    const int width = page.size().width();
    // About 16 MB of the page at a time.
    const int bandRows = int(std::clamp<qint64>((16 << 20) / page.bytesFor({width, 1}), 1, 4096));
    QImage band;
    int bandTop = 0;
    tiff::Rows rows{width,
                    page.size().height(),
                    gray ? QImage::Format_Grayscale8 : QImage::Format_RGB888,
                    page.overview().dotsPerMeterX(),
                    page.overview().dotsPerMeterY(),
                    [&](int y, QString *why) -> const uchar * {
                        if (band.isNull() || y >= bandTop + band.height()) {
                            bandTop = y;
                            band = page.region(QRect(0, y, width, bandRows), 0, why);
                            if (!gray && !band.isNull())
                                band = std::move(band).convertToFormat(QImage::Format_RGB888);
                        }
                        return band.isNull() ? nullptr : band.constScanLine(y - bandTop);
                    }};
    return tiff::writeRows(rows, error);
}

} // namespace

void ImageDocument::writeFile(const QImage &image, const QString &path, ImageFileType type) {
    QString error;
    const QByteArray bytes = encode(image, type, &error);
    if (bytes.isEmpty())
        throw Error(QStringLiteral("无法保存图像文件 %1：%2").arg(path, error));
    writeBytes(bytes, path);
}

void ImageDocument::write(const QString &path, ImageFileType type) const {
    if (!m_large) {
        writeFile(m_image, path, type);
        return;
    }
    QString error;
    const QByteArray bytes = encodeLarge(*m_large, type, &error);
    if (bytes.isEmpty())
        throw Error(QStringLiteral("无法保存图像文件 %1：%2")
                        .arg(path, error.isEmpty() ? QStringLiteral("内存不足") : error));
    writeBytes(bytes, path);
}

namespace {

// The page at `path`, whole or, when too large for that, in parts.
std::pair<QImage, std::shared_ptr<const LargePage>>
readPage(const QString &path, ImageDocument::Threads threads, QImage reuse = {}) {
    QString error;
    std::shared_ptr<const LargePage> large = LargePage::open(path, &error);
    if (!error.isEmpty())
        fail(path, error);
    if (large)
        return {large->overview(), std::move(large)};
    return {readWhole(path, threads, std::move(reuse)), nullptr};
}

// The page being replaced, when no one else holds it: the next page of its size and format is
// decoded into its memory. Fresh memory costs its first touch of every page, on a virtual
// machine about as much as decoding an A4 colour scan on two threads. Its resolution and
// colour profile go back to a new image's, as the readers set them only when a file gives
// them; a page with texts (which a reader would add to) is not taken.
QImage reusable(QImage &&replaced) {
    if (replaced.isNull() || !replaced.isDetached() || !replaced.textKeys().isEmpty())
        return {};
    QImage page = std::move(replaced);
    const QImage fresh(1, 1, page.format());
    page.setDotsPerMeterX(fresh.dotsPerMeterX());
    page.setDotsPerMeterY(fresh.dotsPerMeterY());
    page.setColorSpace(QColorSpace());
    page.setOffset(QPoint());
    return page;
}

} // namespace

void ImageDocument::load(const QString &path, Threads threads) {
    QImage replaced = std::move(m_image);
    clear();
    if (path.isEmpty())
        return;
    std::tie(m_image, m_large) = readPage(path, threads, reusable(std::move(replaced)));
    m_fileName = path;
    changed();
}

void ImageDocument::adopt(const QString &path, const QImage &image) {
    m_image = image;
    m_large.reset();
    m_fileName = path;
    changed();
}

void ImageDocument::reload() {
    if (m_fileName.isEmpty())
        return;
    auto fresh = readPage(m_fileName, Threads::One);
    std::tie(m_image, m_large) = std::move(fresh);
    changed();
}

void ImageDocument::clear() {
    m_image = QImage();
    m_large.reset();
    m_fileName.clear();
    changed();
}

void ImageDocument::setImage(const QImage &image) {
    m_image = pageshape::normalized(image);
    m_large.reset();
    m_fileName.clear();
    changed();
}

QString ImageDocument::wholePageRefusal(const QString &what) const {
    if (!m_large)
        return {};
    return QStringLiteral("这一页有 %1×%2 像素，太大，无法整页放入内存，所以不能%3。")
        .arg(m_large->size().width())
        .arg(m_large->size().height())
        .arg(what);
}

QImage ImageDocument::copy(const QRect &rect, QString *error) const {
    if (m_image.isNull())
        return {};
    const QRect page(QPoint(0, 0), size());
    const QRect area = rect.isEmpty() ? page : rect.intersected(page);
    if (area.isEmpty())
        return {};
    if (m_large) {
        QString why;
        QImage part = m_large->region(area, 0, &why);
        if (part.isNull() && error)
            *error = why.isEmpty() ? QStringLiteral("内存不足") : why;
        return part;
    }
    QImage part = m_image.copy(area);
    pageshape::clearMonoPadding(part);
    return part;
}

void ImageDocument::adjust(const std::function<void(QImage &)> &op) {
    if (m_image.isNull() || m_large)
        return;
    op(m_image);
    changed();
}

} // namespace qen
