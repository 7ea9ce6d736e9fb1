#include "articles/articletree.h"
#include "view/navigation.h"

#include <QtTest>

using namespace qen;

namespace {
// A tree from its articles' page counts: 0 is a single file, n a package of n pages.
void build(ArticleTree &tree, const QList<int> &articles) {
    for (qsizetype a = 0; a < articles.size(); ++a) {
        const QString base = QStringLiteral("/w/a%1").arg(a);
        if (articles[a] == 0) {
            tree.addSingle(base + QStringLiteral(".tif"));
            continue;
        }
        QStringList pages;
        for (int p = 1; p <= articles[a]; ++p)
            pages << QStringLiteral("p%1.tif").arg(p);
        QVERIFY(tree.addPackage(base + QStringLiteral(".qen"), base, base, pages));
    }
}
} // namespace

class TestNavigation : public QObject {
    Q_OBJECT
private slots:
    void target_data();
    void target();
    void siblings();
};

void TestNavigation::target_data() {
    QTest::addColumn<QList<int>>("articles");
    QTest::addColumn<int>("selected");
    // Targets of codes 1-8 in order: HomePage PrevPage NextPage EndPage HomeArticle
    // PrevArticle NextArticle EndArticle; 0 = the command stops.
    QTest::addColumn<QList<int>>("targets");

    // Package A = 1 (pages 2-4), single file 5, package B = 6 (7-9), package C = 10 (11-13).
    const QList<int> tree{3, 0, 3, 3};
    QTest::newRow("first page, first article") << tree << 2 << QList<int>{0, 0, 3, 4, 1, 0, 5, 10};
    QTest::newRow("middle page, first article") << tree << 3 << QList<int>{2, 2, 4, 4, 1, 0, 5, 10};
    QTest::newRow("last page, first article") << tree << 4 << QList<int>{2, 3, 0, 0, 1, 0, 5, 10};
    QTest::newRow("first package node itself") << tree << 1 << QList<int>{0, 0, 0, 0, 0, 0, 2, 10};
    // A single file after a package: PrevArticle lands on that package's last page.
    QTest::newRow("single file") << tree << 5 << QList<int>{0, 0, 0, 0, 1, 4, 6, 10};
    QTest::newRow("middle package node") << tree << 6 << QList<int>{0, 0, 0, 0, 1, 5, 7, 10};
    QTest::newRow("first page, middle article")
        << tree << 7 << QList<int>{0, 0, 8, 9, 1, 5, 10, 10};
    QTest::newRow("middle page, middle article")
        << tree << 8 << QList<int>{7, 7, 9, 9, 1, 5, 10, 10};
    QTest::newRow("last page, middle article") << tree << 9 << QList<int>{7, 8, 0, 0, 1, 5, 10, 10};
    QTest::newRow("last package node") << tree << 10 << QList<int>{0, 0, 0, 0, 1, 9, 11, 10};
    // Pages of the last article: NextArticle stays and shows the page again.
    QTest::newRow("first page, last article")
        << tree << 11 << QList<int>{0, 0, 12, 13, 1, 6, 11, 10};
    QTest::newRow("middle page, last article")
        << tree << 12 << QList<int>{11, 11, 13, 13, 1, 6, 12, 10};
    QTest::newRow("last node of the tree") << tree << 13 << QList<int>{11, 12, 0, 0, 1, 6, 0, 0};

    // Two packages of three pages, on page 2 of the second.
    QTest::newRow("two packages, page 2 of the second")
        << QList<int>{3, 3} << 7 << QList<int>{6, 6, 8, 8, 1, 1, 7, 5};
    QTest::newRow("two packages, page 3 of the second")
        << QList<int>{3, 3} << 8 << QList<int>{6, 7, 0, 0, 1, 1, 0, 0};
    // The last article is a single file: EndArticle selects it, unless it is selected.
    QTest::newRow("single file last, from a page")
        << QList<int>{3, 0} << 3 << QList<int>{2, 2, 4, 4, 1, 0, 5, 5};
    QTest::newRow("single file last, selected")
        << QList<int>{3, 0} << 5 << QList<int>{0, 0, 0, 0, 1, 4, 0, 0};
    QTest::newRow("only single files")
        << QList<int>{0, 0, 0} << 2 << QList<int>{0, 0, 0, 0, 1, 1, 3, 3};
    QTest::newRow("one page in all") << QList<int>{1} << 2 << QList<int>{0, 0, 0, 0, 1, 0, 0, 0};
    QTest::newRow("empty tree") << QList<int>{} << 0 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("nothing selected") << tree << 0 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0};
}

void TestNavigation::target() {
    QFETCH(QList<int>, articles);
    QFETCH(int, selected);
    QFETCH(QList<int>, targets);
    ArticleTree tree;
    build(tree, articles);
    tree.select(selected);
    for (int code = 1; code <= 8; ++code) {
        const int target = NavigationTarget(tree, NavigationCode(code));
        QVERIFY2(target == targets[code - 1],
                 qPrintable(QStringLiteral("code %1 gave %2").arg(code).arg(target)));
    }
    for (int code : {0, 9, -1, 1 << 30})
        QCOMPARE(NavigationTarget(tree, NavigationCode(code)), 0);
}

void TestNavigation::siblings() {
    ArticleTree tree;
    build(tree, {2, 0, 2});
    // Roots 1, 4, 5; pages 2-3 and 6-7.
    QCOMPARE(tree.nextSibling(1), 4);
    QCOMPARE(tree.nextSibling(4), 5);
    QCOMPARE(tree.nextSibling(5), 0);
    QCOMPARE(tree.previousSibling(5), 4);
    QCOMPARE(tree.previousSibling(1), 0);
    QCOMPARE(tree.nextSibling(2), 3);
    QCOMPARE(tree.nextSibling(3), 0);
    QCOMPARE(tree.previousSibling(7), 6);
    QCOMPARE(tree.previousSibling(6), 0);
    // Close-all starts the links afresh.
    tree.clear();
    build(tree, {0, 0});
    QCOMPARE(tree.previousSibling(2), 1);
    QCOMPARE(tree.previousSibling(1), 0);
}

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
