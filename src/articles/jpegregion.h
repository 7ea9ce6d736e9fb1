#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class QIODevice;

// A JPEG read by libjpeg a part at a time: the rows above a part are skipped (their entropy
// codes are still read, since a JPEG has no index into them, but not transformed or
// converted), the columns beside it are not decoded at all, and the page can be reduced by
// 1/2, 1/4 or 1/8 in the DCT itself. Its pixels are those Qt's reader gives for the same file:
// the same IDCT, upsampling and CMYK conversion.
namespace qen {

class JpegRegionReader {
public:
    JpegRegionReader();
    ~JpegRegionReader();
    JpegRegionReader(const JpegRegionReader &) = delete;
    JpegRegionReader &operator=(const JpegRegionReader &) = delete;

    // Reads the file's header. False with *error (without the file name) when it is no JPEG
    // libjpeg can read.
    bool open(const QString &path, QString *error);
    // The same with the file's bytes in memory (shared, not copied).
    bool open(const QByteArray &data, QString *error);
    QSize fullSize() const;
    bool gray() const;
    // The resolution its JFIF header gives, in dots per metre as Qt's reader reads it; (0, 0)
    // when it gives none.
    QSize dotsPerMeter() const;

    // Starts decoding with each side divided by 2^dctLevel (0 to 3), rounded up.
    bool start(int dctLevel, QString *error);
    // The page at that scale.
    QSize size() const;
    // Output rows libjpeg decodes together.
    int unitRows() const;
    // Pixels [x0, x1) × [y0, y1) at that scale into the first rows of `band` (Grayscale8 for
    // a gray page, else RGB32). Every call of one reader takes the same columns and the rows
    // that follow the last call's, further down.
    bool decode(int x0, int x1, int y0, int y1, QImage &band, QString *error);

    // The whole page in `data` decoded in two parts at once, the lower one on a thread of its
    // own, into one image: the pixels, resolution and colour profile Qt's reader gives, in
    // about 0.6 of its time. Null where that is not certain (a progressive or CMYK page, one
    // with comments), for a small page, on one core, and on any failure or warning: the
    // caller then reads the page as it otherwise would, and that reading says what is wrong.
    // A `reuse` of the page's size and format, held nowhere else, takes it in its memory.
    static QImage readWholeInTwo(const QByteArray &data, QImage reuse = QImage());

private:
    bool openDevice(QIODevice *device, QString *error);

    struct State;
    std::unique_ptr<State> d;
};

} // namespace qen
