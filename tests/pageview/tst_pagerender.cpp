#include "pageview/viewgeometry.h"
#include "pageview/viewportcache.h"

#include <QPainter>
#include <QtTest>

#include "testfiles.h"
#include "testpages.h"

#include <algorithm>
#include <cmath>

using namespace qen;

namespace {

using test::bilevelPage;

QImage monoPage(int w, int h) {
    return bilevelPage(w, h, [w](int x, int y) { return (x * 7 + y * 3) % 13 < 4 || x == w - 1; });
}

QImage grayPage(int w, int h) {
    return test::grayPage(w, h, [](int x, int y) { return (x * 5 + y * 9) % 256; });
}

QImage colourPage(int w, int h) {
    return test::colourPage(
        w, h, [](int x, int y) { return qRgb((x * 3) % 256, (y * 7) % 256, (x + y) % 256); });
}

} // namespace

class TestPageRender : public QObject {
    Q_OBJECT
private slots:
    void fullSizeIsThePage();
    void shrinkingAveragesInk();
    void thinLineSurvivesSmoothShrink();
    void bilevelShrinksAsItsGrayCopy_data();
    void shrinkingAveragesEachChannel_data();
    void shrinkingAveragesEachChannel();
    void bilevelShrinksAsItsGrayCopy();
    void partsJoinWithoutSeams_data();
    void partsJoinWithoutSeams();
    void screenFormatShowsTheSamePixels_data();
    void screenFormatShowsTheSamePixels();
    void halfSizeAveragesTwoByTwo_data();
    void halfSizeAveragesTwoByTwo();
    void halfCopyDrawsWhatThePageDraws_data();
    void halfCopyDrawsWhatThePageDraws();
    void cacheTrustsTheHalfCopyOnlyForItsPage();
    void cacheRendersOnlyWhatIsNew();
    void cacheScrollsInEveryDirection_data();
    void cacheScrollsInEveryDirection();
    void grayOntoScreen_data();
    void grayOntoScreen();
    void tintsOverGray_data();
    void tintsOverGray();
};

void TestPageRender::fullSizeIsThePage() {
    const QImage page = monoPage(45, 20);
    for (bool smooth : {true, false}) {
        const QImage out = render::scaledPart(page, 1.0, page.rect(), smooth);
        QCOMPARE(out.format(), QImage::Format_Grayscale8);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 45; ++x)
                QCOMPARE(int(out.constScanLine(y)[x]), page.pixelIndex(x, y) ? 0 : 255);
    }
}

void TestPageRender::shrinkingAveragesInk() {
    // Left 2x2 block: half ink; right block: all ink.
    const QImage page = bilevelPage(4, 2, [](int x, int y) { return x >= 2 || x == y; });
    const QImage out = render::scaledPart(page, 0.5, QRect(0, 0, 2, 1), true);
    QCOMPARE(int(out.constScanLine(0)[0]), 127);
    QCOMPARE(int(out.constScanLine(0)[1]), 0);

    // More than 255 page rows under one screen pixel: the counts must not overflow.
    const QImage tall = bilevelPage(1000, 1000, [](int, int y) { return y != 999; }); // 1 white row
    const QImage tiny = render::scaledPart(tall, 0.002, QRect(0, 0, 2, 2), true);
    QCOMPARE(int(tiny.constScanLine(0)[0]), 0);
    QCOMPARE(int(tiny.constScanLine(1)[1]), 1); // 1/500 white
}

void TestPageRender::thinLineSurvivesSmoothShrink() {
    // A one-pixel rule between the sampled rows.
    const QImage page = bilevelPage(64, 64, [](int, int y) { return y == 33; });
    const QImage smooth = render::scaledPart(page, 0.25, QRect(0, 0, 16, 16), true);
    const QImage sharp = render::scaledPart(page, 0.25, QRect(0, 0, 16, 16), false);
    QVERIFY(smooth.constScanLine(8)[5] < 255);
    QCOMPARE(int(sharp.constScanLine(8)[5]), 255);
}

