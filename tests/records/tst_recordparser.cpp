// The record parser and the mapping, as data tables. Record texts are given as text here;
// the encodings are checked on files in tests/data made by Python (see its README), never by
// our own encoder.
#include "platform/error.h"
#include "records/citation.h"
#include "records/recordparser.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen;
using namespace qen::records;

namespace {

QString dataFile(const char *name) {
    return QStringLiteral(QEN_TEST_DATA "/") + QString::fromUtf8(name);
}

// "题名=甲|作者=乙" per entry.
QStringList shape(const ParsedRecord &parsed) {
    QStringList out;
    for (const Entry &e : parsed.entries) {
        QStringList fields;
        for (const Field &f : e.fields)
            fields << f.name + QLatin1Char('=') + f.value;
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

QString nameText(const Name &n) {
    return n.isLiteral() ? QStringLiteral("literal:") + n.literal
                         : QStringLiteral("family:%1 given:%2").arg(n.family, n.given);
}

} // namespace

class TestRecordParser : public QObject {
    Q_OBJECT
private slots:
    void fieldNames_data();
    void fieldNames();
    void entries_data();
    void entries();
    void lists_data();
    void lists();
    void names_data();
    void names();
    void sources_data();
    void sources();
    void language_data();
    void language();
    void keys_data();
    void keys();
    void encodings_data();
    void encodings();
    void rtfEscapedMarkers();
    void undecodableGbk();
    void malformedMarker();
    void noFieldIsAnError_data();
    void noFieldIsAnError();
    void largeInput();
};

void TestRecordParser::fieldNames_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("normalised");
    QTest::newRow("ideographic space") << QStringLiteral("题　名") << QStringLiteral("题名");
    QTest::newRow("full-width letters") << QStringLiteral("ＣＮ号") << QStringLiteral("CN号");
    QTest::newRow("ascii spaces") << QStringLiteral("C N 号") << QStringLiteral("CN号");
    QTest::newRow("tab and blanks") << QStringLiteral(" 文\t摘 ") << QStringLiteral("文摘");
    QTest::newRow("full-width digits and letters")
        << QStringLiteral("ＩＳＳＮ号") << QStringLiteral("ISSN号");
}

void TestRecordParser::fieldNames() {
    QFETCH(QString, raw);
    QTEST(normaliseFieldName(raw), "normalised");
}

void TestRecordParser::entries_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one entry") << QStringLiteral("【题　名】甲\n【作　者】乙\n")
                               << QStringList{"题名=甲|作者=乙"};
    QTest::newRow("a repeated field starts the next entry")
        << QStringLiteral("【题　名】甲\n【作　者】乙\n【题　名】丙\n【作　者】丁")
        << QStringList{"题名=甲|作者=乙", "题名=丙|作者=丁"};
    QTest::newRow("the same name written two ways is the same field")
        << QStringLiteral("【ＣＮ号】1\n【C N 号】2\n【CN号】3")
        << QStringList{"CN号=1", "CN号=2", "CN号=3"};
    QTest::newRow("any field may start an entry, not only the title")
        << QStringLiteral("【光盘号】1\n【题　名】甲\n【光盘号】2\n【题　名】乙")
        << QStringList{"光盘号=1|题名=甲", "光盘号=2|题名=乙"};
    QTest::newRow("empty lines between entries")
        << QStringLiteral("\r\n【题　名】甲\r\n\r\n\r\n【题　名】乙\r\n\r\n")
        << QStringList{"题名=甲", "题名=乙"};
    QTest::newRow("continuation lines belong to their field")
        << QStringLiteral("【文　摘】第一行\n第二行\n  第三行  \n【作　者】乙")
        << QStringList{"文摘=第一行\n第二行\n第三行|作者=乙"};
    QTest::newRow("a field starting on the next line")
        << QStringLiteral("【文　摘】\n正文在下一行\n") << QStringList{"文摘=正文在下一行"};
    QTest::newRow("an empty line ends a continuation, as in the filter")
        << QStringLiteral("前言行\n【文　摘】甲\n续\n\n空行之后\n【作　者】乙")
        << QStringList{"文摘=甲\n续|作者=乙"};
    QTest::newRow("CR, CR LF and LF line ends")
        << QStringLiteral("【文　摘】甲\r续一\r\n续二\n【作　者】乙")
        << QStringList{"文摘=甲\n续一\n续二|作者=乙"};
    QTest::newRow("a bracket inside text is no field")
        << QStringLiteral("【文　摘】见下文\n引用【注】说明\n")
        << QStringList{"文摘=见下文\n引用【注】说明"};
    QTest::newRow("an empty marker is text")
        << QStringLiteral("【文　摘】甲\n【】乙") << QStringList{"文摘=甲\n【】乙"};
    QTest::newRow("a marker indented by an ideographic space")
        << QStringLiteral("　【题　名】甲") << QStringList{"题名=甲"};
    QTest::newRow("value trimmed, empty field kept")
        << QStringLiteral("【题　名】  甲  \n【作　者】") << QStringList{"题名=甲|作者="};
    QTest::newRow("no field at all") << QStringLiteral("just text\n\nmore") << QStringList{};
}

