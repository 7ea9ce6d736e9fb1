// Stepping through the hits of several pages: order, wrap, pages not read yet and pages that
// cannot be read, and what the count says.
#include "ocr/findsearch.h"
#include "testfiles.h"
#include "textlayerfixture.h"

#include <QTest>
#include <map>

using namespace qen;
using namespace qen::ocr;

namespace {

// "?" is a page not read yet, "!" one that cannot be read; anything else is its one line.
struct Pages {
    QStringList names;
    std::map<QString, TextLayer> layers;
};

Pages pagesOf(const QStringList &texts) {
    Pages p;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString name = QStringLiteral("p%1.tif").arg(i);
        p.names << name;
        if (texts[i] != u"?" && texts[i] != u"!")
            p.layers.emplace(name, test::gridLayer({texts[i]}));
    }
    return p;
}

void makeKnown(FindSearch &search, const Pages &p, const QStringList &texts) {
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts[i] == u"!")
            search.pageKnown(p.names[i], nullptr);
        else if (texts[i] != u"?")
            search.pageKnown(p.names[i], &p.layers.at(p.names[i]));
    }
}

// "page:glyph" for a hit with "w" after a wrap, "wait:page", "none", "-".
QString describe(const FindSearch::Step &s) {
    switch (s.kind) {
    case FindSearch::Step::Hit:
        return QStringLiteral("%1:%2%3")
            .arg(s.page)
            .arg(s.match.firstGlyph)
            .arg(s.wrapped ? "w" : "");
    case FindSearch::Step::Waiting:
        return QStringLiteral("wait:%1").arg(s.page);
    case FindSearch::Step::NoHit:
        return QStringLiteral("none");
    case FindSearch::Step::NoQuery:
        break;
    }
    return QStringLiteral("-");
}

} // namespace

class TstFindSearch : public QObject {
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void waitsForThePageItNeeds();
    void pageChangeMovesTheOrigin();
    void pagesOutsideTheSearchAreIgnored();
};

void TstFindSearch::steps_data() {
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("origin");
    QTest::addColumn<QString>("moves"); // n next, p previous
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("count"); // after the last move
    const QStringList three{u"文字识别文字"_qs, u"没有"_qs, u"文字"_qs};
    test::row("forward and wrap", three, u"文字"_qs, 0, u"nnnn"_qs, u"0:0 0:4 2:0 0:0w"_qs,
              u"第 1 处，共 3 处（已从头开始）"_qs);
    test::row("back from the start wraps to the end", three, u"文字"_qs, 0, u"ppp"_qs,
              u"0:4 0:0 2:0w"_qs, u"第 3 处，共 3 处（已从末尾开始）"_qs);
    test::row("from a later page", three, u"文字"_qs, 1, u"nn"_qs, u"2:0 0:0w"_qs,
              u"第 1 处，共 3 处（已从头开始）"_qs);
    test::row("there and back", three, u"文字"_qs, 0, u"nnp"_qs, u"0:0 0:4 0:0"_qs,
              u"第 1 处，共 3 处"_qs);
    test::row("one hit wraps onto itself", QStringList{u"甲乙"_qs, u"丙丁"_qs}, u"丙"_qs, 0,
              u"nn"_qs, u"1:0 1:0w"_qs, u"第 1 处，共 1 处（已从头开始）"_qs);
    test::row("nowhere", three, u"图书"_qs, 0, u"n"_qs, u"none"_qs, u"未找到"_qs);
    test::row("blanks and line ends do not count", QStringList{u"文 字"_qs}, u" 文\r\n字 "_qs, 0,
              u"n"_qs, u"0:0"_qs, u"第 1 处，共 1 处"_qs);
    test::row("blanks alone look for nothing", three, u"   "_qs, 0, u"n"_qs, u"-"_qs, QString());
    test::row("empty query", three, QString(), 0, u"n"_qs, u"-"_qs, QString());
    test::row("a pasted query of 2000 characters", three, QString(2000, u'文'), 0, u"n"_qs,
              u"none"_qs, u"未找到"_qs);
    test::row("a page that cannot be read has no hits", QStringList{u"!"_qs, u"文字"_qs},
              u"文字"_qs, 0, u"nn"_qs, u"1:0 1:0w"_qs, u"第 1 处，共 1 处（已从头开始）"_qs);
    test::row("a page without text", QStringList{QString(), u"文字"_qs}, u"文字"_qs, 0, u"n"_qs,
              u"1:0"_qs, u"第 1 处，共 1 处"_qs);
    test::row("an unread page stops the step", QStringList{u"文字"_qs, u"?"_qs, u"文字"_qs},
              u"文字"_qs, 0, u"nn"_qs, u"0:0 wait:1"_qs, u"第 1 处，共 2 处"_qs);
    test::row("tolerant mode is the caller's: exact here", QStringList{u"数字人金融"_qs},
              u"数字金融"_qs, 0, u"n"_qs, u"none"_qs, u"未找到"_qs);
}

