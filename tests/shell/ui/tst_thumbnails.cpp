#include "pageview/thumbnailcache.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/thumbnailstrip.h"
#include "platform/profilestring.h"
#include "platform/ui/twipsgeometry.h"
#include "windowfixture.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

using namespace qen;

// 缩略图 through the real window: where the strip stands, what a click and the keys in it
// show, that it follows the page turned to, and that its switch survives a restart.
class TestThumbnails : public QObject {
    Q_OBJECT
private slots:
    void offUntilSwitchedOnAndKeptAcrossARestart();
    void clickingAThumbnailShowsItsPage();
    void keysInTheStripMoveLikeTheTree_data();
    void keysInTheStripMoveLikeTheTree();
    void anUnreadablePageSaysSo();
    void closeAllEmptiesTheStrip();
};

namespace {

QString ini(test::WindowFixture &f) {
    return f.dir.filePath("QenInfo/Setting/Qen.ini");
}

void restart(test::WindowFixture &f) {
    f.window.reset();
    f.window = std::make_unique<MainWindow>(
        WorkFolders(f.dir.filePath("QenInfo"), f.dir.filePath("prog")), f.ui);
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->Form_Load(QString());
}

// The window with the strip switched on and a package of `pages` pages open on page 1.
void openWithStrip(test::WindowFixture &f, int pages) {
    f.command("mnuView_Thumbnails")->trigger();
    f.window->CreateTree(f.package("t.qen", "题名", pages));
    QTRY_COMPARE(f.window->thumbnailStrip()->cache().state(0), ThumbnailCache::State::Ready);
}

QString place(test::WindowFixture &f) {
    return f.window->statusPanel(3)->text();
}

} // namespace

void TestThumbnails::offUntilSwitchedOnAndKeptAcrossARestart() {
    test::WindowFixture f;
    QAction *item = f.command("mnuView_Thumbnails");
    QVERIFY(item->isCheckable());
    QVERIFY(!item->isChecked());
    QVERIFY(f.window->thumbnailStrip()->isHidden());

    item->trigger();
    ThumbnailStrip *strip = f.window->thumbnailStrip();
    QVERIFY(strip->isVisible());
    // Beside the view at its right edge, as tall as the view.
    const TwipsRect view = geometryTwips(f.window->imageView());
    const TwipsRect stripAt = geometryTwips(strip);
    QCOMPARE(strip->geometry().left(), f.window->imageView()->geometry().right() + 1);
    QVERIFY(qAbs(stripAt.top - view.top) < 1 && qAbs(stripAt.height - view.height) < 1);
    QCOMPARE(GetPrivateProfileString("View", "Thumbnails", "", 8, ini(f)), QStringLiteral("1"));

    restart(f);
    QVERIFY(f.command("mnuView_Thumbnails")->isChecked());
    QVERIFY(f.window->thumbnailStrip()->isVisible());
    QCOMPARE(f.window->thumbnailStrip()->geometry().left(),
             f.window->imageView()->geometry().right() + 1);

    f.command("mnuView_Thumbnails")->trigger();
    QVERIFY(f.window->thumbnailStrip()->isHidden());
    restart(f);
    QVERIFY(!f.command("mnuView_Thumbnails")->isChecked());
    QVERIFY(f.window->thumbnailStrip()->isHidden());
}

void TestThumbnails::clickingAThumbnailShowsItsPage() {
    test::WindowFixture f;
    openWithStrip(f, 5);
    ThumbnailStrip *strip = f.window->thumbnailStrip();
    QCOMPARE(strip->model()->rowCount(), 5);
    QCOMPARE(strip->currentIndex().row(), 0);

    const QRect third = strip->visualRect(strip->model()->index(2, 0));
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, third.center());
    QCOMPARE(place(f), QStringLiteral("题名:第3页"));
    QVERIFY(f.window->imageView()->fileName().endsWith("p3.tif"));
    QCOMPARE(strip->currentIndex().row(), 2);

    // Turning the page elsewhere moves the mark with it.
    f.command("mnuPage_NextPage")->trigger();
    QCOMPARE(strip->currentIndex().row(), 3);
    QCOMPARE(strip->selectionModel()->selectedIndexes().size(), 1);
}

void TestThumbnails::keysInTheStripMoveLikeTheTree_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("shown");
    // From page 3 of 5.
    test::row("Down", int(Qt::Key_Down), QString("第4页"));
    test::row("Up", int(Qt::Key_Up), QString("第2页"));
    test::row("Home", int(Qt::Key_Home), QString("第1页"));
    test::row("End", int(Qt::Key_End), QString("第5页"));
    test::row("PgDn", int(Qt::Key_PageDown), QString("第5页"));
}

void TestThumbnails::keysInTheStripMoveLikeTheTree() {
    QFETCH(int, key);
    QFETCH(QString, shown);
    test::WindowFixture f;
    openWithStrip(f, 5);
    ThumbnailStrip *strip = f.window->thumbnailStrip();
    f.window->documents()->nodeClick(strip->nodeOfRow(2));
    QCOMPARE(place(f), QStringLiteral("题名:第3页"));
    strip->setFocus();
    QTest::keyClick(strip, Qt::Key(key));
    QCOMPARE(place(f), "题名:" + shown);
}

void TestThumbnails::anUnreadablePageSaysSo() {
    test::WindowFixture f;
    f.command("mnuView_Thumbnails")->trigger();
    f.window->CreateTree(f.package(
        "bad.qen", "坏页",
        {fixture::file("p1.tif", fixture::g4Tiff()), fixture::file("p2.tif", "not a page")}));
    ThumbnailCache &cache = f.window->thumbnailStrip()->cache();
    // The two are made on two workers: either may finish first.
    QTRY_COMPARE(cache.state(1), ThumbnailCache::State::Failed);
    QTRY_COMPARE(cache.state(0), ThumbnailCache::State::Ready);
    QVERIFY(cache.image(1).isNull());
    QCOMPARE(f.window->thumbnailStrip()->model()->index(1, 0).data().toString(),
             QStringLiteral("2"));
}

void TestThumbnails::closeAllEmptiesTheStrip() {
    test::WindowFixture f;
    openWithStrip(f, 3);
    f.command("mnuFile_CloseAllArticle")->trigger();
    QCOMPARE(f.window->thumbnailStrip()->model()->rowCount(), 0);
    QCOMPARE(f.window->thumbnailStrip()->cache().count(), 0);
    QCOMPARE(f.window->thumbnailStrip()->cache().heldBytes(), 0);
}

QTEST_MAIN(TestThumbnails)
#include "tst_thumbnails.moc"
