#pragma once

#include "articles/largepage.h"
#include "articles/pagefile.h"

#include <QImage>
#include <QString>
#include <memory>

// The page an image view holds: read from a file or handed over as an image, adjusted in
// place, written back in one of the four save types. Pages are kept in one of three shapes
// (see articles/pageshape.h): bilevel pages stay 1-bit from file to screen to file.
namespace qen {

// The save types, by the codes of the view's SaveFileType.
enum class ImageFileType { Gif = 3, Tiff = 4, Bmp = 5, Jpeg = 8 };

class ImageDocument {
public:
    static constexpr qint64 MaxFileBytes = pagefile::MaxBytes;

    // Whether reading a page may take a second thread. Where nothing else is being read, a
    // large baseline JPEG page is decoded in two parts at once (JpegRegionReader::
    // readWholeInTwo): the same page in about 0.6 of the time. Background reading keeps to one.
    enum class Threads { One, Two };

    // Reads the first page of a TIFF, JPEG, GIF, BMP or PNG file. Throws qen::Error naming
    // the file and what is wrong: missing, empty, truncated, corrupt, content that does not
    // match the extension, dimensions too large to hold.
    static QImage readFile(const QString &path, Threads threads = Threads::One);
    // The bytes of an image file, with the same checks and messages (see pagefile).
    static QByteArray readBytes(const QString &path);
    // Decodes an image held in memory by its content into a page shape, with readFile's
    // limits and checks; a null image and the reason in `error` when it cannot.
    static QImage decode(const QByteArray &data, QString *error);
    // As decode, for a picture of the page at most `box` in size: a format that can shrink
    // while it decodes gives a smaller page (still to be scaled to fit), the others the whole.
    // JPEG shrinks by its scaled DCT; a G3/G4 TIFF page comes back as its gray picture,
    // already fitting the box.
    static QImage decodeReduced(const QByteArray &data, QSize box, QString *error);
    // Encodes to `type` and writes through a temporary file and a rename, so a failure never
    // leaves a half-written file in place of a good one. Throws qen::Error. TIFF compression
    // follows the content: G4 for bilevel pages, LZW otherwise.
    static void writeFile(const QImage &image, const QString &path, ImageFileType type);
    static QByteArray encode(const QImage &image, ImageFileType type, QString *error);

    // Writes the page as writeFile does. A large page is read from its file a band at a time and
    // can be written as TIFF only; for the other types the error says so. Throws qen::Error.
    void write(const QString &path, ImageFileType type) const;

    // Loads a file; on failure the document is empty and the error is thrown. A page too
    // large to hold whole is loaded as a LargePage: image() is then its overview. A JPEG page
    // of the size and format of the one it replaces, when nothing else holds that one, is
    // decoded into its memory (fresh memory costs a first touch of every page).
    void load(const QString &path, Threads threads = Threads::One);
    // Takes a page that readFile already read from path, as load would have.
    void adopt(const QString &path, const QImage &image);
    // Reads the file again, dropping every adjustment. On failure the error is thrown and the
    // page stays as it was.
    void reload();
    void clear();
    // Takes an image (normalised to a page shape); the document then has no file name.
    void setImage(const QImage &image);

    // The page, or for a large page its overview (see large()).
    const QImage &image() const { return m_image; }
    QString fileName() const { return m_fileName; }
    bool isNull() const { return m_image.isNull(); }
    bool isBilevel() const { return m_image.format() == QImage::Format_Mono; }
    // The page's own size, also for a large page.
    QSize size() const { return m_large ? m_large->size() : m_image.size(); }
    // The page read in parts from its file, when it is too large to hold; null otherwise.
    // Such a page is never adjusted: what changes pixels needs the whole page in memory.
    const LargePage *large() const { return m_large.get(); }
    // Why the whole page cannot be taken for `what` (an adjustment, a copy); empty when it can.
    QString wholePageRefusal(const QString &what) const;
    // Changes on every new image and every adjustment; display caches key on it.
    quint64 revision() const { return m_revision; }
    qint64 memoryBytes() const { return m_image.sizeInBytes(); }

    // The pixels inside `rect` (image pixels, clipped to the page) as a new image; the whole
    // page for an empty rectangle. A large page's are read from its file at full resolution;
    // when they cannot be, the result is null and *error (if given) says why.
    QImage copy(const QRect &rect, QString *error = nullptr) const;

    // Changes the pixels in place (an adjustment of imaging/adjustments.h) and moves the
    // revision on; an empty document, and a large one, are left alone.
    void adjust(const std::function<void(QImage &)> &op);

private:
    void changed() { ++m_revision; }

    QImage m_image;
    std::shared_ptr<const LargePage> m_large;
    QString m_fileName;
    quint64 m_revision = 0;
};

} // namespace qen
