#include "articles/imagedocument.h"
#include "articles/tiffcodec.h"
#include "platform/error.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <thread>

#include "orientedtiff.h"
#include "testfiles.h"
#include "testpages.h"

#include <tiffio.h>

using namespace qen;

using qen::test::dataFile;
using qen::test::errorOf;
using qen::test::maxDifference;
using qen::test::orientedTiff;
using qen::test::samePixels;

namespace {

// The fixtures tiff-*.tif and gif-bilevel.gif hold this 37x23 page (odd width on purpose:
// the last byte of every row is partly padding).
bool patternInk(int x, int y) {
    return (x * x + 3 * y) % 11 < 3 || x == y;
}
int patternGray(int x, int y) {
    return (x * 7 + y * 11) % 256;
}

bool isBlack(const QImage &image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

// Pixels of the 37x23 pattern page that came out the wrong colour.
int wrongInk(const QImage &image) {
    int wrong = 0;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            wrong += isBlack(image, x, y) != patternInk(x, y);
    return wrong;
}

QImage monoPattern() {
    return test::bilevelPage(37, 23, patternInk);
}

QImage grayPattern() {
    return test::grayPage(37, 23, patternGray);
}

// JPEG is judged on a page without sharp edges.
QImage smoothGray() {
    return test::grayPage(37, 23, [](int x, int y) { return x * 4 + y * 4; });
}

QImage colourPattern() {
    static const QRgb colours[] = {qRgb(200, 30, 30), qRgb(20, 120, 220), qRgb(250, 250, 250),
                                   qRgb(0, 0, 0), qRgb(40, 180, 60)};
    return test::colourPage(37, 23, [](int x, int y) { return colours[(x / 4 + y / 3) % 5]; });
}

} // namespace

class TestImageDocument : public QObject {
    Q_OBJECT
private slots:
    void readsBilevelTiff_data();
    void readsBilevelTiff();
    void readsGrayTiff_data();
    void readsGrayTiff();
    void readsColourJpegInTiff();
    void readsQtFormats_data();
    void readsQtFormats();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void roundTrips_data();
    void roundTrips();
    void jpegRoundTripWithinTolerance();
    void bilevelTiffIsSmallG4();
    void saveReplacesReadOnlyFile();
    void failedSaveKeepsOldFileAndNamesPath();
    void documentCopyAndRevision();
    void loadsByContentNotExtension_data();
    void loadsByContentNotExtension();
    void readsTopDownBmp();
    void followsTiffOrientation_data();
    void followsTiffOrientation();
    void unsupportedTiffIsNotCalledDamaged_data();
    void unsupportedTiffIsNotCalledDamaged();
    void readOnTwoThreadsAsOnOne_data();
    void readOnTwoThreadsAsOnOne();
    void aPageReadIntoTheLastOnesMemoryKeepsNothingOfIt_data();
    void aPageReadIntoTheLastOnesMemoryKeepsNothingOfIt();
};

void TestImageDocument::readsBilevelTiff_data() {
    QTest::addColumn<QString>("file");
    test::row("G4", "tiff-g4.tif");
    test::row("G4, fill order 2", "tiff-g4-fillorder2.tif");
    test::row("G3", "tiff-g3.tif");
    test::row("LZW, MinIsBlack", "tiff-lzw-bilevel.tif");
    test::row("LZW, six strips", "tiff-lzw-multistrip.tif");
    test::row("Deflate", "tiff-deflate-bilevel.tif");
    test::row("uncompressed", "tiff-uncompressed-bilevel.tif");
    test::row("uncompressed, fill order 2", "tiff-fillorder2.tif");
    test::row("MinIsBlack", "tiff-minisblack.tif");
    test::row("first of two pages", "tiff-multipage.tif");
    test::row("tiled", "tiff-tiled-bilevel.tif");
    test::row("1-bit palette", "tiff-palette-bilevel.tif");
    test::row("GIF, two colours", "gif-bilevel.gif");
}

void TestImageDocument::readsBilevelTiff() {
    QFETCH(QString, file);
    const QImage image = ImageDocument::readFile(dataFile(file));
    QCOMPARE(image.format(), QImage::Format_Mono);
    QCOMPARE(image.size(), QSize(37, 23));
    QCOMPARE(image.color(1), qRgb(0, 0, 0));
    QCOMPARE(wrongInk(image), 0);
    // Padding bits after the 37th pixel stay clear.
    for (int y = 0; y < 23; ++y)
        QCOMPARE(image.constScanLine(y)[4] & 0x07, 0);
}

void TestImageDocument::readsGrayTiff_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tolerance");
    test::row("LZW", "tiff-lzw-gray.tif", 0);
    test::row("JPEG in TIFF", "tiff-jpeg-gray.tif", 12);
}

