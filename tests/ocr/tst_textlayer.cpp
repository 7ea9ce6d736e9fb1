// The page text layer: its plain text, its lookups and its stored form.
#include "ocr/textlayer.h"
#include "textlayerfixture.h"

#include <QCborArray>
#include <QCborMap>
#include <QtTest>

using namespace qen::ocr;
using qen::test::gridBox;
using qen::test::gridLayer;

class TstTextLayer : public QObject {
    Q_OBJECT
private slots:
    void plainText_data();
    void plainText();
    void textMapsBackToGlyphs();
    void lookups();
    void boxesForTextRange_data();
    void boxesForTextRange();
    void glyphsKeepInsidePage();
    void storedFormRoundTrips();
    void storedFormFollowsAppend();
    void storedFormIsSmall();
    void damagedStoredForm_data();
    void damagedStoredForm();
};

void TstTextLayer::plainText_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty page") << QStringList() << QString();
    QTest::newRow("one Chinese line") << QStringList{u"中国科学"_qs} << u"中国科学\r\n"_qs;
    QTest::newRow("blank between Chinese dropped")
        << QStringList{u"中国 科学"_qs} << u"中国科学\r\n"_qs;
    QTest::newRow("blank beside Latin kept")
        << QStringList{u"使用 Python 语言"_qs} << u"使用 Python 语言\r\n"_qs;
    QTest::newRow("blank after Chinese punctuation and a digit")
        << QStringList{u"年份， 2024"_qs} << u"年份， 2024\r\n"_qs;
    QTest::newRow("lines end in CR LF, blocks add nothing")
        << QStringList{u"第一行"_qs, u"|第二行"_qs} << u"第一行\r\n第二行\r\n"_qs;
    QTest::newRow("blank at a line start is no blank")
        << QStringList{u"ab"_qs, u" cd"_qs} << u"ab\r\ncd\r\n"_qs;
    QTest::newRow("outside the BMP") << QStringList{u"𠀀 字"_qs} << u"𠀀字\r\n"_qs;
}

void TstTextLayer::plainText() {
    QFETCH(QStringList, lines);
    QFETCH(QString, text);
    const TextLayer layer = gridLayer(lines);
    QCOMPARE(layer.plainText(), text);
    QCOMPARE(layer.lineCount(), int(lines.size()));
    QStringList joined;
    for (int l = 0; l < layer.lineCount(); ++l)
        joined << layer.lineText(l) + u"\r\n"_qs;
    QCOMPARE(joined.join(QString()), text);
}

void TstTextLayer::textMapsBackToGlyphs() {
    const TextLayer layer = gridLayer({u"ab cd"_qs, u"𠀀字"_qs});
    QList<int> map;
    const QString text = layer.plainText(&map);
    QCOMPARE(text, u"ab cd\r\n𠀀字\r\n"_qs);
    QCOMPARE(map, (QList<int>{0, 1, -1, 2, 3, -1, -1, 4, 4, 5, -1, -1}));
    QCOMPARE(layer.lineOf(3), 0);
    QCOMPARE(layer.lineOf(4), 1);
    QCOMPARE(layer.lastGlyphOfLine(0), 3);
    QCOMPARE(layer.lastGlyphOfLine(1), 5);
}

void TstTextLayer::lookups() {
    const TextLayer layer = gridLayer({u"甲乙丙"_qs, u"丁戊"_qs});
    QCOMPARE(layer.glyphAt(gridBox(0, 1).center()), 1);
    QCOMPARE(layer.glyphAt(gridBox(1, 0).center()), 3);
    // The gap between two cells holds no glyph.
    QCOMPARE(layer.glyphAt(QPoint(gridBox(0, 0).right() + 1, gridBox(0, 0).center().y())), -1);
    QCOMPARE(layer.glyphsIn(QRect(gridBox(0, 1).center(), gridBox(1, 1).center())),
             (QList<int>{1, 4}));
    QCOMPARE(layer.glyphsIn(QRect(2000, 2000, 5, 5)), QList<int>());
    QCOMPARE(layer.boxesFor(1, 3), (QList<QRect>{gridBox(0, 1) | gridBox(0, 2), gridBox(1, 0)}));
}

void TstTextLayer::boxesForTextRange_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("length");
    QTest::addColumn<QList<QRect>>("boxes");
    // "ab cd\r\nef\r\n"
    QTest::newRow("one glyph") << 1 << 1 << QList<QRect>{gridBox(0, 1)};
    QTest::newRow("across the blank") << 1 << 3 << QList<QRect>{gridBox(0, 1) | gridBox(0, 3)};
    QTest::newRow("across the line end")
        << 3 << 5 << QList<QRect>{gridBox(0, 3) | gridBox(0, 4), gridBox(1, 0)};
    QTest::newRow("only a blank") << 2 << 1 << QList<QRect>();
    QTest::newRow("past the end") << 8 << 100 << QList<QRect>{gridBox(1, 1)};
    QTest::newRow("before the start") << -5 << 6 << QList<QRect>{gridBox(0, 0)};
}

void TstTextLayer::boxesForTextRange() {
    QFETCH(int, from);
    QFETCH(int, length);
    QFETCH(QList<QRect>, boxes);
    const TextLayer layer = gridLayer({u"ab cd"_qs, u"ef"_qs});
    QCOMPARE(layer.boxesForText(from, length), boxes);
}

