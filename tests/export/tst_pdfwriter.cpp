// The PDF writer against files made by other tools: every kind of page rendered back by
// Ghostscript equals the source's pixels, passed-through data is the source's own bytes, and
// bad pages leave no PDF behind and nothing replaced.
#include "articles/imagedocument.h"
#include "articles/tiffcodec.h"
#include "export/pdfwriter.h"
#include "patterntiff.h"
#include "platform/error.h"
#include "testfiles.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;
using test::dataFile;
using test::maxDifference;

namespace {

struct Tool {
    int status = -1;
    QByteArray out;
};

Tool run(const QString &program, const QStringList &args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), p.readAllStandardOutput() + p.readAllStandardError()};
}

bool have(const char *tool) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

// The source as our own readers see it, page by page.
QList<QImage> sourcePages(const QString &path) {
    const QByteArray data = test::readFile(path);
    tiff::Info info;
    if (!tiff::inspect(data, &info))
        return {ImageDocument::readFile(path)};
    QList<QImage> pages;
    for (int i = 0; i < info.pages; ++i) {
        QString error;
        pages << tiff::read(data, &error, i);
    }
    return pages;
}

// qpdf finds nothing wrong with the PDF at `pdf`, and pdfimages lists its first image: the
// columns of its line.
bool checkedFirstImage(const QString &pdf, QList<QByteArray> *cols) {
    const Tool check = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
    if (check.status != 0) {
        qWarning("qpdf --check: %s", check.out.constData());
        return false;
    }
    const Tool list = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    *cols = list.out.split('\n').value(2).simplified().split(' ');
    if (cols->size() <= 10)
        qWarning("pdfimages -list: %s", list.out.constData());
    return cols->size() > 10;
}

} // namespace

class TestPdfWriter : public QObject {
    Q_OBJECT
private slots:
    void everyKindOfPageStaysExact_data();
    void everyKindOfPageStaysExact();
    void badPageWritesNothing_data();
    void badPageWritesNothing();
    void unwritableTargetIsNamed();
    void titleAndPageOrder();
    void aPageTooLargeToHoldGoesInWhole();
    void aLargePageThatStopsReadingWritesNothing();
    void aJpegTooLargeToDecodeGoesInAsItIs_data();
    void aJpegTooLargeToDecodeGoesInAsItIs();

private:
    QTemporaryDir m_dir;
};

void TestPdfWriter::everyKindOfPageStaysExact_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("encoding"); // as pdfimages -list names it
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("sameBytes"); // the stream is the source's compressed data
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("tolerance"); // two JPEG decoders may round differently

    test::row("G4", "tiff-g4.tif", "ccitt", 1, true, 300.0, 0);
    test::row("G4 at 200 dpi (ImageMagick)", "pdf-g4-200dpi.tif", "ccitt", 1, true, 200.0, 0);
    test::row("G4 MinIsBlack", "pdf-g4-minisblack.tif", "ccitt", 1, true, 300.0, 0);
    test::row("G4 fill order 2", "tiff-g4-fillorder2.tif", "ccitt", 1, false, 300.0, 0);
    test::row("G4 in five strips", "pdf-g4-multistrip.tif", "ccitt", 1, false, 300.0, 0);
    test::row("G4, two pages", "tiff-multipage.tif", "ccitt", 1, true, 300.0, 0);
    test::row("G3 1-D with fill bits", "tiff-g3.tif", "ccitt", 1, true, 300.0, 0);
    test::row("G3 2-D", "pdf-g3-2d.tif", "ccitt", 1, true, 300.0, 0);
    test::row("G3 2-D with fill bits", "pdf-g3-2d-fill.tif", "ccitt", 1, false, 300.0, 0);
    test::row("JPEG in TIFF, gray", "tiff-jpeg-gray.tif", "jpeg", 8, false, 300.0, 2);
    test::row("JPEG in TIFF, RGB", "tiff-jpeg-rgb.tif", "jpeg", 8, false, 300.0, 3);
    test::row("JPEG file at 150 dpi", "pdf-gray-150dpi.jpg", "jpeg", 8, true, 150.0, 2);
    test::row("JPEG file, colour", "pdf-colour.jpg", "jpeg", 8, true, 300.0, 3);
    test::row("LZW gray", "tiff-lzw-gray.tif", "image", 8, false, 300.0, 0);
    test::row("LZW bilevel", "tiff-lzw-bilevel.tif", "image", 1, false, 300.0, 0);
    test::row("palette", "tiff-palette-bilevel.tif", "image", 1, false, 300.0, 0);
    test::row("uncompressed, fill order 2", "tiff-fillorder2.tif", "image", 1, false, 300.0, 0);
    test::row("tiled bilevel", "tiff-tiled-bilevel.tif", "image", 1, false, 300.0, 0);
    test::row("GIF", "gif-bilevel.gif", "image", 1, false, 300.0, 0);
    test::row("BMP", "pdf-colour.bmp", "image", 8, false, 300.0, 0);
    test::row("PNG", "pdf-colour.png", "image", 8, false, 300.0, 0);
}

