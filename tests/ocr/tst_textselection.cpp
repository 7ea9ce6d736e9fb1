// Selecting recognised text as text editors do, on hand-made layers of 20 x 30 pixel cells.
#include "ocr/textselection.h"
#include "testfiles.h"
#include "textlayerfixture.h"

#include <QTest>

using namespace qen;
using namespace qen::ocr;

namespace {

// The middle of a grid cell, or a point `dx` pixels off its left edge.
QPoint cell(int line, int column, int dx = 9) {
    const QRect b = test::gridBox(line, column);
    return QPoint(b.left() + dx, b.center().y());
}

const QStringList Lines{u"数字图书馆，读者"_qs, u"Python 3.8 works"_qs, u"第三行"_qs};

QString selected(const TextLayer &layer, const GlyphRange &r) {
    return r.isEmpty() ? QString() : layer.text(r.first, r.last);
}

} // namespace

class TstTextSelection : public QObject {
    Q_OBJECT
private slots:
    void drag_data();
    void drag();
    void runs_data();
    void runs();
    void lineAndPointer();
    void emptyLayer();
};

void TstTextSelection::drag_data() {
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<QString>("text");
    test::row("within a line", cell(0, 0, 2), cell(0, 4, 2), u"数字图书"_qs);
    test::row("backwards is the same", cell(0, 4, 2), cell(0, 0, 2), u"数字图书"_qs);
    test::row("half a glyph rounds to the nearer edge", cell(0, 0, 12), cell(0, 2, 12), u"字图"_qs);
    test::row("across lines: partial first and last", cell(0, 6, 2), cell(2, 1, 2),
              u"读者\r\nPython 3.8 works\r\n第"_qs);
    test::row("past the line's end takes it to its end", cell(0, 6, 2), QPoint(900, 25),
              u"读者"_qs);
    test::row("above the text starts at the first line", QPoint(5, 0), cell(0, 2, 2), u"数字"_qs);
    test::row("below the text ends at the last line", cell(2, 0, 2), QPoint(300, 900),
              u"第三行"_qs);
    test::row("a click selects nothing", cell(1, 3), cell(1, 3), QString());
}

void TstTextSelection::drag() {
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    const TextLayer layer = test::gridLayer(Lines);
    const TextSelector selector(layer);
    QTEST(selected(layer, selector.drag(press, release)), "text");
}

void TstTextSelection::runs_data() {
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("text");
    test::row("chinese up to punctuation", cell(0, 2), u"数字图书馆"_qs);
    test::row("chinese after punctuation", cell(0, 7), u"读者"_qs);
    test::row("punctuation alone", cell(0, 5), u"，"_qs);
    test::row("a latin word", cell(1, 2), u"Python"_qs);
    test::row("a number stops at its blank", cell(1, 7), u"3"_qs);
    test::row("the last word", cell(1, 13), u"works"_qs);
    test::row("off the line takes its nearest glyph", QPoint(500, 20), u"读者"_qs);
    test::row("between two glyphs takes the nearer", QPoint(146, 50), u"3"_qs);
    test::row("and the other way", QPoint(131, 50), u"Python"_qs);
}

void TstTextSelection::runs() {
    QFETCH(QPoint, point);
    const TextLayer layer = test::gridLayer(Lines);
    QTEST(selected(layer, TextSelector(layer).runAt(point)), "text");
}

void TstTextSelection::lineAndPointer() {
    const TextLayer layer = test::gridLayer(Lines);
    const TextSelector selector(layer);
    QCOMPARE(selected(layer, selector.lineAt(cell(1, 3))), u"Python 3.8 works"_qs);
    QCOMPARE(selected(layer, selector.lineAt(QPoint(600, 75))), u"第三行"_qs);
    QVERIFY(selector.overText(cell(2, 1)));
    QVERIFY(!selector.overText(QPoint(600, 600)));
}

void TstTextSelection::emptyLayer() {
    const TextLayer layer(QSize(100, 100), 300);
    const TextSelector selector(layer);
    QVERIFY(selector.drag(QPoint(1, 1), QPoint(90, 90)).isEmpty());
    QVERIFY(selector.runAt(QPoint(5, 5)).isEmpty());
    QVERIFY(selector.lineAt(QPoint(5, 5)).isEmpty());
    QVERIFY(!selector.overText(QPoint(5, 5)));
}

QTEST_APPLESS_MAIN(TstTextSelection)
#include "tst_textselection.moc"
