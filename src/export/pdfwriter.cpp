#include "export/pdfwriter.h"

#include "articles/tiffstored.h"
#include "ocr/textlayer.h"
#include "platform/error.h"
#include "platform/errortext.h"
#include "platform/product.h"

#include <QFile>
#include <QFileInfo>
#include <libdeflate.h>
#include <tiffio.h>
#include <zlib.h>

#include <array>
#include <optional>

namespace qen::pdf {

using detail::number;

QByteArray detail::number(double v) {
    // Page sizes in points: four decimals keep the page within a thousandth of a pixel of
    // the image at any resolution, without exponents that PDF does not allow.
    QByteArray s = QByteArray::number(v, 'f', 4);
    while (s.endsWith('0'))
        s.chop(1);
    if (s.endsWith('.'))
        s.chop(1);
    return s == "-0" ? QByteArray("0") : s;
}

namespace {

// libdeflate's level for text layers: its fastest, which on them is still smaller than zlib's
// level 2, in a quarter of zlib's time.
constexpr int TextLevel = 1;

// ---- JPEG streams -------------------------------------------------------------------

struct JpegInfo {
    int width = 0, height = 0, components = 0;
    bool adobe = false;
    double xDpi = 0, yDpi = 0;
};

int be16(const QByteArray &d, qsizetype at) {
    return uchar(d[at]) << 8 | uchar(d[at + 1]);
}

// Reads the markers up to the first scan. The data after it is what a decoder draws from,
// so it is not looked into, but a stream without its end marker is a cut-off file.
std::optional<JpegInfo> parseJpeg(const QByteArray &d, QString *error) {
    auto bad = [error](const QString &what) {
        *error = what;
        return std::nullopt;
    };
    if (!d.startsWith("\xFF\xD8"))
        return bad(QStringLiteral("不是 JPEG 数据"));
    JpegInfo info;
    bool frame = false;
    qsizetype i = 2;
    for (;;) {
        while (i < d.size() && uchar(d[i]) == 0xFF && i + 1 < d.size() && uchar(d[i + 1]) == 0xFF)
            ++i;
        if (i + 4 > d.size() || uchar(d[i]) != 0xFF)
            return bad(QStringLiteral("JPEG 数据已损坏或不完整"));
        const int marker = uchar(d[i + 1]);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            i += 2;
            continue;
        }
        const int length = be16(d, i + 2);
        if (length < 2 || i + 2 + length > d.size())
            return bad(QStringLiteral("JPEG 数据已损坏或不完整"));
        const QByteArray body = d.mid(i + 4, length - 2);
        if (marker == 0xDA)
            break;
        if (marker == 0xE0 && body.startsWith(QByteArray("JFIF\0", 5)) && body.size() >= 12) {
            const int units = uchar(body[7]);
            const double factor = units == 1 ? 1 : units == 2 ? 2.54 : 0;
            const int x = be16(body, 8), y = be16(body, 10);
            if (factor > 0 && x > 0 && y > 0) {
                info.xDpi = x * factor;
                info.yDpi = y * factor;
            }
        } else if (marker == 0xEE && body.startsWith("Adobe")) {
            info.adobe = true;
        } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                   marker != 0xCC) {
            // Huffman-coded baseline, extended and progressive frames are what PDF readers
            // decode; lossless, hierarchical and arithmetic-coded ones are not.
            if (marker > 0xC2)
                return bad(QStringLiteral("PDF 不支持这种 JPEG 编码（SOF%1）").arg(marker - 0xC0));
            if (body.size() < 6 || uchar(body[0]) != 8)
                return bad(QStringLiteral("PDF 不支持这种 JPEG 编码（非 8 位）"));
            info.height = be16(body, 1);
            info.width = be16(body, 3);
            info.components = uchar(body[5]);
            frame = true;
        }
        i += 2 + length;
    }
    if (!frame || info.width == 0 || info.height == 0)
        return bad(QStringLiteral("JPEG 数据没有有效的图像尺寸"));
    if (info.components != 1 && info.components != 3 && info.components != 4)
        return bad(QStringLiteral("JPEG 数据有 %1 个颜色分量").arg(info.components));
    // Its samples are never decoded here, only carried: it is held to the size the program
    // shows in parts, not to what a page decoded whole may take.
    if (qint64(info.width) * info.height >
        (info.components == 1 ? tiff::MaxGrayPixelsInParts : tiff::MaxColourPixelsInParts))
        return bad(QStringLiteral("图像尺寸 %1×%2 过大").arg(info.width).arg(info.height));
    if (d.lastIndexOf("\xFF\xD9") < i)
        return bad(QStringLiteral("JPEG 数据不完整（文件被截断）"));
    return info;
}

