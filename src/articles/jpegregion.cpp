#include "articles/jpegregion.h"

#include "articles/tiffstored.h"
#include "platform/errortext.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QSysInfo>

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h takes FILE from it
#include <cstdlib>
#include <cstring>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace qen {

namespace {

// libjpeg's errors come back to the call that started the work instead of ending the process.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

// Warnings (corrupt data libjpeg got past) are taken as Qt's reader takes them, which reads
// the same page whole: the page shows what could be decoded.
void quiet(j_common_ptr) {}

// Reads the file (or the bytes in memory) a buffer at a time; its end is noted, so that a part
// lying past what a cut-off file holds is reported as cut off and not shown gray.
struct FileSource {
    jpeg_source_mgr pub;
    QIODevice *file;
    bool ended;
    JOCTET buffer[64 * 1024];
};

FileSource *sourceOf(j_decompress_ptr cinfo) {
    return reinterpret_cast<FileSource *>(cinfo->src);
}

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    FileSource *src = sourceOf(cinfo);
    qint64 n = src->file->read(reinterpret_cast<char *>(src->buffer), sizeof src->buffer);
    if (n <= 0) {
        // An end of image for libjpeg to stop at, as its own file source does.
        src->ended = true;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        n = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    FileSource *src = sourceOf(cinfo);
    if (count <= 0)
        return;
    if (size_t(count) <= src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= size_t(count);
        return;
    }
    const qint64 beyond = qint64(count) - qint64(src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
    src->file->seek(std::min(src->file->size(), src->file->pos() + beyond));
}

} // namespace

struct JpegRegionReader::State {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    FileSource src{};
    QFile file;
    QBuffer bytes;
    bool created = false;
    bool started = false;
    bool cropped = false;
    QSize size;    // at the scale decoded; libjpeg's output width becomes the cropped one
    int cropX = 0; // the first column the cropped rows hold
    std::vector<JOCTET> row;

    ~State() {
        if (created)
            jpeg_destroy_decompress(&cinfo);
    }

    bool cmyk() const { return cinfo.out_color_space == JCS_CMYK; }

    QString failure() {
        if (src.ended)
            return QStringLiteral("JPEG 图像数据不完整（文件被截断）");
        const int code = err.pub.msg_code;
        if (code == JERR_IMAGE_TOO_BIG)
            return QStringLiteral("图像尺寸 %1×%2 过大，无法显示")
                .arg(cinfo.image_width)
                .arg(cinfo.image_height);
        if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE)
            return cinfo.progressive_mode
                       ? QStringLiteral("内存不足：这一渐进式 JPEG 须整页解码，超出一页可用的内存")
                       : QStringLiteral("内存不足，无法读取这一 JPEG");
        char text[JMSG_LENGTH_MAX] = {};
        err.pub.format_message(reinterpret_cast<j_common_ptr>(&cinfo), text);
        return QStringLiteral("JPEG 图像数据已损坏（详情：%1）")
            .arg(LibraryErrorText(QString::fromLatin1(text)));
    }
};

namespace {

// The calls into libjpeg, each behind its own setjmp: no object with a destructor lives in
// these frames, so that a jump out of libjpeg skips nothing that had to run.
bool readHeader(jpeg_decompress_struct *cinfo, ErrorManager *err) {
    if (setjmp(err->jump))
        return false;
    // What Qt's reader also keeps of a page: its comments (as the image's texts) and its
    // colour profile.
    jpeg_save_markers(cinfo, JPEG_COM, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);
    // As Qt's reader asks for them: the accurate IDCT with smooth chroma upsampling.
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        break;
    default:
        // Straight into QImage's RGB32 words, opaque.
        cinfo->out_color_space =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
        break;
    }
    return true;
}

bool startDecoding(jpeg_decompress_struct *cinfo, ErrorManager *err, int dctLevel) {
    if (setjmp(err->jump))
        return false;
    cinfo->scale_num = 1;
    cinfo->scale_denom = 1u << dctLevel;
    // Only a progressive page needs memory with its size: its coefficients, held whole. It
    // gets what a page held whole may take, and is refused beyond that.
    cinfo->mem->max_memory_to_use = long(tiff::MaxImageBytes);
    jpeg_start_decompress(cinfo);
    return true;
}

bool cropTo(jpeg_decompress_struct *cinfo, ErrorManager *err, JDIMENSION *x, JDIMENSION *width) {
    if (setjmp(err->jump))
        return false;
    jpeg_crop_scanline(cinfo, x, width);
    return true;
}

