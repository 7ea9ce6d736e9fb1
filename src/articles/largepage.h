#pragma once

#include "articles/tiffstored.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

// A page too large to be held whole within the memory a page may take: a newspaper page
// scanned in gray at 600 dpi, an A0 plan in colour. It is kept as a reduced picture of the
// whole page (the overview), which is what the fit zooms show, and read from its file a part
// at a time for the zooms closer in: only the strips or tiles under that part are decoded, or
// of a JPEG the part's own columns, the rows above it read for their codes alone. A JPEG's
// levels come from libjpeg's scaled DCT instead. The file stays the page's only full copy; it
// is never held in memory.
//
// Levels: level L is the page with each side divided by 2^L (rounded up), each of its pixels
// the average of the 2^L × 2^L page pixels under it (fewer at the right and bottom edges).
namespace qen {

class LargePage {
public:
    // Gray pages up to 30000 × 30000, colour ones up to 20000 × 20000.
    static constexpr qint64 MaxGrayPixels = tiff::MaxGrayPixelsInParts;
    static constexpr qint64 MaxColourPixels = tiff::MaxColourPixelsInParts;
    // The overview is the first level no larger than this.
    static constexpr qint64 OverviewBytes = 64ll << 20;
    // The most one region may take: with the overview and the copies a selection is made
    // into (the crop file, the clipboard), still within the memory a page may take.
    static constexpr qint64 MaxRegionBytes = 96ll << 20;
    // A strip or tile is decoded whole whenever one pixel of it is wanted.
    static constexpr qint64 MaxStripBytes = 32ll << 20;

    // Opens the first page of the file at `path` when it is a TIFF or JPEG too large to be
    // held whole, and makes its overview. Null with no error when the page is to be read
    // whole as usual (it fits, or it is of another type, or the file cannot be read: reading
    // it whole says why); null
    // with *error (without the file name) when it is too large even for this, damaged or of a
    // kind that cannot be read in parts.
    static std::shared_ptr<const LargePage> open(const QString &path, QString *error);
    // Whether open() would take the page, or refuse it: its file's header says it is too
    // large to hold whole. Reads the header alone.
    static bool needed(const QString &path);
    // The same whatever the page's size, with an overview of at most `overviewBytes`: a page
    // small enough to hold whole read as a large one, to compare the two.
    static std::shared_ptr<const LargePage> openInParts(const QString &path, QString *error,
                                                        qint64 overviewBytes = OverviewBytes);

    QSize size() const { return m_size; }
    // Gray pages come out as Grayscale8, colour ones as RGB32, at every level.
    QImage::Format format() const {
        return m_gray ? QImage::Format_Grayscale8 : QImage::Format_RGB32;
    }
    int overviewLevel() const { return m_level; }
    // Carries the page's own resolution, not the reduced picture's.
    const QImage &overview() const { return m_overview; }
    QString path() const { return m_path; }

    static QSize levelSize(QSize full, int level);
    QSize levelSize(int level) const { return levelSize(m_size, level); }
    // The pixels of `rect` (in pixels of `level`, clipped to it) read from the file. Null with
    // *error when the file no longer reads, or the region is too large to hold.
    QImage region(const QRect &rect, int level, QString *error) const;
    // Bytes a region of that many pixels takes.
    qint64 bytesFor(QSize pixels) const {
        return qint64(pixels.width()) * pixels.height() * (m_gray ? 1 : 4);
    }

private:
    static std::shared_ptr<const LargePage> openJpegInParts(const QString &path, QString *error,
                                                            qint64 overviewBytes);

    // The rectangle of the stored rows under one of the page as it is seen, at a level.
    QRect storedArea(const QRect &shown, int level) const;

    QString m_path;
    bool m_jpeg = false;   // else a TIFF
    QSize m_size;          // as the page is seen
    QSize m_stored;        // as its rows are stored: m_size, or that transposed
    int m_orientation = 1; // the TIFF Orientation tag, 1 to 8
    bool m_gray = false;
    int m_level = 1;
    QImage m_overview;
};

// A large TIFF page read whole from the top, a band of rows at a time, at full resolution, in
// its stored orientation: how such a page goes into a PDF without being held. Bands come out
// in a LargePage's formats.
class LargePageRows {
public:
    // Null with *error when the page cannot be read in parts (as LargePage::openInParts says).
    // A band is whole strips or rows of tiles, about `bandBytes` of them: each decoded once.
    static std::unique_ptr<LargePageRows> open(const QString &path, QString *error,
                                               qint64 bandBytes = 8ll << 20);
    ~LargePageRows();

    // Of the rows as they are stored, which is how they come out.
    QSize size() const;
    bool gray() const;
    // The TIFF Orientation tag (1 to 8): how the stored rows are to be seen.
    int orientation() const;
    // The band after the last one read. Null at the end, and null with *error when the file
    // no longer reads.
    QImage next(QString *error);

private:
    struct Impl;
    explicit LargePageRows(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace qen
