// The five outputs of a record entry, and the bad input of the citation reader.
#include "records/citationformats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen::records;

namespace {

QList<Citation> citationsOf(const QString &record) {
    QList<Citation> out;
    for (const Entry &e : parseRecordText(record).entries)
        out << citationOf(e);
    assignKeys(out);
    return out;
}

const QString Journal = QStringLiteral("【光盘号】QK200403001\n"
                                       "【题　名】基于本体的信息检索\n"
                                       "【作　者】王晓明；李静\n"
                                       "【机　构】北京大学\n"
                                       "【刊　名】情报学报 2004年 第23卷 第03期 45～50,60页\n"
                                       "【ISSN号】1000-0135\n"
                                       "【ＣＮ号】11-2257/G3\n"
                                       "【馆藏号】Z12\n"
                                       "【出版地】北京\n"
                                       "【关键词】本体；检索\n"
                                       "【分类号】G252\n"
                                       "【文　摘】第一行\n第二行\n"
                                       "【正　文】全文不进入题录\n");

QString authors(int n, const QString &pattern) {
    QStringList names;
    for (int i = 1; i <= n; ++i)
        names << pattern.arg(QChar(u'A' + (i - 1) % 26));
    return names.join(QStringLiteral("；"));
}

} // namespace

class TestCitationFormats : public QObject {
    Q_OBJECT
private slots:
    void gbt_data();
    void gbt();
    void gbtList();
    void ris();
    void bibtex();
    void bibtexEscapes();
    void cslJson();
    void endNote();
    void formats_data();
    void formats();
    void badInput();
    void largeField();
};

void TestCitationFormats::gbt_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("expected");
    QTest::newRow("journal, two authors")
        << Journal
        << QStringLiteral("王晓明, 李静. 基于本体的信息检索[J]. 情报学报, 2004, 23(3): 45-50+60.");
    QTest::newRow("four Chinese authors: three and 等")
        << QStringLiteral(
               "【题　名】题\n【作　者】甲一；乙二；丙三；丁四\n【刊　名】刊 2004年 第3期")
        << QStringLiteral("甲一, 乙二, 丙三, 等. 题[J]. 刊, 2004(3).");
    QTest::newRow("three authors: all")
        << QStringLiteral("【题　名】题\n【作　者】甲一；乙二；丙三\n【刊　名】刊 2004年 第3期")
        << QStringLiteral("甲一, 乙二, 丙三. 题[J]. 刊, 2004(3).");
    QTest::newRow("Latin names: capitals and initials")
        << QStringLiteral("【题　名】Records\n【作　者】Smith, John Robert; Brown A\n"
                          "【刊　名】Journal of Documentation, 2010, 66(05): 701-720")
        << QStringLiteral("SMITH J R, BROWN A. Records[J]. Journal of Documentation, 2010, "
                          "66(5): 701-720.");
    QTest::newRow("four Latin names: et al.")
        << QStringLiteral("【题　名】Records\n【作　者】") +
               authors(4, QStringLiteral("Name%1 X")) + QStringLiteral("\n【刊　名】J, 2010, 1(2)")
        << QStringLiteral("NAMEA X, NAMEB X, NAMEC X, et al. Records[J]. J, 2010, 1(2).");
    QTest::newRow("500 authors: three")
        << QStringLiteral("【题　名】题\n【作　者】") + authors(500, QStringLiteral("作者%1")) +
               QStringLiteral("\n【刊　名】刊, 2004, 1(2)")
        << QStringLiteral("作者A, 作者B, 作者C, 等. 题[J]. 刊, 2004, 1(2).");
    QTest::newRow("no volume") << QStringLiteral("【题　名】题\n【刊　名】《科学通报》2012年第S1期")
                               << QStringLiteral("题[J]. 科学通报, 2012(S1).");
    QTest::newRow("no issue") << QStringLiteral("【题　名】题\n【刊　名】刊, 2004, 23: 45-50")
                              << QStringLiteral("题[J]. 刊, 2004, 23: 45-50.");
    QTest::newRow("newspaper: date and page")
        << QStringLiteral("【题　名】数字革命\n【作　者】丁文祥\n【报刊名】中国青年报 "
                          "2000年11月20日 第15版")
        << QStringLiteral("丁文祥. 数字革命[N]. 中国青年报, 2000-11-20(15).");
    QTest::newRow("newspaper with its year only")
        << QStringLiteral("【题　名】新闻\n【报刊名】人民日报 2004年")
        << QStringLiteral("新闻[N]. 人民日报, 2004.");
    QTest::newRow("no title: partial") << QStringLiteral("【作　者】王晓明\n【刊　名】情报学报")
                                       << QStringLiteral("王晓明. [J]. 情报学报.");
    QTest::newRow("title only") << QStringLiteral("【题　名】题") << QStringLiteral("题[J].");
    QTest::newRow("title over two lines") << QStringLiteral("【题　名】信息\n检索 of\nrecords")
                                          << QStringLiteral("信息检索 of records[J].");
}

