#include "platform/uilocale.h"
#include "testfiles.h"

#include <QLibraryInfo>
#include <QtTest>

using namespace qen;

class TestUiLocale : public QObject {
    Q_OBJECT
private slots:
    void locale_data();
    void locale();
    void catalogue();
};

void TestUiLocale::locale_data() {
    QTest::addColumn<QString>("system");
    QTest::addColumn<QString>("shown");
    test::row("unset", "C", "zh_CN");
    test::row("simplified Chinese", "zh_CN", "zh_CN");
    test::row("traditional Chinese", "zh_TW", "zh_TW");
    test::row("a user's own choice", "de_DE", "de_DE");
}

void TestUiLocale::locale() {
    QFETCH(QString, system);
    QTEST(UiLocale(QLocale(system)).name(), "shown");
}

void TestUiLocale::catalogue() {
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(dir + "/qtbase_zh_CN.qm"))
        QSKIP("Qt's translations are not installed (qt6-translations-l10n)");
    QVERIFY(QtCatalogue(UiLocale(QLocale::c()), dir).endsWith("qtbase_zh_CN.qm"));
    QVERIFY(QtCatalogue(QLocale("zh_TW"), dir).endsWith("qtbase_zh_TW.qm"));
    QVERIFY(QtCatalogue(QLocale("de_AT"), dir).endsWith("qtbase_de.qm")); // by language
    QVERIFY(QtCatalogue(QLocale("zh_CN"), "/nonexistent").isEmpty());
}

QTEST_GUILESS_MAIN(TestUiLocale)
#include "tst_uilocale.moc"
