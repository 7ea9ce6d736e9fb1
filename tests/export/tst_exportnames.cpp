#include "export/exportnames.h"
#include "testfiles.h"

#include <QTest>

using namespace qen::exportnames;

class TestExportNames : public QObject {
    Q_OBJECT
private slots:
    void safeComponent_data();
    void safeComponent();
    void claimsNeverRepeat();
};

void TestExportNames::safeComponent_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("expected");
    qen::test::row("plain", "中国科技期刊", "中国科技期刊");
    qen::test::row("slash", "a/b/../c", "a_b_.._c");
    qen::test::row("control", QString("a\nb\tc") + QChar(0x7F), "a_b_c_");
    qen::test::row("empty", "", "fallback");
    qen::test::row("blank", "   ", "fallback");
    qen::test::row("dot", ".", "fallback");
    qen::test::row("dotdot", " .. ", "fallback");
    qen::test::row("leading dots kept", "...论文", "...论文");
}

void TestExportNames::safeComponent() {
    QFETCH(QString, title);
    QTEST(qen::exportnames::safeComponent(title, "fallback"), "expected");
}

void TestExportNames::claimsNeverRepeat() {
    NameClaims claims;
    QCOMPARE(claims.claim("001.tif"), "001.tif");
    QCOMPARE(claims.claim("001.tif"), "001 (2).tif");
    QCOMPARE(claims.claim("001.tif"), "001 (3).tif");
    QCOMPARE(claims.claim("001 (2).tif"), "001 (2) (2).tif");
    QCOMPARE(claims.claim("标题"), "标题");
    QCOMPARE(claims.claim("标题"), "标题 (2)");
    QCOMPARE(claims.claim(".pdf"), ".pdf");
    QCOMPARE(claims.claim(".pdf"), ".pdf (2)");
    // Case matters on Linux: these are two files.
    QCOMPARE(claims.claim("A.TIF"), "A.TIF");
    QCOMPARE(claims.claim("a.tif"), "a.tif");

    // A long Chinese title is cut to whole characters and leaves room for a suffix.
    const QString longTitle(300, QChar(0x4E2D));
    const QString cut = qen::exportnames::safeComponent(longTitle, "x");
    QVERIFY(cut.toUtf8().size() <= 200);
    QVERIFY(cut.toUtf8().size() > 190);
    const QString emoji = QString(99, 'a') + QString::fromUtf8("😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀");
    QVERIFY(!qen::exportnames::safeComponent(emoji, "x").back().isHighSurrogate());
}

QTEST_GUILESS_MAIN(TestExportNames)
#include "tst_exportnames.moc"