void TestImageDocument::readsGrayTiff() {
    QFETCH(QString, file);
    QFETCH(int, tolerance);
    const QImage image = ImageDocument::readFile(dataFile(file));
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    QVERIFY(maxDifference(image, grayPattern()) <= tolerance);
}

void TestImageDocument::readsColourJpegInTiff() {
    const QImage image = ImageDocument::readFile(dataFile("tiff-jpeg-rgb.tif"));
    QCOMPARE(image.size(), QSize(37, 23));
    QVERIFY(maxDifference(image.convertToFormat(QImage::Format_Grayscale8), grayPattern()) <= 16);
}

void TestImageDocument::readsQtFormats_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QImage::Format>("expected");
    test::row("PNG bilevel", QByteArray("png"), monoPattern(), QImage::Format_Mono);
    test::row("PNG gray", QByteArray("png"), grayPattern(), QImage::Format_Grayscale8);
    test::row("BMP colour", QByteArray("bmp"), colourPattern(), QImage::Format_RGB32);
    test::row("BMP bilevel", QByteArray("bmp"), monoPattern(), QImage::Format_Mono);
    test::row("JPEG gray", QByteArray("jpg"), grayPattern(), QImage::Format_Grayscale8);
}

void TestImageDocument::readsQtFormats() {
    QFETCH(QByteArray, format);
    QFETCH(QImage, source);
    QFETCH(QImage::Format, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("page." + QString::fromLatin1(format));
    QImageWriter writer(path, format);
    writer.setQuality(100);
    QVERIFY(writer.write(source));
    const QImage image = ImageDocument::readFile(path);
    QCOMPARE(image.format(), expected);
    if (format == "jpg")
        QVERIFY(maxDifference(image, grayPattern()) <= 6);
    else
        QVERIFY(samePixels(image, source));
}

void TestImageDocument::refusesBadFiles_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    test::row("zero bytes", "zero-bytes.tif", "0 字节");
    test::row("missing", "no-such-page.tif", "不存在");
    test::row("text named .jpg", "text-content.jpg", "不是可识别的图像格式");
    test::row("TIFF cut in half", "truncated-g4.tif", "TIFF");
    test::row("strip runs past the end", "strip-past-end-g4.tif", "TIFF");
    test::row("garbage G4 data", "corrupt-g4-data.tif", "TIFF");
    test::row("TIFF declares 100000x100000", "declares-100000x100000.tif", "100000×100000");
    test::row("TIFF sides multiplying past 64 bits", "declares-sides-past-64-bits.tif", "过大");
    test::row("PNG chunk longer than the file", "png-text-chunk-declares-256mb.png", "截断");
    test::row("PNG declares 100000x100000", "declares-100000x100000.png", "100000×100000");
    test::row("JPEG cut in half", "truncated.jpg", "截断");
    test::row("GIF cut in half", "truncated.gif", "截断");
    test::row("PNG cut in half", "truncated.png", "PNG");
    test::row("BMP cut in half", "truncated.bmp", "BMP");
}

void TestImageDocument::refusesBadFiles() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    ImageDocument document;
    document.load(dataFile("tiff-g4.tif"));
    const QString error = errorOf([&] { document.load(dataFile(file)); });
    QVERIFY2(error.contains(dataFile(file)) && error.contains(reason), qPrintable(error));
    QVERIFY(document.isNull());
    QVERIFY(document.fileName().isEmpty());
}