// The bilevel path counts ink through its own tables; the same page as gray bytes goes through
// plain sums, so the two agree up to how a half level rounds.
void TestPageRender::bilevelShrinksAsItsGrayCopy_data() {
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QRect>("part");
    for (double zoom : {0.93, 0.77, 0.61, 0.5, 0.33, 0.13, 0.031})
        for (const QRect &part : {QRect(0, 0, 1000, 1000), QRect(3, 5, 17, 11)})
            QTest::addRow("%g%% from %d,%d", zoom * 100, part.x(), part.y()) << zoom << part;
}

void TestPageRender::bilevelShrinksAsItsGrayCopy() {
    QFETCH(double, zoom);
    QFETCH(QRect, part);
    const QImage page = monoPage(457, 311);
    const QRect target =
        part & QRect(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom)); // up to the edges
    const QImage bilevel = render::scaledPart(page, zoom, target, true);
    const QImage gray =
        render::scaledPart(page.convertToFormat(QImage::Format_Grayscale8), zoom, target, true);
    QCOMPARE(bilevel.size(), gray.size());
    for (int y = 0; y < gray.height(); ++y)
        for (int x = 0; x < gray.width(); ++x)
            if (std::abs(bilevel.constScanLine(y)[x] - gray.constScanLine(y)[x]) > 1)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2: %3 against %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(bilevel.constScanLine(y)[x])
                                     .arg(gray.constScanLine(y)[x])));
}

// A box average the plain way: the page pixels from floor(d / zoom) up to floor((d + 1) / zoom)
// in each direction, each channel's sum divided with rounding.
QImage plainBoxAverage(const QImage &page, double zoom, const QRect &target) {
    QImage out(target.size(), page.format());
    const int channels = page.depth() / 8;
    auto box = [zoom](int d, int limit) {
        const int lo = std::clamp(int(std::floor(d / zoom)), 0, limit - 1);
        return std::pair(lo, std::clamp(int(std::floor((d + 1) / zoom)), lo + 1, limit));
    };
    for (int y = 0; y < target.height(); ++y) {
        const auto [top, bottom] = box(target.top() + y, page.height());
        for (int x = 0; x < target.width(); ++x) {
            const auto [left, right] = box(target.left() + x, page.width());
            const quint64 area = quint64(right - left) * quint64(bottom - top);
            for (int c = 0; c < channels; ++c) {
                quint64 sum = 0;
                for (int sy = top; sy < bottom; ++sy)
                    for (int sx = left; sx < right; ++sx)
                        sum += page.constScanLine(sy)[sx * channels + c];
                out.scanLine(y)[x * channels + c] = uchar((sum + area / 2) / area);
            }
        }
    }
    return out;
}

void TestPageRender::shrinkingAveragesEachChannel_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QRect>("part");
    const QImage gray = grayPage(457, 311), colour = colourPage(457, 311);
    for (double zoom : {0.93, 0.77, 0.61, 0.5, 0.33, 0.13, 0.031})
        for (const QRect &part : {QRect(0, 0, 1000, 1000), QRect(3, 5, 17, 11)}) {
            QTest::addRow("gray %g%% from %d,%d", zoom * 100, part.x(), part.y())
                << gray << zoom << part;
            QTest::addRow("colour %g%% from %d,%d", zoom * 100, part.x(), part.y())
                << colour << zoom << part;
        }
    // One box of nearly and one of just over 2^22 pixels, where the division by the area changes
    // its way, each summing to one short of rounding up: the worst case for a multiplication.
    for (int side : {2047, 2049}) {
        QImage page(side, side, QImage::Format_Grayscale8);
        page.fill(254);
        const qint64 area = qint64(side) * side, extra = (area + 1) / 2 - 1;
        for (qint64 k = 0; k < extra; ++k)
            page.scanLine(int(k / side))[k % side] = 255;
        const double zoom = 1 / (side + 0.5);
        QTest::addRow("gray box of %d squared", side) << page << zoom << QRect(0, 0, 1, 1);
        QTest::addRow("colour box of %d squared", side)
            << page.convertToFormat(QImage::Format_RGB32) << zoom << QRect(0, 0, 1, 1);
    }
}

