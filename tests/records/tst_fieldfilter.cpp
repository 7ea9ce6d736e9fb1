#include "platform/error.h"
#include "platform/profilestring.h"
#include "platform/textcodec.h"
#include "records/fieldfilter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen;
using qen::test::gbk;
using qen::test::writeFile;

namespace {

QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Options given as "name=value" lines under the options section.
QByteArray optionsFile(const QStringList &lines) {
    return gbk(QStringLiteral("[输出选项]\r\n") + lines.join(QStringLiteral("\r\n")) +
               QStringLiteral("\r\n"));
}

const QString Record = QStringLiteral("前言行\n"
                                      "【题　名】测试题名\n"
                                      "【文　摘】摘要第一行\n"
                                      "摘要续行\n"
                                      "\n"
                                      "空行之后\n"
                                      "【作　者】张三\n"
                                      "【关键词】检索");

} // namespace

class TestFieldFilter : public QObject {
    Q_OBJECT
private slots:
    void getFieldName_data();
    void getFieldName();
    void filter_data();
    void filter();
    void encodingsKept();
    void strayByteBeforeMarker_data();
    void strayByteBeforeMarker();
    void fileLevel();
    void settingsErrorLeavesNoTemporaryFile();
};

void TestFieldFilter::getFieldName_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("malformed");
    QTest::newRow("marker") << QStringLiteral("【题　名】x") << QStringLiteral("题　名") << false;
    QTest::newRow("ascii spaces kept")
        << QStringLiteral("【C N 号】1") << QStringLiteral("C N 号") << false;
    QTest::newRow("not at start") << QStringLiteral("ab【刊　名】") << QStringLiteral("刊　名")
                                  << false;
    QTest::newRow("empty pair") << QStringLiteral("【】x") << QString() << false;
    QTest::newRow("open only") << QStringLiteral("【题名") << QString() << false;
    QTest::newRow("no marker") << QStringLiteral("plain") << QString() << false;
    QTest::newRow("close first") << QStringLiteral("】x【y】") << QString() << true;
}

void TestFieldFilter::getFieldName() {
    QFETCH(QString, line);
    QFETCH(QString, name);
    QFETCH(bool, malformed);
    if (malformed) {
        QVERIFY_THROWS_EXCEPTION(Error, GetFieldName(line));
        return;
    }
    QCOMPARE(GetFieldName(line), name);
}

void TestFieldFilter::filter_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected"); // "" with error = true: a settings error
    QTest::addColumn<bool>("error");

    const QString all =
        QStringLiteral("前言行\r\n【题　名】测试题名\r\n【文　摘】摘要第一行\r\n"
                       "摘要续行\r\n\r\n空行之后\r\n【作　者】张三\r\n【关键词】检索\r\n");
    QTest::newRow("no options set: all kept, CR LF added to the last line")
        << Record << QStringList() << all << false;
    QTest::newRow("abstract off: continuation goes, the empty line and after it stay")
        << Record << QStringList{QStringLiteral("文　摘=0")}
        << QStringLiteral("前言行\r\n【题　名】测试题名\r\n\r\n空行之后\r\n【作　者】张三\r\n"
                          "【关键词】检索\r\n")
        << false;
    QTest::newRow("last line off") << Record << QStringList{QStringLiteral("关键词=0")}
                                   << all.left(all.indexOf(QStringLiteral("【关键词】"))) << false;
    QTest::newRow("2 and -1 show, spaces and case in key")
        << Record << QStringList{QStringLiteral(" 文　摘 = 2"), QStringLiteral("作　者=-1")} << all
        << false;
    QTest::newRow("true/false words")
        << Record << QStringList{QStringLiteral("文　摘=TRUE"), QStringLiteral("作　者=false")}
        << all.left(all.indexOf(QStringLiteral("【作　者】"))) +
               QStringLiteral("【关键词】检索\r\n")
        << false;
    QTest::newRow("abc is a settings error")
        << Record << QStringList{QStringLiteral("作　者=abc")} << QString() << true;
    QTest::newRow("empty value is a settings error")
        << Record << QStringList{QStringLiteral("题　名=")} << QString() << true;
    QTest::newRow("error for a key the record does not use is no error")
        << Record << QStringList{QStringLiteral("正　文=abc")} << all << false;
    QTest::newRow("marker with close before open is an error")
        << QStringLiteral("a\n】x【y】") << QStringList() << QString() << true;
    QTest::newRow("no markers: copied whole, empty lines included")
        << QStringLiteral("a\r\n\r\nb\rc\n") << QStringList{QStringLiteral("文　摘=0")}
        << QStringLiteral("a\r\n\r\nb\r\nc\r\n") << false;
    QTest::newRow("empty pair does not end a hidden field")
        << QStringLiteral("【文　摘】x\n【】y\nz") << QStringList{QStringLiteral("文　摘=0")}
        << QString() << false;
    QTest::newRow("RTF-escaped markers are no markers")
        << QStringLiteral("{\\rtf1 \\'a1\\'be\\'ce\\'c4\\'a1\\'bf\n}")
        << QStringList{QStringLiteral("文　摘=0")}
        << QStringLiteral("{\\rtf1 \\'a1\\'be\\'ce\\'c4\\'a1\\'bf\r\n}\r\n") << false;
    QTest::newRow("all off: lines before the first marker stay")
        << Record
        << QStringList{QStringLiteral("题　名=0"), QStringLiteral("文　摘=0"),
                       QStringLiteral("作　者=0"), QStringLiteral("关键词=0")}
        << QStringLiteral("前言行\r\n\r\n空行之后\r\n") << false;
}

