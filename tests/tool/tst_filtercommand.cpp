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

Run qentool(const QStringList &args, const QString &home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QENINFO_HOME"), home);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QEN_BINARY_DIR "/src/qentool"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace

// The command line prints what the program would show, byte for byte.
class TestFilterCommand : public QObject {
    Q_OBJECT
private slots:
    void sameBytesAsTheTemporaryFile();
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
    Run run = qentool({QStringLiteral("filter"), record}, dir.filePath(QStringLiteral("home")));
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, tmp.readAll());

    // A settings error: the message on stderr, the record itself on stdout, status 2.
    const QString bad = dir.filePath(QStringLiteral("bad.ini"));
    writeFile(bad, *text::encodeGbk(QStringLiteral("[输出选项]\r\n题　名=abc\r\n")));
    run = qentool({QStringLiteral("filter"), record, QStringLiteral("--options"), bad}, dir.path());
    QCOMPARE(run.status, 2);
    QCOMPARE(run.out, recordBytes);
    QVERIFY(QString::fromUtf8(run.err).contains(QStringLiteral("在设置输出选项时出错")));

    // No settings file: the record unfiltered, no error.
    run = qentool({QStringLiteral("filter"), record, QStringLiteral("--options"),
                   dir.filePath(QStringLiteral("none.ini"))},
                  dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, recordBytes);
}

QTEST_GUILESS_MAIN(TestFilterCommand)
#include "tst_filtercommand.moc"
