#include "library/wwp.h"
#include "shell/workfolders.h"

#include "zipfixture.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

QByteArray encoded(const QImage &image, const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// White with a black block over (10..19, 5..24).
QImage sampleImage(QImage::Format format) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 5; y < 25; ++y)
        for (int x = 10; x < 20; ++x)
            image.setPixelColor(x, y, Qt::black);
    return image.convertToFormat(format);
}

} // namespace

class TestWwp : public QObject {
    Q_OBJECT
private slots:
    void init();
    void wrappedStreams_data();
    void wrappedStreams();
    void scratchFilesAreRemoved();
    void failures_data();
    void failures();
    void converterCommand();
    void pageAlreadyInTempIsKept();

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
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("bilevel");
    // The fixture page is black at (0..3, 0..7) and white at (4, 0).
    QTest::newRow("g4 tiff") << fixture::wwpPage(fixture::g4Tiff(120, 80)) << 120 << true;
    QTest::newRow("png, mono") << fixture::wwpPage(encoded(sampleImage(QImage::Format_Mono), "PNG"))
                               << 40 << true;
    QTest::newRow("bmp, colour") << fixture::wwpPage(
                                        encoded(sampleImage(QImage::Format_RGB32), "BMP"))
                                 << 40 << false;
    QTest::newRow("jpeg") << fixture::wwpPage(encoded(sampleImage(QImage::Format_RGB32), "JPEG"))
                          << 40 << false;
    // "BM" in the header is not a bitmap; the real stream comes later.
    QTest::newRow("false signature in header")
        << QByteArray("BM\x01\x02 vendor header") + fixture::wwpPage() << 120 << true;
}

void TestWwp::wrappedStreams() {
    QFETCH(QByteArray, wwp);
    QFETCH(int, width);
    QFETCH(bool, bilevel);
    const QPoint black = width == 120 ? QPoint(1, 1) : QPoint(15, 15);
    const QPoint white = width == 120 ? QPoint(4, 0) : QPoint(2, 2);
    const QString page = m_dir.filePath("pages/p001.wwp");
    QDir().mkpath(m_dir.filePath("pages"));
    fixture::writeAll(page, wwp);
    const QString tiff = m_dir.filePath("pages/p001.tif");
    QFile::remove(tiff);
    const WwpDecoder decoder(*m_folders);
    QVERIFY(decoder.WwpToTiff(page, tiff));
    QImageReader reader(tiff);
    QCOMPARE(reader.format(), QByteArray("tiff"));
    const QImage image = reader.read();
    QCOMPARE(image.width(), width);
    QCOMPARE(image.depth() == 1, bilevel);
    QCOMPARE(image.pixelColor(black), QColor(Qt::black));
    QCOMPARE(image.pixelColor(white), QColor(Qt::white));
}

void TestWwp::scratchFilesAreRemoved() {
    const QString page = m_dir.filePath("scan.WWP");
    fixture::writeAll(page, fixture::wwpPage());
    const QString tiff = m_dir.filePath("out/scan.tif");
    QDir().mkpath(m_dir.filePath("out"));
    QVERIFY(WwpDecoder(*m_folders).WwpToTiff(page, tiff));
    QVERIFY(QFile::exists(tiff));
    QVERIFY(QFile::exists(page));
    QCOMPARE(QDir(m_folders->temp()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestWwp::failures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("tiffExists");
    QTest::newRow("unknown variant") << "p1.wwp" << QByteArray(4096, '\x5a') << false;
    QTest::newRow("signature, broken stream")
        << "p2.wwp" << QByteArray("hdrII*\0\xff\xff\xff\xff", 12) << false;
    QTest::newRow("stream after 64 KiB")
        << "p3.wwp" << QByteArray(70000, '\x01') + fixture::g4Tiff() << false;
    QTest::newRow("name shorter than three characters") << "ab" << fixture::wwpPage() << false;
    QTest::newRow("tiff path taken") << "p4.wwp" << fixture::wwpPage() << true;
    QTest::newRow("missing file") << "" << QByteArray() << false;
}

void TestWwp::failures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, tiffExists);
    const QString page = name.isEmpty() ? m_dir.filePath("missing.wwp") : m_dir.filePath(name);
    if (!name.isEmpty())
        fixture::writeAll(page, bytes);
    const QString tiff = m_dir.filePath("failed.tif");
    QFile::remove(tiff);
    if (tiffExists)
        fixture::writeAll(tiff, "keep me");
    QVERIFY(!WwpDecoder(*m_folders).WwpToTiff(page, tiff));
    QCOMPARE(QFile::exists(tiff), tiffExists);
    if (tiffExists)
        QCOMPARE(fixture::readAll(tiff), QByteArray("keep me"));
    QCOMPARE(QDir(m_folders->temp()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestWwp::converterCommand() {
    const QString page = m_dir.filePath("odd variant.wwp");
    fixture::writeAll(page, QByteArray(2048, '\x33'));
    const QString stand = m_dir.filePath("stand-in.tif");
    fixture::writeAll(stand, fixture::g4Tiff());
    const QString tiff = m_dir.filePath("odd variant.tif");
    WwpDecoder decoder(*m_folders);
    QVERIFY(!decoder.WwpToTiff(page, tiff));
    // Each argument is substituted alone: blanks in the paths need no quoting.
    const QString script = m_dir.filePath("convert.sh");
    fixture::writeAll(
        script, QStringLiteral("#!/bin/sh\n[ -s \"$1\" ] && cp '%1' \"$2\"\n").arg(stand).toUtf8());
    QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    decoder.setConverterCommand(script + " %1 %2");
    QVERIFY(decoder.WwpToTiff(page, tiff));
    QVERIFY(IsReadableTiff(tiff));
    QFile::remove(tiff);
    // A converter that fails, or writes something that is not a TIFF, gives false.
    decoder.setConverterCommand(QStringLiteral("/bin/false %1 %2"));
    QVERIFY(!decoder.WwpToTiff(page, tiff));
    decoder.setConverterCommand(QStringLiteral("/bin/cp %1 %2"));
    QVERIFY(!decoder.WwpToTiff(page, tiff));
    QVERIFY(!QFile::exists(tiff));
    decoder.setConverterCommand(QStringLiteral("/no/such/converter %1 %2"));
    QVERIFY(!decoder.WwpToTiff(page, tiff));
}

void TestWwp::pageAlreadyInTempIsKept() {
    const QString page = m_folders->temp() + "/inside.wwp";
    fixture::writeAll(page, fixture::wwpPage());
    const QString tiff = m_dir.filePath("inside.tif");
    QVERIFY(WwpDecoder(*m_folders).WwpToTiff(page, tiff));
    QVERIFY(QFile::exists(page));
}

QTEST_GUILESS_MAIN(TestWwp)
#include "tst_wwp.moc"
