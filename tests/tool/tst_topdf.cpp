// qentool topdf as a script sees it: exit status, pages in each package's page order, the
// package's title, and no output file when anything fails.
#include "articles/tiffcodec.h"
#include "pdfpages.h"
#include "zipfixture.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

namespace {

struct Run {
    int status;
    QString err;
};

Run topdf(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), QStringList{"topdf"} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
}

// Image widths as poppler's pdfimages lists them, or nothing when it is not installed: the
// file read back by another program than ours.
std::optional<QList<int>> popplerWidths(const QString &pdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    p.waitForFinished(60000);
    QList<int> widths;
    // "page num type width height ...", after two heading lines.
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    for (const QString &line : lines.mid(2)) {
        const QStringList cells = line.simplified().split(u' ');
        if (cells.size() > 3)
            widths << cells.at(3).toInt();
    }
    return widths;
}

} // namespace

class TestToPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writes_data();
    void writes();
    void failsWithoutOutput_data();
    void failsWithoutOutput();

private:
    QTemporaryDir m_dir;
};

void TestToPdf::initTestCase() {
    using fixture::file;
    using fixture::g4Tiff;
    QVERIFY(fixture::writeZip(m_dir.filePath("article.qen"),
                              {file("p2.tif", g4Tiff(42, 30)),
                               file("p1.wwp", fixture::wwpPage(g4Tiff(41, 30))),
                               file("r.txt", fixture::gbk("【题名】x"))},
                              fixture::gbk("期刊全文")));
    fixture::writeAll(m_dir.filePath("scan.tif"), g4Tiff(50, 30));
    fixture::writeAll(m_dir.filePath("cut.tif"), g4Tiff(51, 30).left(80));
    QImage gray(33, 20, QImage::Format_Grayscale8);
    gray.fill(128);
    QString error;
    fixture::writeAll(m_dir.filePath("gray.tif"), qen::tiff::write(gray, &error)); // LZW
}

void TestToPdf::writes_data() {
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QList<int>>("pageWidths");
    QTest::addColumn<int>("leftOut"); // times stderr says a file was left out
    // Stored pages only are written without loading an image decoder; anything to decode
    // hands the job to the full tool, which must not repeat what the quick run said.
    QTest::newRow("package: WWP decoded, record left out")
        << QStringList{"article.qen"} << QList<int>{41, 42} << 1;
    QTest::newRow("pages and a package, in the order given")
        << QStringList{"scan.tif", "article.qen", "scan.tif"} << QList<int>{50, 41, 42, 50} << 1;
    QTest::newRow("stored pages only")
        << QStringList{"scan.tif", "scan.tif"} << QList<int>{50, 50} << 0;
    QTest::newRow("a page to decode after stored ones")
        << QStringList{"scan.tif", "gray.tif"} << QList<int>{50, 33} << 0;
}

void TestToPdf::writes() {
    QFETCH(QStringList, inputs);
    QFETCH(QList<int>, pageWidths);
    QFETCH(int, leftOut);
    QFile::remove(m_dir.filePath("out.pdf"));
    QStringList args{m_dir.filePath("out.pdf")};
    for (const QString &i : inputs)
        args << m_dir.filePath(i);
    const Run run = topdf(args);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(qen::test::pdfImageWidths(m_dir.filePath("out.pdf")), pageWidths);
    if (const auto widths = popplerWidths(m_dir.filePath("out.pdf")))
        QCOMPARE(*widths, pageWidths);
    QCOMPARE(run.err.count(u"left out"_qs), leftOut);
    // The package's title, in UTF-16 with its byte-order mark.
    if (inputs.contains(u"article.qen"_qs))
        QVERIFY(
            fixture::readAll(m_dir.filePath("out.pdf")).contains("/Title <FEFF671F520A51686587>"));
}

void TestToPdf::failsWithoutOutput_data() {
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("message");
    QTest::newRow("a cut-off page") << QStringList{"scan.tif", "cut.tif"} << "cut.tif";
    // The page after it is being read ahead when the failure comes back.
    QTest::newRow("a cut-off page between good ones")
        << QStringList{"scan.tif", "cut.tif", "scan.tif", "scan.tif"} << "cut.tif";
    QTest::newRow("a missing page") << QStringList{"missing.tif"} << "missing.tif";
    QTest::newRow("records only") << QStringList{"r.txt"} << "r.txt";
    QTest::newRow("no input") << QStringList{} << "usage";
}

void TestToPdf::failsWithoutOutput() {
    QFETCH(QStringList, inputs);
    QFETCH(QString, message);
    QFile::remove(m_dir.filePath("failed.pdf"));
    fixture::writeAll(m_dir.filePath("r.txt"), fixture::gbk("【题名】x"));
    QStringList args{m_dir.filePath("failed.pdf")};
    for (const QString &i : inputs)
        args << m_dir.filePath(i);
    const Run run = topdf(args);
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(!QFileInfo::exists(m_dir.filePath("failed.pdf")));
}

QTEST_GUILESS_MAIN(TestToPdf)
#include "tst_topdf.moc"
