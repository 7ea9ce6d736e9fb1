#include "articles/imagedocument.h"
#include "pageview/pagerender.h"
#include "pageview/thumbnailcache.h"
#include "pageview/viewgeometry.h"
#include "testfiles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

// The pictures of the thumbnail strip: their size and kind, and which pages the workers make
// in which order, for how long they are kept, and what happens to those of a closed article.
class TestThumbnailCache : public QObject {
    Q_OBJECT
private slots:
    void render_data();
    void render();
    void faxPagesShrinkWhileDecoding_data();
    void faxPagesShrinkWhileDecoding();
    void unreadablePageIsMarkedFailed();
    void pagesOnScreenComeFirst();
    void onlyTheWindowAroundTheScreenIsKept();
    void aClosedArticleIsDropped();
    void aNewSizeMakesThePicturesAgain();

private:
    QString page(const QString &name, QSize size, QImage::Format format);
    QStringList pages(int count, QSize size = {600, 850});
    QTemporaryDir m_dir;
};

// A page with rules across it, so that shrinking it leaves gray where the rules were.
QString TestThumbnailCache::page(const QString &name, QSize size, QImage::Format format) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int y = 10; y < size.height() - 10; y += 12)
        for (int x = 10; x < size.width() - 10; ++x)
            image.setPixel(x, y, qRgb(0, 0, y % 255));
    const QString path = m_dir.filePath(name);
    const QImage stored = image.convertToFormat(format);
    if (name.endsWith(QLatin1String(".png")))
        stored.save(path);
    else
        ImageDocument::writeFile(stored, path,
                                 name.endsWith(QLatin1String(".jpg")) ? ImageFileType::Jpeg
                                                                      : ImageFileType::Tiff);
    return path;
}

QStringList TestThumbnailCache::pages(int count, QSize size) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << page(QStringLiteral("p%1.tif").arg(i), size + QSize(i, 0), QImage::Format_Mono);
    return out;
}

void TestThumbnailCache::render_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("box");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<int>("expectedFormat");
    const int gray = QImage::Format_Grayscale8, mono = QImage::Format_Mono;
    const int rgb = QImage::Format_RGB32, rgb24 = QImage::Format_RGB888;
    // An A4 page at 300 dpi is fitted into the box by its height.
    test::row("G4 A4 page", QString("a4.tif"), QSize(2480, 3508), mono, QSize(96, 136),
              QSize(96, 136), gray);
    // JPEG shrinks while it decodes; the result is fitted all the same.
    test::row("gray JPEG", QString("gray.jpg"), QSize(2480, 3508), gray, QSize(96, 136),
              QSize(96, 136), gray);
    test::row("colour PNG", QString("colour.png"), QSize(1700, 1200), rgb, QSize(96, 136),
              QSize(96, 68), rgb24);
    // A box for a screen of twice the density: a colour picture is held to 64 KB, a gray
    // one fits it whole.
    test::row("colour past 64 KB", QString("big.png"), QSize(1200, 1700), rgb, QSize(192, 272),
              QSize(), rgb24);
    test::row("gray at twice the density", QString("a4-2x.tif"), QSize(2480, 3508), mono,
              QSize(192, 272), QSize(192, 272), gray);
    test::row("a page smaller than the box is not enlarged", QString("small.tif"), QSize(40, 50),
              mono, QSize(96, 136), QSize(40, 50), gray);
}

void TestThumbnailCache::render() {
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(int, format);
    QFETCH(QSize, box);
    QFETCH(QSize, expected);
    QFETCH(int, expectedFormat);
    const QImage picture = ThumbnailCache::render(page(file, size, QImage::Format(format)), box);
    QVERIFY(!picture.isNull());
    if (expected.isValid()) {
        QVERIFY(qAbs(picture.width() - expected.width()) <= 1);
        QVERIFY(qAbs(picture.height() - expected.height()) <= 1);
    } else { // held to the cap, but not far below it
        QVERIFY(picture.sizeInBytes() > ThumbnailCache::MaxBytes * 9 / 10);
    }
    QVERIFY(picture.width() <= box.width() && picture.height() <= box.height());
    QCOMPARE(int(picture.format()), expectedFormat);
    QVERIFY2(picture.sizeInBytes() <= ThumbnailCache::MaxBytes,
             qPrintable(QString::number(picture.sizeInBytes())));
    // The rules are still to be seen as gray, not lost between the sampled pixels.
    if (size.width() > box.width()) {
        int darker = 0;
        for (int y = 0; y < picture.height(); ++y)
            darker += qGray(picture.pixel(picture.width() / 2, y)) < 250;
        QVERIFY(darker > picture.height() / 2);
    }
}

void TestThumbnailCache::faxPagesShrinkWhileDecoding_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("box");
    const QSize small(12, 8); // the fixtures are 37×23
    test::row("G4", QString("tiff-g4.tif"), small);
    test::row("G3 1-D with EOL padding", QString("tiff-g3.tif"), small);
    test::row("G3 2-D", QString("pdf-g3-2d.tif"), small);
    test::row("G3 2-D with fill bits", QString("pdf-g3-2d-fill.tif"), small);
    test::row("fill order 2", QString("tiff-g4-fillorder2.tif"), small);
    test::row("five strips", QString("pdf-g4-multistrip.tif"), small);
    test::row("min-is-black", QString("pdf-g4-minisblack.tif"), small);
    test::row("boxes of uneven sides", QString("tiff-g4.tif"), QSize(30, 19));
    test::row("text page", QString("g4-text-400x300.tif"), QSize(96, 136));
    test::row("truncated", QString("truncated-g4.tif"), small);
    test::row("corrupt data", QString("corrupt-g4-data.tif"), QSize(96, 136));
    test::row("strip past the end", QString("strip-past-end-g4.tif"), QSize(96, 136));
}