void TestRecordParser::entries() {
    QFETCH(QString, text);
    QTEST(shape(parseRecordText(text)), "expected");
}

void TestRecordParser::lists_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("full-width semicolon")
        << QStringLiteral("王晓明；李静；陈国华") << QStringList{"王晓明", "李静", "陈国华"};
    QTest::newRow("enumeration comma")
        << QStringLiteral("欧阳修、司马光") << QStringList{"欧阳修", "司马光"};
    QTest::newRow("full-width comma")
        << QStringLiteral("本体，信息检索") << QStringList{"本体", "信息检索"};
    QTest::newRow("ascii semicolon and blanks")
        << QStringLiteral(" 王晓明 ; 李静; ") << QStringList{"王晓明", "李静"};
    QTest::newRow("ascii comma before a CJK character splits")
        << QStringLiteral("张三, 李四,王五") << QStringList{"张三", "李四", "王五"};
    QTest::newRow("Latin name with a comma stays one")
        << QStringLiteral("Smith, John") << QStringList{"Smith, John"};
    QTest::newRow("Latin names with commas, apart by semicolons")
        << QStringLiteral("Smith, John; Brown, Alice")
        << QStringList{"Smith, John", "Brown, Alice"};
    QTest::newRow("Latin name never split on its spaces")
        << QStringLiteral("John Robert Smith") << QStringList{"John Robert Smith"};
    QTest::newRow("single author") << QStringLiteral("王晓明") << QStringList{"王晓明"};
    QTest::newRow("single author with a trailing separator")
        << QStringLiteral("王晓明；") << QStringList{"王晓明"};
    QTest::newRow("Chinese names apart by a blank")
        << QStringLiteral("王晓明 李静") << QStringList{"王晓明", "李静"};
    QTest::newRow("two-character name padded to three stays one")
        << QStringLiteral("王　静；李晓明") << QStringList{"王静", "李晓明"};
    QTest::newRow("keywords over a line break")
        << QStringLiteral("本体；信息\n检索") << QStringList{"本体", "信息检索"};
    QTest::newRow("Latin keywords keep their spaces")
        << QStringLiteral("information retrieval; digital library")
        << QStringList{"information retrieval", "digital library"};
    QTest::newRow("initial's point kept")
        << QStringLiteral("Smith J.；Brown A.") << QStringList{"Smith J.", "Brown A."};
    QTest::newRow("empty") << QString() << QStringList{};
}

void TestRecordParser::lists() {
    QFETCH(QString, field);
    QTEST(splitList(field), "expected");
}

void TestRecordParser::names_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Chinese name is one literal name")
        << QStringLiteral("王晓明") << QStringLiteral("literal:王晓明");
    QTest::newRow("compound surname is not guessed")
        << QStringLiteral("欧阳修") << QStringLiteral("literal:欧阳修");
    QTest::newRow("name with a middle dot")
        << QStringLiteral("阿沛·阿旺晋美") << QStringLiteral("literal:阿沛·阿旺晋美");
    QTest::newRow("Family, Given")
        << QStringLiteral("Smith, John Robert") << QStringLiteral("family:Smith given:John Robert");
    QTest::newRow("Given Family") << QStringLiteral("John Smith")
                                  << QStringLiteral("family:Smith given:John");
    QTest::newRow("Family and initials")
        << QStringLiteral("Smith J R") << QStringLiteral("family:Smith given:J R");
    QTest::newRow("Family and joined initials")
        << QStringLiteral("Smith JR") << QStringLiteral("family:Smith given:JR");
    QTest::newRow("FAMILY Given") << QStringLiteral("SMITH John")
                                  << QStringLiteral("family:SMITH given:John");
    QTest::newRow("particle") << QStringLiteral("Ludwig van Beethoven")
                              << QStringLiteral("family:van Beethoven given:Ludwig");
    QTest::newRow("one word") << QStringLiteral("Plato") << QStringLiteral("family:Plato given:");
}

void TestRecordParser::names() {
    QFETCH(QString, name);
    QTEST(nameText(parseName(name)), "expected");
}

