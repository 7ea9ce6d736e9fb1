#include "articles/wwp.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

// 40 x 30, white with a black block over (10..19, 5..24).
QByteArray encoded(QImage::Format format, const char *type) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 5; y < 25; ++y)
        for (int x = 10; x < 20; ++x)
            image.setPixelColor(x, y, Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(format).save(&buffer, type);
    return bytes;
}

QByteArray wrappedDataFile(const char *name) {
    QFile file(QStringLiteral(QEN_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? fixture::wwpPage(file.readAll()) : QByteArray();
}

} // namespace

class TestWwp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void wrappedStreams_data();
    void wrappedStreams();
    void failures_data();
    void failures();
    void converterCommand();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<WorkFolders> m_folders;
};

void TestWwp::init() {
    m_folders = std::make_unique<WorkFolders>(m_dir.filePath("root"), m_dir.filePath("app"));
    m_folders->ensure(m_folders->temp());
}

void TestWwp::wrappedStreams_data() {
    QTest::addColumn<QByteArray>("wwp");
    QTest::addColumn<QPoint>("black");
    QTest::addColumn<QPoint>("white");
    QTest::addColumn<bool>("bilevel");
    QTest::newRow("g4 tiff") << fixture::wwpPage() << QPoint(1, 1) << QPoint(4, 0) << true;
    QTest::newRow("png, two colours") << fixture::wwpPage(encoded(QImage::Format_Mono, "PNG"))
                                      << QPoint(15, 15) << QPoint(2, 2) << true;
    QTest::newRow("jpeg") << fixture::wwpPage(encoded(QImage::Format_RGB32, "JPEG"))
                          << QPoint(15, 15) << QPoint(2, 2) << false;
    // Made by ImageMagick: a whole GIF passes the cut-off check that a wrapped stream now gets.
    QTest::newRow("gif by ImageMagick")
        << wrappedDataFile("gif-bilevel.gif") << QPoint(0, 0) << QPoint(2, 0) << true;
    // "BM" in the vendor header is no bitmap; the real stream comes later.
    QTest::newRow("false signature in header")
        << QByteArray("BM\x01\x02 vendor header") + fixture::wwpPage() << QPoint(1, 1)
        << QPoint(4, 0) << true;
}

// The page is decoded to the caller's path and no scratch file stays in Temp.
void TestWwp::wrappedStreams() {
    QFETCH(QByteArray, wwp);
    QFETCH(QPoint, black);
    QFETCH(QPoint, white);
    const QString page = m_dir.filePath("scan.WWP");
    fixture::writeAll(page, wwp);
    const QString tiff = m_dir.filePath("scan.tif");
    QFile::remove(tiff);
    QVERIFY(WwpDecoder(*m_folders).WwpToTiff(page, tiff));
    QImageReader reader(tiff);
    QCOMPARE(reader.format(), QByteArray("tiff"));
    const QImage image = reader.read();
    QTEST(image.depth() == 1, "bilevel");
    QCOMPARE(image.pixelColor(black), QColor(Qt::black));
    QCOMPARE(image.pixelColor(white), QColor(Qt::white));
    QVERIFY(QFile::exists(page));
    QCOMPARE(QDir(m_folders->temp()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestWwp::failures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("tiffExists");
    QTest::newRow("unknown variant") << "p1.wwp" << QByteArray(4096, '\x5a') << false;
    QTest::newRow("broken stream")
        << "p2.wwp" << QByteArray("hdrII*\0\xff\xff\xff\xff", 12) << false;
    QTest::newRow("stream after 64 KiB")
        << "p3.wwp" << QByteArray(70000, '\x01') + fixture::g4Tiff() << false;
    // A wrapped stream gets the checks of a page file: a cut-off GIF must not become a page
    // with its lower part missing, and sizes declared past the bytes are not allocated.
    QTest::newRow("wrapped gif cut off") << "p5.wwp" << wrappedDataFile("truncated.gif") << false;
    QTest::newRow("wrapped png declaring 100000 x 100000")
        << "p6.wwp" << wrappedDataFile("declares-100000x100000.png") << false;
    QTest::newRow("wrapped png with a chunk past its end")
        << "p7.wwp" << wrappedDataFile("png-text-chunk-declares-256mb.png") << false;
    QTest::newRow("name shorter than three characters") << "ab" << fixture::wwpPage() << false;
    QTest::newRow("tiff path taken") << "p4.wwp" << fixture::wwpPage() << true;
    QTest::newRow("missing file") << "" << QByteArray() << false;
}

void TestWwp::failures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, tiffExists);
    const QString page = m_dir.filePath(name.isEmpty() ? "missing.wwp" : name);
    if (!name.isEmpty())
        fixture::writeAll(page, bytes);
    const QString tiff = m_dir.filePath("failed.tif");
    QFile::remove(tiff);
    if (tiffExists)
        fixture::writeAll(tiff, "keep me");
    QVERIFY(!WwpDecoder(*m_folders).WwpToTiff(page, tiff));
    QCOMPARE(fixture::readAll(tiff), QByteArray(tiffExists ? "keep me" : ""));
    QCOMPARE(QDir(m_folders->temp()).entryList(QDir::Files | QDir::Hidden), QStringList());
    // A page that already lies in Temp is decoded where it is and kept.
    const QString inTemp = m_folders->temp() + "/inside.wwp";
    fixture::writeAll(inTemp, fixture::wwpPage());
    QVERIFY(WwpDecoder(*m_folders).WwpToTiff(inTemp, m_dir.filePath("inside.tif")));
    QVERIFY(QFile::remove(inTemp) && QFile::remove(m_dir.filePath("inside.tif")));
}

void TestWwp::converterCommand() {
    const QString page = m_dir.filePath("odd variant.wwp");
    fixture::writeAll(page, QByteArray(2048, '\x33'));
    const QString stand = m_dir.filePath("stand-in.tif");
    fixture::writeAll(stand, fixture::g4Tiff());
    const QString tiff = m_dir.filePath("odd variant.tif");
    // Each argument is substituted alone: blanks in the paths need no quoting.
    const QString script = m_dir.filePath("convert.sh");
    fixture::writeAll(script,
                      QString("#!/bin/sh\n[ -s \"$1\" ] && cp '%1' \"$2\"\n").arg(stand).toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);
    WwpDecoder decoder(*m_folders);
    decoder.setConverterCommand(script + " %1 %2");
    QVERIFY(decoder.WwpToTiff(page, tiff));
    QVERIFY(IsReadableTiff(tiff));
    QFile::remove(tiff);
    // Failing, writing something that is no TIFF, or not starting at all: false, no output.
    for (const char *command : {"/bin/false %1 %2", "/bin/cp %1 %2", "/no/such/tool %1 %2"}) {
        decoder.setConverterCommand(QString::fromLatin1(command));
        QVERIFY(!decoder.WwpToTiff(page, tiff));
        QVERIFY(!QFile::exists(tiff));
    }
}

QTEST_GUILESS_MAIN(TestWwp)
#include "tst_wwp.moc"