Image dctImage(const QByteArray &stream, const JpegInfo &info) {
    Image image;
    image.width = info.width;
    image.height = info.height;
    image.bitsPerComponent = 8;
    image.colorSpace = info.components == 1   ? "/DeviceGray"
                       : info.components == 3 ? "/DeviceRGB"
                                              : "/DeviceCMYK";
    // Adobe's CMYK JPEGs are stored inverted; readers of PDF expect to be told.
    if (info.components == 4 && info.adobe)
        image.decode = "[1 0 1 0 1 0 1 0]";
    image.filter = "/DCTDecode";
    image.data = stream;
    return image;
}

// ---- TIFF pages ---------------------------------------------------------------------

const std::array<uchar, 256> &reversedBits() {
    static const std::array<uchar, 256> table = [] {
        std::array<uchar, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b))
                    r |= 0x80 >> b;
            t[size_t(i)] = uchar(r);
        }
        return t;
    }();
    return table;
}

bool bilevelCcitt(const tiff::StoredPage &p) {
    return (p.compression == COMPRESSION_CCITTFAX4 || p.compression == COMPRESSION_CCITTFAX3) &&
           p.bitsPerSample == 1 && p.samplesPerPixel == 1 && !p.tiled &&
           (p.photometric == PHOTOMETRIC_MINISWHITE || p.photometric == PHOTOMETRIC_MINISBLACK);
}

// The strip as PDF's CCITT filter reads it, or nothing when the page has to be re-encoded:
// PDF has one stream per image where a TIFF may have many strips each coded afresh, and the
// fill bits before a 2-D line's tag bit are read differently by different PDF readers.
std::optional<Image> ccittImage(const tiff::StoredPage &p) {
    if (!bilevelCcitt(p) || p.strips.size() != 1)
        return std::nullopt;
    int k = -1;
    bool byteAlign = false;
    if (p.compression == COMPRESSION_CCITTFAX3) {
        if (p.t4Options & GROUP3OPT_UNCOMPRESSED)
            return std::nullopt;
        const bool twoD = p.t4Options & GROUP3OPT_2DENCODING;
        byteAlign = p.t4Options & GROUP3OPT_FILLBITS;
        if (twoD && byteAlign)
            return std::nullopt;
        k = twoD ? 1 : 0;
    }
    Image image;
    image.width = p.width;
    image.height = p.height;
    image.bitsPerComponent = 1;
    image.colorSpace = "/DeviceGray";
    image.filter = "/CCITTFaxDecode";
    image.parms = "<< /K " + QByteArray::number(k) + " /Columns " + QByteArray::number(p.width) +
                  " /Rows " + QByteArray::number(p.height) +
                  (byteAlign ? " /EncodedByteAlign false" : "") +
                  // The codes name white and black runs; on a MinIsBlack page the runs the
                  // codes call white are the ones shown black.
                  (p.photometric == PHOTOMETRIC_MINISBLACK ? " /BlackIs1 true" : "") + " >>";
    image.data = p.strips.first();
    if (p.fillOrder == FILLORDER_LSB2MSB) {
        const auto &table = reversedBits();
        for (char &c : image.data)
            c = char(table[uchar(c)]);
    }
    return image;
}