void TestPdfWriter::everyKindOfPageStaysExact() {
    QFETCH(QString, file);
    QFETCH(QString, encoding);
    QFETCH(int, bits);
    QFETCH(bool, sameBytes);
    QFETCH(double, dpi);
    QFETCH(int, tolerance);

    const QString source = dataFile(file);
    const QList<QImage> expected = sourcePages(source);
    const QList<pdf::Image> images = pdf::imagesOf(source);
    QCOMPARE(images.size(), expected.size());
    for (const pdf::Image &image : images) {
        QCOMPARE(image.xDpi, dpi);
        QCOMPARE(image.bitsPerComponent, bits);
    }
    if (sameBytes) {
        const QByteArray bytes = test::readFile(source);
        QList<tiff::StoredPage> stored;
        QString error;
        if (tiff::readStored(bytes, &stored, &error)) {
            for (int i = 0; i < stored.size(); ++i)
                QCOMPARE(images.at(i).data, stored.at(i).strips.first());
        } else {
            QCOMPARE(images.first().data, bytes);
        }
    }
    if (encoding == QLatin1String("jpeg")) {
        // The merged tables and strip make a stream an ordinary JPEG reader takes whole.
        const QImage decoded = QImage::fromData(images.first().data, "JPEG");
        QVERIFY(!decoded.isNull());
        QCOMPARE(maxDifference(decoded.convertToFormat(QImage::Format_RGB32),
                               expected.first().convertToFormat(QImage::Format_RGB32)),
                 0);
    }

    const QString pdfPath = m_dir.filePath(QString(QTest::currentDataTag()) + ".pdf");
    pdf::WritePdf({source}, QStringLiteral("测试"), pdfPath);

    if (have("qpdf")) {
        const Tool check = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdfPath});
        QVERIFY2(check.status == 0, check.out.constData());
    } else {
        qWarning("qpdf is not installed: structure not checked");
    }
    if (have("pdfimages")) {
        const Tool list = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfPath});
        QCOMPARE(list.status, 0);
        const QList<QByteArray> lines = list.out.split('\n');
        int rows = 0;
        for (const QByteArray &line : lines.mid(2)) {
            const QList<QByteArray> cols = line.simplified().split(' ');
            if (cols.size() < 10)
                continue;
            ++rows;
            QCOMPARE(QString::fromLatin1(cols.at(8)), encoding);
            QCOMPARE(cols.at(7).toInt(), bits);
        }
        QCOMPARE(rows, expected.size());
    } else {
        qWarning("pdfimages is not installed: encodings not checked");
    }
    if (!have("gs"))
        QSKIP("Ghostscript is not installed: pages not rendered back");
    QTemporaryDir renders;
    const Tool gs =
        run(QStringLiteral("gs"), {"-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                                   QStringLiteral("-r%1").arg(dpi),
                                   "-sOutputFile=" + renders.filePath("page%d.png"), pdfPath});
    QVERIFY2(gs.status == 0, gs.out.constData());
    for (int i = 0; i < expected.size(); ++i) {
        const QImage rendered(renders.filePath(QStringLiteral("page%1.png").arg(i + 1)));
        QVERIFY(!rendered.isNull());
        const int difference = maxDifference(rendered.convertToFormat(QImage::Format_RGB32),
                                             expected.at(i).convertToFormat(QImage::Format_RGB32));
        QVERIFY2(difference <= tolerance,
                 qPrintable(QStringLiteral("page %1: difference %2").arg(i + 1).arg(difference)));
    }
}

void TestPdfWriter::badPageWritesNothing_data() {
    QTest::addColumn<QString>("file");
    test::row("TIFF cut in half", "truncated-g4.tif");
    test::row("strip runs past the end", "strip-past-end-g4.tif");
    test::row("zero bytes", "zero-bytes.tif");
    test::row("declares 100000x100000", "declares-100000x100000.tif");
    test::row("sides multiplying past 64 bits", "declares-sides-past-64-bits.tif");
    test::row("PNG declaring 100000x100000", "declares-100000x100000.png");
    test::row("JPEG name, text inside", "text-content.jpg");
    test::row("JPEG cut off", "truncated.jpg");
    test::row("GIF cut off", "truncated.gif");
    test::row("missing", "no-such-page.tif");
}