void TestImageDocument::roundTrips_data() {
    QTest::addColumn<ImageFileType>("type");
    QTest::addColumn<QImage>("page");
    QTest::addColumn<QImage::Format>("reloaded");
    const struct {
        ImageFileType type;
        const char *name;
    } types[] = {
        {ImageFileType::Gif, "GIF"}, {ImageFileType::Tiff, "TIFF"}, {ImageFileType::Bmp, "BMP"}};
    for (const auto &t : types) {
        QTest::addRow("%s bilevel", t.name) << t.type << monoPattern() << QImage::Format_Mono;
        QTest::addRow("%s gray", t.name) << t.type << grayPattern() << QImage::Format_Grayscale8;
        QTest::addRow("%s colour", t.name) << t.type << colourPattern() << QImage::Format_RGB32;
    }
}

void TestImageDocument::roundTrips() {
    QFETCH(ImageFileType, type);
    QFETCH(QImage, page);
    QFETCH(QImage::Format, reloaded);
    QTemporaryDir dir;
    const QString suffix = type == ImageFileType::Gif    ? "gif"
                           : type == ImageFileType::Tiff ? "tif"
                                                         : "bmp";
    const QString path = dir.filePath("saved." + suffix);
    ImageDocument::writeFile(page, path, type);
    const QImage back = ImageDocument::readFile(path);
    QCOMPARE(back.format(), reloaded);
    QVERIFY(samePixels(back, page));
}

void TestImageDocument::jpegRoundTripWithinTolerance() {
    QTemporaryDir dir;
    const QString path = dir.filePath("saved.jpg");
    ImageDocument::writeFile(smoothGray(), path, ImageFileType::Jpeg);
    const QImage back = ImageDocument::readFile(path);
    QCOMPARE(back.format(), QImage::Format_Grayscale8);
    QVERIFY(maxDifference(back, smoothGray()) <= 6);

    ImageDocument::writeFile(monoPattern(), path, ImageFileType::Jpeg);
    QVERIFY(wrongInk(ImageDocument::readFile(path)) < 37 * 23 / 50);
}

void TestImageDocument::bilevelTiffIsSmallG4() {
    const QString source = dataFile("g4-text-400x300.tif");
    const QImage page = ImageDocument::readFile(source);
    QCOMPARE(page.format(), QImage::Format_Mono);
    QTemporaryDir dir;
    const QString path = dir.filePath("page.tif");
    ImageDocument::writeFile(page, path, ImageFileType::Tiff);
    const QByteArray bytes = test::readFile(path);
    tiff::Info info;
    QVERIFY(tiff::inspect(bytes, &info));
    QCOMPARE(info.bitsPerSample, 1);
    QCOMPARE(info.samplesPerPixel, 1);
    QCOMPARE(info.compression, COMPRESSION_CCITTFAX4);
    QVERIFY2(bytes.size() < 1.2 * QFileInfo(source).size(),
             qPrintable(QString::number(bytes.size())));
    QVERIFY(samePixels(ImageDocument::readFile(path), page));

    ImageDocument::writeFile(grayPattern(), path, ImageFileType::Tiff);
    QVERIFY(tiff::inspect(test::readFile(path), &info));
    QCOMPARE(info.compression, COMPRESSION_LZW);
}

void TestImageDocument::saveReplacesReadOnlyFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("Temp.tif");
    ImageDocument::writeFile(grayPattern(), path, ImageFileType::Tiff);
    QFile::setPermissions(path, QFile::ReadOwner);
    ImageDocument::writeFile(monoPattern(), path, ImageFileType::Tiff);
    QCOMPARE(ImageDocument::readFile(path).format(), QImage::Format_Mono);
}

