// Pages too large to hold whole: read a part at a time from strips, tiles and JPEG rows, against
// the same file read whole. The fixtures are made by ImageMagick and libtiff's own tools, and the
// large ones row by row through libtiff.
#include "articles/imagedocument.h"
#include "articles/jpegregion.h"
#include "articles/largepage.h"
#include "articles/tiffcodec.h"
#include "patterntiff.h"
#include "platform/error.h"
#include "testfiles.h"
#include "zipfixture.h"

#include <QColorSpace>
#include <QFile>
#include <QHash>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <thread>

#include <tiffio.h>

using namespace qen;

namespace {

bool run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Each level pixel the rounded average of the page pixels under it, counted plainly.
QImage averaged(const QImage &page, int level) {
    const int s = 1 << level;
    const QImage wide = page.convertToFormat(QImage::Format_RGB32);
    QImage out((page.width() + s - 1) / s, (page.height() + s - 1) / s, QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            int sum[3] = {}, n = 0;
            for (int yy = y * s; yy < std::min(page.height(), (y + 1) * s); ++yy)
                for (int xx = x * s; xx < std::min(page.width(), (x + 1) * s); ++xx, ++n) {
                    const QRgb p = wide.pixel(xx, yy);
                    sum[0] += qRed(p), sum[1] += qGreen(p), sum[2] += qBlue(p);
                }
            out.setPixel(x, y,
                         qRgb((sum[0] + n / 2) / n, (sum[1] + n / 2) / n, (sum[2] + n / 2) / n));
        }
    return out;
}

// Sets the first value of an array tag in a little-endian classic TIFF's first directory.
bool setFirstValue(QByteArray &d, quint16 tag, quint32 value) {
    const auto u16 = [&](qint64 at) { return quint16(uchar(d[at]) | uchar(d[at + 1]) << 8); };
    const auto u32 = [&](qint64 at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    const qint64 ifd = u32(4);
    for (int i = 0; i < u16(ifd); ++i) {
        const qint64 entry = ifd + 2 + i * 12;
        if (u16(entry) != tag)
            continue;
        const int size = u16(entry + 2) == TIFF_SHORT ? 2 : 4;
        const qint64 at = u32(entry + 4) * size > 4 ? u32(entry + 8) : entry + 8;
        for (int k = 0; k < size; ++k)
            d[at + k] = char((value >> (8 * k)) & 0xff);
        return true;
    }
    return false;
}

} // namespace

class TestLargePage : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QHash<QString, QImage> m_references;

    // The JPEG fixtures by kind: sides a multiple of 8 but not of the 16-pixel blocks of 4:2:0
    // chroma, or of nothing at all.
    QString jpegFixture(const QString &kind, QSize *size) {
        const bool odd = kind.contains(u"odd");
        *size = odd ? QSize(1003, 757) : QSize(1000, 760);
        QStringList args{QStringLiteral("-size"),
                         QStringLiteral("%1x%2").arg(size->width()).arg(size->height()),
                         QStringLiteral("-seed"),
                         QStringLiteral("7"),
                         QStringLiteral("plasma:fractal"),
                         QStringLiteral("-quality"),
                         QStringLiteral("90"),
                         QStringLiteral("-units"),
                         QStringLiteral("PixelsPerInch"),
                         QStringLiteral("-density"),
                         QStringLiteral("300")};
        if (kind.startsWith(u"gray"))
            args << QStringLiteral("-type") << QStringLiteral("Grayscale");
        else if (kind.startsWith(u"cmyk"))
            args << QStringLiteral("-colorspace") << QStringLiteral("CMYK");
        else
            args << QStringLiteral("-sampling-factor")
                 << (kind.contains(u"4:2:2") ? QStringLiteral("2x1") : QStringLiteral("2x2"));
        if (kind.contains(u"progressive"))
            args << QStringLiteral("-interlace") << QStringLiteral("JPEG");
        return fixture(
            QString(kind).replace(u' ', u'-').replace(u':', u'-') + QStringLiteral(".jpg"), args);
    }

