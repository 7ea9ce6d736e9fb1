#include "articles/tiffmemory.h"

#include "articles/tiffstored.h"
#include "platform/errortext.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace qen::tiff {

namespace {

tmsize_t readProc(thandle_t h, void *dst, tmsize_t n) {
    auto *io = static_cast<MemoryIo *>(h);
    const qint64 available = std::max<qint64>(0, io->size - io->pos);
    const qint64 count = std::min<qint64>(n, available);
    if (io->device) {
        if (count <= 0)
            return 0;
        if (!io->device->seek(io->pos))
            return -1;
        const qint64 got = io->device->read(static_cast<char *>(dst), count);
        if (got > 0)
            io->pos += got;
        return static_cast<tmsize_t>(got);
    }
    if (count > 0)
        std::memcpy(dst, io->data + io->pos, static_cast<size_t>(count));
    io->pos += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t writeProc(thandle_t h, void *src, tmsize_t n) {
    auto *io = static_cast<MemoryIo *>(h);
    if (!io->out || n < 0)
        return -1;
    const qint64 end = io->pos + n;
    if (end > io->out->size())
        io->out->resize(end);
    std::memcpy(io->out->data() + io->pos, src, static_cast<size_t>(n));
    io->pos = end;
    io->data = io->out->constData();
    io->size = io->out->size();
    return n;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto *io = static_cast<MemoryIo *>(h);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = io->pos;
    else if (whence == SEEK_END)
        base = io->size;
    const qint64 target = base + static_cast<qint64>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    io->pos = target;
    return static_cast<toff_t>(target);
}

int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<toff_t>(static_cast<MemoryIo *>(h)->size);
}

int mapProc(thandle_t h, void **base, toff_t *size) {
    auto *io = static_cast<MemoryIo *>(h);
    if (io->out || io->device)
        return 0;
    *base = const_cast<char *>(io->data);
    *size = static_cast<toff_t>(io->size);
    return 1;
}
void unmapProc(thandle_t, void *, toff_t) {}

int onError(TIFF *, void *user, const char *, const char *fmt, va_list ap) {
    auto *sink = static_cast<ErrorSink *>(user);
    if (sink && sink->first.isEmpty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, fmt, ap);
        // The reader sees the cause in Chinese; libtiff's routine name would tell them nothing.
        sink->first = LibraryErrorText(QString::fromLocal8Bit(text));
    }
    return 1;
}

int onWarning(TIFF *, void *, const char *, const char *, va_list) {
    return 1;
}

} // namespace

TiffPtr open(MemoryIo *io, const char *mode, ErrorSink *sink) {
    TIFFOpenOptions *opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(MaxImageBytes));
    TIFFOpenOptionsSetErrorHandlerExtR(opts, onError, sink);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, onWarning, nullptr);
    TIFF *t = TIFFClientOpenExt("page", mode, io, readProc, writeProc, seekProc, closeProc,
                                sizeProc, mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    return TiffPtr(t);
}

QString failure(const ErrorSink &sink, const QString &fallback) {
    return sink.first.isEmpty() ? fallback
                                : fallback + QStringLiteral("（详情：%1）").arg(sink.first);
}

bool resolutionPerMeter(TIFF *t, double *x, double *y) {
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(t, TIFFTAG_XRESOLUTION, &xres) || !(xres > 0))
        return false;
    if (!TIFFGetField(t, TIFFTAG_YRESOLUTION, &yres) || !(yres > 0))
        yres = xres;
    const double perMeter = unit == RESUNIT_CENTIMETER ? 100.0
                            : unit == RESUNIT_NONE     ? 0
                                                       : 1 / 0.0254;
    if (!(perMeter > 0) || !(xres < 100000) || !(yres < 100000))
        return false;
    *x = xres * perMeter;
    *y = yres * perMeter;
    return true;
}

} // namespace qen::tiff