void TestImageDocument::failedSaveKeepsOldFileAndNamesPath() {
    QTemporaryDir dir;
    const QString missingFolder = dir.filePath("no-folder/page.tif");
    QVERIFY(errorOf([&] {
                ImageDocument::writeFile(monoPattern(), missingFolder, ImageFileType::Tiff);
            }).contains(missingFolder));
    const QString path = dir.filePath("page.bmp");
    ImageDocument::writeFile(monoPattern(), path, ImageFileType::Bmp);
    const QByteArray before = test::readFile(path);
    QVERIFY_THROWS_EXCEPTION(Error,
                             ImageDocument::writeFile(monoPattern(), path, ImageFileType(7)));
    QVERIFY_THROWS_EXCEPTION(Error, ImageDocument::writeFile(QImage(), path, ImageFileType::Bmp));
    QCOMPARE(test::readFile(path), before);
}

void TestImageDocument::documentCopyAndRevision() {
    ImageDocument document;
    document.load(dataFile("tiff-g4.tif"));
    const quint64 loaded = document.revision();
    QCOMPARE(document.copy(QRect(30, 20, 50, 50)).size(), QSize(7, 3)); // clipped to the page
    const QImage part = document.copy(QRect(5, 3, 19, 11));             // off the byte grid
    QCOMPARE(part.format(), QImage::Format_Mono);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 19; ++x)
            QCOMPARE(isBlack(part, x, y), patternInk(x + 5, y + 3));
    QCOMPARE(document.copy(QRect()).size(), QSize(37, 23));
    QVERIFY(document.copy(QRect(100, 100, 5, 5)).isNull());
    document.adjust([](QImage &image) { image.invertPixels(); });
    QVERIFY(document.revision() != loaded);
    QVERIFY(isBlack(document.image(), 1, 0) == !patternInk(1, 0));
    document.setImage(grayPattern());
    QVERIFY(document.fileName().isEmpty());
    QCOMPARE(document.image().format(), QImage::Format_Grayscale8);
}

// A page named for one format but holding another is shown, as every viewer shows it.
void TestImageDocument::loadsByContentNotExtension_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("name");
    test::row("JPEG named .tif", QByteArray("jpg"), "page.tif");
    test::row("PNG named .tif", QByteArray("png"), "page.tif");
    test::row("GIF named .bmp", QByteArray("gif"), "page.bmp");
    test::row("BMP named .jpg", QByteArray("bmp"), "page.jpg");
    test::row("TIFF named .gif", QByteArray("tif"), "page.gif");
}

void TestImageDocument::loadsByContentNotExtension() {
    QFETCH(QByteArray, format);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (format == "gif" || format == "tif") {
        QFile::copy(dataFile(format == "gif" ? "gif-bilevel.gif" : "tiff-g4.tif"), path);
    } else {
        QImageWriter writer(path, format);
        writer.setQuality(100);
        QVERIFY(writer.write(grayPattern()));
    }
    const QImage image = ImageDocument::readFile(path);
    QCOMPARE(image.size(), QSize(37, 23));
}

// Rows stored top first, declared by a negative height: valid, and written by many scanners.
void TestImageDocument::readsTopDownBmp() {
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(
        QImageWriter(&buffer, "bmp").write(colourPattern().convertToFormat(QImage::Format_RGB888)));
    QVERIFY(bmp.size() > 54); // the file and information headers
    const qint32 bitsAt = qFromLittleEndian<qint32>(bmp.constData() + 10);
    const qint32 height = qFromLittleEndian<qint32>(bmp.constData() + 22);
    const int stride = (37 * 3 + 3) / 4 * 4;
    QCOMPARE(height, 23);
    QByteArray topDown = bmp.left(bitsAt);
    for (int row = height - 1; row >= 0; --row)
        topDown += bmp.mid(bitsAt + row * stride, stride);
    qToLittleEndian<qint32>(-height, topDown.data() + 22);
    QTemporaryDir dir;
    const QString path = dir.filePath("top-down.bmp");
    qen::test::writeFile(path, topDown);
    QVERIFY(samePixels(ImageDocument::readFile(path), colourPattern()));
}

void TestImageDocument::followsTiffOrientation_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("bilevel");
    for (int o = 1; o <= 8; ++o) {
        QTest::addRow("bilevel G4, orientation %d", o) << o << true;
        QTest::addRow("colour, orientation %d", o) << o << false;
    }
}