    // The whole page at a level as another decoder gives it, cached: level 0 as the page is
    // read whole; levels 1 to 3 by the same scaled DCT, through Qt's reader where the sides
    // divide (it then asks libjpeg for exactly that scale) and else through ImageMagick's size
    // hint; the levels beyond averaged from the 1/8 one.
    QImage jpegReference(const QString &path, QSize size, int level) {
        const QString key = path + QString::number(level);
        if (m_references.contains(key))
            return m_references[key];
        QImage image;
        const int s = 1 << std::min(level, 3);
        const QSize scaled = LargePage::levelSize(size, std::min(level, 3));
        if (level == 0) {
            image = ImageDocument::readFile(path);
        } else if (size.width() % s == 0 && size.height() % s == 0) {
            QImageReader reader(path);
            reader.setScaledSize(scaled);
            image = reader.read();
        } else {
            const QString out = path + QStringLiteral("-%1.ppm").arg(level);
            if (run(QStringLiteral("convert"),
                    {QStringLiteral("-define"),
                     QStringLiteral("jpeg:size=%1x%2").arg(size.width() / s).arg(size.height() / s),
                     path, QStringLiteral("-depth"), QStringLiteral("8"), out}))
                image.load(out);
        }
        if (level > 3 && !image.isNull())
            image = averaged(image, level - 3);
        if (!image.isNull() && image.size() != LargePage::levelSize(size, level))
            image = QImage(); // not the scale asked for
        return m_references[key] = image;
    }

    // A page of each kind the strips and tiles reader takes, made by ImageMagick and tiffcp.
    QString kindFixture(const QString &kind) {
        // 517 x 389: no side a multiple of a strip, a tile or a level.
        const QStringList colour{
            QStringLiteral("-size"), QStringLiteral("517x389"),        QStringLiteral("-seed"),
            QStringLiteral("5"),     QStringLiteral("plasma:fractal"), QStringLiteral("-depth"),
            QStringLiteral("8")};
        QStringList args = colour;
        if (kind.startsWith(u"gray"))
            args << QStringLiteral("-colorspace") << QStringLiteral("Gray");
        if (kind.startsWith(u"palette"))
            args << QStringLiteral("-colors") << QStringLiteral("200") << QStringLiteral("-type")
                 << QStringLiteral("Palette");
        args << QStringLiteral("-compress") << QStringLiteral("lzw") << QStringLiteral("-define")
             << QStringLiteral("tiff:rows-per-strip=16");
        const QString source =
            fixture(QString(kind).replace(u' ', u'-') + QStringLiteral("-src.tif"), args);
        if (source.isEmpty())
            return {};
        if (kind.endsWith(u"tiles")) {
            const QString tiled =
                m_dir.filePath(QString(kind).replace(u' ', u'-') + QStringLiteral(".tif"));
            if (!QFile::exists(tiled) &&
                !run(QStringLiteral("tiffcp"),
                     {QStringLiteral("-t"), QStringLiteral("-w"), QStringLiteral("64"),
                      QStringLiteral("-l"), QStringLiteral("48"), source, tiled}))
                return {};
            return tiled;
        }
        return source;
    }

    // The same page with its Orientation tag set by libtiff's tiffset: the rows stay as they
    // are stored, and are to be seen turned.
    QString orientedFixture(const QString &kind, int orientation) {
        const QString source = kindFixture(kind);
        if (source.isEmpty() || orientation == 1)
            return source;
        const QString path = source + QStringLiteral("-o%1.tif").arg(orientation);
        if (!QFile::exists(path) &&
            (!QFile::copy(source, path) ||
             !run(QStringLiteral("tiffset"), {QStringLiteral("-s"), QStringLiteral("274"),
                                              QString::number(orientation), path})))
            return {};
        return path;
    }