std::optional<Image> jpegTiffImage(const tiff::StoredPage &p, const QString &path) {
    if (p.compression != COMPRESSION_JPEG || p.tiled || p.strips.size() != 1 ||
        p.bitsPerSample != 8 || p.planar != PLANARCONFIG_CONTIG)
        return std::nullopt;
    const bool gray = p.samplesPerPixel == 1 && (p.photometric == PHOTOMETRIC_MINISBLACK ||
                                                 p.photometric == PHOTOMETRIC_MINISWHITE);
    const bool colour = p.samplesPerPixel == 3 &&
                        (p.photometric == PHOTOMETRIC_RGB || p.photometric == PHOTOMETRIC_YCBCR);
    if (!gray && !colour)
        return std::nullopt;
    // The strip leaves out the tables that all strips share; the tag holds them as a stream
    // of its own (SOI, tables, EOI). Joined they are one complete JPEG file.
    QByteArray stream = p.strips.first();
    if (!p.jpegTables.isEmpty()) {
        if (!p.jpegTables.startsWith("\xFF\xD8") || !p.jpegTables.endsWith("\xFF\xD9") ||
            !stream.startsWith("\xFF\xD8"))
            failPage(path, QStringLiteral("JPEG 表已损坏"));
        stream = p.jpegTables.chopped(2) + stream.mid(2);
    }
    QString error;
    const std::optional<JpegInfo> info = parseJpeg(stream, &error);
    if (!info)
        failPage(path, error);
    if (info->width != p.width || info->height != p.height || info->components != p.samplesPerPixel)
        failPage(path, QStringLiteral("JPEG 数据与 TIFF 所述的图像尺寸不符"));
    // A TIFF says RGB when the JPEG holds RGB itself. PDF readers take three components
    // for YCbCr unless an Adobe marker says otherwise (Ghostscript ignores ColorTransform),
    // so the marker is put in front of the frame; the coded data is not touched.
    if (p.photometric == PHOTOMETRIC_RGB && !info->adobe)
        stream.insert(2, QByteArray("\xFF\xEE\x00\x0E"
                                    "Adobe\x00\x64\x00\x00\x00\x00\x00",
                                    16));
    Image image = dctImage(stream, *info);
    if (p.photometric == PHOTOMETRIC_MINISWHITE)
        image.decode = "[1 0]";
    return image;
}

QList<Image> tiffImages(const QByteArray &data, const QString &path) {
    QList<tiff::StoredPage> pages;
    QString error;
    if (!tiff::readStored(data, &pages, &error))
        failPage(path, error);
    QList<Image> images;
    for (const tiff::StoredPage &p : std::as_const(pages)) {
        std::optional<Image> image = ccittImage(p);
        if (!image)
            image = jpegTiffImage(p, path);
        if (!image) {
            image = Image{};
            image->needsPixels = true;
            // Strips or fill bits PDF cannot take as they are: the decoded page is coded
            // again as one G4 strip, which loses nothing.
            if (bilevelCcitt(p))
                image->filter = "/CCITTFaxDecode";
        }
        image->setResolution(p.xDpi, p.yDpi);
        // Decoded pages come out turned already; copied data is turned when it is drawn.
        if (!image->needsPixels)
            image->orientation = p.orientation;
        images.append(*image);
    }
    return images;
}

} // namespace

bool IsPdfPageType(const QString &type) {
    static const QStringList types = {QStringLiteral("WWP"),  QStringLiteral("TIF"),
                                      QStringLiteral("TIFF"), QStringLiteral("JPG"),
                                      QStringLiteral("JPEG"), QStringLiteral("GIF"),
                                      QStringLiteral("BMP"),  QStringLiteral("PNG")};
    return types.contains(type);
}

void failPage(const QString &path, const QString &what) {
    throw Error(QStringLiteral("页面 %1 无法转换成PDF：%2").arg(path, what));
}

bool isTiff(const QByteArray &data) {
    return data.startsWith("II*\0") || data.startsWith(QByteArray("MM\0*", 4)) ||
           data.startsWith(QByteArray("II+\0", 4)) || data.startsWith(QByteArray("MM\0+", 4));
}

QList<Image> storedImagesOf(const QByteArray &data, const QString &path) {
    if (isTiff(data))
        return tiffImages(data, path);
    if (data.startsWith("\xFF\xD8")) {
        QString error;
        const std::optional<JpegInfo> jpeg = parseJpeg(data, &error);
        if (!jpeg)
            failPage(path, error);
        Image image = dctImage(data, *jpeg);
        image.setResolution(jpeg->xDpi, jpeg->yDpi);
        return {image};
    }
    Image pixels;
    pixels.needsPixels = true;
    return {pixels};
}

Writer::Writer(const QString &target) : m_target(target), m_file(target) {}

void Writer::FreeCompressor::operator()(libdeflate_compressor *c) const {
    libdeflate_free_compressor(c);
}

Writer::~Writer() {
    if (m_file.isOpen())
        m_file.cancelWriting();
}

