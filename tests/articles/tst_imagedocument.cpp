#include "articles/imagedocument.h"
#include "articles/tiffcodec.h"
#include "platform/error.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include "testfiles.h"

#include <tiffio.h>

using namespace qen;

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

QString fixture(const QString &name) {
    return QStringLiteral(QEN_TEST_DATA "/") + name;
}

bool isBlack(const QImage &image, int x, int y) {
    return qGray(image.pixel(x, y)) < 128;
}

int maxDifference(const QImage &a, const QImage &b) {
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            worst = std::max(worst, std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))));
    return worst;
}

QImage monoPattern(int w = 37, int h = 23) {
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, patternInk(x, y) ? 1 : 0);
    return image;
}

QImage grayPattern() {
    QImage image(37, 23, QImage::Format_Grayscale8);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.scanLine(y)[x] = uchar(patternGray(x, y));
    return image;
}

// JPEG is judged on a page without sharp edges.
QImage smoothGray() {
    QImage image(37, 23, QImage::Format_Grayscale8);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.scanLine(y)[x] = uchar(x * 4 + y * 4);
    return image;
}

QImage colourPattern() {
    QImage image(37, 23, QImage::Format_RGB32);
    static const QRgb colours[] = {qRgb(200, 30, 30), qRgb(20, 120, 220), qRgb(250, 250, 250),
                                   qRgb(0, 0, 0), qRgb(40, 180, 60)};
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            image.setPixel(x, y, colours[(x / 4 + y / 3) % 5]);
    return image;
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
};

void TestImageDocument::readsBilevelTiff_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("G4") << "tiff-g4.tif";
    QTest::newRow("G4, fill order 2") << "tiff-g4-fillorder2.tif";
    QTest::newRow("G3") << "tiff-g3.tif";
    QTest::newRow("LZW, MinIsBlack") << "tiff-lzw-bilevel.tif";
    QTest::newRow("LZW, six strips") << "tiff-lzw-multistrip.tif";
    QTest::newRow("Deflate") << "tiff-deflate-bilevel.tif";
    QTest::newRow("uncompressed") << "tiff-uncompressed-bilevel.tif";
    QTest::newRow("uncompressed, fill order 2") << "tiff-fillorder2.tif";
    QTest::newRow("MinIsBlack") << "tiff-minisblack.tif";
    QTest::newRow("first of two pages") << "tiff-multipage.tif";
    QTest::newRow("tiled") << "tiff-tiled-bilevel.tif";
    QTest::newRow("1-bit palette") << "tiff-palette-bilevel.tif";
    QTest::newRow("GIF, two colours") << "gif-bilevel.gif";
}

void TestImageDocument::readsBilevelTiff() {
    QFETCH(QString, file);
    const QImage image = ImageDocument::readFile(fixture(file));
    QCOMPARE(image.format(), QImage::Format_Mono);
    QCOMPARE(image.size(), QSize(37, 23));
    QCOMPARE(image.color(1), qRgb(0, 0, 0));
    int wrong = 0;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            wrong += isBlack(image, x, y) != patternInk(x, y);
    QCOMPARE(wrong, 0);
    // Padding bits after the 37th pixel stay clear.
    for (int y = 0; y < 23; ++y)
        QCOMPARE(image.constScanLine(y)[4] & 0x07, 0);
}

void TestImageDocument::readsGrayTiff_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("LZW") << "tiff-lzw-gray.tif" << 0;
    QTest::newRow("JPEG in TIFF") << "tiff-jpeg-gray.tif" << 12;
}

void TestImageDocument::readsGrayTiff() {
    QFETCH(QString, file);
    QFETCH(int, tolerance);
    const QImage image = ImageDocument::readFile(fixture(file));
    QCOMPARE(image.format(), QImage::Format_Grayscale8);
    QVERIFY(maxDifference(image, grayPattern()) <= tolerance);
}

void TestImageDocument::readsColourJpegInTiff() {
    const QImage image = ImageDocument::readFile(fixture("tiff-jpeg-rgb.tif"));
    QCOMPARE(image.size(), QSize(37, 23));
    QVERIFY(maxDifference(image, grayPattern()) <= 16);
}

