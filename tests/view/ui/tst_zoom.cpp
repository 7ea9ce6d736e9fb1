#include "view/ui/zoom.h"

#include <QtTest>

class TestZoom : public QObject {
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
};

void TestZoom::leadingNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("percent") << "150%" << 150.0;
    QTest::newRow("plain") << "75" << 75.0;
    QTest::newRow("decimal") << "12.5%" << 12.5;
    QTest::newRow("leading blanks") << "  30%" << 30.0;
    QTest::newRow("exponent") << "1e2%" << 100.0;
    QTest::newRow("negative") << "-20%" << -20.0;
    QTest::newRow("no number") << "%" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
}

void TestZoom::leadingNumber() {
    QFETCH(QString, text);
    QTEST(qen::LeadingNumber(text), "value");
}

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