void TstFindSearch::steps() {
    QFETCH(QStringList, texts);
    QFETCH(QString, query);
    QFETCH(int, origin);
    QFETCH(QString, moves);
    const Pages p = pagesOf(texts);
    FindSearch search;
    search.start(query, MatchMode::Exact, p.names, origin);
    makeKnown(search, p, texts);
    QStringList got;
    FindSearch::Step last;
    for (const QChar m : moves) {
        last = m == u'n' ? search.next() : search.previous();
        got << describe(last);
    }
    QTEST(got.join(u' '), "expected");
    QTEST(search.countText(last), "count");
}

void TstFindSearch::waitsForThePageItNeeds() {
    const QStringList texts{u"文字"_qs, u"?"_qs, u"?"_qs, u"文字"_qs};
    Pages p = pagesOf(texts);
    FindSearch search;
    search.start(u"文字"_qs, MatchMode::Exact, p.names, 0);
    makeKnown(search, p, texts);
    QCOMPARE(search.countText({}), u"共 2 处"_qs);
    QCOMPARE(describe(search.next()), u"0:0"_qs);
    QCOMPARE(describe(search.next()), u"wait:1"_qs);
    // The next step needs page 1 first, then the others in order from it.
    QCOMPARE(search.unknownPages(), (QStringList{p.names[1], p.names[2]}));
    // Waiting keeps the place: the step runs on once the page is in.
    const TextLayer one = test::gridLayer({u"一文字"_qs});
    search.pageKnown(p.names[1], &one);
    QCOMPARE(describe(search.next()), u"1:1"_qs);
    QCOMPARE(describe(search.next()), u"wait:2"_qs);
    search.pageKnown(p.names[2], nullptr);
    QCOMPARE(describe(search.next()), u"3:0"_qs);
    QCOMPARE(search.countText({}), u"第 3 处，共 3 处"_qs);
    QVERIFY(search.unknownPages().isEmpty());
}

void TstFindSearch::pageChangeMovesTheOrigin() {
    const QStringList texts{u"文字文字"_qs, u"文字"_qs, u"文字"_qs};
    const Pages p = pagesOf(texts);
    FindSearch search;
    search.start(u"文字"_qs, MatchMode::Exact, p.names, 0);
    makeKnown(search, p, texts);
    QCOMPARE(describe(search.next()), u"0:0"_qs);
    search.setOrigin(2);
    QCOMPARE(search.currentPage(), -1);
    QCOMPARE(search.countText({}), u"共 4 处"_qs);
    QCOMPARE(describe(search.next()), u"2:0"_qs);
    search.setOrigin(2);
    QCOMPARE(describe(search.previous()), u"2:0"_qs);
    QCOMPARE(describe(search.previous()), u"1:0"_qs);
}

void TstFindSearch::pagesOutsideTheSearchAreIgnored() {
    const QStringList texts{u"?"_qs};
    const Pages p = pagesOf(texts);
    FindSearch search;
    search.start(u"文字"_qs, MatchMode::Exact, p.names, 0);
    const TextLayer other = test::gridLayer({u"文字"_qs});
    search.pageKnown(u"elsewhere.tif"_qs, &other);
    QCOMPARE(describe(search.next()), u"wait:0"_qs);
    // Known once; a second delivery of the same page changes nothing.
    search.pageKnown(p.names[0], &other);
    const TextLayer none = test::gridLayer({u"甲"_qs});
    search.pageKnown(p.names[0], &none);
    QCOMPARE(search.total(), 1);
}

QTEST_APPLESS_MAIN(TstFindSearch)
#include "tst_findsearch.moc"