void TestPageRender::shrinkingAveragesEachChannel() {
    QFETCH(QImage, page);
    QFETCH(double, zoom);
    QFETCH(QRect, part);
    const QRect target = part & QRect(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom));
    QVERIFY(!target.isEmpty());
    QCOMPARE(render::scaledPart(page, zoom, target, true), plainBoxAverage(page, zoom, target));
}

void TestPageRender::partsJoinWithoutSeams_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<bool>("screen");
    const QImage pages[] = {monoPage(301, 157), grayPage(301, 157), colourPage(301, 157)};
    const char *names[] = {"bilevel", "gray", "colour"};
    for (int i = 0; i < 3; ++i)
        for (double zoom : {0.3, 0.77, 1.0, 2.5})
            for (bool smooth : {true, false})
                for (bool screen : {false, true})
                    QTest::addRow("%s %g%% %s%s", names[i], zoom * 100, smooth ? "smooth" : "sharp",
                                  screen ? " for the screen" : "")
                        << pages[i] << zoom << smooth << screen;
}

void TestPageRender::partsJoinWithoutSeams() {
    QFETCH(QImage, page);
    QFETCH(double, zoom);
    QFETCH(bool, smooth);
    QFETCH(bool, screen);
    const QRect all(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom));
    const QImage whole = render::scaledPart(
        page, zoom, all, smooth, screen ? render::ScreenFormat : render::outputFormat(page));
    QImage pieced(all.size(), whole.format());
    pieced.fill(0x7f);
    const int cx = all.width() / 3, cy = all.height() * 2 / 5;
    for (const QRect &part :
         {QRect(QPoint(0, 0), QPoint(cx, cy)), QRect(QPoint(cx + 1, 0), QPoint(all.right(), cy)),
          QRect(QPoint(0, cy + 1), QPoint(all.right(), all.bottom()))})
        render::renderInto(page, zoom, part, smooth, pieced, part.topLeft());
    QCOMPARE(pieced, whole);
}

// What the screen gets is the page's own rendering, pixel for pixel, only in the format the
// window paints without converting.
void TestPageRender::screenFormatShowsTheSamePixels_data() {
    QTest::addColumn<QImage>("page");
    QTest::addRow("bilevel") << monoPage(203, 131);
    QTest::addRow("gray") << grayPage(203, 131);
    QTest::addRow("colour") << colourPage(203, 131);
}

void TestPageRender::screenFormatShowsTheSamePixels() {
    QFETCH(QImage, page);
    const QRect part(7, 5, 90, 60);
    for (bool smooth : {true, false}) {
        const QImage own = render::scaledPart(page, 0.61, part, smooth);
        const QImage screen = render::scaledPart(page, 0.61, part, smooth, render::ScreenFormat);
        QCOMPARE(screen.format(), render::ScreenFormat);
        QCOMPARE(screen, own.convertToFormat(render::ScreenFormat));
    }
}

// The copy is the page shrunk to 50 % by the plain box average, odd edges included.
void TestPageRender::halfSizeAveragesTwoByTwo_data() {
    QTest::addColumn<QImage>("page");
    for (const QSize &size :
         {QSize(457, 311), QSize(300, 200), QSize(1, 1), QSize(2, 1), QSize(1, 3), QSize(5, 2)}) {
        const QImage page = colourPage(size.width(), size.height());
        QTest::addRow("RGB32 %dx%d", size.width(), size.height()) << page;
        QTest::addRow("ARGB32 %dx%d", size.width(), size.height())
            << page.convertToFormat(QImage::Format_ARGB32);
    }
    QTest::addRow("gray: none") << grayPage(30, 20);
    QTest::addRow("bilevel: none") << monoPage(30, 20);
}