void TestRecordParser::sources_data() {
    QTest::addColumn<QString>("source");
    // container|year|volume|issue|pages, and month-day for dates
    QTest::addColumn<QString>("expected");
    QTest::newRow("words with spaces") << QStringLiteral("情报学报 2004年 第3期 45-50页")
                                       << QStringLiteral("情报学报|2004||3|45-50");
    QTest::newRow("volume, leading zero, ～ and a second range")
        << QStringLiteral("情报学报 2004年 第23卷 第03期 45～50,60页")
        << QStringLiteral("情报学报|2004|23|3|45-50+60");
    QTest::newRow("compact after a point")
        << QStringLiteral("刊名.2004,23(3)") << QStringLiteral("刊名|2004|23|3|");
    QTest::newRow("compact with pages")
        << QStringLiteral("刊名, 2004, 23(03): 45-50") << QStringLiteral("刊名|2004|23|3|45-50");
    QTest::newRow("title in 《》, supplement issue")
        << QStringLiteral("《科学通报》2012年第S1期") << QStringLiteral("科学通报|2012||S1|");
    QTest::newRow("Z issue kept") << QStringLiteral("中国图书馆学报 2005年 第Z1期")
                                  << QStringLiteral("中国图书馆学报|2005||Z1|");
    QTest::newRow("year and issue only")
        << QStringLiteral("图书馆杂志, 2004(3)") << QStringLiteral("图书馆杂志|2004||3|");
    QTest::newRow("plus joins ranges") << QStringLiteral("刊名, 2004, 23(3): 45-50+60")
                                       << QStringLiteral("刊名|2004|23|3|45-50+60");
    QTest::newRow("full-width digits and punctuation")
        << QStringLiteral("刊名，２００４，２３（０３）：４５－５０")
        << QStringLiteral("刊名|2004|23|3|45-50");
    QTest::newRow("bare pages at the end") << QStringLiteral("情报学报 2004年 第3期 45-50")
                                           << QStringLiteral("情报学报|2004||3|45-50");
    QTest::newRow("English words") << QStringLiteral("J. Doc. Vol. 66, No. 5, pp. 701-720")
                                   << QStringLiteral("J. Doc.||66|5|701-720");
    QTest::newRow("Latin compact")
        << QStringLiteral("Journal of Documentation, 2010, 66(05): 701-720")
        << QStringLiteral("Journal of Documentation|2010|66|5|701-720");
    QTest::newRow("title alone") << QStringLiteral("情报学报") << QStringLiteral("情报学报||||");
    QTest::newRow("title with a number stays whole")
        << QStringLiteral("Journal 2000") << QStringLiteral("Journal 2000||||");
    QTest::newRow("what is not understood stays in the container")
        << QStringLiteral("情报学报 2004年 第3期 专题 45-50页")
        << QStringLiteral("情报学报 专题|2004||3|45-50");
    QTest::newRow("empty") << QString() << QStringLiteral("||||");
}

void TestRecordParser::sources() {
    QFETCH(QString, source);
    const SourceParts p = parseSource(source);
    QTEST(QStringList({p.container, p.year, p.volume, p.issue, p.pageRanges.join('+')}).join('|'),
          "expected");
}

void TestRecordParser::language_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("language");
    QTest::newRow("CJK title") << QStringLiteral("【题　名】信息检索\n【语　种】英文")
                               << QStringLiteral("zh-CN");
    QTest::newRow("Latin title, no language")
        << QStringLiteral("【题　名】Records") << QStringLiteral("en");
    QTest::newRow("Latin title, the record's language")
        << QStringLiteral("【题　名】Über Bücher\n【语　种】德文") << QStringLiteral("de");
}

void TestRecordParser::language() {
    QFETCH(QString, record);
    QTEST(citationOf(parseRecordText(record).entries.value(0)).language, "language");
}

void TestRecordParser::keys_data() {
    QTest::addColumn<QString>("records");
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("Latin family name and year")
        << QStringLiteral("【作　者】Smith, John\n【刊　名】J, 2004, 1(2)")
        << QStringList{"smith2004"};
    QTest::newRow("accents and apostrophes taken out")
        << QStringLiteral("【作　者】Mary O'Néil\n【刊　名】J, 2004, 1(2)")
        << QStringList{"oneil2004"};
    QTest::newRow("Chinese author: the record's number")
        << QStringLiteral("【光盘号】QK200403001\n【作　者】王晓明") << QStringList{"QK200403001"};
    QTest::newRow("Chinese author without a number: qen and a counter")
        << QStringLiteral("【题　名】甲\n【作　者】王晓明\n【题　名】乙")
        << QStringList{"qen1", "qen2"};
    QTest::newRow("duplicates get letters")
        << QStringLiteral("【作　者】Smith J\n【刊　名】J 2004年 第1期\n"
                          "【作　者】Smith A\n【刊　名】K 2004年 第2期\n"
                          "【作　者】Brown A\n【刊　名】K 2004年 第2期")
        << QStringList{"smith2004a", "smith2004b", "brown2004"};
}

