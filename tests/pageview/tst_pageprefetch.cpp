#include "articles/imagedocument.h"
#include "pageview/pageprefetch.h"
#include "pageview/viewgeometry.h"
#include "testfiles.h"
#include "testpages.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestPagePrefetch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void handsOverOnceWhatWasRead();
    void dropsWhatIsNoLongerWanted();
    void changedFileIsReadAgain();
    void unreadableFileIsLeftToTheDisplay();
    void pageBeingReadIsWaitedFor();
    void viewportFollowsTheView_data();
    void viewportFollowsTheView();
    void readingWaitsForTheEventLoop();
    void halfCopyIsMadeAhead_data();
    void halfCopyIsMadeAhead();

private:
    QString page(const QString &name, int width);
    QTemporaryDir m_dir;
};

QString TestPagePrefetch::page(const QString &name, int width) {
    QImage image(width, 300, QImage::Format_Mono);
    image.fill(1);
    for (int y = 10; y < 290; y += 20)
        for (int x = 10; x < width - 10; ++x)
            image.setPixel(x, y, 0);
    const QString path = m_dir.filePath(name);
    ImageDocument::writeFile(image, path, ImageFileType::Tiff);
    return path;
}

void TestPagePrefetch::initTestCase() {
    QVERIFY(m_dir.isValid());
}

void TestPagePrefetch::handsOverOnceWhatWasRead() {
    const QString a = page("a.tif", 400), b = page("b.tif", 500);
    PagePrefetch prefetch;
    prefetch.prefetch({a, b});
    QVERIFY(!prefetch.holds(a)); // asked for, not read yet
    prefetch.waitForIdle();
    QCOMPARE(prefetch.heldCount(), 2);
    QVERIFY(prefetch.holds(a));
    const std::optional<PagePrefetch::Page> got = prefetch.take(a);
    QVERIFY(got);
    QVERIFY(test::samePixels(got->image, ImageDocument::readFile(a)));
    QVERIFY(!prefetch.holds(a));
    QVERIFY(!prefetch.take(a)); // once
    QCOMPARE(prefetch.heldCount(), 1);
    QVERIFY(!prefetch.take(m_dir.filePath("never-asked.tif")));
}

void TestPagePrefetch::dropsWhatIsNoLongerWanted() {
    const QString a = page("c.tif", 400), b = page("d.tif", 400), c = page("e.tif", 400);
    PagePrefetch prefetch;
    prefetch.prefetch({a, b});
    prefetch.waitForIdle();
    // Turning on: the page still wanted is kept, the other dropped; never more than two.
    prefetch.prefetch({b, c});
    prefetch.waitForIdle();
    QCOMPARE(prefetch.heldCount(), 2);
    QVERIFY(!prefetch.take(a));
    QVERIFY(prefetch.take(b));
    // A new article: nothing is held.
    prefetch.prefetch({});
    QCOMPARE(prefetch.heldCount(), 0);
    QVERIFY(!prefetch.take(c));
}

void TestPagePrefetch::changedFileIsReadAgain() {
    const QString a = page("f.tif", 400);
    PagePrefetch prefetch;
    prefetch.prefetch({a});
    prefetch.waitForIdle();
    page("f.tif", 600); // rewritten after it was read ahead
    QVERIFY(!prefetch.take(a));

    // Rewritten after it was asked for but before it was read: the page read is the new one.
    prefetch.prefetch({a});
    page("f.tif", 700);
    prefetch.waitForIdle();
    const std::optional<PagePrefetch::Page> got = prefetch.take(a);
    QVERIFY(got);
    QCOMPARE(got->image.width(), 700);
}

void TestPagePrefetch::unreadableFileIsLeftToTheDisplay() {
    const QString broken = m_dir.filePath("broken.tif");
    test::writeFile(broken, "II*\0garbage");
    PagePrefetch prefetch;
    prefetch.prefetch({broken, m_dir.filePath("missing.tif")});
    prefetch.waitForIdle();
    QVERIFY(!prefetch.holds(broken));
    QVERIFY(!prefetch.take(broken));
    QVERIFY(!prefetch.take(m_dir.filePath("missing.tif")));
}

void TestPagePrefetch::pageBeingReadIsWaitedFor() {
    const QString big = page("big.tif", 4000);
    PagePrefetch prefetch;
    prefetch.prefetch({big});
    QCoreApplication::processEvents(); // the read starts from the event loop
    const std::optional<PagePrefetch::Page> got = prefetch.take(big); // possibly still being read
    QVERIFY(got);
    QCOMPARE(got->image.width(), 4000);
}

