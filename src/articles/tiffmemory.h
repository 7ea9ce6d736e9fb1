#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <tiffio.h>

#include <memory>

// What the TIFF readers and writers share: libtiff reads from and writes to memory, so the
// caller owns the file access (size checks on the way in, QSaveFile on the way out) and no
// path ever reaches the library.
namespace qen::tiff {

struct MemoryIo {
    const char *data = nullptr;
    qint64 size = 0;
    qint64 pos = 0;
    QByteArray *out = nullptr;
    // Read from instead of `data` when set (`size` its length): a page too large to hold is
    // read a strip at a time, and its file is never held whole.
    QIODevice *device = nullptr;
};

// The first error libtiff reports; later ones are usually its consequences.
struct ErrorSink {
    QString first;
};

struct TiffCloser {
    void operator()(TIFF *t) const { TIFFClose(t); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Opens with allocations capped at MaxImageBytes and errors collected in `sink`.
TiffPtr open(MemoryIo *io, const char *mode, ErrorSink *sink);

// Our words first; libtiff's English text only as a detail behind them.
QString failure(const ErrorSink &sink, const QString &fallback);

// Dots per metre as the page states them; false when it states none that can be used
// (no tag, unit "none", zero or absurd values).
bool resolutionPerMeter(TIFF *t, double *x, double *y);

} // namespace qen::tiff