void TstTextLayer::glyphsKeepInsidePage() {
    TextLayer layer(QSize(100, 50), 300);
    layer.append({QRect(90, 40, 30, 30), u"字"_qs, 150, true, false, false});
    layer.append({QRect(0, 0, 5, 5), QString(), 50, false, false, false});
    QCOMPARE(layer.count(), 1);
    const Glyph g = layer.glyph(0);
    QCOMPARE(g.box, QRect(90, 40, 10, 10));
    QCOMPARE(g.confidence, 100);
    QVERIFY(g.lineStart && g.blockStart && !g.blankBefore);
}

void TstTextLayer::storedFormRoundTrips() {
    TextLayer layer = gridLayer({u"近年来 Python 3.8"_qs, u"|𠀀字，"_qs}, QSize(2480, 3508));
    layer.append({QRect(2400, 3400, 80, 108), u"ﬁ"_qs, 7, true, false, false});
    const std::optional<TextLayer> back = TextLayer::fromBytes(layer.toBytes());
    QVERIFY(back);
    QVERIFY(*back == layer);
    QCOMPARE(back->pageSize(), QSize(2480, 3508));
    QCOMPARE(back->dpi(), 300);
    QCOMPARE(back->plainText(), layer.plainText());
    QCOMPARE(back->glyph(back->count() - 1).confidence, 7);
    QVERIFY(TextLayer::fromBytes(TextLayer().toBytes()));
}

// A stored entry comes from disk, not from append: its flags and empty boxes must read back
// as append would have taken them.
void TstTextLayer::storedFormFollowsAppend() {
    const QList<Glyph> glyphs{
        {QRect(10, 10, 20, 30), u"甲"_qs, 90, true, false, false}, // a blank before the first
        {QRect(30, 10, 0, 30), u"乙"_qs, 80, false, false, false}, // no width
        {QRect(0, 50, 20, 0), u"丙"_qs, 70, true, true, false},  // no height, blank at a line start
        {QRect(40, 50, 0, 0), u"丁"_qs, 60, false, false, true}, // nothing at all
        {QRect(100, 90, 0, 10), u"戊"_qs, 50, true, false, false}, // empty, on the page's edge
    };
    TextLayer appended(QSize(100, 100), 300);
    QByteArray lengths, boxes, confidences, flags;
    for (const Glyph &g : glyphs) {
        appended.append(g);
        lengths.append(char(g.text.size()));
        for (int v : {g.box.x(), g.box.y(), g.box.width(), g.box.height()}) {
            boxes.append(char(v & 0xff));
            boxes.append(char(v >> 8));
        }
        confidences.append(char(g.confidence));
        flags.append(
            char((g.blankBefore ? 1 : 0) | (g.lineStart ? 2 : 0) | (g.blockStart ? 4 : 0)));
    }
    QCborMap map = appended.toCbor().toMap();
    map[QLatin1String("b")] = boxes;
    map[QLatin1String("f")] = flags;
    const std::optional<TextLayer> stored = TextLayer::fromCbor(map);
    QVERIFY(stored);
    QVERIFY(*stored == appended);
    for (int i = 0; i < appended.count(); ++i)
        QCOMPARE(stored->box(i), appended.box(i));
    QCOMPARE(stored->lineCount(), appended.lineCount());
    QCOMPARE(stored->plainText(), appended.plainText());
}

void TstTextLayer::storedFormIsSmall() {
    // A dense A4 page: 45 lines of 38 characters.
    QStringList lines;
    for (int l = 0; l < 45; ++l)
        lines << QString(38, QChar(0x4E00 + l * 38));
    TextLayer layer = gridLayer(lines, QSize(2480, 3508));
    QVERIFY2(layer.toBytes().size() <= 32 * 1024,
             qPrintable(QString::number(layer.toBytes().size())));
    QVERIFY2(layer.memoryBytes() <= 64 * 1024, qPrintable(QString::number(layer.memoryBytes())));
}

void TstTextLayer::damagedStoredForm_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QCborMap good = gridLayer({u"ab"_qs, u"c"_qs}).toCbor().toMap();
    auto with = [&](const char *key, const QCborValue &value) {
        QCborMap m = good;
        if (value.isUndefined())
            m.remove(QLatin1String(key));
        else
            m[QLatin1String(key)] = value;
        return QCborValue(m).toCbor();
    };
    const QByteArray whole = QCborValue(good).toCbor();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated") << whole.left(whole.size() - 3);
    QTest::newRow("not CBOR") << QByteArray("\xff\xfe not a layer", 15);
    QTest::newRow("an array") << QCborValue(QCborArray{1, 2}).toCbor();
    QTest::newRow("later version") << with("v", 2);
    QTest::newRow("no version") << with("v", QCborValue());
    QTest::newRow("negative width") << with("w", -1);
    QTest::newRow("text is bytes") << with("t", QByteArray("abc"));
    QTest::newRow("text shorter than lengths") << with("t", u"ab"_qs);
    QTest::newRow("text longer than lengths") << with("t", u"abcd"_qs);
    QTest::newRow("zero length") << with("n", QByteArray("\x01\x00\x02", 3));
    QTest::newRow("boxes short") << with("b", QByteArray(23, '\0'));
    QTest::newRow("box past the page") << with("w", 40);
    QTest::newRow("confidence over 100") << with("c", QByteArray("\x10\x10\x65"));
    QTest::newRow("unknown flag") << with("f", QByteArray("\x07\x00\x08", 3));
    QTest::newRow("flags missing") << with("f", QCborValue());
}

void TstTextLayer::damagedStoredForm() {
    QFETCH(QByteArray, bytes);
    QVERIFY(!TextLayer::fromBytes(bytes));
}

QTEST_GUILESS_MAIN(TstTextLayer)
#include "tst_textlayer.moc"
