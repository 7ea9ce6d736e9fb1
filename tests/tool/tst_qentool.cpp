#include "zipfixture.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int status;
    QString out;
    QString err;
};

Run qentool(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), args);
    p.waitForFinished(30000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

class TestQentool : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void info_data();
    void info();
    void extractWritesPagesAndRefusesABusyFolder();
    void errorsExitWithTwo_data();
    void errorsExitWithTwo();

private:
    QTemporaryDir m_dir;
    QString m_package;
};

void TestQentool::initTestCase() {
    m_package = m_dir.filePath("gbk-comment.qen");
    QVERIFY(fixture::writeZip(m_package,
                              {fixture::file("p10.tif"), fixture::file("p2.tif"),
                               fixture::file(fixture::gbk("第1页.tif")), fixture::file(".hidden")},
                              fixture::gbk("期刊\"全文\"")));
    fixture::writeAll(m_dir.filePath("scan.tif"), fixture::g4Tiff());
    QVERIFY(fixture::writeZip(m_dir.filePath("plain.zip"), {fixture::file("p1.tif")}));
}

void TestQentool::info_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");
    QTest::newRow("package") << QStringList{"info", m_package}
                             << "title: 期刊全文\n1\tp10.tif\n2\tp2.tif\n3\t第1页.tif\n";
    QTest::newRow("json") << QStringList{"info", "--json", m_package}
                          << "{\"title\": \"期刊全文\", \"pages\": [\"p10.tif\", \"p2.tif\", "
                             "\"第1页.tif\"]}\n";
    QTest::newRow("single page") << QStringList{"info", m_dir.filePath("scan.tif")}
                                 << "title: scan\n1\tscan.tif\n";
    // As in the program's tree: an archive without a comment is titled by its file name.
    QTest::newRow("package without a comment")
        << QStringList{"info", m_dir.filePath("plain.zip")} << "title: plain\n1\tp1.tif\n";
}

void TestQentool::info() {
    QFETCH(QStringList, args);
    const Run run = qentool(args);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QTEST(run.out, "expected");
}

void TestQentool::extractWritesPagesAndRefusesABusyFolder() {
    const QString out = m_dir.filePath("out/new");
    QCOMPARE(qentool({"extract", m_package, out}).status, 0);
    QVERIFY(QFileInfo(out + "/第1页.tif").isFile());
    const Run again = qentool({"extract", m_package, out});
    QCOMPARE(again.status, 2);
    QVERIFY(again.err.contains(out));
}

void TestQentool::errorsExitWithTwo_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    const QString slip = m_dir.filePath("zip-slip.qen");
    fixture::writeZip(slip, {fixture::file("../evil.tif")});
    QTest::newRow("zip-slip") << QStringList{"info", slip} << "文件夹之外";
    QTest::newRow("unknown type") << QStringList{"info", m_dir.filePath("a.doc")} << "a.doc";
    QTest::newRow("extract a page")
        << QStringList{"extract", m_dir.filePath("scan.tif"), m_dir.filePath("x")}
        << "not a package";
}

void TestQentool::errorsExitWithTwo() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run run = qentool(args);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestQentool)
#include "tst_qentool.moc"
