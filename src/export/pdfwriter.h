#pragma once

#include <QSaveFile>
#include <QString>
#include <QStringList>

// A PDF writer for scanned pages. Every page becomes one image drawn over the whole page at
// the image's own resolution. Compressed data that PDF can carry as it is (CCITT G3/G4,
// JPEG) is copied unchanged; everything else goes in as its exact pixels through Flate, so
// no page ever loses a pixel on its way into the PDF.
namespace qen::pdf {

// Pages that state no resolution are taken to be 300 dpi scans: that is what the article
// pages of the database are, and it gives an A4 scan an A4 page.
inline constexpr double DefaultDpi = 300;

// One image stream as it goes into the file.
struct Image {
    int width = 0, height = 0;
    int bitsPerComponent = 8;
    QByteArray colorSpace; // "/DeviceGray", "/DeviceRGB", "[/Indexed ...]"
    QByteArray filter;     // "/CCITTFaxDecode", "/DCTDecode", "/FlateDecode"
    QByteArray parms;      // the DecodeParms dictionary, or empty
    QByteArray decode;     // the Decode array, or empty
    QByteArray data;
    double xDpi = DefaultDpi, yDpi = DefaultDpi;
    // Set by storedImagesOf for a page that has to be decoded first: nothing else but the
    // resolution is filled in then, and a filter of /CCITTFaxDecode asks for the page to be
    // coded again as one G4 strip.
    bool needsPixels = false;

    // Takes a stated resolution; a missing or unusable one (zero) keeps the default.
    void setResolution(double x, double y) {
        if (x > 0 && y > 0) {
            xDpi = x;
            yDpi = y;
        }
    }
};

// Page types (upper-case extensions) the writer takes without losing a pixel. Records are
// not pages of a PDF.
bool IsPdfPageType(const QString &type);

// The images of a page file's bytes as they are stored, in page order (every page of a
// multi-page TIFF): CCITT and JPEG data ready to be copied, every other page marked
// needsPixels. Needs no image decoder. Throws qen::Error naming the file when its TIFF or
// JPEG structure is broken.
QList<Image> storedImagesOf(const QByteArray &data, const QString &path);
bool isTiff(const QByteArray &data);
// Throws qen::Error: this page cannot go into a PDF, and why.
[[noreturn]] void failPage(const QString &path, const QString &what);

// The images of one page file, in page order, pages that PDF cannot carry as they are stored
// decoded into their exact pixels. Throws qen::Error naming the file and what is wrong.
QList<Image> imagesOf(const QString &path);

// Writes pages into one file. Nothing appears at the target until commit() succeeds; then
// the new file takes the place of whatever was there in one rename. A writer destroyed
// without commit() leaves the target as it was.
class Writer {
public:
    explicit Writer(const QString &target);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // The document title (the article's), stored as UTF-16 so that Chinese titles survive.
    void setTitle(const QString &title) { m_title = title; }

    // Adds every page of an image file. Throws qen::Error; the pages of a file that fails
    // are not added.
    void addFile(const QString &path);
    void addImage(const Image &image);
    int pageCount() const { return int(m_pages.size()); }

    // Finishes the document and puts it in place. Throws qen::Error naming the target; a
    // document without pages is refused.
    void commit();

private:
    void open();
    void write(const QByteArray &bytes);
    int beginObject();

    QString m_target;
    QString m_title;
    QSaveFile m_file;
    qint64 m_written = 0;
    QList<qint64> m_offsets; // by object number - 1
    QList<int> m_pages;      // page object numbers
    bool m_failed = false;
};

// The whole job for callers that have a list: the files' pages in the order given, the
// title, the target. Throws qen::Error; on failure the target is as it was.
void WritePdf(const QStringList &files, const QString &title, const QString &target);

} // namespace qen::pdf