    QString fixture(const QString &name, const QStringList &convertArgs) {
        const QString path = m_dir.filePath(name);
        if (!QFile::exists(path) &&
            !run(QStringLiteral("convert"), convertArgs + QStringList{path}))
            return {};
        return path;
    }

private slots:
    void regionsMatchTheWholePage_data();
    void regionsMatchTheWholePage();
    void bandsFromTheTopMakeTheWholePage_data();
    void bandsFromTheTopMakeTheWholePage();
    void refusedWithAMessage_data();
    void refusedWithAMessage();
    void jpegRegionsMatchTheWholeDecode_data();
    void jpegRegionsMatchTheWholeDecode();
    void damagedJpegParts_data();
    void damagedJpegParts();
    void stripsThatLieAboutTheirSize_data();
    void stripsThatLieAboutTheirSize();
    void aLargePageKeepsEveryPixel();
    void aBilevelPageInOneStripIsReadRowByRow();
    void aJpegReadInTwoIsQtsPage_data();
    void aJpegReadInTwoIsQtsPage();
};

void TestLargePage::regionsMatchTheWholePage_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("orientation");
    const QRect inside(37, 51, 130, 77), edge(400, 300, 200, 200);
    for (const char *kind :
         {"gray strips", "colour strips", "colour tiles", "gray tiles", "palette strips"}) {
        QTest::addRow("%s, inside, full resolution", kind) << kind << inside << 0 << 1;
        QTest::addRow("%s, at the corner, full resolution", kind) << kind << edge << 0 << 1;
        QTest::addRow("%s, level 1", kind) << kind << QRect(10, 20, 90, 60) << 1 << 1;
        QTest::addRow("%s, whole page at level 2", kind)
            << kind << QRect(0, 0, 1000, 1000) << 2 << 1;
    }
    // Turned pages at full resolution, and at a level where the turn is a transpose alone
    // (the level's boxes then lie on the same page pixels either way).
    for (int o = 2; o <= 8; ++o) {
        for (const char *kind : {"gray strips", "colour tiles"}) {
            QTest::addRow("%s, orientation %d, inside", kind, o) << kind << inside << 0 << o;
            QTest::addRow("%s, orientation %d, at the corner", kind, o)
                << kind << QRect(300, 300, 300, 300) << 0 << o;
        }
    }
    QTest::addRow("colour strips, orientation 5, whole page at level 2")
        << "colour strips" << QRect(0, 0, 1000, 1000) << 2 << 5;
}

void TestLargePage::regionsMatchTheWholePage() {
    QFETCH(QString, kind);
    QFETCH(QRect, rect);
    QFETCH(int, level);
    QFETCH(int, orientation);
    const QString path = orientedFixture(kind, orientation);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert, tiffcp or tiffset cannot make the page");
    const QImage whole = ImageDocument::readFile(path);
    QString error;
    const auto page = LargePage::openInParts(path, &error, 16 << 10);
    QVERIFY2(page, qPrintable(error));
    QCOMPARE(page->size(), whole.size());
    QCOMPARE(page->format(),
             kind.startsWith(u"gray") ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    const QImage part = page->region(rect, level, &error);
    QVERIFY2(!part.isNull(), qPrintable(error));
    const QRect clipped = rect & QRect(QPoint(0, 0), page->levelSize(level));
    QCOMPARE(part.size(), clipped.size());
    QCOMPARE(test::maxDifference(part, averaged(whole, level).copy(clipped)), 0);
}

void TestLargePage::bandsFromTheTopMakeTheWholePage_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("orientation");
    for (const char *kind :
         {"gray strips", "colour strips", "colour tiles", "gray tiles", "palette strips"})
        QTest::newRow(kind) << QString::fromLatin1(kind) << 1;
    QTest::newRow("colour tiles, orientation 6") << QStringLiteral("colour tiles") << 6;
    QTest::newRow("gray strips, orientation 3") << QStringLiteral("gray strips") << 3;
}