void TestImageDocument::readsQtFormats_data() {
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QImage>("source");
    QTest::addColumn<QImage::Format>("expected");
    QTest::newRow("PNG bilevel") << QByteArray("png") << monoPattern() << QImage::Format_Mono;
    QTest::newRow("PNG gray") << QByteArray("png") << grayPattern() << QImage::Format_Grayscale8;
    QTest::newRow("BMP colour") << QByteArray("bmp") << colourPattern() << QImage::Format_RGB32;
    QTest::newRow("BMP bilevel") << QByteArray("bmp") << monoPattern() << QImage::Format_Mono;
    QTest::newRow("JPEG gray") << QByteArray("jpg") << grayPattern() << QImage::Format_Grayscale8;
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
    QTest::newRow("zero bytes") << "zero-bytes.tif"
                                << "0 字节";
    QTest::newRow("missing") << "no-such-page.tif"
                             << "不存在";
    QTest::newRow("text named .jpg") << "text-content.jpg"
                                     << "不是可识别的图像格式";
    QTest::newRow("TIFF cut in half") << "truncated-g4.tif"
                                      << "TIFF";
    QTest::newRow("strip runs past the end") << "strip-past-end-g4.tif"
                                             << "TIFF";
    QTest::newRow("garbage G4 data") << "corrupt-g4-data.tif"
                                     << "TIFF";
    QTest::newRow("TIFF declares 100000x100000") << "declares-100000x100000.tif"
                                                 << "100000×100000";
    QTest::newRow("TIFF sides multiplying past 64 bits") << "declares-sides-past-64-bits.tif"
                                                         << "过大";
    QTest::newRow("PNG chunk longer than the file") << "png-text-chunk-declares-256mb.png"
                                                    << "截断";
    QTest::newRow("PNG declares 100000x100000") << "declares-100000x100000.png"
                                                << "100000×100000";
    QTest::newRow("JPEG cut in half") << "truncated.jpg"
                                      << "截断";
    QTest::newRow("GIF cut in half") << "truncated.gif"
                                     << "截断";
    QTest::newRow("PNG cut in half") << "truncated.png"
                                     << "PNG";
    QTest::newRow("BMP cut in half") << "truncated.bmp"
                                     << "BMP";
}

void TestImageDocument::refusesBadFiles() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    ImageDocument document;
    document.load(fixture("tiff-g4.tif"));
    try {
        document.load(fixture(file));
        QFAIL("a bad file was accepted");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(fixture(file)), qPrintable(e.description()));
        QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
    }
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
    const QImage mono = ImageDocument::readFile(path);
    int wrong = 0;
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            wrong += isBlack(mono, x, y) != patternInk(x, y);
    QVERIFY(wrong < 37 * 23 / 50);
}