// A fit or a zoom after the pages were asked for: what is handed over is the viewport of the
// new zoom, whether the change came while the page was read or after.
void TestPagePrefetch::viewportFollowsTheView_data() {
    QTest::addColumn<bool>("whileReading");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("smooth");
    QTest::addRow("zoomed after the read") << false << 0.25 << true;
    QTest::addRow("zoomed while reading") << true << 0.25 << true;
    QTest::addRow("display mode switched") << false << 0.5 << false;
    QTest::addRow("zoomed in past the page") << false << 3.0 << true;
}

void TestPagePrefetch::viewportFollowsTheView() {
    QFETCH(bool, whileReading);
    QFETCH(double, zoom);
    QFETCH(bool, smooth);
    const QString a = page("g.tif", 2000);
    render::RenderedViewport asked;
    asked.zoom = 0.5;
    asked.smooth = true;
    asked.rect = QRect(0, 0, 640, 120);
    PagePrefetch prefetch;
    prefetch.prefetch({a}, asked);
    if (whileReading)
        QCoreApplication::processEvents(); // the read starts from the event loop
    else
        prefetch.waitForIdle();
    asked.zoom = zoom;
    asked.smooth = smooth;
    prefetch.setViewport(asked);
    const std::optional<PagePrefetch::Page> got = prefetch.take(a);
    QVERIFY(got);
    QCOMPARE(got->viewport.zoom, zoom);
    QCOMPARE(got->viewport.smooth, smooth);
    const QImage page = ImageDocument::readFile(a);
    const QRect shown = asked.rect & QRect(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom));
    QCOMPARE(got->viewport.rect, shown);
    QCOMPARE(got->viewport.image, render::scaledPart(page, zoom, shown, smooth));
}

// The page just shown is painted before its neighbours are read; a turn that comes before
// the read began reads the page itself instead of waiting for it.
void TestPagePrefetch::readingWaitsForTheEventLoop() {
    const QString a = page("h.tif", 400);
    PagePrefetch prefetch;
    prefetch.prefetch({a});
    QCOMPARE(prefetch.heldCount(), 0);
    QVERIFY(!prefetch.take(a));
    prefetch.prefetch({a});
    // A read waiting for the event loop already counts: the display leaves it the core.
    QVERIFY(prefetch.reading());
    QTRY_COMPARE(prefetch.heldCount(), 1); // the event loop started it
    prefetch.waitForIdle();
    QVERIFY(!prefetch.reading());
    prefetch.clear();
    QVERIFY(!prefetch.reading());
}

// Below 50 % a colour page's half-size copy is made in the reader, and its viewport drawn
// from it; other zooms and other pages make none.
void TestPagePrefetch::halfCopyIsMadeAhead_data() {
    QTest::addColumn<bool>("colour");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("made");
    QTest::addRow("colour at 25%%") << true << 0.25 << true;
    QTest::addRow("colour at 50%%") << true << 0.5 << false;
    QTest::addRow("bilevel at 25%%") << false << 0.25 << false;
}

void TestPagePrefetch::halfCopyIsMadeAhead() {
    QFETCH(bool, colour);
    QFETCH(double, zoom);
    QFETCH(bool, made);
    QString path = page("i.tif", 801);
    if (colour) {
        path = m_dir.filePath("colour.tif");
        ImageDocument::writeFile(
            test::colourPage(
                801, 301, [](int x, int y) { return qRgb(x % 256, (y * 5) % 256, (x * y) % 256); }),
            path, ImageFileType::Tiff);
    }
    render::RenderedViewport asked;
    asked.zoom = zoom;
    asked.smooth = true;
    asked.rect = QRect(0, 0, 640, 120);
    PagePrefetch prefetch;
    prefetch.prefetch({path}, asked);
    prefetch.waitForIdle();
    const std::optional<PagePrefetch::Page> got = prefetch.take(path);
    QVERIFY(got);
    QCOMPARE(!got->half.isNull(), made);
    if (made)
        QCOMPARE(got->half, render::halfSize(got->image));
    const QImage fromPage = render::scaledPart(got->image, zoom, got->viewport.rect, true);
    QVERIFY(test::maxDifference(got->viewport.image, fromPage) <= 1);
}

QTEST_GUILESS_MAIN(TestPagePrefetch)
#include "tst_pageprefetch.moc"