void TestLargePage::bandsFromTheTopMakeTheWholePage() {
    QFETCH(QString, kind);
    QFETCH(int, orientation);
    const QString path = orientedFixture(kind, orientation);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert, tiffcp or tiffset cannot make the page");
    // The bands are the stored rows; turned, they are the page as it is seen.
    const QImage shown = ImageDocument::readFile(path);
    const QImage whole = orientation >= 5 ? shown.transformed(QTransform(0, 1, 1, 0, 0, 0)) : shown;
    QString error;
    // Bands of a few strips or tile rows, the last one short.
    const auto rows = LargePageRows::open(path, &error, 40 << 10);
    QVERIFY2(rows, qPrintable(error));
    QCOMPARE(rows->size(), whole.size());
    QImage joined(whole.size(),
                  kind.startsWith(u"gray") ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    int y = 0;
    for (QImage band = rows->next(&error); !band.isNull(); band = rows->next(&error)) {
        QCOMPARE(band.format(), joined.format());
        QVERIFY(y + band.height() <= whole.height());
        QVERIFY(band.height() < whole.height());
        for (int r = 0; r < band.height(); ++r)
            std::memcpy(joined.scanLine(y + r), band.constScanLine(r), size_t(band.bytesPerLine()));
        y += band.height();
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(y, whole.height());
    QCOMPARE(rows->orientation(), orientation);
    QCOMPARE(test::maxDifference(tiff::oriented(joined, uint16_t(orientation)), shown), 0);
}

void TestLargePage::refusedWithAMessage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // part of the message
    QTest::newRow("30000 x 30000 colour TIFF") << "colour.tif"
                                               << "30000×30000 过大";
    QTest::newRow("JPEG declaring 65535 x 65535") << "declared.jpg"
                                                  << "65535×65535 过大";
    QTest::newRow("40000 x 40000 gray TIFF") << "gray.tif"
                                             << "40000×40000 过大";
}

void TestLargePage::refusedWithAMessage() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(name);
    if (name.endsWith(u".jpg")) {
        // A real JPEG, its frame header then told it is 65535 pixels each way.
        if (!run(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("64x64"),
                                             QStringLiteral("xc:gray"), path}))
            QSKIP("ImageMagick's convert cannot make the JPEG");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray d = f.readAll();
        const qsizetype sof = d.indexOf("\xFF\xC0");
        QVERIFY(sof > 0);
        d[sof + 5] = d[sof + 6] = d[sof + 7] = d[sof + 8] = '\xFF';
        f.seek(0);
        f.write(d);
    } else {
        const bool gray = name.startsWith(u"gray");
        const int side = gray ? 40000 : 30000;
        QVERIFY(test::writeDeclaredTiff(path, side, side, gray ? 1 : 3));
    }
    ImageDocument document;
    try {
        document.load(path);
        QFAIL("the page was taken");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(expected), qPrintable(e.description()));
    }
    QVERIFY(document.isNull());
}

void TestLargePage::jpegRegionsMatchTheWholeDecode_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("level");
    for (const char *kind :
         {"colour 4:2:0", "colour 4:2:2 odd", "colour 4:2:0 odd progressive", "gray odd", "cmyk"}) {
        // At full resolution: the corner, inside, starting on a block's edge (x 48, y 64),
        // ending on one (x 64), the last rows and columns, a band of whole rows at the bottom.
        QTest::addRow("%s, top left", kind) << kind << QRect(0, 0, 200, 150) << 0;
        QTest::addRow("%s, inside", kind) << kind << QRect(37, 51, 130, 77) << 0;
        QTest::addRow("%s, from a block's edge", kind) << kind << QRect(48, 64, 17, 9) << 0;
        QTest::addRow("%s, to a block's edge", kind) << kind << QRect(5, 5, 59, 11) << 0;
        QTest::addRow("%s, one pixel", kind) << kind << QRect(513, 401, 1, 1) << 0;
        QTest::addRow("%s, last rows and columns", kind) << kind << QRect(870, 700, 500, 500) << 0;
        QTest::addRow("%s, bottom rows", kind) << kind << QRect(0, 740, 2000, 30) << 0;
        QTest::addRow("%s, level 1 inside", kind) << kind << QRect(10, 21, 90, 61) << 1;
        QTest::addRow("%s, level 1 corner", kind) << kind << QRect(450, 330, 100, 100) << 1;
        QTest::addRow("%s, level 2 corner", kind) << kind << QRect(201, 150, 100, 100) << 2;
        QTest::addRow("%s, level 3 whole", kind) << kind << QRect(0, 0, 1000, 1000) << 3;
        QTest::addRow("%s, level 3 last columns", kind) << kind << QRect(117, 3, 50, 50) << 3;
        QTest::addRow("%s, level 4 whole", kind) << kind << QRect(0, 0, 1000, 1000) << 4;
    }
}