void TestPdfWriter::badPageWritesNothing() {
    QFETCH(QString, file);
    const QString target = m_dir.filePath("kept.pdf");
    test::writeFile(target, "the old PDF");
    const QString error = test::errorOf([&] {
        pdf::WritePdf({dataFile("tiff-g4.tif"), dataFile(file)}, QStringLiteral("t"), target);
    });
    QVERIFY2(error.contains(file), qPrintable(error));
    QCOMPARE(test::readFile(target), QByteArray("the old PDF"));
    QCOMPARE(QDir(m_dir.path()).entryList({"kept.pdf*"}, QDir::Files | QDir::Hidden).size(), 1);
}

void TestPdfWriter::unwritableTargetIsNamed() {
    const QString target = m_dir.filePath("no-such-folder/out.pdf");
    QVERIFY(test::errorOf([&] {
                pdf::WritePdf({dataFile("tiff-g4.tif")}, QString(), target);
            }).contains(target));
    // An empty document is no document.
    QVERIFY_THROWS_EXCEPTION(Error, pdf::WritePdf({}, QString(), m_dir.filePath("empty.pdf")));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("empty.pdf")));
}

void TestPdfWriter::titleAndPageOrder() {
    const QString target = m_dir.filePath("order.pdf");
    const QString title = QStringLiteral("期刊“全文”𠀀");
    pdf::WritePdf({dataFile("pdf-gray-150dpi.jpg"), dataFile("tiff-multipage.tif"),
                   dataFile("pdf-g4-200dpi.tif")},
                  title, target);
    if (!have("pdfinfo"))
        QSKIP("pdfinfo is not installed");
    const Tool info =
        run(QStringLiteral("pdfinfo"), {"-enc", "UTF-8", "-f", "1", "-l", "4", target});
    QCOMPARE(info.status, 0);
    const QString text = QString::fromUtf8(info.out).simplified();
    QVERIFY2(text.contains(QStringLiteral("Title: ") + title), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Pages: 4")));
    // 48x32 at 150 dpi, 37x23 twice at 300 dpi, 37x23 at 200 dpi.
    QVERIFY(text.contains(QStringLiteral("Page 1 size: 23.04 x 15.36 pts")));
    QVERIFY(text.contains(QStringLiteral("Page 3 size: 8.88 x 5.52 pts")));
    QVERIFY(text.contains(QStringLiteral("Page 4 size: 13.32 x 8.28 pts")));
}

void TestPdfWriter::aPageTooLargeToHoldGoesInWhole() {
    // 8200 x 8200 in colour is over the memory a page may take whole (256.5 MiB as RGB32).
    const QString source = m_dir.filePath(QStringLiteral("large-colour.tif"));
    QVERIFY(test::writePatternTiff(source, 8200, 8200, 3));
    const QList<pdf::Image> images = pdf::imagesOf(source);
    QCOMPARE(images.size(), 1);
    QVERIFY(images.first().rows); // read as it is written, never held
    QVERIFY(images.first().data.isEmpty());
    const QString pdfPath = m_dir.filePath(QStringLiteral("large-colour.pdf"));
    pdf::WritePdf({source}, QStringLiteral("大页"), pdfPath);
    if (!have("qpdf") || !have("pdfimages"))
        QSKIP("qpdf or pdfimages (poppler-utils) is not installed: the PDF is not read back");
    QList<QByteArray> cols;
    QVERIFY(checkedFirstImage(pdfPath, &cols));
    QCOMPARE(cols.at(3), "8200");
    QCOMPARE(cols.at(4), "8200");
    QCOMPARE(cols.at(5), "rgb");
    // qpdf inflates the image's stream: every sample is where it was on the page.
    const QString raw = m_dir.filePath(QStringLiteral("large-colour.raw"));
    QProcess qpdf;
    qpdf.setStandardOutputFile(raw);
    qpdf.start(QStringLiteral("qpdf"),
               {QStringLiteral("--show-object=") + QString::fromLatin1(cols.at(10)),
                QStringLiteral("--filtered-stream-data"), pdfPath});
    QVERIFY(qpdf.waitForFinished(120000) && qpdf.exitCode() == 0);
    QFile samples(raw);
    QVERIFY(samples.open(QIODevice::ReadOnly));
    QCOMPARE(samples.size(), 8200ll * 8200 * 3);
    const uchar *at = samples.map(0, samples.size());
    QVERIFY(at);
    bool same = true;
    const auto rowIsThePage = [&](int y) {
        for (int x = 0; x < 8200; ++x)
            for (int c = 0; c < 3; ++c)
                same &= at[(qint64(y) * 8200 + x) * 3 + c] == test::patternAt(x, y, c);
    };
    for (int y = 0; y < 8200; y += 61)
        rowIsThePage(y);
    rowIsThePage(8199);
    QVERIFY(same);
    samples.close();
    QFile::remove(raw);
}

void TestPdfWriter::aLargePageThatStopsReadingWritesNothing() {
    const QString source = m_dir.filePath(QStringLiteral("large-damaged.tif"));
    QVERIFY(test::writePatternTiff(source, 8200, 8200, 3));
    {
        // Garbage over strips in the middle: the page opens, and fails halfway through.
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        file.write(QByteArray(4096, '\xff'));
    }
    const QString pdfPath = m_dir.filePath(QStringLiteral("large-damaged.pdf"));
    test::writeFile(pdfPath, "an earlier PDF");
    QString message;
    try {
        pdf::WritePdf({source}, QStringLiteral("大页"), pdfPath);
    } catch (const Error &e) {
        message = e.description();
    }
    QVERIFY2(message.contains(u"large-damaged.tif"), qPrintable(message));
    QCOMPARE(test::readFile(pdfPath), QByteArray("an earlier PDF"));
}

void TestPdfWriter::aJpegTooLargeToDecodeGoesInAsItIs_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");      // as the frame header then says, 0: as made
    QTest::addColumn<QString>("refused"); // part of the message; empty: it goes in
    // 9500 x 9500 in colour is 258 MiB of samples, over what a page decoded whole may take;
    // the program shows it in parts, and a PDF carries its bytes without decoding them.
    QTest::newRow("9500 x 9500 colour") << 9500 << 0 << QString();
    QTest::newRow("declaring 20001 x 20000 colour") << 20001 << 20000 << u"20001×20000 过大"_qs;
    QTest::newRow("declaring 65535 x 65535") << 65535 << 65535 << u"65535×65535 过大"_qs;
}