void TestFieldFilter::filter() {
    QFETCH(QString, record);
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    QFETCH(bool, error);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Output.ini"));
    writeFile(ini, optionsFile(options));
    const ProfileSection section = ProfileFile::read(ini).section(outputOptionsSection());
    if (error) {
        QVERIFY_THROWS_EXCEPTION(Error, filterRecordBytes(gbk(record), section));
        return;
    }
    QCOMPARE(text::decodeGbk(filterRecordBytes(gbk(record), section)), expected);
}

void TestFieldFilter::encodingsKept() {
    const ProfileSection none;
    // Bytes that are not GBK pass through untouched rather than becoming replacement marks.
    const QByteArray broken = "\x80\xff\x80" + gbk(QStringLiteral("【文　摘】")) + "\x81\n";
    QCOMPARE(filterRecordBytes(broken, none), QByteArray(broken).replace("\n", "\r\n"));
    // A UTF-8 record stays UTF-8 and gains a byte-order mark, with or without one before.
    const QByteArray utf8 = QStringLiteral("【题　名】한국어\n").toUtf8();
    QCOMPARE(filterRecordBytes(utf8, none), "\xEF\xBB\xBF" + utf8.chopped(1) + "\r\n");
    QCOMPARE(filterRecordBytes("\xEF\xBB\xBF" + utf8, none),
             "\xEF\xBB\xBF" + utf8.chopped(1) + "\r\n");
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("o.ini"));
    writeFile(ini, optionsFile({QStringLiteral("题　名=0")}));
    QCOMPARE(
        filterRecordBytes(utf8 + "next\n", ProfileFile::read(ini).section(outputOptionsSection())),
        QByteArray("\xEF\xBB\xBF"));
}

void TestFieldFilter::strayByteBeforeMarker_data() {
    QTest::addColumn<QByteArray>("stray");
    // Neither byte can begin a GBK character, so the marker right after it still counts.
    QTest::newRow("0xFF") << QByteArray("\xFF");
    QTest::newRow("0x80") << QByteArray("\x80");
}
void TestFieldFilter::strayByteBeforeMarker() {
    QFETCH(QByteArray, stray);
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("o.ini"));
    writeFile(ini, optionsFile({QStringLiteral("作者=0")}));
    const QByteArray title = gbk(QStringLiteral("【题名】测试\r\n"));
    QCOMPARE(filterRecordBytes(title + stray + gbk(QStringLiteral("【作者】张三")),
                               ProfileFile::read(ini).section(outputOptionsSection())),
             title);
}

void TestFieldFilter::fileLevel() {
    QTemporaryDir dir;
    const QString temp = dir.filePath(QStringLiteral("Temp"));
    QDir().mkpath(temp);
    const QString ini = dir.filePath(QStringLiteral("Output.ini"));
    const QString record = dir.filePath(QStringLiteral("x.y.txt"));
    writeFile(record, gbk(Record));

    // No settings file: nothing is filtered and no temporary file appears.
    FilterOutcome outcome = filterRecordFile(record, ini, temp);
    QCOMPARE(outcome.status, FilterOutcome::Unfiltered);
    QVERIFY(!QFile::exists(temp + QStringLiteral("/x.y.tmp")));

    writeFile(ini, optionsFile({QStringLiteral("文　摘=0")}));
    // A stale, read-only temporary file of the same name is replaced.
    writeFile(temp + QStringLiteral("/x.y.tmp"), "stale");
    QFile::setPermissions(temp + QStringLiteral("/x.y.tmp"), QFileDevice::ReadOwner);
    outcome = filterRecordFile(record, ini, temp);
    QCOMPARE(outcome.status, FilterOutcome::Filtered);
    QCOMPARE(outcome.output, temp + QStringLiteral("/x.y.tmp"));
    QVERIFY(!readFile(outcome.output).contains(gbk(QStringLiteral("摘要续行"))));

    // WP records are never filtered; a name without a dot keeps its whole name.
    const QString wp = dir.filePath(QStringLiteral("r.wp"));
    writeFile(wp, gbk(Record));
    QCOMPARE(filterRecordFile(wp, ini, temp).status, FilterOutcome::Unfiltered);
    QCOMPARE(temporaryRecordPath(QStringLiteral("/d/noext"), temp), temp + "/noext.tmp");
    QCOMPARE(filterRecordFile(QString(), ini, temp).status, FilterOutcome::Unfiltered);

    // A record that cannot be read takes the settings-error path.
    outcome = filterRecordFile(dir.filePath(QStringLiteral("gone.txt")), ini, temp);
    QCOMPARE(outcome.status, FilterOutcome::SettingsError);
    QVERIFY(outcome.problem.contains(QStringLiteral("gone.txt")));
}

void TestFieldFilter::settingsErrorLeavesNoTemporaryFile() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Output.ini"));
    const QString record = dir.filePath(QStringLiteral("r.txt"));
    writeFile(ini, optionsFile({QStringLiteral("作　者=abc")}));
    writeFile(record, gbk(Record));
    writeFile(dir.filePath(QStringLiteral("r.tmp")), "old");
    const FilterOutcome outcome = filterRecordFile(record, ini, dir.path());
    QCOMPARE(outcome.status, FilterOutcome::SettingsError);
    QVERIFY(outcome.problem.contains(QStringLiteral("abc")));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("r.tmp"))));
}

QTEST_GUILESS_MAIN(TestFieldFilter)
#include "tst_fieldfilter.moc"
