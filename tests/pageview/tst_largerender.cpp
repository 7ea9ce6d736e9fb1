// The renderer of pages read in parts against the renderer of pages held whole, on pages small
// enough for both (made by ImageMagick): the same pixels at the same zooms, to the rounding of
// the level a zoom is drawn from.
#include "articles/imagedocument.h"
#include "articles/largepage.h"
#include "pageview/largerender.h"
#include "pageview/pagerender.h"
#include "pageview/viewgeometry.h"
#include "pageview/viewportcache.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

namespace {

struct Difference {
    int worst = 0;
    double mean = 0;
};

Difference compare(const QImage &a, const QImage &b) {
    Difference d;
    if (a.size() != b.size() || a.format() != b.format())
        return {256, 256};
    const int bytes = a.width() * a.depth() / 8;
    qint64 total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < bytes; ++x) {
            const int v = std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]);
            d.worst = std::max(d.worst, v);
            total += v;
        }
    d.mean = double(total) / (qint64(bytes) * a.height());
    return d;
}

} // namespace

class TestLargeRender : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString page(bool gray) {
        const QString path =
            m_dir.filePath(gray ? QStringLiteral("gray.tif") : QStringLiteral("colour.tif"));
        if (QFile::exists(path))
            return path;
        QStringList args{
            QStringLiteral("-size"), QStringLiteral("903x701"),        QStringLiteral("-seed"),
            QStringLiteral("11"),    QStringLiteral("plasma:fractal"), QStringLiteral("-depth"),
            QStringLiteral("8")};
        if (gray)
            args << QStringLiteral("-colorspace") << QStringLiteral("Gray");
        args << QStringLiteral("-compress") << QStringLiteral("lzw") << path;
        QProcess convert;
        convert.start(QStringLiteral("convert"), args);
        if (!convert.waitForFinished(60000) || convert.exitCode() != 0)
            return {};
        return path;
    }

private slots:
    void sameAsTheWholePage_data();
    void sameAsTheWholePage();
    void scrolledViewportsJoinWithoutSeams();
};

void TestLargeRender::sameAsTheWholePage_data() {
    QTest::addColumn<bool>("gray");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("smooth");
    for (const bool gray : {false, true})
        for (const double zoom : {4.0, 2.0, 1.5, 1.25, 1.0, 0.75, 0.5, 0.3, 0.2, 0.1})
            for (const bool smooth : {true, false})
                QTest::addRow("%s at %g%%%s", gray ? "gray" : "colour", zoom * 100,
                              smooth ? "" : ", unsmoothed")
                    << gray << zoom << smooth;
}

void TestLargeRender::sameAsTheWholePage() {
    QFETCH(bool, gray);
    QFETCH(double, zoom);
    QFETCH(bool, smooth);
    const QString path = page(gray);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert cannot make the page");
    const QImage whole = ImageDocument::readFile(path);
    QString error;
    // An overview at level 2: 226 x 176 pixels.
    const auto large = LargePage::openInParts(path, &error, (gray ? 50 : 200) << 10);
    QVERIFY2(large, qPrintable(error));
    QCOMPARE(large->overviewLevel(), 2);
    const QSize shown = viewgeom::scaledSize(whole.size(), zoom);
    // A part in the middle and one against the bottom right edge.
    for (const QRect &target : {QRect(shown.width() / 3, shown.height() / 4, 97, 61),
                                QRect(shown.width() - 80, shown.height() - 50, 80, 50)}) {
        const QImage::Format format = render::outputFormat(whole);
        QImage drawn(target.size(), format);
        render::LargeRegions regions;
        regions.render(*large, zoom, target, smooth, drawn, {0, 0});
        const int level = render::LargeRegions::levelFor(*large, zoom);
        const double levelZoom = zoom * (1 << level);
        // The level as the page at that level would be drawn whole: exactly the same.
        const QImage levelPage =
            level == 0 ? whole
                       : large->region(QRect(QPoint(0, 0), large->levelSize(level)), level, &error);
        const QImage expected = render::scaledPart(levelPage, levelZoom, target, smooth, format);
        const Difference exact = compare(drawn, expected);
        QVERIFY2(exact.worst == 0, qPrintable(QStringLiteral("level %1: off by %2 at %3,%4")
                                                  .arg(level)
                                                  .arg(exact.worst)
                                                  .arg(target.x())
                                                  .arg(target.y())));
        // And the page held whole, drawn at the zoom: the same to the rounding of the level.
        const Difference direct =
            compare(drawn, render::scaledPart(whole, zoom, target, smooth, format));
        if (level == 0)
            QCOMPARE(direct.worst, 0);
        else if (smooth)
            QVERIFY2(direct.mean < 3, qPrintable(QString::number(direct.mean)));
    }
}

void TestLargeRender::scrolledViewportsJoinWithoutSeams() {
    const QString path = page(false);
    if (path.isEmpty())
        QSKIP("ImageMagick's convert cannot make the page");
    QString error;
    const auto large = LargePage::openInParts(path, &error, 200 << 10);
    QVERIFY2(large, qPrintable(error));
    const QImage whole = ImageDocument::readFile(path);
    render::ViewportCache cache;
    const QRect first(100, 100, 300, 200);
    cache.get(large->overview(), 1, 1.0, true, first, large.get());
    for (const QPoint step : {QPoint(0, 20), QPoint(15, 0), QPoint(-40, -30), QPoint(0, 170)}) {
        const QRect next = cache.rect().translated(step);
        const QImage &shown = cache.get(large->overview(), 1, 1.0, true, next, large.get());
        QCOMPARE(compare(shown, render::scaledPart(whole, 1.0, next, true)).worst, 0);
    }
}

QTEST_GUILESS_MAIN(TestLargeRender)
#include "tst_largerender.moc"
