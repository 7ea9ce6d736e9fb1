#pragma once

#include <QHash>
#include <QRect>
#include <QSaveFile>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

struct libdeflate_compressor;

// A PDF writer for scanned pages. Every page becomes one image drawn over the whole page at
// the image's own resolution. Compressed data that PDF can carry as it is (CCITT G3/G4,
// JPEG) is copied unchanged; everything else goes in as its exact pixels through Flate, so
// no page ever loses a pixel on its way into the PDF.
namespace qen::ocr {
class TextLayer;
}

namespace qen::pdf {

struct LineFrame;

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
    // The TIFF Orientation of stored data copied as it is (1: rows top down, left to right):
    // the page is drawn turned as the program shows it, and its text is in that orientation.
    int orientation = 1;
    // Set by storedImagesOf for a page that has to be decoded first: nothing else but the
    // resolution is filled in then, and a filter of /CCITTFaxDecode asks for the page to be
    // coded again as one G4 strip.
    bool needsPixels = false;
    // Set instead of data for a page too large to hold: called as the page is written, each
    // call appends the next rows' samples to its argument, uncompressed, and returns false
    // once the last rows are in; the writer deflates them into the file as they come. Throws
    // qen::Error when the page no longer reads.
    std::function<bool(QByteArray &rows)> rows;

    // Takes a stated resolution; a missing or unusable one (zero) keeps the default.
    void setResolution(double x, double y) {
        if (x > 0 && y > 0) {
            xDpi = x;
            yDpi = y;
        }
    }
};

// The recognised text of a page as the writer lays it over the image, invisible, so that
// readers can search, select and copy it: glyph boxes in the pixels of a page of `size`, lines
// in reading order. The writer knows nothing of recognition; the caller fills this in.
struct TextGlyph {
    QRect box;
    QString text; // one character as a rule, a ligature at most
    bool blankBefore = false;
    // The text's code point when it is one character, else 0: what the writer reads instead
    // of the string, which lies elsewhere in memory. Left 0, the string is read. With a
    // character of the BMP the string may be left empty.
    char32_t character = 0;
};
struct PageText {
    QSize size; // the page the boxes are measured on; empty: the image's own size
    QList<QList<TextGlyph>> lines;
    bool isEmpty() const;
};

// Characters that are written without spaces between them: CJK ideographs and kana, the
// ideographic punctuation (U+3000-303F) and the full-width forms (U+FF00-FFEF).
bool IsCjk(char32_t c);

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
// The same, of the file's bytes as read.
QList<Image> imagesOf(const QString &path, const QByteArray &data);

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
    // A page drawn from the image; with text, the text lies over it, invisible. Without text
    // the file is what it was before pages could carry text, byte for byte.
    void addImage(const Image &image, const PageText &text = {});
    // The same with a page's recognised layer, read where it lies: what
    // addImage(image, pageTextOf(layer)) writes, without a copy of every glyph first.
    void addImage(const Image &image, const ocr::TextLayer &layer);
    int pageCount() const { return int(m_pages.size()); }

    // Finishes the document and puts it in place. Throws qen::Error naming the target; a
    // document without pages is refused.
    void commit();

private:
    void open();
    void write(const QByteArray &bytes);
    int beginObject();
    int reserveObject();
    void beginReserved(int id);
    // Writes a page; `text`, when given, appends the text part of its content stream.
    using TextWriter = std::function<void(QByteArray &out, double widthPt, double heightPt)>;
    void addPage(const Image &image, const TextWriter &text);
    // Deflates the rows of a streamed image into the file; returns the bytes written.
    qint64 writeDeflatedRows(const std::function<bool(QByteArray &)> &rows);
    // The text part of a page's content stream; assigns the characters their codes.
    void textContent(QByteArray &out, const PageText &text, double widthPt, double heightPt,
                     const Image &image);
    void textContent(QByteArray &out, const ocr::TextLayer &layer, double widthPt, double heightPt,
                     const Image &image);
    // Lines of either kind: the writer's own glyphs, or a layer's glyphs in place.
    template <class Line>
    void lineContent(QByteArray &out, const Line &line, const LineFrame &frame, double sx,
                     double sy, double heightPt, QSizeF pagePx);
    quint16 codeOf(const QString &text);
    quint16 codeOf(const TextGlyph &glyph);
    quint16 codeOf(QStringView text);
    // The font all pages' text shares, written once the characters are known.
    void writeFont();

    QString m_target;
    QString m_title;
    QSaveFile m_file;
    qint64 m_written = 0;
    QList<qint64> m_offsets; // by object number - 1
    QList<int> m_pages;      // page object numbers
    bool m_failed = false;
    int m_fontId = 0;                // the Type0 font, reserved with the first page of text
    QHash<QString, quint16> m_codes; // character -> CID
    std::vector<quint16> m_bmpCodes; // the same for one BMP character, by its value; 0: none
    QStringList m_codeTexts;         // CID - 1 -> character
    struct FreeCompressor {
        void operator()(libdeflate_compressor *c) const;
    };
    std::unique_ptr<libdeflate_compressor, FreeCompressor> m_textCompressor;
};

namespace detail {
// A number as PDF writes it: fixed point, four decimals at most, no exponent.
QByteArray number(double v);
// A Flate stream's data.
// `level` as zlib counts it; the default is zlib's own balance of size and time.
QByteArray deflate(const QByteArray &raw, int level = -1);
// The same through libdeflate's compressor, which libtiff already brings into the process.
QByteArray deflate(libdeflate_compressor &compressor, const QByteArray &raw);
} // namespace detail

// The whole job for callers that have a list: the files' pages in the order given, the
// title, the target. Throws qen::Error; on failure the target is as it was.
void WritePdf(const QStringList &files, const QString &title, const QString &target);
// The same with each file's recognised text over its first page; texts[i] belongs to
// files[i], and a file without one (or an empty one) gets no text.
void WritePdf(const QStringList &files, const QList<PageText> &texts, const QString &title,
              const QString &target);

} // namespace qen::pdf