void TestPageRender::halfSizeAveragesTwoByTwo() {
    QFETCH(QImage, page);
    const QImage half = render::halfSize(page);
    if (render::outputFormat(page) != QImage::Format_RGB32) {
        QVERIFY(half.isNull());
        return;
    }
    QCOMPARE(half.format(), page.format());
    QCOMPARE(half,
             plainBoxAverage(page, 0.5, QRect(QPoint(0, 0), render::halfSizeOf(page.size()))));
}

// Where the copy's boxes are the page's (25 %, 12.5 %) only its rounding shows, odd edges
// included; at other zooms, from 50 % up and unsmoothed, the page is drawn from as before.
void TestPageRender::halfCopyDrawsWhatThePageDraws_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("smooth");
    QTest::addColumn<bool>("fromHalf");
    const QImage odd = colourPage(457, 311), even = colourPage(400, 300);
    for (double zoom : {0.25, 0.125}) {
        QTest::addRow("odd sizes %g%%", zoom * 100) << odd << zoom << true << true;
        QTest::addRow("even sizes %g%%", zoom * 100) << even << zoom << true << true;
    }
    QTest::addRow("ARGB32 25%%") << odd.convertToFormat(QImage::Format_ARGB32) << 0.25 << true
                                 << true;
    for (double zoom : {0.49, 0.35, 0.3, 0.13, 0.5, 0.77})
        QTest::addRow("boxes apart %g%%", zoom * 100) << odd << zoom << true << false;
    QTest::addRow("unsmoothed 25%%") << odd << 0.25 << false << false;
}

void TestPageRender::halfCopyDrawsWhatThePageDraws() {
    QFETCH(QImage, page);
    QFETCH(double, zoom);
    QFETCH(bool, smooth);
    QFETCH(bool, fromHalf);
    QCOMPARE(render::drawsFromHalf(page, zoom, smooth), fromHalf);
    const QImage half = render::halfSize(page);
    const QRect all(QPoint(0, 0), viewgeom::scaledSize(page.size(), zoom));
    for (const QRect &part : {all, QRect(3, 5, 17, 11) & all, QRect(all.right() - 6, 2, 7, 9)}) {
        const QImage fromPage = render::scaledPart(page, zoom, part, smooth);
        const QImage drawn =
            render::scaledPart(page, zoom, part, smooth, render::outputFormat(page), &half);
        const int difference = test::maxDifference(drawn, fromPage);
        QVERIFY2(difference <= (fromHalf ? 1 : 0), qPrintable(QString::number(difference)));
    }
}

// The copy stands for one page at one revision: an adjusted page is drawn afresh, a copy of
// the wrong size is refused, gray pages hold none.
void TestPageRender::cacheTrustsTheHalfCopyOnlyForItsPage() {
    const QImage page = colourPage(400, 300);
    const QRect view(0, 0, 100, 75);
    const QImage fromPage = render::scaledPart(page, 0.25, view, true);
    render::ViewportCache cache;
    QImage marked(render::halfSizeOf(page.size()), QImage::Format_RGB32);
    marked.fill(Qt::black);
    cache.seedHalf(page, 1, marked);
    QCOMPARE(cache.halfBytes(), marked.sizeInBytes());
    QCOMPARE(QImage(cache.get(page, 1, 0.25, true, view)).pixel(50, 40), qRgb(0, 0, 0));
    QVERIFY(test::maxDifference(cache.get(page, 2, 0.25, true, view), fromPage) <= 1);
    QCOMPARE(cache.halfBytes(), render::halfSize(page).sizeInBytes()); // made for revision 2
    QCOMPARE(cache.get(page, 2, 0.5, true, view), render::scaledPart(page, 0.5, view, true));

    cache.seedHalf(page, 3, marked.copy(0, 0, 10, 10));
    QVERIFY(test::maxDifference(cache.get(page, 3, 0.25, true, view), fromPage) <= 1);

    cache.get(grayPage(400, 300), 1, 0.25, true, view);
    QCOMPARE(cache.halfBytes(), 0);
    cache.get(page, 1, 0.25, true, view);
    QVERIFY(cache.halfBytes() > 0);
    cache.clear();
    QCOMPARE(cache.halfBytes(), 0);
}