void TestRecordParser::keys() {
    QFETCH(QString, records);
    QList<Citation> citations;
    for (const Entry &e : parseRecordText(records).entries)
        citations << citationOf(e);
    assignKeys(citations);
    QStringList keys;
    for (const Citation &c : citations)
        keys << c.key;
    QTEST(keys, "keys");
}

void TestRecordParser::encodings_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("GBK") << dataFile("record-gbk-two-entries.txt");
    QTest::newRow("UTF-8") << dataFile("record-utf8-two-entries.txt");
}

void TestRecordParser::encodings() {
    QFETCH(QString, file);
    const ParsedRecord parsed = readRecordFile(file);
    QCOMPARE(parsed.warnings, QStringList());
    QCOMPARE(shape(parsed),
             (QStringList{"题名=信息检索研究|作者=王晓明；李静|刊名=情报学报 2004年 第3期 "
                          "45-50页|文摘=第一行\n第二行",
                          "题名=数字图书馆|作者=陈国华|刊名=图书情报工作.2004,48(3)"}));
    const Citation second = citationOf(parsed.entries[1]);
    QCOMPARE(second.container, QStringLiteral("图书情报工作"));
    QCOMPARE(second.volume, QStringLiteral("48"));
}

void TestRecordParser::rtfEscapedMarkers() {
    // \'a1\'be is 【 in GBK, \u12304? is 【 by number; the reader makes them text first.
    const ParsedRecord parsed = readRecordFile(dataFile("record-rtf-escaped-markers.rtf"));
    QCOMPARE(shape(parsed), (QStringList{"题名=信息检索研究|作者=王晓明；李静|刊名=情报学报 2004年 "
                                         "第3期|文摘=粗体标记之后"}));
}

void TestRecordParser::undecodableGbk() {
    const ParsedRecord parsed = readRecordFile(dataFile("record-gbk-undecodable.txt"));
    QCOMPARE(parsed.entries.size(), 1);
    QCOMPARE(parsed.entries[0].fields.size(), 2);
    QVERIFY(parsed.entries[0].value(QStringLiteral("题名")).startsWith(QStringLiteral("甲")));
    QVERIFY(parsed.entries[0].value(QStringLiteral("题名")).endsWith(QStringLiteral("乙")));
    QCOMPARE(parsed.warnings.size(), 1);
    QVERIFY2(parsed.warnings[0].contains(QStringLiteral("第 1、2 行")),
             qPrintable(parsed.warnings[0]));
}

void TestRecordParser::malformedMarker() {
    const ParsedRecord parsed =
        parseRecordText(QStringLiteral("【题　名】甲\n题名】乙【\n【作　者】丙"));
    QCOMPARE(shape(parsed), QStringList{"题名=甲\n题名】乙【|作者=丙"});
    QCOMPARE(parsed.warnings.size(), 1);
    QVERIFY(parsed.warnings[0].contains(QStringLiteral("第 2 行")));
}

void TestRecordParser::noFieldIsAnError_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("是空的");
    QTest::newRow("text without fields")
        << QByteArray("plain text\r\n") << QStringLiteral("没有【字段】行");
    QTest::newRow("only malformed markers")
        << QByteArray("\xe3\x80\x91x\xe3\x80\x90y\xe3\x80\x91") << QStringLiteral("没有【字段】行");
}

void TestRecordParser::noFieldIsAnError() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.txt"));
    test::writeFile(path, bytes);
    try {
        readRecordFile(path);
        QFAIL("no error");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(message), qPrintable(e.description()));
        QVERIFY(e.description().contains(path));
    }
    try {
        readRecordFile(dir.filePath(QStringLiteral("missing.txt")));
        QFAIL("no error");
    } catch (const Error &e) {
        QVERIFY(e.description().contains(QStringLiteral("missing.txt")));
    }
}

void TestRecordParser::largeInput() {
    // A field of 1 MB, and a file of 20 MB holding many records: read whole, in linear time.
    const QString big(1 << 20, QChar(u'字'));
    ParsedRecord parsed = parseRecordText(QStringLiteral("【题　名】甲\n【文　摘】") + big);
    QCOMPARE(parsed.entries.size(), 1);
    QCOMPARE(parsed.entries[0].value(QStringLiteral("文摘")).size(), big.size());

    QString many;
    const QString one = QStringLiteral("【题　名】信息检索研究第%1号\n【作　者】王晓明；李静\n"
                                       "【刊　名】情报学报 2004年 第3期 45-50页\n【文　摘】");
    const QString filler(400, QChar(u'文'));
    int count = 0;
    while (many.size() * 3 < 20 << 20) {
        many += one.arg(++count) + filler + QLatin1Char('\n');
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.txt"));
    test::writeFile(path, many.toUtf8());
    QElapsedTimer timer;
    timer.start();
    parsed = readRecordFile(path);
    QCOMPARE(parsed.entries.size(), count);
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(TestRecordParser)
#include "tst_recordparser.moc"