void TestLargePage::jpegRegionsMatchTheWholeDecode() {
    QFETCH(QString, kind);
    QFETCH(QRect, rect);
    QFETCH(int, level);
    QSize size;
    const QString path = jpegFixture(kind, &size);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert cannot make the JPEG");
    QString error;
    const auto page = LargePage::openInParts(path, &error, 16 << 10);
    QVERIFY2(page, qPrintable(error));
    QCOMPARE(page->size(), size);
    QCOMPARE(page->format(),
             kind.startsWith(u"gray") ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    const QImage reference = jpegReference(path, size, level);
    if (reference.isNull())
        QSKIP("no other decoder gives the page at this scale");
    const QImage part = page->region(rect, level, &error);
    QVERIFY2(!part.isNull(), qPrintable(error));
    QCOMPARE(part.format(), page->format());
    const QRect clipped = rect & QRect(QPoint(0, 0), page->levelSize(level));
    QCOMPARE(part.size(), clipped.size());
    QCOMPARE(test::maxDifference(part, reference.copy(clipped)), 0);
    // Every pixel opaque: RGB32 is drawn as it is.
    if (part.format() == QImage::Format_RGB32)
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x)
                if (qAlpha(part.pixel(x, y)) != 255)
                    QFAIL("a pixel is not opaque");
    // The page's resolution comes with every part, as with the page read whole.
    const QImage whole = jpegReference(path, size, 0);
    QCOMPARE(whole.dotsPerMeterX(), 11811);
    QCOMPARE(part.dotsPerMeterX(), whole.dotsPerMeterX());
    QCOMPARE(page->overview().dotsPerMeterY(), whole.dotsPerMeterY());
    // The overview is the same level as a region gives it.
    if (level == page->overviewLevel())
        QCOMPARE(test::maxDifference(page->overview().copy(clipped), part), 0);
}

void TestLargePage::damagedJpegParts_data() {
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("afterOpening"); // damaged once the page is open, as a file on a share
    QTest::addColumn<QString>("expected");  // part of the message, empty: any message or pixels
    QTest::newRow("cut off") << "cut" << false << "不完整";
    QTest::newRow("cut off after opening") << "cut" << true << "不完整";
    QTest::newRow("declaring 65535 x 65535") << "declared" << false << "65535×65535 过大";
    QTest::newRow("frame header broken") << "frame" << false << "JPEG";
    QTest::newRow("garbage in the middle") << "garbage" << false << "";
    QTest::newRow("garbage after opening") << "garbage" << true << "";
}

void TestLargePage::damagedJpegParts() {
    QFETCH(QString, damage);
    QFETCH(bool, afterOpening);
    QFETCH(QString, expected);
    QSize size;
    const QString good = jpegFixture(QStringLiteral("colour 4:2:0"), &size);
    if (good.isEmpty())
        QSKIP("ImageMagick's convert cannot make the JPEG");
    const QString path =
        m_dir.filePath(QStringLiteral("damaged-%1-%2.jpg").arg(damage).arg(afterOpening));
    QByteArray d = test::readFile(good);
    const qsizetype sof = d.indexOf("\xFF\xC0");
    const qsizetype sos = d.indexOf("\xFF\xDA");
    QVERIFY(sof > 0 && sos > sof);
    if (damage == u"cut") {
        d.truncate(sos + (d.size() - sos) / 2);
    } else if (damage == u"declared") {
        d[sof + 5] = d[sof + 6] = d[sof + 7] = d[sof + 8] = '\xFF';
    } else if (damage == u"frame") {
        d[sof + 9] = '\x07'; // seven components, with the lengths of three
    } else {
        for (qsizetype i = sos + (d.size() - sos) / 3; i < sos + (d.size() - sos) / 3 + 4000; ++i)
            d[i] = char(i * 37);
    }
    test::writeFile(path, afterOpening ? test::readFile(good) : d);
    QString error;
    auto page = LargePage::openInParts(path, &error, 16 << 10);
    if (afterOpening) {
        QVERIFY2(page, qPrintable(error));
        test::writeFile(path, d);
        const QImage bottom = page->region(QRect(0, 700, 1000, 60), 0, &error);
        if (expected.isEmpty())
            QVERIFY(!bottom.isNull() || !error.isEmpty());
        else
            QVERIFY2(bottom.isNull() && error.contains(expected), qPrintable(error));
        return;
    }
    if (expected.isEmpty()) {
        QVERIFY(page || !error.isEmpty());
        if (page)
            QVERIFY(!page->region(QRect(0, 0, 1000, 760), 0, &error).isNull() || !error.isEmpty());
        return;
    }
    QVERIFY(!page);
    QVERIFY2(error.contains(expected), qPrintable(error));
}