void TestImageDocument::followsTiffOrientation() {
    QFETCH(int, orientation);
    QFETCH(bool, bilevel);
    const QImage seen = bilevel ? monoPattern() : colourPattern();
    QTemporaryDir dir;
    const QString path = dir.filePath("oriented.tif");
    qen::test::writeFile(path, orientedTiff(seen, orientation));
    const QImage image = ImageDocument::readFile(path);
    QCOMPARE(image.format(), bilevel ? QImage::Format_Mono : QImage::Format_RGB32);
    QVERIFY(samePixels(image, seen));
    if (bilevel)
        for (int y = 0; y < image.height(); ++y)
            QCOMPARE(image.constScanLine(y)[4] & 0x07, 0);
}

// Valid files we cannot decode are "not supported", never "damaged".
void TestImageDocument::unsupportedTiffIsNotCalledDamaged_data() {
    QTest::addColumn<int>("bitsPerSample");
    QTest::addColumn<int>("sampleFormat");
    test::row("12-bit gray", 12, int(SAMPLEFORMAT_UINT));
    test::row("32-bit float gray", 32, int(SAMPLEFORMAT_IEEEFP));
}

void TestImageDocument::unsupportedTiffIsNotCalledDamaged() {
    QFETCH(int, bitsPerSample);
    QFETCH(int, sampleFormat);
    QTemporaryDir dir;
    const QString path = dir.filePath("unusual.tif");
    TIFF *tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 8u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bitsPerSample);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, sampleFormat);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 4u);
    QByteArray row(8 * bitsPerSample / 8, '\x40');
    for (uint32_t y = 0; y < 4; ++y)
        TIFFWriteScanline(tif, row.data(), y, 0);
    TIFFClose(tif);
    const QString error = errorOf([&] { ImageDocument::readFile(path); });
    QVERIFY2(error.contains(path) && error.contains("不支持") && !error.contains("损坏"),
             qPrintable(error));
}

void TestImageDocument::readOnTwoThreadsAsOnOne_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("damage"); // "cut" or "garbage", or none
    QTest::newRow("colour JPEG") << "a.jpg"
                                 << "";
    QTest::newRow("a JPEG cut off") << "cut.jpg"
                                    << "cut";
    QTest::newRow("garbage in a JPEG") << "garbage.jpg"
                                       << "garbage";
    QTest::newRow("a TIFF") << "c.tif"
                            << "";
}

// Where the two threads give the page up, the one-pass reading it falls back on gives the
// same page or the same message as a reading on one thread.
void TestImageDocument::readOnTwoThreadsAsOnOne() {
    QFETCH(QString, name);
    QFETCH(QString, damage);
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        QSKIP("ImageMagick's convert is not installed: no page to try");
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QProcess magick;
    magick.start(QStringLiteral("convert"),
                 {QStringLiteral("-size"), QStringLiteral("2000x1500"),
                  QStringLiteral("gradient:#c04020-#2040c0"), QStringLiteral("-quality"),
                  QStringLiteral("80"), path});
    QVERIFY(magick.waitForFinished(60000) && magick.exitCode() == 0);
    QByteArray data = test::readFile(path);
    if (damage == u"cut")
        data.truncate(data.size() * 2 / 3);
    else if (damage == u"garbage")
        for (qsizetype i = data.size() / 2; i < data.size() / 2 + 3000; ++i)
            data[i] = char(i * 37);
    test::writeFile(path, data);

    const auto read = [&](ImageDocument::Threads threads, QString *message) {
        try {
            return ImageDocument::readFile(path, threads);
        } catch (const Error &e) {
            *message = e.description();
            return QImage();
        }
    };
    QString one, two;
    const QImage onOne = read(ImageDocument::Threads::One, &one);
    const QImage onTwo = read(ImageDocument::Threads::Two, &two);
    QCOMPARE(two, one);
    if (damage == u"cut")
        QVERIFY2(two.contains(u"截断") && two.contains(path), qPrintable(two));
    QCOMPARE(onTwo.isNull(), onOne.isNull());
    if (!onOne.isNull()) {
        QCOMPARE(onTwo.format(), onOne.format());
        QCOMPARE(maxDifference(onTwo, onOne), 0);
    }
    // And a document loaded so holds that page.
    ImageDocument doc;
    try {
        doc.load(path, ImageDocument::Threads::Two);
    } catch (const Error &) {
    }
    QCOMPARE(doc.isNull(), onOne.isNull());
    if (!onOne.isNull())
        QCOMPARE(maxDifference(doc.image(), onOne), 0);
}