void TestCitationFormats::gbt() {
    QFETCH(QString, record);
    const QList<Citation> c = citationsOf(record);
    QCOMPARE(c.size(), 1);
    QTEST(toGbt7714(c[0]), "expected");
}

void TestCitationFormats::gbtList() {
    const QList<Citation> c =
        citationsOf(QStringLiteral("【题　名】甲\n【题　名】乙\n【题　名】丙"));
    QCOMPARE(toGbt7714List(c), QStringLiteral("[1] 甲[J].\n[2] 乙[J].\n[3] 丙[J].\n"));
    QCOMPARE(formatCitations(c, CitationFormat::Gbt7714), toGbt7714List(c).toUtf8());
}

void TestCitationFormats::ris() {
    const QByteArray expected = "TY  - JOUR\r\n"
                                "TI  - 基于本体的信息检索\r\n"
                                "AU  - 王晓明\r\n"
                                "AU  - 李静\r\n"
                                "AD  - 北京大学\r\n"
                                "T2  - 情报学报\r\n"
                                "JF  - 情报学报\r\n"
                                "PY  - 2004\r\n"
                                "VL  - 23\r\n"
                                "IS  - 3\r\n"
                                "SP  - 45\r\n"
                                "EP  - 50\r\n"
                                "SN  - 1000-0135\r\n"
                                "CN  - Z12\r\n"
                                "AN  - QK200403001\r\n"
                                "CY  - 北京\r\n"
                                "AB  - 第一行第二行\r\n"
                                "KW  - 本体\r\n"
                                "KW  - 检索\r\n"
                                "N1  - CN: 11-2257/G3\r\n"
                                "N1  - CLC: G252\r\n"
                                "N1  - Pages: 45-50+60\r\n"
                                "LA  - zh-CN\r\n"
                                "ER  - \r\n"
                                "\r\n"
                                "TY  - NEWS\r\n"
                                "TI  - 新闻\r\n"
                                "T2  - 人民日报\r\n"
                                "JF  - 人民日报\r\n"
                                "PY  - 2004\r\n"
                                "DA  - 2004/03/05/\r\n"
                                "IS  - 2\r\n"
                                "LA  - zh-CN\r\n"
                                "ER  - \r\n"
                                "\r\n";
    QCOMPARE(
        toRis(citationsOf(Journal +
                          QStringLiteral("【题　名】新闻\n【报刊名】人民日报 2004年3月5日 第2版"))),
        expected);
}

void TestCitationFormats::bibtex() {
    const QByteArray expected = "@article{QK200403001,\n"
                                "  author = {{王晓明} and {李静}},\n"
                                "  title = {基于本体的信息检索},\n"
                                "  journaltitle = {情报学报},\n"
                                "  date = {2004},\n"
                                "  volume = {23},\n"
                                "  number = {3},\n"
                                "  pages = {45--50+60},\n"
                                "  issn = {1000-0135},\n"
                                "  note = {北京大学; CN: 11-2257/G3; CLC: G252; AN: QK200403001},\n"
                                "  library = {Z12},\n"
                                "  abstract = {第一行第二行},\n"
                                "  keywords = {本体, 检索},\n"
                                "  langid = {chinese},\n"
                                "}\n"
                                "\n"
                                "@article{smith2010,\n"
                                "  author = {Smith, John and Brown, A},\n"
                                "  title = {Records},\n"
                                "  journaltitle = {The Times},\n"
                                "  entrysubtype = {newspaper},\n"
                                "  date = {2010-11-02},\n"
                                "  langid = {english},\n"
                                "}\n";
    QCOMPARE(toBibtex(citationsOf(
                 Journal + QStringLiteral("【题　名】Records\n【作　者】Smith, John; Brown A\n"
                                          "【报刊名】The Times 2010-11-2"))),
             expected);
}