void TestLargePage::stripsThatLieAboutTheirSize_data() {
    QTest::addColumn<bool>("large");
    QTest::addColumn<quint32>("byteCount"); // what the first strip claims, 0: past the file's end
    QTest::newRow("whole page, strip shorter than its rows") << false << 40u;
    QTest::newRow("whole page, strip past the end") << false << 0u;
    QTest::newRow("read in parts, strip shorter than its rows") << true << 40u;
    QTest::newRow("read in parts, strip past the end") << true << 0u;
}

void TestLargePage::stripsThatLieAboutTheirSize() {
    QFETCH(bool, large);
    QFETCH(quint32, byteCount);
    const QString path =
        m_dir.filePath(QStringLiteral("lying-%1-%2.tif").arg(large).arg(byteCount));
    // In LZW strips of 20 rows: libtiff mends the counts of a single uncompressed strip from
    // the page's sides, and rightly, but nothing can mend these.
    QVERIFY(run(QStringLiteral("convert"),
                {QStringLiteral("-size"), QStringLiteral("300x200"), QStringLiteral("-seed"),
                 QStringLiteral("3"), QStringLiteral("plasma:fractal"),
                 QStringLiteral("-colorspace"), QStringLiteral("Gray"), QStringLiteral("-depth"),
                 QStringLiteral("8"), QStringLiteral("-compress"), QStringLiteral("lzw"),
                 QStringLiteral("-define"), QStringLiteral("tiff:rows-per-strip=20"), path}));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QByteArray d = f.readAll();
    QVERIFY(
        setFirstValue(d, TIFFTAG_STRIPBYTECOUNTS, byteCount ? byteCount : quint32(d.size()) * 4));
    f.seek(0);
    f.write(d);
    f.close();
    QString error;
    if (large) {
        const auto page = LargePage::openInParts(path, &error, 4096);
        QVERIFY(!page);
    } else {
        try {
            ImageDocument::readFile(path);
        } catch (const Error &e) {
            error = e.description();
        }
    }
    QVERIFY2(error.contains(u"TIFF") || error.contains(u"不完整"), qPrintable(error));
}

