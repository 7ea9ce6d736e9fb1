#include "platform/error.h"
#include "platform/workahead.h"

#include <QtTest>

#include <atomic>

using namespace qen;

// What the print feed's tests leave out: a lead of more than one item, and failures that
// come back as the exception thrown, in their item's place, with the items after them intact.
class TestWorkAhead : public QObject {
    Q_OBJECT
private slots:
    void neverMoreThanItsLeadAhead_data();
    void neverMoreThanItsLeadAhead();
    void failuresAreThrownInTheirPlace();
};

void TestWorkAhead::neverMoreThanItsLeadAhead_data() {
    QTest::addColumn<int>("ahead");
    QTest::addRow("one") << 1;
    QTest::addRow("three") << 3;
    QTest::addRow("none asked: one") << 0;
}

void TestWorkAhead::neverMoreThanItsLeadAhead() {
    QFETCH(int, ahead);
    const int count = 30;
    std::atomic<int> taken{0}, mostAhead{0};
    WorkAhead<int> work(count, ahead, [&](int i) {
        const int lead = i - taken;
        int seen = mostAhead;
        while (lead > seen && !mostAhead.compare_exchange_weak(seen, lead)) {
        }
        return i * i;
    });
    for (int i = 0; i < count; ++i) {
        // A slow consumer, so that the worker runs as far ahead as it is let.
        QThread::usleep(500);
        QCOMPARE(work.take(i), i * i);
        ++taken;
    }
    // Our count of those taken trails the worker's by one at most, hence the lead's bound;
    // and with a slow consumer the worker does run that far ahead.
    const int lead = std::max(ahead, 1);
    QVERIFY2(mostAhead <= lead && mostAhead >= lead - 1, qPrintable(QString::number(mostAhead)));
}

void TestWorkAhead::failuresAreThrownInTheirPlace() {
    WorkAhead<QString> work(4, 2, [](int i) {
        if (i == 1)
            throw Error(QStringLiteral("文件 p2.tif 已损坏。"));
        return QString::number(i);
    });
    QCOMPARE(work.take(0), QStringLiteral("0"));
    try {
        work.take(1);
        QFAIL("item 1 came back although it failed");
    } catch (const Error &e) {
        QCOMPARE(e.description(), QStringLiteral("文件 p2.tif 已损坏。"));
    }
    QCOMPARE(work.take(2), QStringLiteral("2"));
    QCOMPARE(work.take(3), QStringLiteral("3"));
}

QTEST_GUILESS_MAIN(TestWorkAhead)
#include "tst_workahead.moc"