void TestImageDocument::aPageReadIntoTheLastOnesMemoryKeepsNothingOfIt_data() {
    QTest::addColumn<ImageDocument::Threads>("threads");
    QTest::addColumn<bool>("comment"); // the last page has one, which Qt's reader makes a text
    QTest::newRow("one thread") << ImageDocument::Threads::One << false;
    QTest::newRow("one thread, last page with a comment") << ImageDocument::Threads::One << true;
    QTest::newRow("two threads") << ImageDocument::Threads::Two << false;
    QTest::newRow("two threads, last page with a comment") << ImageDocument::Threads::Two << true;
}

// The next page of an article is decoded into the memory of the one it replaces; what the
// readers set only when a file gives it (resolution, colour profile, texts) must not stay.
void TestImageDocument::aPageReadIntoTheLastOnesMemoryKeepsNothingOfIt() {
    QFETCH(ImageDocument::Threads, threads);
    QFETCH(bool, comment);
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        QSKIP("ImageMagick's convert is not installed: no page to try");
    QTemporaryDir dir;
    const QString icc = dir.filePath("srgb.icc");
    test::writeFile(icc, QColorSpace(QColorSpace::SRgb).iccProfile());
    const QString last = dir.filePath("last.jpg"), next = dir.filePath("next.jpg");
    QStringList lastArgs{QStringLiteral("-size"),
                         QStringLiteral("2000x1500"),
                         QStringLiteral("gradient:#c04020-#2040c0"),
                         QStringLiteral("-units"),
                         QStringLiteral("PixelsPerInch"),
                         QStringLiteral("-density"),
                         QStringLiteral("300"),
                         QStringLiteral("-profile"),
                         icc};
    if (comment)
        lastArgs << QStringLiteral("-set") << QStringLiteral("comment")
                 << QStringLiteral("第 1 页");
    const QStringList nextArgs{QStringLiteral("-size"), QStringLiteral("2000x1500"),
                               QStringLiteral("gradient:#20c040-#402020"),
                               QStringLiteral("-strip")};
    for (const auto &[args, path] : {std::pair{lastArgs, last}, std::pair{nextArgs, next}}) {
        QProcess magick;
        magick.start(QStringLiteral("convert"), args + QStringList{path});
        QVERIFY(magick.waitForFinished(60000) && magick.exitCode() == 0);
    }
    const QImage lastAlone = ImageDocument::readFile(last),
                 nextAlone = ImageDocument::readFile(next);
    QVERIFY(lastAlone.dotsPerMeterX() != nextAlone.dotsPerMeterX());
    QVERIFY(lastAlone.colorSpace().isValid() && !nextAlone.colorSpace().isValid());
    QCOMPARE(lastAlone.textKeys().isEmpty(), !comment);

    ImageDocument doc;
    doc.load(last, threads);
    const uchar *lastMemory = doc.image().constBits();
    doc.load(next, threads);
    const QImage &page = doc.image();
    QCOMPARE(maxDifference(page, nextAlone), 0);
    QCOMPARE(page.dotsPerMeterX(), nextAlone.dotsPerMeterX());
    QCOMPARE(page.dotsPerMeterY(), nextAlone.dotsPerMeterY());
    QCOMPARE(page.colorSpace(), nextAlone.colorSpace());
    QCOMPARE(page.textKeys(), nextAlone.textKeys());
    // Ours reuses it, where it has no texts; Qt's reader may.
    if (threads == ImageDocument::Threads::Two && !comment &&
        std::thread::hardware_concurrency() >= 2)
        QCOMPARE(page.constBits(), lastMemory);
}

QTEST_GUILESS_MAIN(TestImageDocument)
#include "tst_imagedocument.moc"
