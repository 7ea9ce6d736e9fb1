#include "platform/textcodec.h"
#include "records/fieldfilter.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen;
using qen::test::writeFile;

namespace {

struct Run {
    int status = -1;
    QByteArray out, err;
};

Run qentool(const QStringList &args, const QString &home,
            const QString &locale = QStringLiteral("C.UTF-8")) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QENINFO_HOME"), home);
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(QStringLiteral("LC_ALL"), locale);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

// The command line prints what the program would show: as text for the terminal, or byte
// for byte with --raw.
class TestFilterCommand : public QObject {
    Q_OBJECT
private slots:
    void sameBytesAsTheTemporaryFile();
    void readableOnTheTerminal_data();
    void readableOnTheTerminal();
};

void TestFilterCommand::sameBytesAsTheTemporaryFile() {
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("r.txt"));
    const QByteArray recordBytes =
        *text::encodeGbk(QStringLiteral("【题　名】甲\n【文　摘】乙\n续\n\n后\n"));
    writeFile(record, recordBytes);

    // Without --options the program's own settings file under the work root is used.
    QDir().mkpath(dir.filePath(QStringLiteral("home/Setting")));
    const QString ini = dir.filePath(QStringLiteral("home/Setting/Output.ini"));
    writeFile(ini, *text::encodeGbk(QStringLiteral("[输出选项]\r\n文　摘=0\r\n")));
    const FilterOutcome outcome = filterRecordFile(record, ini, dir.path());
    QCOMPARE(outcome.status, FilterOutcome::Filtered);
    QFile tmp(outcome.output);
    QVERIFY(tmp.open(QIODevice::ReadOnly));
    Run run = qentool({QStringLiteral("filter"), record, QStringLiteral("--raw")},
                      dir.filePath(QStringLiteral("home")));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, tmp.readAll());

    // A settings error: the message on stderr, the record itself on stdout, status 2.
    const QString bad = dir.filePath(QStringLiteral("bad.ini"));
    writeFile(bad, *text::encodeGbk(QStringLiteral("[输出选项]\r\n题　名=abc\r\n")));
    run = qentool({QStringLiteral("filter"), record, QStringLiteral("--options"), bad,
                   QStringLiteral("--raw")},
                  dir.path());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, recordBytes);
    QVERIFY(QString::fromUtf8(run.err).contains(QStringLiteral("在设置输出选项时出错")));

    // No settings file: the record unfiltered, no error.
    run = qentool({QStringLiteral("filter"), record, QStringLiteral("--options"),
                   dir.filePath(QStringLiteral("none.ini")), QStringLiteral("--raw")},
                  dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, recordBytes);
}

void TestFilterCommand::readableOnTheTerminal_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("withSettings");
    const QString text = QStringLiteral("【题　名】甲\n【文　摘】乙\n【作　者】丙\n");
    QTest::newRow("gbk record, filtered") << *text::encodeGbk(text) << true;
    QTest::newRow("gbk record, no settings") << *text::encodeGbk(text) << false;
    QTest::newRow("utf-8 record, filtered") << text.toUtf8() << true;
}
void TestFilterCommand::readableOnTheTerminal() {
    QFETCH(QByteArray, record);
    QFETCH(bool, withSettings);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.txt"));
    writeFile(path, record);
    const QString ini = dir.filePath(QStringLiteral("Output.ini"));
    if (withSettings)
        writeFile(ini, *text::encodeGbk(QStringLiteral("[输出选项]\r\n文　摘=0\r\n")));
    const QStringList args{QStringLiteral("filter"), path, QStringLiteral("--options"), ini};
    const QString expected = withSettings
                                 ? QStringLiteral("【题　名】甲\r\n【作　者】丙\r\n")
                                 : QStringLiteral("【题　名】甲\n【文　摘】乙\n【作　者】丙\n");
    Run run = qentool(args, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(QString::fromUtf8(run.out), expected);
    // A Chinese legacy terminal gets GBK, when the system has such a locale.
    if (QProcess::execute(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("locale -a | grep -qi '^zh_CN.gbk$'")}) == 0) {
        run = qentool(args, dir.path(), QStringLiteral("zh_CN.GBK"));
        QCOMPARE(run.out, *text::encodeGbk(expected));
    }
}

QTEST_GUILESS_MAIN(TestFilterCommand)
#include "tst_filtercommand.moc"
