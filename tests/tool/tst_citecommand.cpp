// qentool cite: the formats as UTF-8 on standard output, messages on standard error, exit 2 on
// an error.
#include "records/citationformats.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen::records;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QString err;
};

Run qentool(const QStringList &args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

const QString Journals = QStringLiteral(QEN_TEST_DATA "/record-journals.txt");
const QString Gbk = QStringLiteral(QEN_TEST_DATA "/record-gbk-two-entries.txt");
const QString Rtf = QStringLiteral(QEN_TEST_DATA "/record-rtf-escaped-markers.rtf");

} // namespace

class TestCiteCommand : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void defaultIsNumberedGbt();
    void errors_data();
    void errors();
    void partialFailureKeepsTheRest();
    void warningsAreNoError();
};

void TestCiteCommand::formats_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("format");
    QTest::newRow("ris") << QStringList{"--format", "ris"} << int(CitationFormat::Ris);
    QTest::newRow("bibtex") << QStringList{"--format", "bibtex"} << int(CitationFormat::Bibtex);
    QTest::newRow("csljson") << QStringList{"--format=csljson"} << int(CitationFormat::CslJson);
    QTest::newRow("enw") << QStringList{"--format", "enw"} << int(CitationFormat::EndNote);
    QTest::newRow("gbt7714") << QStringList{"--format", "gbt7714"} << int(CitationFormat::Gbt7714);
}

void TestCiteCommand::formats() {
    QFETCH(QStringList, options);
    QFETCH(int, format);
    const QStringList files{Journals, Gbk, Rtf};
    const Run run = qentool(QStringList{"cite"} + options + files);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QVERIFY(!run.out.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(run.out, formatCitations(readCitations(files).citations, CitationFormat(format)));
}

void TestCiteCommand::defaultIsNumberedGbt() {
    const Run run = qentool({"cite", Gbk, Rtf});
    QCOMPARE(run.status, 0);
    QCOMPARE(QString::fromUtf8(run.out),
             QStringLiteral("[1] 王晓明, 李静. 信息检索研究[J]. 情报学报, 2004(3): 45-50.\n"
                            "[2] 陈国华. 数字图书馆[J]. 图书情报工作, 2004, 48(3).\n"
                            "[3] 王晓明, 李静. 信息检索研究[J]. 情报学报, 2004(3).\n"));
}

void TestCiteCommand::errors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no record") << QStringList{"cite"} << "usage: qentool cite";
    QTest::newRow("no format name") << QStringList{"cite", Gbk, "--format"} << "--format needs";
    QTest::newRow("unknown format")
        << QStringList{"cite", "--format", "pdf", Gbk} << "unknown format 'pdf'";
    QTest::newRow("unknown option") << QStringList{"cite", "--all", Gbk} << "unknown option";
    QTest::newRow("missing file") << QStringList{"cite", "/nonexistent/r.txt"}
                                  << "/nonexistent/r.txt";
    QTest::newRow("not a record") << QStringList{"cite",
                                                 QStringLiteral(QEN_TEST_DATA "/tiff-g4.tif")}
                                  << "tiff-g4.tif";
}

void TestCiteCommand::errors() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const Run run = qentool(args);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, QByteArray());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

void TestCiteCommand::partialFailureKeepsTheRest() {
    const Run run = qentool({"cite", "--format", "ris", "/nonexistent/r.txt", Gbk});
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.contains("/nonexistent/r.txt"));
    QCOMPARE(run.out.count("ER  - \r\n"), 2);
}

void TestCiteCommand::warningsAreNoError() {
    QTemporaryDir dir;
    const QString path = dir.filePath("r.txt");
    qen::test::writeFile(path, "【作　者】王晓明\r\n");
    const Run run = qentool({"cite", path});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("[1] 王晓明. [J].\n"));
    QVERIFY2(run.err.contains("没有题名"), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestCiteCommand)
#include "tst_citecommand.moc"