void TestCitationFormats::bibtexEscapes() {
    const QList<Citation> c =
        citationsOf(QStringLiteral("【题　名】50% & more {braces} #1 $x$ a_b ^ ~ \\cmd\n"
                                   "【作　者】Smith and Sons, J; Brown, A"));
    const QString bib = QString::fromUtf8(toBibtex(c));
    QVERIFY2(bib.contains(QStringLiteral(
                 "title = {50\\% \\& more \\textbraceleft{}braces\\textbraceright{} \\#1 \\$x\\$ "
                 "a\\_b \\textasciicircum{} \\textasciitilde{} \\textbackslash{}cmd},")),
             qPrintable(bib));
    QVERIFY2(bib.contains(QStringLiteral("author = {{Smith and Sons}, J and Brown, A},")),
             qPrintable(bib));
    // Braces balance, whatever the record held.
    int depth = 0;
    for (QChar ch : bib) {
        depth += ch == u'{' ? 1 : ch == u'}' ? -1 : 0;
        QVERIFY(depth >= 0);
    }
    QCOMPARE(depth, 0);
}

void TestCitationFormats::cslJson() {
    const QList<Citation> c = citationsOf(
        Journal + QStringLiteral("【题　名】Records\n【作　者】Smith, John\n【报刊名】The Times "
                                 "2010-11-2 第3版"));
    const QJsonArray items = QJsonDocument::fromJson(toCslJson(c)).array();
    QCOMPARE(items.size(), 2);
    const QJsonObject j = items[0].toObject();
    QCOMPARE(j["id"].toString(), QStringLiteral("QK200403001"));
    QCOMPARE(j["type"].toString(), QStringLiteral("article-journal"));
    QCOMPARE(j["title"].toString(), QStringLiteral("基于本体的信息检索"));
    QCOMPARE(j["author"].toArray(),
             (QJsonArray{QJsonObject{{"literal", "王晓明"}}, QJsonObject{{"literal", "李静"}}}));
    QCOMPARE(j["container-title"].toString(), QStringLiteral("情报学报"));
    QCOMPARE(j["issued"].toObject()["date-parts"].toArray(), (QJsonArray{QJsonArray{2004}}));
    QCOMPARE(j["volume"].toString(), QStringLiteral("23"));
    QCOMPARE(j["issue"].toString(), QStringLiteral("3"));
    QCOMPARE(j["page"].toString(), QStringLiteral("45-50+60"));
    QCOMPARE(j["ISSN"].toString(), QStringLiteral("1000-0135"));
    QCOMPARE(j["note"].toString(), QStringLiteral("北京大学\nCN: 11-2257/G3\nCLC: G252"));
    QCOMPARE(j["call-number"].toString(), QStringLiteral("Z12"));
    QCOMPARE(j["archive_location"].toString(), QStringLiteral("QK200403001"));
    QCOMPARE(j["publisher-place"].toString(), QStringLiteral("北京"));
    QCOMPARE(j["abstract"].toString(), QStringLiteral("第一行第二行"));
    QCOMPARE(j["keyword"].toString(), QStringLiteral("本体, 检索"));
    QCOMPARE(j["language"].toString(), QStringLiteral("zh-CN"));
    QVERIFY(!j.contains("正文"));
    const QJsonObject n = items[1].toObject();
    QCOMPARE(n["type"].toString(), QStringLiteral("article-newspaper"));
    QCOMPARE(n["author"].toArray(),
             (QJsonArray{QJsonObject{{"family", "Smith"}, {"given", "John"}}}));
    QCOMPARE(n["issued"].toObject()["date-parts"].toArray(), (QJsonArray{QJsonArray{2010, 11, 2}}));
    QCOMPARE(n["issue"].toString(), QStringLiteral("3"));
    QCOMPARE(n["language"].toString(), QStringLiteral("en"));
}

void TestCitationFormats::endNote() {
    const QByteArray expected = "%0 Journal Article\n"
                                "%T 基于本体的信息检索\n"
                                "%A 王晓明\n"
                                "%A 李静\n"
                                "%+ 北京大学\n"
                                "%J 情报学报\n"
                                "%D 2004\n"
                                "%V 23\n"
                                "%N 3\n"
                                "%P 45-50+60\n"
                                "%@ 1000-0135\n"
                                "%Z CN: 11-2257/G3\n"
                                "%Z CLC: G252\n"
                                "%L Z12\n"
                                "%M QK200403001\n"
                                "%C 北京\n"
                                "%X 第一行第二行\n"
                                "%K 本体\n"
                                "%K 检索\n"
                                "%G zh-CN\n"
                                "\n"
                                "%0 Newspaper Article\n"
                                "%T 新闻\n"
                                "%A Smith, John\n"
                                "%J 人民日报\n"
                                "%D 2004\n"
                                "%8 2004-03-05\n"
                                "%G zh-CN\n";
    QCOMPARE(toEndNote(citationsOf(Journal + QStringLiteral("【题　名】新闻\n【作　者】John Smith\n"
                                                            "【报刊名】人民日报 2004年3月5日"))),
             expected);
}