void Writer::open() {
    if (m_file.isOpen())
        return;
    if (!m_file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("无法写入PDF文件 %1：%2")
                        .arg(m_target, LibraryErrorText(m_file.errorString())));
    // Objects 1-3 (catalog, page tree, information) are written last, when the pages are
    // known; the slots are kept so that the numbers never change.
    m_offsets = {0, 0, 0};
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

void Writer::write(const QByteArray &bytes) {
    if (m_failed)
        return;
    if (m_file.write(bytes) != bytes.size())
        m_failed = true;
    m_written += bytes.size();
}

int Writer::beginObject() {
    m_offsets.append(m_written);
    const int id = int(m_offsets.size());
    write(QByteArray::number(id) + " 0 obj\n");
    return id;
}

int Writer::reserveObject() {
    m_offsets.append(0);
    return int(m_offsets.size());
}

void Writer::beginReserved(int id) {
    m_offsets[id - 1] = m_written;
    write(QByteArray::number(id) + " 0 obj\n");
}

namespace {

// Where a point of the stored image (column c, row r of a w x h image) is seen, in the page's
// pixels from its top left, for each TIFF Orientation: sideways pages are transposed, then
// mirrored and flipped as the decoder shows them.
QPointF shownPoint(int orientation, double c, double r, double w, double h) {
    const bool transposed = orientation >= 5;
    const double x = transposed ? r : c, y = transposed ? c : r;
    const double sw = transposed ? h : w, sh = transposed ? w : h;
    const bool mirror =
        orientation == 2 || orientation == 3 || orientation == 6 || orientation == 7;
    const bool flip = orientation == 3 || orientation == 4 || orientation == 7 || orientation == 8;
    return {mirror ? sw - x : x, flip ? sh - y : y};
}

// The cm that draws the image's unit square onto a page of widthPt x heightPt as it is seen.
QByteArray imageMatrix(const Image &image, double widthPt, double heightPt) {
    if (image.orientation <= 1)
        return number(widthPt) + " 0 0 " + number(heightPt) + " 0 0";
    const bool transposed = image.orientation >= 5;
    const double w = image.width, h = image.height;
    const double kx = widthPt / (transposed ? h : w), ky = heightPt / (transposed ? w : h);
    // Image space (u, v) has v up and row 0 at v = 1.
    auto at = [&](double u, double v) {
        const QPointF p = shownPoint(image.orientation, u * w, (1 - v) * h, w, h);
        return QPointF(p.x() * kx, heightPt - p.y() * ky);
    };
    const QPointF o = at(0, 0), x = at(1, 0) - o, y = at(0, 1) - o;
    return number(x.x()) + " " + number(x.y()) + " " + number(y.x()) + " " + number(y.y()) + " " +
           number(o.x()) + " " + number(o.y());
}

} // namespace

void Writer::addImage(const Image &image, const PageText &text) {
    if (text.isEmpty())
        return addPage(image, {});
    addPage(image,
            [&](QByteArray &out, double w, double h) { textContent(out, text, w, h, image); });
}

void Writer::addImage(const Image &image, const ocr::TextLayer &layer) {
    if (layer.count() == 0)
        return addPage(image, {});
    addPage(image,
            [&](QByteArray &out, double w, double h) { textContent(out, layer, w, h, image); });
}

void Writer::addPage(const Image &image, const TextWriter &text) {
    open();
    // The page as it is seen: a sideways page's sides and resolutions change places.
    const bool transposed = image.orientation >= 5;
    const double w =
        transposed ? image.height * 72.0 / image.yDpi : image.width * 72.0 / image.xDpi;
    const double h =
        transposed ? image.width * 72.0 / image.xDpi : image.height * 72.0 / image.yDpi;
    const int imageId = beginObject();
    QByteArray dict = "<< /Type /XObject /Subtype /Image /Width " +
                      QByteArray::number(image.width) + " /Height " +
                      QByteArray::number(image.height) + " /ColorSpace " + image.colorSpace +
                      " /BitsPerComponent " + QByteArray::number(image.bitsPerComponent) +
                      " /Filter " + image.filter;
    if (!image.parms.isEmpty())
        dict += " /DecodeParms " + image.parms;
    if (!image.decode.isEmpty())
        dict += " /Decode " + image.decode;
    if (image.rows) {
        // The length is known only once the rows are in: it follows as an object of its own.
        const int lengthId = reserveObject();
        write(dict + " /Length " + QByteArray::number(lengthId) + " 0 R >>\nstream\n");
        const qint64 length = writeDeflatedRows(image.rows);
        write("\nendstream\nendobj\n");
        beginReserved(lengthId);
        write(QByteArray::number(length) + "\nendobj\n");
    } else {
        write(dict + " /Length " + QByteArray::number(image.data.size()) + " >>\nstream\n");
        write(image.data);
        write("\nendstream\nendobj\n");
    }

    QByteArray content = "q " + imageMatrix(image, w, h) + " cm /Im0 Do Q";
    QByteArray contentDict, fonts;
    if (text) {
        if (!m_fontId)
            m_fontId = reserveObject();
        // A text layer is a few kilobytes a page. zlib sets up and clears a quarter of a
        // megabyte of state for each stream, which cost as much as writing the text;
        // libdeflate keeps its compressor from page to page.
        if (!m_textCompressor) {
            m_textCompressor.reset(libdeflate_alloc_compressor(TextLevel));
            if (!m_textCompressor)
                throw std::bad_alloc();
        }
        content += '\n';
        text(content, w, h);
        content = detail::deflate(*m_textCompressor, content);
        contentDict = " /Filter /FlateDecode";
        fonts = " /Font << /F0 " + QByteArray::number(m_fontId) + " 0 R >>";
    }
    const int contentId = beginObject();
    write("<<" + contentDict + " /Length " + QByteArray::number(content.size()) + " >>\nstream\n" +
          content + "\nendstream\nendobj\n");

    const int pageId = beginObject();
    write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + number(w) + " " + number(h) +
          "] /Resources << /XObject << /Im0 " + QByteArray::number(imageId) + " 0 R >>" + fonts +
          " >> /Contents " + QByteArray::number(contentId) + " 0 R >>\nendobj\n");
    m_pages.append(pageId);
}