bool skipTo(jpeg_decompress_struct *cinfo, ErrorManager *err, JDIMENSION row) {
    if (setjmp(err->jump))
        return false;
    if (row > cinfo->output_scanline)
        jpeg_skip_scanlines(cinfo, row - cinfo->output_scanline);
    return true;
}

bool readRow(jpeg_decompress_struct *cinfo, ErrorManager *err, JSAMPROW row) {
    if (setjmp(err->jump))
        return false;
    return jpeg_read_scanlines(cinfo, &row, 1) == 1;
}

// The colour profile the page's APP2 markers carry, joined as libjpeg joins them; false when
// they are there but do not make one. *data is then the caller's to free.
bool readIcc(jpeg_decompress_struct *cinfo, ErrorManager *err, JOCTET **data, unsigned *length) {
    bool any = false;
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        any = any || m->marker == JPEG_APP0 + 2;
    if (!any)
        return true;
    if (setjmp(err->jump))
        return false;
    return jpeg_read_icc_profile(cinfo, data, length);
}

// Qt's conversion, so that a part matches the page read whole: the samples are taken as
// Adobe's inverted CMYK, which is what CMYK JPEGs in the wild hold.
void cmykToRgb(const JOCTET *in, QRgb *out, int pixels) {
    for (int i = 0; i < pixels; ++i, in += 4) {
        const int k = in[3];
        out[i] = qRgb(k * in[0] / 255, k * in[1] / 255, k * in[2] / 255);
    }
}

} // namespace

JpegRegionReader::JpegRegionReader() : d(std::make_unique<State>()) {}
JpegRegionReader::~JpegRegionReader() = default;

bool JpegRegionReader::open(const QString &path, QString *error) {
    d->file.setFileName(path);
    if (!d->file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("无法读取文件");
        return false;
    }
    return openDevice(&d->file, error);
}

bool JpegRegionReader::open(const QByteArray &data, QString *error) {
    d->bytes.setData(data);
    d->bytes.open(QIODevice::ReadOnly);
    return openDevice(&d->bytes, error);
}

bool JpegRegionReader::openDevice(QIODevice *device, QString *error) {
    jpeg_decompress_struct *cinfo = &d->cinfo;
    cinfo->err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = errorExit;
    d->err.pub.output_message = quiet;
    jpeg_create_decompress(cinfo);
    d->created = true;
    d->src.file = device;
    d->src.pub.init_source = initSource;
    d->src.pub.fill_input_buffer = fillInput;
    d->src.pub.skip_input_data = skipInput;
    d->src.pub.resync_to_restart = jpeg_resync_to_restart;
    d->src.pub.term_source = termSource;
    cinfo->src = &d->src.pub;
    if (!readHeader(cinfo, &d->err)) {
        // A file that ends inside its header is damaged there, not cut off in its pixels.
        *error = d->src.ended ? QStringLiteral("JPEG 文件头已损坏") : d->failure();
        return false;
    }
    return true;
}

QSize JpegRegionReader::fullSize() const {
    return {int(d->cinfo.image_width), int(d->cinfo.image_height)};
}

bool JpegRegionReader::gray() const {
    return d->cinfo.out_color_space == JCS_GRAYSCALE;
}

bool JpegRegionReader::start(int dctLevel, QString *error) {
    if (!startDecoding(&d->cinfo, &d->err, std::clamp(dctLevel, 0, 3))) {
        *error = d->failure();
        return false;
    }
    d->started = true;
    d->size = QSize(int(d->cinfo.output_width), int(d->cinfo.output_height));
    d->row.resize(size_t(d->cinfo.output_width) * size_t(d->cinfo.output_components));
    return true;
}

QSize JpegRegionReader::dotsPerMeter() const {
    const jpeg_decompress_struct &c = d->cinfo;
    // Dots per inch, or per centimetre.
    const double perUnit = c.density_unit == 1 ? 100 / 2.54 : c.density_unit == 2 ? 100 : 0;
    return {int(perUnit * c.X_density), int(perUnit * c.Y_density)};
}

QSize JpegRegionReader::size() const {
    return d->size;
}

int JpegRegionReader::unitRows() const {
    return std::max(1, d->cinfo.rec_outbuf_height) * d->cinfo.max_v_samp_factor *
           std::max(1, d->cinfo.min_DCT_scaled_size);
}