void TestPageRender::cacheRendersOnlyWhatIsNew() {
    const QImage page = monoPage(800, 1200);
    render::ViewportCache cache;
    const QRect view(0, 0, 300, 200);
    const QImage first = cache.get(page, 1, 0.77, true, view);
    QCOMPARE(cache.lastRendered(), 300 * 200);
    QCOMPARE(first.format(), QImage::Format_Grayscale8); // a byte a pixel until painted
    QCOMPARE(cache.bytes(), qint64(300 * 200));
    cache.get(page, 1, 0.77, true, view);
    QCOMPARE(cache.lastRendered(), 0);
    const QImage scrolled = cache.get(page, 1, 0.77, true, view.translated(0, 10));
    QCOMPARE(cache.lastRendered(), 300 * 10);
    QCOMPARE(scrolled, render::scaledPart(page, 0.77, view.translated(0, 10), true));
    cache.get(page, 2, 0.77, true, view); // the page was adjusted
    QCOMPARE(cache.lastRendered(), 300 * 200);
    cache.get(page, 2, 0.9, true, view); // zoomed
    QCOMPARE(cache.lastRendered(), 300 * 200);
    cache.get(page, 2, 0.9, false, view); // other display mode
    QCOMPARE(cache.lastRendered(), 300 * 200);
    QVERIFY(cache.get(QImage(), 3, 1.0, true, view).isNull());
    QCOMPARE(cache.bytes(), 0);
}

// A scroll keeps what stays in view and renders the rest; the viewport must come out as a
// fresh render of the new place whichever way it moved, also when the window resized.
void TestPageRender::cacheScrollsInEveryDirection_data() {
    QTest::addColumn<QImage>("page");
    QTest::addColumn<QRect>("to");
    const QImage pages[] = {monoPage(500, 700), grayPage(500, 700), colourPage(500, 700)};
    const char *names[] = {"bilevel", "gray", "colour"};
    const QRect from(40, 60, 200, 150);
    for (int i = 0; i < 3; ++i) {
        QTest::addRow("%s down", names[i]) << pages[i] << from.translated(0, 30);
        QTest::addRow("%s up", names[i]) << pages[i] << from.translated(0, -30);
        QTest::addRow("%s right", names[i]) << pages[i] << from.translated(25, 0);
        QTest::addRow("%s up and left", names[i]) << pages[i] << from.translated(-25, -7);
        QTest::addRow("%s resized", names[i]) << pages[i] << from.adjusted(-10, 5, 30, 20);
    }
}

void TestPageRender::cacheScrollsInEveryDirection() {
    QFETCH(QImage, page);
    QFETCH(QRect, to);
    render::ViewportCache cache;
    cache.get(page, 1, 0.9, true, QRect(40, 60, 200, 150));
    const QImage scrolled = cache.get(page, 1, 0.9, true, to);
    QVERIFY(cache.lastRendered() < qint64(to.width()) * to.height());
    QCOMPARE(scrolled, render::scaledPart(page, 0.9, to, true));
}