qint64 Writer::writeDeflatedRows(const std::function<bool(QByteArray &)> &rows) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
        throw std::bad_alloc();
    const auto end = qScopeGuard([&] { deflateEnd(&z); });
    // A page that stops reading halfway leaves a stream that must never be committed.
    auto unfinished = qScopeGuard([&] { m_failed = true; });
    QByteArray in, out(256 << 10, Qt::Uninitialized);
    qint64 total = 0;
    for (bool more = true; more;) {
        in.clear();
        more = rows(in);
        z.next_in = reinterpret_cast<Bytef *>(in.data());
        z.avail_in = uInt(in.size());
        const int flush = more ? Z_NO_FLUSH : Z_FINISH;
        int status = Z_OK;
        do {
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            status = deflate(&z, flush);
            if (status == Z_STREAM_ERROR)
                throw std::bad_alloc();
            const qsizetype n = out.size() - qsizetype(z.avail_out);
            write(QByteArray::fromRawData(out.constData(), n));
            total += n;
        } while (z.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
    }
    unfinished.dismiss();
    return total;
}

namespace {
QByteArray utf16Text(const QString &text) {
    // A text string with a byte-order mark is UTF-16BE; hex keeps it free of escapes.
    QByteArray bytes("\xFE\xFF");
    for (const QChar c : text) {
        bytes.append(char(c.unicode() >> 8));
        bytes.append(char(c.unicode() & 0xFF));
    }
    return "<" + bytes.toHex().toUpper() + ">";
}
} // namespace

void Writer::commit() {
    if (m_pages.isEmpty())
        throw Error(QStringLiteral("没有可以转换成PDF的页面，未写入 %1").arg(m_target));
    if (m_fontId)
        writeFont();
    beginReserved(1);
    write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    beginReserved(2);
    QByteArray kids;
    for (const int id : m_pages)
        kids += QByteArray::number(id) + " 0 R ";
    write("<< /Type /Pages /Count " + QByteArray::number(m_pages.size()) + " /Kids [" + kids +
          "] >>\nendobj\n");
    beginReserved(3);
    write("<< /Title " + utf16Text(m_title) + " /Producer " +
          utf16Text(product::name() + QLatin1Char(' ') + product::version()) + " >>\nendobj\n");

    const qint64 xref = m_written;
    QByteArray table =
        "xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (const qint64 offset : std::as_const(m_offsets))
        table += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    write(table);
    write("trailer\n<< /Size " + QByteArray::number(m_offsets.size() + 1) +
          " /Root 1 0 R /Info 3 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n");
    if (m_failed || !m_file.commit()) {
        const QString reason = LibraryErrorText(m_file.errorString());
        m_file.cancelWriting();
        throw Error(QStringLiteral("无法写入PDF文件 %1：%2").arg(m_target, reason));
    }
}

} // namespace qen::pdf
