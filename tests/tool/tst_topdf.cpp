// qentool topdf as a script sees it: exit status, pages in each package's page order, the
// package's title, and no output file when anything fails.
#include "../library/zipfixture.h"
#include "pdfpages.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
}

void TestToPdf::writes_data() {
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QList<int>>("pageWidths");
    QTest::newRow("package: WWP decoded, record left out")
        << QStringList{"article.qen"} << QList<int>{41, 42};
    QTest::newRow("pages and a package, in the order given")
        << QStringList{"scan.tif", "article.qen", "scan.tif"} << QList<int>{50, 41, 42, 50};
}

void TestToPdf::writes() {
    QFETCH(QStringList, inputs);
    QFETCH(QList<int>, pageWidths);
    QStringList args{m_dir.filePath("out.pdf")};
    for (const QString &i : inputs)
        args << m_dir.filePath(i);
    const Run run = topdf(args);
    QCOMPARE(run.status, 0);
    QCOMPARE(qen::test::pdfImageWidths(m_dir.filePath("out.pdf")), pageWidths);
    // The package's title, in UTF-16 with its byte-order mark.
    QVERIFY(fixture::readAll(m_dir.filePath("out.pdf")).contains("/Title <FEFF671F520A51686587>"));
}

void TestToPdf::failsWithoutOutput_data() {
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("message");
    QTest::newRow("a cut-off page") << QStringList{"scan.tif", "cut.tif"} << "cut.tif";
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