void TestLargePage::aLargePageKeepsEveryPixel() {
    // Over the budget of a page held whole (16400 x 16400 gray is 256.5 MiB), yet a few MB of
    // file: LZW takes its blocks of one value well.
    const QString path = m_dir.filePath(QStringLiteral("large.tif"));
    QVERIFY(test::writePatternTiff(path, 16400, 16400, 1));
    ImageDocument document;
    document.load(path);
    QVERIFY(document.large());
    QCOMPARE(document.size(), QSize(16400, 16400));
    // 8200 x 8200 would be just over the overview's 64 MB.
    QCOMPARE(document.large()->overviewLevel(), 2);
    QCOMPARE(document.image().size(), QSize(4100, 4100));
    QVERIFY(!document.wholePageRefusal(QStringLiteral("调整图像")).isEmpty());
    const quint64 revision = document.revision();
    document.adjust([](QImage &i) { i.invertPixels(); });
    QCOMPARE(document.revision(), revision);

    // A selection comes from the file at full resolution.
    const QRect band(16300, 100, 100, 90);
    QString error;
    const QImage part = document.copy(band, &error);
    QVERIFY2(!part.isNull(), qPrintable(error));
    QCOMPARE(part.size(), band.size());
    bool same = true;
    for (int y = 0; y < band.height(); ++y)
        for (int x = 0; x < band.width(); ++x)
            same &= part.constScanLine(y)[x] == test::patternAt(band.x() + x, band.y() + y, 0);
    QVERIFY(same);

    // Saved, it is the page; only TIFF can take it.
    const QString saved = m_dir.filePath(QStringLiteral("saved.tif"));
    document.write(saved, ImageFileType::Tiff);
    QString why;
    const auto again = LargePage::openInParts(saved, &why, 1 << 20);
    QVERIFY2(again, qPrintable(why));
    QCOMPARE(again->size(), QSize(16400, 16400));
    const QImage last = again->region(QRect(16000, 16336, 400, 64), 0, &why);
    QVERIFY2(!last.isNull(), qPrintable(why));
    same = true;
    for (int y = 0; y < last.height(); ++y)
        for (int x = 0; x < last.width(); ++x)
            same &= last.constScanLine(y)[x] == test::patternAt(16000 + x, 16336 + y, 0);
    QVERIFY(same);
    // libtiff's own tool reads every strip of what was written, band by band, without error.
    if (!QStandardPaths::findExecutable(QStringLiteral("tiffinfo")).isEmpty()) {
        QProcess info;
        info.start(QStringLiteral("tiffinfo"), {QStringLiteral("-D"), saved});
        QVERIFY(info.waitForFinished(120000));
        const QString out =
            QString::fromLatin1(info.readAllStandardOutput() + info.readAllStandardError());
        QVERIFY2(info.exitCode() == 0 && !out.contains(QStringLiteral("rror")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Image Width: 16400 Image Length: 16400")),
                 qPrintable(out));
    }
    QVERIFY_THROWS_EXCEPTION(
        Error, document.write(m_dir.filePath(QStringLiteral("saved.jpg")), ImageFileType::Jpeg));
}

void TestLargePage::aBilevelPageInOneStripIsReadRowByRow() {
    // 8.4 MB of bits in one G4 strip, written by libtiff: past the size decoded into a strip
    // buffer.
    const int side = 8200, bytes = side / 8;
    const QString path = m_dir.filePath(QStringLiteral("one-strip.tif"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(fixture::g4Tiff(side, side));
    file.close();
    const QImage page = ImageDocument::readFile(path);
    QCOMPARE(page.format(), QImage::Format_Mono);
    QCOMPARE(page.size(), QSize(side, side));
    bool same = true;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < bytes; ++x)
            same &= page.constScanLine(y)[x] == ((y / 8 + x) % 3 == 0 ? 0xF0 : 0x00);
    QVERIFY(same);
}

void TestLargePage::aJpegReadInTwoIsQtsPage_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("args"); // ImageMagick's, turning the source into the page
    QTest::addColumn<QString>("damage");   // "cut" or "garbage", or none
    QTest::addColumn<bool>("inTwo");       // whether the two threads take it
    const QStringList dpi{QStringLiteral("-units"), QStringLiteral("PixelsPerInch"),
                          QStringLiteral("-density"), QStringLiteral("300")};
    const auto sampling = [](const char *factors) {
        return QStringList{QStringLiteral("-sampling-factor"), QString::fromLatin1(factors)};
    };
    QTest::newRow("colour 4:2:0, 300 dpi") << "c420.jpg" << sampling("2x2") + dpi << "" << true;
    QTest::newRow("colour 4:2:2, sides of no block")
        << "c422.jpg"
        << sampling("2x1") + QStringList{QStringLiteral("-crop"), QStringLiteral("1603x1301+0+0")}
        << "" << true;
    QTest::newRow("colour 4:4:4, dots per centimetre")
        << "c444.jpg"
        << sampling("1x1") + QStringList{QStringLiteral("-units"),
                                         QStringLiteral("PixelsPerCentimeter"),
                                         QStringLiteral("-density"), QStringLiteral("118")}
        << "" << true;
    QTest::newRow("gray") << "gray.jpg"
                          << QStringList{QStringLiteral("-type"), QStringLiteral("Grayscale")} + dpi
                          << "" << true;
    QTest::newRow("with a colour profile")
        << "icc.jpg" << QStringList{QStringLiteral("-profile"), QStringLiteral("srgb.icc")} << ""
        << true;
    // Qt's reader makes a comment the image's text, and a JPEG saved again writes it back.
    QTest::newRow("with a comment")
        << "comment.jpg"
        << QStringList{QStringLiteral("-set"), QStringLiteral("comment"),
                       QStringLiteral("扫描：第 3 页")}
        << "" << false;
    QTest::newRow("progressive") << "prog.jpg"
                                 << QStringList{QStringLiteral("-interlace"),
                                                QStringLiteral("JPEG")}
                                 << "" << false;
    QTest::newRow("CMYK") << "cmyk.jpg"
                          << QStringList{QStringLiteral("-colorspace"), QStringLiteral("CMYK")}
                          << "" << false;
    QTest::newRow("under two million pixels")
        << "small.jpg" << QStringList{QStringLiteral("-resize"), QStringLiteral("1000x760!")} << ""
        << false;
    QTest::newRow("cut off") << "cut.jpg" << sampling("2x2") << "cut" << false;
    QTest::newRow("garbage in the lower part")
        << "garbage.jpg" << sampling("2x2") << "garbage" << false;
}

// Two threads, or Qt's reader when they cannot be sure of giving its page: never another page.
void TestLargePage::aJpegReadInTwoIsQtsPage() {
    QFETCH(QString, name);
    QFETCH(QStringList, args);
    QFETCH(QString, damage);
    QFETCH(bool, inTwo);
    if (std::thread::hardware_concurrency() < 2)
        QSKIP("one core: pages are read on one thread");
    // 1700 x 1300: 2.2 million pixels, made once and turned into each kind.
    const QString source =
        fixture(QStringLiteral("two-source.ppm"),
                {QStringLiteral("-size"), QStringLiteral("1700x1300"), QStringLiteral("-seed"),
                 QStringLiteral("11"), QStringLiteral("plasma:fractal"), QStringLiteral("-depth"),
                 QStringLiteral("8")});
    if (source.isEmpty())
        QSKIP("ImageMagick's convert cannot make the page");
    const QString icc = m_dir.filePath(QStringLiteral("srgb.icc"));
    test::writeFile(icc, QColorSpace(QColorSpace::SRgb).iccProfile());
    args.replaceInStrings(QStringLiteral("srgb.icc"), icc);
    const QString path = m_dir.filePath(name);
    QVERIFY(run(QStringLiteral("convert"),
                QStringList{source} + args +
                    QStringList{QStringLiteral("-quality"), QStringLiteral("85"), path}));
    QByteArray data = test::readFile(path);
    const qsizetype sos = data.indexOf("\xFF\xDA");
    QVERIFY(sos > 0);
    if (damage == u"cut") {
        data.truncate(sos + (data.size() - sos) * 3 / 4);
    } else if (damage == u"garbage") {
        for (qsizetype i = sos + (data.size() - sos) * 3 / 4; i < data.size() - 3000; ++i)
            data[i] = char(i * 37);
    }
    test::writeFile(path, data);

    if (name == u"comment.jpg")
        QVERIFY(data.contains("\xFF\xFE")); // the marker the threads leave to Qt
    const QImage two = JpegRegionReader::readWholeInTwo(data);
    QCOMPARE(two.isNull(), !inTwo);
    if (!inTwo)
        return;
    QImageReader reader(path);
    reader.setAutoTransform(false);
    const QImage qt = reader.read();
    QVERIFY(!qt.isNull());
    QCOMPARE(two.format(), qt.format());
    QCOMPARE(two.size(), qt.size());
    QCOMPARE(test::maxDifference(two, qt), 0);
    QCOMPARE(two.dotsPerMeterX(), qt.dotsPerMeterX());
    QCOMPARE(two.dotsPerMeterY(), qt.dotsPerMeterY());
    QCOMPARE(two.colorSpace(), qt.colorSpace());
    if (name == u"icc.jpg")
        QVERIFY(two.colorSpace().isValid());
}

QTEST_GUILESS_MAIN(TestLargePage)
#include "tst_largepage.moc"
