#include "export/printfeed.h"
#include "platform/error.h"

#include <QtTest>

#include <atomic>
#include <new>

using namespace qen;

// The feed is the one place where printing runs on two threads: what it hands over, in which
// order, how far ahead it runs, and that it stops.
class TestPrintFeed : public QObject {
    Q_OBJECT
private slots:
    void itemsInOrderOnePageAhead();
    void failuresBecomeItems();
    void stopsWhenDroppedMidway_data();
    void stopsWhenDroppedMidway();
};

void TestPrintFeed::itemsInOrderOnePageAhead() {
    const int count = 20;
    std::atomic<int> held{0}, mostHeld{0};
    PrintFeed feed(count, [&](int i) {
        const int now = ++held;
        int seen = mostHeld;
        while (now > seen && !mostHeld.compare_exchange_weak(seen, now)) {
        }
        FedPage page{FedPage::Image, {}, {}};
        page.image.pixels = QImage(i + 1, 1, QImage::Format_Mono);
        return page;
    });
    for (int i = 0; i < count; ++i) {
        const FedPage page = feed.take(i);
        QCOMPARE(page.kind, FedPage::Image);
        QCOMPARE(page.image.pixels.width(), i + 1);
        // Painting it: the feed may make the next ready meanwhile, and nothing beyond.
        QThread::msleep(2);
        --held;
    }
    QVERIFY2(mostHeld <= 2, qPrintable(QString::number(mostHeld)));
}

void TestPrintFeed::failuresBecomeItems() {
    PrintFeed feed(4, [](int i) -> FedPage {
        if (i == 1)
            throw Error(QStringLiteral("文件 p2.tif 已损坏。"));
        if (i == 2)
            throw std::bad_alloc();
        return {};
    });
    QCOMPARE(feed.take(0).kind, FedPage::Other);
    const FedPage broken = feed.take(1);
    QCOMPARE(broken.kind, FedPage::Failed);
    QCOMPARE(broken.error, QStringLiteral("文件 p2.tif 已损坏。"));
    const FedPage tooLarge = feed.take(2);
    QCOMPARE(tooLarge.kind, FedPage::Failed);
    QVERIFY2(tooLarge.error.contains(QStringLiteral("内存不足")), qPrintable(tooLarge.error));
    QCOMPARE(feed.take(3).kind, FedPage::Other);
}

void TestPrintFeed::stopsWhenDroppedMidway_data() {
    QTest::addColumn<int>("taken");
    QTest::addRow("before the first") << 0;
    QTest::addRow("at page 10 of 20") << 9;
    QTest::addRow("after the last") << 20;
}

void TestPrintFeed::stopsWhenDroppedMidway() {
    QFETCH(int, taken);
    std::atomic<int> prepared{0};
    {
        PrintFeed feed(20, [&](int) {
            ++prepared;
            return FedPage{};
        });
        for (int i = 0; i < taken; ++i)
            feed.take(i);
    }
    // The one in hand at most beyond those taken; no page is prepared for nothing.
    QVERIFY2(prepared <= std::min(taken + 1, 20), qPrintable(QString::number(prepared)));
}

QTEST_GUILESS_MAIN(TestPrintFeed)
#include "tst_printfeed.moc"