// The picture counted from the runs is the one shrinking the decoded page gives, and a page
// the whole decode refuses is refused here too.
void TestThumbnailCache::faxPagesShrinkWhileDecoding() {
    QFETCH(QString, file);
    QFETCH(QSize, box);
    const QByteArray data = test::readFile(test::dataFile(file));
    QVERIFY(!data.isEmpty());
    QString wholeError, shrunkError;
    const QImage page = ImageDocument::decode(data, &wholeError);
    const QImage picture = ImageDocument::decodeReduced(data, box, &shrunkError);
    QCOMPARE(picture.isNull(), page.isNull());
    if (page.isNull()) {
        QVERIFY(!shrunkError.isEmpty());
        return;
    }
    const double zoom =
        std::min(double(box.width()) / page.width(), double(box.height()) / page.height());
    const QSize size = viewgeom::scaledSize(page.size(), zoom);
    const QImage expected = render::scaledPart(page, zoom, QRect(QPoint(0, 0), size), true);
    QCOMPARE(picture.format(), QImage::Format_Grayscale8);
    QCOMPARE(picture.size(), size); // not the whole page: it was shrunk while decoding
    QVERIFY2(test::maxDifference(picture, expected) <= 1,
             qPrintable(QString::number(test::maxDifference(picture, expected))));
    int inked = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            inked += qGray(picture.pixel(x, y)) < 250;
    QVERIFY(inked > 0);
}

void TestThumbnailCache::unreadablePageIsMarkedFailed() {
    ThumbnailCache cache(16, 1);
    QSignalSpy changed(&cache, &ThumbnailCache::changed);
    const QString good = pages(1).first();
    const QStringList files = {good, test::dataFile("truncated.jpg"),
                               test::dataFile("corrupt-g4-data.tif"),
                               test::dataFile("zero-bytes.tif"), m_dir.filePath("missing.tif")};
    cache.setPages(files);
    cache.setVisible(0, int(files.size()) - 1);
    cache.waitForIdle();
    QCOMPARE(cache.state(0), ThumbnailCache::State::Ready);
    for (int i = 1; i < files.size(); ++i) {
        QCOMPARE(cache.state(i), ThumbnailCache::State::Failed);
        QVERIFY(cache.image(i).isNull());
    }
    QCOMPARE(changed.count(), files.size()); // a failure is told like a picture
    QCOMPARE(cache.heldCount(), 1);
}

void TestThumbnailCache::pagesOnScreenComeFirst() {
    ThumbnailCache cache(6, 1);
    QSignalSpy changed(&cache, &ThumbnailCache::changed);
    cache.setPages(pages(30));
    cache.setVisible(20, 22);
    cache.waitForIdle();
    QList<int> order;
    for (const QList<QVariant> &args : changed)
        order << args.at(0).toInt();
    // The screen, then outwards with the page after it first, as far as six pictures go.
    QCOMPARE(order, (QList<int>{20, 21, 22, 23, 19, 24}));
    QCOMPARE(cache.state(18), ThumbnailCache::State::Waiting);
    QCOMPARE(cache.state(25), ThumbnailCache::State::Waiting);
}

void TestThumbnailCache::onlyTheWindowAroundTheScreenIsKept() {
    ThumbnailCache cache(5, 0);
    cache.setPages(pages(40, {200, 280}));
    cache.setVisible(0, 2);
    cache.waitForIdle();
    QCOMPARE(cache.heldCount(), 5);
    cache.setVisible(30, 32);
    QCOMPARE(cache.state(0), ThumbnailCache::State::Waiting); // dropped at once
    cache.waitForIdle();
    QCOMPARE(cache.heldCount(), 5);
    for (int i = 29; i <= 33; ++i)
        QCOMPARE(cache.state(i), ThumbnailCache::State::Ready);
    // Nothing on screen (the strip hidden) asks for nothing and drops nothing.
    cache.setVisible(0, -1);
    cache.waitForIdle();
    QCOMPARE(cache.heldCount(), 5);
    QVERIFY(cache.heldBytes() <= 5 * ThumbnailCache::MaxBytes);
}

void TestThumbnailCache::aClosedArticleIsDropped() {
    ThumbnailCache cache(64, 0);
    QSignalSpy changed(&cache, &ThumbnailCache::changed);
    const QStringList large = pages(12, {2480, 3508});
    cache.setPages(large);
    cache.setVisible(0, 11);
    cache.clear();
    cache.waitForIdle();
    QCOMPARE(cache.count(), 0);
    QCOMPARE(cache.heldBytes(), 0);
    // What was under way when the article closed is thrown away, and the rest never made.
    QVERIFY(changed.count() < large.size());

    // A picture made for the last article never lands in the next one's rows.
    cache.setPages(large);
    cache.setVisible(0, 11);
    cache.setPages({test::dataFile("truncated.jpg")});
    cache.setVisible(0, 0);
    cache.waitForIdle();
    QCOMPARE(cache.count(), 1);
    QCOMPARE(cache.state(0), ThumbnailCache::State::Failed);
}

void TestThumbnailCache::aNewSizeMakesThePicturesAgain() {
    ThumbnailCache cache(8, 1);
    cache.setPages(pages(2));
    cache.setVisible(0, 1);
    cache.waitForIdle();
    QCOMPARE(cache.image(0).height(), 136);
    cache.setBox({48, 68}, 0.5);
    cache.waitForIdle();
    QCOMPARE(cache.image(0).height(), 68);
    QCOMPARE(cache.image(0).devicePixelRatio(), 0.5);
}

QTEST_GUILESS_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
