// Tidying a recognised line glyph by glyph, and finding queries in recognised pages.
#include "ocr/ocrtext.h"
#include "ocr/textmatch.h"
#include "textlayerfixture.h"

#include <QtTest>

using namespace qen::ocr;
using qen::test::gridLayer;

Q_DECLARE_METATYPE(QList<TextMatch>)

namespace {

// "a b" -> glyphs a, b with a blank before b; boxes numbered by position.
QList<Glyph> glyphLine(const QString &spelled) {
    QList<Glyph> line;
    bool blank = false;
    for (const uint c : spelled.toUcs4()) {
        if (c == ' ') {
            blank = true;
            continue;
        }
        const char32_t cp = c;
        line.append({QRect(int(line.size()) * 10, 0, 9, 9), QString::fromUcs4(&cp, 1), 80, blank,
                     false, false});
        blank = false;
    }
    return line;
}

QString spelled(const QList<Glyph> &line) {
    QString out;
    for (const Glyph &g : line)
        out += (g.blankBefore ? u" "_qs : QString()) + g.text;
    return out;
}

} // namespace

class TstTextMatch : public QObject {
    Q_OBJECT
private slots:
    void tidyGlyphs_data();
    void tidyGlyphs();
    void tidyKeepsBoxesWithText();
    void rangeDashInAreaText();
    void find_data();
    void find();
    void queryLengths();
};

void TstTextMatch::tidyGlyphs_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("tidy");
    QTest::newRow("blanks between Chinese") << u"中 国 科学"_qs << u"中国科学"_qs;
    QTest::newRow("blank before Chinese punctuation") << u"论文 ，提出"_qs << u"论文，提出"_qs;
    QTest::newRow("Latin keeps its blanks") << u"使用 Python 语言"_qs << u"使用 Python 语言"_qs;
    QTest::newRow("ASCII marks beside Chinese") << u"中国,美国."_qs << u"中国，美国。"_qs;
    QTest::newRow("mark after a blank") << u"结束 ."_qs << u"结束。"_qs;
    QTest::newRow("decimal stays") << u"达到98.5%"_qs << u"达到98.5%"_qs;
    QTest::newRow("URL stays") << u"网址:www.a.com/b?c"_qs << u"网址：www.a.com/b?c"_qs;
    QTest::newRow("parentheses pair") << u"见图(1)说明"_qs << u"见图（1）说明"_qs;
    QTest::newRow("one between years is a dash") << u"2015一2022年"_qs << u"2015—2022年"_qs;
    QTest::newRow("one between digits with blanks") << u"2015 一 2022"_qs << u"2015 — 2022"_qs;
    QTest::newRow("one after a digit only") << u"第3一个"_qs << u"第3一个"_qs;
    QTest::newRow("one in words") << u"统一一致"_qs << u"统一一致"_qs;
    QTest::newRow("blank at the start dropped") << u" 甲"_qs << u"甲"_qs;
}

void TstTextMatch::tidyGlyphs() {
    QFETCH(QString, raw);
    QFETCH(QString, tidy);
    QList<Glyph> line = glyphLine(raw);
    tidyGlyphLine(line);
    QCOMPARE(spelled(line), tidy);
    // The string form of the same line agrees.
    QString expected = tidy;
    QCOMPARE(tidyRecognisedText(raw), expected + u"\r\n"_qs);
}

void TstTextMatch::tidyKeepsBoxesWithText() {
    QList<Glyph> line = glyphLine(u"甲 , 乙"_qs);
    line.insert(1, {QRect(5, 0, 1, 1), u" "_qs, 10, false, false, false});
    tidyGlyphLine(line);
    QCOMPARE(line.size(), 3);
    QCOMPARE(line[1].text, u"，"_qs);
    QCOMPARE(line[1].box, QRect(10, 0, 9, 9));
    QCOMPARE(line[2].box, QRect(20, 0, 9, 9));
    QVERIFY(!line[1].blankBefore && !line[2].blankBefore);
}

void TstTextMatch::rangeDashInAreaText() {
    QCOMPARE(tidyRecognisedText(u"时间为2015一2022年\n"_qs), u"时间为2015—2022年\r\n"_qs);
}