bool JpegRegionReader::decode(int x0, int x1, int y0, int y1, QImage &band, QString *error) {
    jpeg_decompress_struct *cinfo = &d->cinfo;
    if (!d->started || y0 < int(cinfo->output_scanline) || x0 < 0 || x1 > d->size.width() ||
        y1 > d->size.height() || x0 >= x1) {
        *error = QStringLiteral("JPEG 区域超出图像范围");
        return false;
    }
    if (!d->cropped) {
        d->cropped = true;
        const int width = d->size.width();
        if (x0 > 0 || x1 < width) {
            // A column more each way than asked: upsampled chroma at a cut edge is repeated
            // from the edge instead of taken from its neighbour, and must not show.
            JDIMENSION x = JDIMENSION(std::max(0, x0 - 1));
            JDIMENSION w = JDIMENSION(std::min(width, x1 + 1)) - x;
            if (!cropTo(cinfo, &d->err, &x, &w)) {
                *error = d->failure();
                return false;
            }
            d->cropX = int(x);
        }
    }
    if (!skipTo(cinfo, &d->err, JDIMENSION(y0))) {
        *error = d->failure();
        return false;
    }
    const int bytes = cinfo->output_components;
    const JOCTET *from = d->row.data() + size_t(x0 - d->cropX) * size_t(bytes);
    for (int y = y0; y < y1; ++y) {
        if (!readRow(cinfo, &d->err, d->row.data()) || d->src.ended) {
            *error = d->failure();
            return false;
        }
        uchar *out = band.scanLine(y - y0);
        if (d->cmyk())
            cmykToRgb(from, reinterpret_cast<QRgb *>(out), x1 - x0);
        else
            std::memcpy(out, from, size_t(x1 - x0) * size_t(bytes));
    }
    return true;
}

// Below this a page decodes in a few milliseconds, about what starting a thread adds.
constexpr qint64 PixelsWorthTwoThreads = 2'000'000;

QImage JpegRegionReader::readWholeInTwo(const QByteArray &data, QImage reuse) {
    if (std::thread::hardware_concurrency() < 2)
        return {};
    JpegRegionReader upper;
    QString error;
    if (!upper.open(data, &error))
        return {};
    jpeg_decompress_struct *cinfo = &upper.d->cinfo;
    // Only what is certain to come out as Qt's reader gives it: no comments, which Qt makes
    // the image's texts; no CMYK; no progressive page, whose coefficients each part would
    // hold whole.
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
        if (m->marker == JPEG_COM)
            return {};
    JOCTET *iccData = nullptr;
    unsigned iccLength = 0;
    const bool iccRead = readIcc(cinfo, &upper.d->err, &iccData, &iccLength);
    const QByteArray icc(reinterpret_cast<const char *>(iccData), qsizetype(iccLength));
    std::free(iccData);
    if (!iccRead || cinfo->progressive_mode || upper.d->cmyk())
        return {};
    const QSize size = upper.fullSize();
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels < PixelsWorthTwoThreads || pixels * 4 > tiff::MaxImageBytes ||
        !upper.start(0, &error))
        return {};
    // The lower part skips the upper one's rows, which costs it their entropy decoding: it
    // gets fewer rows, so that both end about together.
    const int unit = upper.unitRows();
    const int split = int(size.height() * 0.55) / unit * unit;
    if (split <= 0 || split >= size.height())
        return {};
    const QImage::Format format = upper.gray() ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    QImage page = reuse.size() == size && reuse.format() == format && reuse.isDetached()
                      ? std::move(reuse)
                      : QImage(size, format);
    if (page.isNull())
        return {};
    uchar *const bits = page.bits();
    const qsizetype stride = page.bytesPerLine();
    const auto part = [&](JpegRegionReader &reader, int y0, int y1) {
        QString why;
        QImage rows(bits + y0 * stride, size.width(), y1 - y0, stride, format);
        return reader.decode(0, size.width(), y0, y1, rows, &why) &&
               reader.d->err.pub.num_warnings == 0;
    };
    std::future<bool> lower;
    try {
        lower = std::async(std::launch::async, [&] {
            JpegRegionReader reader;
            QString why;
            return reader.open(data, &why) && reader.start(0, &why) &&
                   part(reader, split, size.height());
        });
    } catch (const std::system_error &) {
        return {};
    }
    const bool upperDone = part(upper, 0, split);
    bool lowerDone = false;
    try {
        lowerDone = lower.get();
    } catch (const std::bad_alloc &) {
    }
    // Warnings too send the page back to the one-pass reader: where data is damaged, what it
    // makes of the rest is its own.
    if (!upperDone || !lowerDone)
        return {};
    // QImage keeps its default for a side of none, as with Qt's reader.
    const QSize dpm = upper.dotsPerMeter();
    page.setDotsPerMeterX(dpm.width());
    page.setDotsPerMeterY(dpm.height());
    page.setColorSpace(icc.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(icc));
    return page;
}

} // namespace qen
