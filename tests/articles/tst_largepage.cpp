// Pages too large to hold whole: read a part at a time from strips and tiles, against the same
// file read whole. The fixtures are made by ImageMagick and libtiff's own tools, and the large
// ones row by row through libtiff.
#include "articles/imagedocument.h"
#include "articles/largepage.h"
#include "patterntiff.h"
#include "platform/error.h"
#include "testfiles.h"
#include "zipfixture.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

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
    void refusedWithAMessage_data();
    void refusedWithAMessage();
    void stripsThatLieAboutTheirSize_data();
    void stripsThatLieAboutTheirSize();
    void aLargePageKeepsEveryPixel();
    void aBilevelPageInOneStripIsReadRowByRow();
};

void TestLargePage::regionsMatchTheWholePage_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("level");
    const QRect inside(37, 51, 130, 77), edge(400, 300, 200, 200);
    for (const char *kind :
         {"gray strips", "colour strips", "colour tiles", "gray tiles", "palette strips"}) {
        QTest::addRow("%s, inside, full resolution", kind) << kind << inside << 0;
        QTest::addRow("%s, at the corner, full resolution", kind) << kind << edge << 0;
        QTest::addRow("%s, level 1", kind) << kind << QRect(10, 20, 90, 60) << 1;
        QTest::addRow("%s, whole page at level 2", kind) << kind << QRect(0, 0, 1000, 1000) << 2;
    }
}

void TestLargePage::regionsMatchTheWholePage() {
    QFETCH(QString, kind);
    QFETCH(QRect, rect);
    QFETCH(int, level);
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
    const bool jpeg = kind == u"jpeg";
    if (!jpeg)
        args << QStringLiteral("-compress") << QStringLiteral("lzw") << QStringLiteral("-define")
             << QStringLiteral("tiff:rows-per-strip=16");
    QString path = fixture(QString(kind).replace(u' ', u'-') +
                               (jpeg ? QStringLiteral(".jpg") : QStringLiteral("-src.tif")),
                           args);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert cannot make the page");
    if (kind.endsWith(u"tiles")) {
        const QString tiled =
            m_dir.filePath(QString(kind).replace(u' ', u'-') + QStringLiteral(".tif"));
        if (!QFile::exists(tiled) &&
            !run(QStringLiteral("tiffcp"),
                 {QStringLiteral("-t"), QStringLiteral("-w"), QStringLiteral("64"),
                  QStringLiteral("-l"), QStringLiteral("48"), path, tiled}))
            QSKIP("tiffcp cannot tile the page");
        path = tiled;
    }
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
    const QImage expected = averaged(whole, level).copy(clipped);
    // A JPEG's levels come from its scaled DCT, close to the average but not it.
    const int difference = test::maxDifference(part, expected);
    if (jpeg && level > 0)
        QVERIFY2(difference <= 24, qPrintable(QString::number(difference)));
    else
        QCOMPARE(difference, 0);
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

QTEST_GUILESS_MAIN(TestLargePage)
#include "tst_largepage.moc"