void TstTextMatch::find_data() {
    QTest::addColumn<QStringList>("page");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("tolerant");
    QTest::addColumn<QList<TextMatch>>("hits");
    const QStringList page{u"近年来深度学习技术在图像"_qs, u"识别领域取得了显著进展。"_qs,
                           u"使用 Python 3.8 完成"_qs};
    auto hit = [](int a, int b, bool exact = true) { return TextMatch{a, b, exact}; };
    using L = QList<TextMatch>;
    QTest::newRow("plain") << page << u"深度学习"_qs << false << L{hit(3, 6)};
    QTest::newRow("query with blanks") << page << u"深度 学习"_qs << false << L{hit(3, 6)};
    QTest::newRow("across a line end") << page << u"图像识别"_qs << false << L{hit(10, 13)};
    QTest::newRow("full-width query, half-width page")
        << page << u"Ｐｙｔｈｏｎ"_qs << false << L{hit(26, 31)};
    QTest::newRow("Latin case") << page << u"PYTHON 3.8"_qs << false << L{hit(26, 34)};
    QTest::newRow("blank in page, none in query")
        << page << u"使用Python"_qs << false << L{hit(24, 31)};
    QTest::newRow("full-width digits and point")
        << page << u"３．８完"_qs << false << L{hit(32, 35)};
    QTest::newRow("ideographic full stop is not a point") << page << u"进展."_qs << false << L{};
    QTest::newRow("not there") << page << u"神经网络"_qs << false << L{};
    QTest::newRow("misread, exact mode") << page << u"深庋学习"_qs << false << L{};
    QTest::newRow("misread, tolerant") << page << u"深庋学习"_qs << true << L{hit(3, 6, false)};
    QTest::newRow("page lost a character")
        << QStringList{u"数字金融研究"_qs} << u"数字人金融"_qs << true << L{hit(0, 3, false)};
    QTest::newRow("page has an extra character")
        << QStringList{u"数字人金融研究"_qs} << u"数字金融"_qs << true << L{hit(0, 4, false)};
    QTest::newRow("two misreads are too many") << page << u"深庋学刁"_qs << true << L{};
    QTest::newRow("short query is never tolerant") << page << u"图象"_qs << true << L{};
    QTest::newRow("three characters never tolerant") << page << u"深庋学"_qs << true << L{};
    QTest::newRow("tolerant across a line end")
        << page << u"图像识列领域"_qs << true << L{hit(10, 15, false)};
    QTest::newRow("exact beats a neighbouring tolerant hit")
        << QStringList{u"中中国科学"_qs} << u"中国科学"_qs << true << L{hit(1, 4)};
    QTest::newRow("several hits, exact and tolerant")
        << QStringList{u"中国科学院中国科字院中国科学院"_qs} << u"中国科学"_qs << true
        << L{hit(0, 3), hit(5, 8, false), hit(10, 13)};
    QTest::newRow("no overlapping hits")
        << QStringList{u"aaaaa"_qs} << u"aa"_qs << false << L{hit(0, 1), hit(2, 3)};
    QTest::newRow("empty query") << page << u"  "_qs << true << L{};
}

void TstTextMatch::find() {
    QFETCH(QStringList, page);
    QFETCH(QString, query);
    QFETCH(bool, tolerant);
    QFETCH(QList<TextMatch>, hits);
    const SearchText text(gridLayer(page));
    const QList<TextMatch> found =
        text.find(query, tolerant ? MatchMode::Tolerant : MatchMode::Exact);
    if (found != hits) {
        QStringList got;
        for (const TextMatch &m : found)
            got << QStringLiteral("%1-%2%3")
                       .arg(m.firstGlyph)
                       .arg(m.lastGlyph)
                       .arg(m.exact ? "" : "~");
        QFAIL(qPrintable(got.join(u", "_qs)));
    }
}

void TstTextMatch::queryLengths() {
    // Every substring of 1 to 20 characters of a page is found where it stands, and with its
    // middle character misread once it is four or more long.
    const QString line = u"本文提出一种基于卷积神经网络的文字识别方法并在测试集上验证"_qs;
    const TextLayer layer = gridLayer({line.left(15), line.mid(15)});
    const SearchText text(layer);
    for (int length = 1; length <= 20; ++length) {
        for (int at = 0; at + length <= line.size(); at += 7) {
            const QString query = line.mid(at, length);
            const QList<TextMatch> exact = text.find(query, MatchMode::Exact);
            QVERIFY2(exact.contains(TextMatch{at, at + length - 1, true}), qPrintable(query));
            QString misread = query;
            misread[length / 2] = QChar(0x9F98);
            const QList<TextMatch> tolerant = text.find(misread, MatchMode::Tolerant);
            QCOMPARE(tolerant.contains(TextMatch{at, at + length - 1, false}), length >= 4);
        }
    }
}

QTEST_GUILESS_MAIN(TstTextMatch)
#include "tst_textmatch.moc"