void TestCitationFormats::formats_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("format"); // -1: none
    QTest::newRow("ris") << "ris"
                         << "a.ris" << int(CitationFormat::Ris);
    QTest::newRow("bibtex") << "bibtex"
                            << "a.BIB" << int(CitationFormat::Bibtex);
    QTest::newRow("csljson") << "csljson"
                             << "dir.x/a.json" << int(CitationFormat::CslJson);
    QTest::newRow("enw") << "enw"
                         << "a.enw" << int(CitationFormat::EndNote);
    QTest::newRow("gbt7714") << "gbt7714"
                             << "a.txt" << int(CitationFormat::Gbt7714);
    QTest::newRow("unknown") << "pdf"
                             << ".ris" << -1;
}

void TestCitationFormats::formats() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QFETCH(int, format);
    const auto named = formatNamed(name);
    QCOMPARE(named ? int(*named) : -1, format);
    const auto byFile = formatForFile(file);
    QCOMPARE(byFile ? int(*byFile) : -1, format == int(CitationFormat::Gbt7714) ? -1 : format);
    if (format >= 0)
        QCOMPARE(formatForFile("x." + extensionOf(CitationFormat(format)))
                     .value_or(CitationFormat::Gbt7714),
                 CitationFormat(format));
}

void TestCitationFormats::badInput() {
    QTemporaryDir dir;
    const QString noTitle = dir.filePath("no-title.txt");
    qen::test::writeFile(noTitle, "【作　者】王晓明\r\n【题　名】\r\n");
    const QString noField = dir.filePath("no-field.txt");
    qen::test::writeFile(noField, "text\r\n");
    const QString unknown = dir.filePath("unknown.txt");
    qen::test::writeFile(unknown, "【正　文】只有正文\r\n");
    const QString marker = dir.filePath("marker.txt");
    qen::test::writeFile(marker, "】题名【甲\r\n【题　名】乙\r\n");
    const CitationBatch b =
        readCitations({noTitle, noField, dir.filePath("missing.txt"), unknown, marker});
    QCOMPARE(b.failedFiles, 2);
    QCOMPARE(b.citations.size(), 2);
    QCOMPARE(b.citations[0].authors.value(0).literal, QStringLiteral("王晓明"));
    QCOMPARE(b.citations[1].title, QStringLiteral("乙"));
    const QString all = b.problems.join('\n');
    QVERIFY2(all.contains(noTitle + "：第 1 条题录（第 1 行起）没有题名。"), qPrintable(all));
    QVERIFY2(all.contains(noField), qPrintable(all));
    QVERIFY2(all.contains("missing.txt"), qPrintable(all));
    QVERIFY2(all.contains(unknown + "：第 1 条题录（第 1 行起）没有题名、作者或刊名"),
             qPrintable(all));
    QVERIFY2(all.contains(marker + "：第 1 行的字段标记有误"), qPrintable(all));
    // None of the outputs is empty for what was read.
    for (CitationFormat f : {CitationFormat::Ris, CitationFormat::Bibtex, CitationFormat::CslJson,
                             CitationFormat::EndNote, CitationFormat::Gbt7714})
        QVERIFY(formatCitations(b.citations, f).size() > 20);
}

void TestCitationFormats::largeField() {
    // A 1 MB abstract goes through every format whole, and quickly.
    const QString big(1 << 20, QChar(u'文'));
    const QList<Citation> c =
        citationsOf(QStringLiteral("【题　名】题\n【文　摘】") + big + QStringLiteral("\n续"));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(toRis(c).contains((big + QStringLiteral("续")).toUtf8()));
    QVERIFY(toBibtex(c).size() > 3 << 20);
    QVERIFY(toCslJson(c).size() > 3 << 20);
    QVERIFY(toEndNote(c).size() > 3 << 20);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestCitationFormats)
#include "tst_citationformats.moc"