void TestImageDocument::bilevelTiffIsSmallG4() {
    const QString source = fixture("g4-text-400x300.tif");
    const QImage page = ImageDocument::readFile(source);
    QCOMPARE(page.format(), QImage::Format_Mono);
    QTemporaryDir dir;
    const QString path = dir.filePath("page.tif");
    ImageDocument::writeFile(page, path, ImageFileType::Tiff);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    tiff::Info info;
    QVERIFY(tiff::inspect(bytes, &info));
    QCOMPARE(info.bitsPerSample, 1);
    QCOMPARE(info.samplesPerPixel, 1);
    QCOMPARE(info.compression, COMPRESSION_CCITTFAX4);
    QVERIFY2(bytes.size() < 1.2 * QFileInfo(source).size(),
             qPrintable(QString::number(bytes.size())));
    QVERIFY(samePixels(ImageDocument::readFile(path), page));

    ImageDocument::writeFile(grayPattern(), path, ImageFileType::Tiff);
    QFile gray(path);
    QVERIFY(gray.open(QIODevice::ReadOnly));
    QVERIFY(tiff::inspect(gray.readAll(), &info));
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
    try {
        ImageDocument::writeFile(monoPattern(), missingFolder, ImageFileType::Tiff);
        QFAIL("saving into a missing folder succeeded");
    } catch (const Error &e) {
        QVERIFY(e.description().contains(missingFolder));
    }
    const QString path = dir.filePath("page.bmp");
    ImageDocument::writeFile(monoPattern(), path, ImageFileType::Bmp);
    const QByteArray before = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QVERIFY_THROWS_EXCEPTION(Error,
                             ImageDocument::writeFile(monoPattern(), path, ImageFileType(7)));
    QVERIFY_THROWS_EXCEPTION(Error, ImageDocument::writeFile(QImage(), path, ImageFileType::Bmp));
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestImageDocument::documentCopyAndRevision() {
    ImageDocument document;
    document.load(fixture("tiff-g4.tif"));
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
    QTest::newRow("JPEG named .tif") << QByteArray("jpg") << "page.tif";
    QTest::newRow("PNG named .tif") << QByteArray("png") << "page.tif";
    QTest::newRow("GIF named .bmp") << QByteArray("gif") << "page.bmp";
    QTest::newRow("BMP named .jpg") << QByteArray("bmp") << "page.jpg";
    QTest::newRow("TIFF named .gif") << QByteArray("tif") << "page.gif";
}

void TestImageDocument::loadsByContentNotExtension() {
    QFETCH(QByteArray, format);
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (format == "gif" || format == "tif") {
        QFile::copy(fixture(format == "gif" ? "gif-bilevel.gif" : "tiff-g4.tif"), path);
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

namespace {

// Where the pixel seen at (x, y) of a w x h page is stored under each Orientation value,
// as the TIFF standard words them: 1 top-left, 2 top-right, 3 bottom-right,
// 4 bottom-left, 5 left-top, 6 right-top, 7 right-bottom, 8 left-bottom (row 0 side first).
QPoint storedAt(int orientation, int x, int y, int w, int h) {
    switch (orientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, w - 1 - x};
    case 7:
        return {h - 1 - y, w - 1 - x};
    case 8:
        return {h - 1 - y, x};
    default:
        return {x, y};
    }
}

// Writes `seen` as it would be stored under the orientation: G4 for a bilevel page, LZW RGB
// for a colour one.
QByteArray orientedTiff(const QImage &seen, int orientation) {
    const bool bilevel = seen.format() == QImage::Format_Mono;
    const bool turned = orientation >= 5;
    const int sw = turned ? seen.height() : seen.width();
    const int sh = turned ? seen.width() : seen.height();
    QTemporaryFile scratch;
    scratch.open();
    TIFF *tif = TIFFOpen(QFile::encodeName(scratch.fileName()).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(sw));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(sh));
    TIFFSetField(tif, TIFFTAG_ORIENTATION, uint16_t(orientation));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(sh));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bilevel ? 1 : 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bilevel ? 1 : 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
    QImage stored(sw, sh, bilevel ? QImage::Format_Mono : QImage::Format_RGB888);
    stored.setColorTable(seen.colorTable());
    for (int y = 0; y < seen.height(); ++y)
        for (int x = 0; x < seen.width(); ++x) {
            const QPoint at = storedAt(orientation, x, y, seen.width(), seen.height());
            if (bilevel)
                stored.setPixel(at, seen.pixelIndex(x, y));
            else
                stored.setPixel(at, seen.pixel(x, y));
        }
    const int lineBytes = bilevel ? (sw + 7) / 8 : sw * 3;
    for (int y = 0; y < sh; ++y) {
        QByteArray row(reinterpret_cast<const char *>(stored.constScanLine(y)), lineBytes);
        TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
    }
    TIFFClose(tif);
    return scratch.readAll();
}

} // namespace

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
    QTest::newRow("12-bit gray") << 12 << int(SAMPLEFORMAT_UINT);
    QTest::newRow("32-bit float gray") << 32 << int(SAMPLEFORMAT_IEEEFP);
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
    try {
        ImageDocument::readFile(path);
        QFAIL("an undecodable TIFF was shown");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path) && e.description().contains("不支持") &&
                     !e.description().contains("损坏"),
                 qPrintable(e.description()));
    }
}

QTEST_GUILESS_MAIN(TestImageDocument)
#include "tst_imagedocument.moc"