void TestPdfWriter::aJpegTooLargeToDecodeGoesInAsItIs() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, refused);
    if (!have("convert"))
        QSKIP("ImageMagick's convert is not installed: no JPEG to try");
    const QString source = m_dir.filePath(QStringLiteral("large-%1.jpg").arg(width));
    const int made = height ? 64 : width;
    QVERIFY(
        run(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("%1x%1").arg(made),
                                        QStringLiteral("xc:#c04020"), QStringLiteral("-quality"),
                                        QStringLiteral("50"), source})
            .status == 0);
    QByteArray bytes = test::readFile(source);
    if (height) {
        // The frame header of a small real JPEG, told it is larger.
        const qsizetype sof = bytes.indexOf("\xFF\xC0");
        QVERIFY(sof > 0);
        bytes[sof + 5] = char(height >> 8);
        bytes[sof + 6] = char(height & 0xFF);
        bytes[sof + 7] = char(width >> 8);
        bytes[sof + 8] = char(width & 0xFF);
        test::writeFile(source, bytes);
    }
    const QString pdfPath = m_dir.filePath(QStringLiteral("large-%1.pdf").arg(width));
    test::writeFile(pdfPath, "an earlier PDF");
    QString message;
    try {
        pdf::WritePdf({source}, QStringLiteral("大页"), pdfPath);
    } catch (const Error &e) {
        message = e.description();
    }
    if (!refused.isEmpty()) {
        QVERIFY2(message.contains(refused) && message.contains(source), qPrintable(message));
        QCOMPARE(test::readFile(pdfPath), QByteArray("an earlier PDF"));
        return;
    }
    QVERIFY2(message.isEmpty(), qPrintable(message));
    if (!have("qpdf") || !have("pdfimages"))
        QSKIP("qpdf or pdfimages (poppler-utils) is not installed: the PDF is not read back");
    QList<QByteArray> cols;
    QVERIFY(checkedFirstImage(pdfPath, &cols));
    QCOMPARE(cols.at(3), QByteArray::number(width));
    QCOMPARE(cols.at(4), QByteArray::number(width));
    QCOMPARE(cols.at(8), "jpeg");
    // pdfimages -j writes the stream as stored: the file's own bytes.
    const QString prefix = m_dir.filePath(QStringLiteral("large-out"));
    QVERIFY(run(QStringLiteral("pdfimages"), {QStringLiteral("-j"), pdfPath, prefix}).status == 0);
    QCOMPARE(test::readFile(prefix + QStringLiteral("-000.jpg")), bytes);
}

QTEST_GUILESS_MAIN(TestPdfWriter)
#include "tst_pdfwriter.moc"