// Widening a gray part onto the screen: every start and width around the 16-pixel blocks the
// fast path writes, onto both screen formats, touching nothing outside the target rectangle.
void TestPageRender::grayOntoScreen_data() {
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRect>("from");
    QTest::addColumn<QPoint>("at");
    for (const QImage::Format format :
         {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        const char *name = format == QImage::Format_RGB32 ? "rgb32" : "argb32pm";
        for (const int width : {1, 3, 15, 16, 17, 31, 33, 64, 70})
            for (const int x : {0, 1, 3, 5})
                QTest::addRow("%s, %d wide at %d", name, width, x)
                    << format << QRect(x, 2, width, 5) << QPoint(x + 2, 1);
    }
}

void TestPageRender::grayOntoScreen() {
    QFETCH(QImage::Format, format);
    QFETCH(QRect, from);
    QFETCH(QPoint, at);
    const QImage gray = test::grayPage(80, 9, [](int x, int y) { return (x * 7 + y * 31) & 255; });
    QImage screen(90, 8, format);
    screen.fill(qRgb(200, 10, 30));
    QImage expected = screen;
    {
        QPainter p(&expected);
        p.drawImage(at, gray.copy(from));
    }
    render::grayOntoScreen(gray, from, screen, at);
    QCOMPARE(screen, expected);
}

// Marks blended as the gray is widened, against Qt's own source-over of the same colours
// drawn after the page, clipped to the target: marks inside, across the target's edges,
// overlapping, on the rows' 16-pixel block edges, and wholly outside.
using Tints = QList<render::Tint>;

void TestPageRender::tintsOverGray_data() {
    QTest::addColumn<Tints>("tints");
    const QColor amber(255, 190, 0, 80), strong(255, 110, 0, 140), blue(48, 140, 255, 70);
    const QList<std::pair<const char *, Tints>> rows = {
        {"none", {}},
        {"one inside", {{QRect(40, 4, 30, 5), amber}}},
        {"across the left and top", {{QRect(0, 0, 25, 6), amber}}},
        {"across the right and bottom", {{QRect(180, 8, 60, 20), blue}}},
        {"one pixel", {{QRect(33, 7, 1, 1), strong}}},
        {"overlapping",
         {{QRect(40, 4, 30, 5), amber},
          {QRect(50, 2, 10, 9), strong},
          {QRect(45, 6, 60, 2), blue}}},
        {"side by side on a row",
         {{QRect(10, 5, 7, 3), amber}, {QRect(17, 5, 7, 3), strong}, {QRect(120, 5, 16, 3), blue}}},
        {"outside", {{QRect(0, 12, 200, 3), amber}, {QRect(205, 0, 4, 14), blue}}},
        {"opaque", {{QRect(60, 3, 20, 4), QColor(0, 0, 255)}}},
        // Rows of one mark set are cut once for all; a mark ending or starting must recut them.
        {"one ends, the next begins",
         {{QRect(20, 2, 40, 3), amber}, {QRect(20, 5, 40, 3), blue}, {QRect(90, 3, 9, 6), strong}}},
    };
    // Store rows that fall alike on cache lines (a stride of whole lines) and unlike.
    QTest::addColumn<int>("screenWidth");
    for (const int screenWidth : {210, 256})
        for (const auto &[name, tints] : rows)
            QTest::addRow("%s, store %d wide", name, screenWidth) << tints << screenWidth;
}

void TestPageRender::tintsOverGray() {
    QFETCH(Tints, tints);
    QFETCH(int, screenWidth);
    const QImage gray =
        test::grayPage(200, 12, [](int x, int y) { return (x * 13 + y * 29) & 255; });
    const QRect from(3, 1, 190, 10);
    const QPoint at(5, 2);
    QImage screen(screenWidth, 14, QImage::Format_RGB32);
    screen.fill(qRgb(200, 10, 30));
    QImage expected = screen;
    {
        QPainter p(&expected);
        p.drawImage(at, gray.copy(from));
        p.setClipRect(QRect(at, from.size()));
        for (const render::Tint &t : tints)
            p.fillRect(t.rect, t.colour);
    }
    render::grayOntoScreen(gray, from, screen, at, tints.constData(), int(tints.size()));
    QVERIFY2(test::maxDifference(screen, expected) <= 1,
             qPrintable(QString::number(test::maxDifference(screen, expected))));
}

QTEST_GUILESS_MAIN(TestPageRender)
#include "tst_pagerender.moc"
