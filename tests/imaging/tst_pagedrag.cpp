#include "imaging/pagedrag.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace qen;
using Move = pagedrag::Gesture::Move;

Q_DECLARE_METATYPE(Move)

class TestPageDrag : public QObject {
    Q_OBJECT
private slots:
    void gesture_data();
    void gesture();
    void fileNames_data();
    void fileNames();
    void dropGetsThePixelsAsImageAndFile();
    void fileIsNotWrittenOutsideTheFolder_data();
    void fileIsNotWrittenOutsideTheFolder();
    void unwritableFolderStillGivesTheImage();
};

// Moves as (milliseconds after the press, distance to the right); the outcome of the last.
void TestPageDrag::gesture_data() {
    QTest::addColumn<QList<QPoint>>("moves");
    QTest::addColumn<Move>("last");
    QTest::newRow("held, then away") << QList<QPoint>{{600, 30}} << Move::DragOut;
    QTest::newRow("held exactly the hold time") << QList<QPoint>{{500, 10}} << Move::DragOut;
    QTest::newRow("away at once: a band or a pan") << QList<QPoint>{{40, 30}} << Move::Other;
    QTest::newRow("jitter while held, then away")
        << QList<QPoint>{{100, 3}, {300, 9}, {700, 40}} << Move::DragOut;
    QTest::newRow("jitter is undecided") << QList<QPoint>{{100, 3}, {900, 9}} << Move::Undecided;
    // Once a band or pan has begun, holding still inside it never turns it into a drag.
    QTest::newRow("away at once, held, away again")
        << QList<QPoint>{{40, 30}, {900, 31}, {1500, 200}} << Move::Other;
    QTest::newRow("one drag a press") << QList<QPoint>{{600, 30}, {700, 60}} << Move::Spent;
}

void TestPageDrag::gesture() {
    QFETCH(QList<QPoint>, moves);
    QFETCH(Move, last);
    pagedrag::Gesture g(500, 10);
    g.press({100, 100}, 1000);
    Move m = Move::Other;
    for (const QPoint &step : moves)
        m = g.move({100 + step.y(), 100}, 1000 + step.x());
    QCOMPARE(m, last);
    // A move without a press (the button went down elsewhere) is never a drag.
    g.release();
    QCOMPARE(g.move({500, 500}, 99999), Move::Other);
}

void TestPageDrag::fileNames_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("band");
    QTest::addColumn<QString>("name");
    QTest::newRow("page") << "/tmp/x/第3页.tif" << false << "第3页.png";
    QTest::newRow("band") << "/tmp/x/第3页.tif" << true << "第3页-选定区域.png";
    QTest::newRow("two dots") << "/tmp/x/a.b.jpg" << false << "a.b.png";
    QTest::newRow("no file") << "" << false << "页面.png";
}

void TestPageDrag::fileNames() {
    QFETCH(QString, page);
    QFETCH(bool, band);
    QFETCH(QString, name);
    QCOMPARE(pagedrag::fileName(page, band), name);
}

namespace {
QImage stripes() {
    QImage image(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 11, (x + y) % 2 ? 255 : 0));
    return image;
}

// What ImageMagick reads from a PNG: its pixels as 8-bit RGB.
QByteArray rgbByImageMagick(const QString &file) {
    QProcess p;
    p.start(QStringLiteral("convert"),
            {file, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
    p.waitForFinished();
    return p.readAllStandardOutput();
}

QByteArray rgbOf(const QImage &image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QByteArray out;
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char *>(rgb.constScanLine(y)), rgb.width() * 3);
    return out;
}
} // namespace

void TestPageDrag::dropGetsThePixelsAsImageAndFile() {
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        QSKIP("ImageMagick's convert is not installed");
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Temp"));
    // An older drag of the same name is replaced, not appended to.
    QDir().mkpath(folder);
    QFile old(folder + QStringLiteral("/第3页.png"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();

    pagedrag::ImageMimeData data(stripes(), folder, QStringLiteral("第3页.png"));
    QVERIFY(data.hasFormat(QStringLiteral("image/png")));
    QVERIFY(data.hasUrls());
    const QByteArray png = data.data(QStringLiteral("image/png"));
    QVERIFY(png.startsWith("\x89PNG"));
    const QList<QUrl> urls = data.urls();
    QCOMPARE(urls.size(), 1);
    const QString file = urls.first().toLocalFile();
    QCOMPARE(file, folder + QStringLiteral("/第3页.png"));
    QCOMPARE(rgbByImageMagick(file), rgbOf(stripes()));
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), png);
    // Programs that ask for the list as text get the same file, as a URI line.
    QCOMPARE(data.data(QStringLiteral("text/uri-list")),
             QByteArray(QUrl::fromLocalFile(file).toEncoded() + "\r\n"));
}

void TestPageDrag::fileIsNotWrittenOutsideTheFolder_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "..";
    QTest::newRow("path") << "../escaped.png";
    QTest::newRow("empty") << "";
}

void TestPageDrag::fileIsNotWrittenOutsideTheFolder() {
    QFETCH(QString, name);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Temp"));
    pagedrag::ImageMimeData data(stripes(), folder, name);
    QVERIFY(data.urls().isEmpty());
    QVERIFY(!data.data(QStringLiteral("image/png")).isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
}

void TestPageDrag::unwritableFolderStillGivesTheImage() {
    QTemporaryDir dir;
    // A file where the folder should be: no drop gets a file, every drop still gets pixels.
    const QString folder = dir.filePath(QStringLiteral("Temp"));
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    pagedrag::ImageMimeData data(stripes(), folder, QStringLiteral("a.png"));
    QVERIFY(data.urls().isEmpty());
    QCOMPARE(data.writtenFile(), QString());
    QCOMPARE(qvariant_cast<QImage>(data.imageData()), stripes());
}

QTEST_GUILESS_MAIN(TestPageDrag)
#include "tst_pagedrag.moc"
