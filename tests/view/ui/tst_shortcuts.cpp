#include "pageview/ui/imageview.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest>

using namespace qen;

// The standard keys through the real window, as the window system delivers them: shortcuts
// first offered to the focused widget, then run as menu commands.
class TestShortcuts : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void ctrlOOpensTheDialogExceptInTheZoomBox();
    void zoomKeys();
    void homeAndEndTurnPagesFromTheImageOnly();
    void fullScreenAndBack();
    void ctrlWheelZoomsAroundThePointer();
    void spaceAndTheWheelTurnAtTheEdges();
    void f1ShowsTheAboutBox();

private:
    void openPackage(int pages, QSize pageSize = {300, 400});
    QString shownPage() const { return m_f->window->statusPanel(3)->text(); }
    void key(QWidget *target, int key, Qt::KeyboardModifiers modifiers = {}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key), modifiers);
        QCoreApplication::sendPostedEvents();
    }

    std::unique_ptr<test::WindowFixture> m_f;
};

void TestShortcuts::init() {
    m_f = std::make_unique<test::WindowFixture>();
    QVERIFY(m_f->exposed);
}

void TestShortcuts::cleanup() {
    m_f.reset();
}

void TestShortcuts::openPackage(int pages, QSize pageSize) {
    std::vector<fixture::Entry> entries;
    for (int i = 1; i <= pages; ++i)
        entries.push_back(fixture::file(QStringLiteral("p%1.tif").arg(i).toLatin1(),
                                        fixture::g4Tiff(pageSize.width(), pageSize.height())));
    const QString path = m_f->dir.filePath("a.qen");
    QVERIFY(fixture::writeZip(path, entries, fixture::gbk("a")));
    m_f->window->CreateTree(path);
    QCOMPARE(shownPage(), QStringLiteral("a:第1页"));
}

void TestShortcuts::ctrlOOpensTheDialogExceptInTheZoomBox() {
    key(m_f->window->imageView(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_f->ui.openDialogTitles.size(), 1);
    key(m_f->window->tree(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_f->ui.openDialogTitles.size(), 2);
    // In a text box the key is the box's own (the zoom box takes input once a page is open).
    openPackage(1);
    auto *combo = m_f->window->zoomCombo();
    combo->lineEdit()->setFocus();
    QCOMPARE(QApplication::focusWidget(), combo);
    QTest::keyClick(combo, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(m_f->ui.openDialogTitles.size(), 2);
}

void TestShortcuts::zoomKeys() {
    openPackage(1);
    ImageView *view = m_f->window->imageView();
    key(view, Qt::Key_0, Qt::ControlModifier);
    QCOMPARE(view->zoomFactor(), 1.0);
    QCOMPARE(m_f->window->statusPanel(2)->text(), QStringLiteral("缩放比例:100%"));
    // The toolbar's steps, kept in single precision.
    key(view, Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(float(view->zoomFactor()), 1.2f);
    key(view, Qt::Key_Minus, Qt::ControlModifier);
    key(view, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(float(view->zoomFactor()), 0.8f);
    QSignalSpy fitWidth(m_f->window->command("mnuPage_FitWidth"), &QAction::triggered);
    QSignalSpy fitHeight(m_f->window->command("mnuPage_FitHeight"), &QAction::triggered);
    key(view, Qt::Key_1, Qt::ControlModifier);
    key(view, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(fitWidth.count(), 1);
    QCOMPARE(fitHeight.count(), 1);
}

void TestShortcuts::homeAndEndTurnPagesFromTheImageOnly() {
    openPackage(3);
    ImageView *view = m_f->window->imageView();
    key(view, Qt::Key_End);
    QCOMPARE(shownPage(), QStringLiteral("a:第3页"));
    key(view, Qt::Key_Home);
    QCOMPARE(shownPage(), QStringLiteral("a:第1页"));
    // In the tree Home and End move its selection as a tree does, not by the menu commands.
    QSignalSpy homePage(m_f->window->command("mnuPage_HomePage"), &QAction::triggered);
    QSignalSpy endPage(m_f->window->command("mnuPage_EndPage"), &QAction::triggered);
    key(m_f->window->tree(), Qt::Key_End);
    key(m_f->window->tree(), Qt::Key_Home);
    QCOMPARE(homePage.count() + endPage.count(), 0);
    // Ctrl+End goes to the last article from anywhere but a text box.
    QSignalSpy endArticle(m_f->window->command("mnuPage_EndArticle"), &QAction::triggered);
    key(m_f->window->tree(), Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(endArticle.count(), 1);
}

void TestShortcuts::fullScreenAndBack() {
    QAction *item = m_f->window->command("mnuView_FullScreen");
    key(m_f->window->imageView(), Qt::Key_F11);
    QVERIFY(item->isChecked());
    QTRY_VERIFY(m_f->window->windowState() & Qt::WindowFullScreen);
    key(m_f->window->imageView(), Qt::Key_Escape);
    QVERIFY(!item->isChecked());
    QTRY_VERIFY(!(m_f->window->windowState() & Qt::WindowFullScreen));
}

void TestShortcuts::f1ShowsTheAboutBox() {
    QString shown;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            shown = box->objectName();
            box->close();
        }
    });
    closer.start();
    key(m_f->window->tree(), Qt::Key_F1);
    closer.stop();
    QCOMPARE(shown, QStringLiteral("frmAbout"));
}

// A wheel event as the window system sends it to the view's viewport.
static void wheel(QWidget *viewport, QPoint at, int delta, Qt::KeyboardModifiers modifiers) {
    QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

void TestShortcuts::ctrlWheelZoomsAroundThePointer() {
    openPackage(1, {2400, 3200}); // larger than the view, so that it scrolls both ways
    ImageView *view = m_f->window->imageView();
    view->zoomToFactor(1.0);
    view->setScrollX(0);
    view->setScrollY(0);
    const QPoint at(120, 90);
    wheel(view->viewport(), at, 120, Qt::ControlModifier);
    // Applied once the event loop has run: notches arriving together are one zoom.
    QCOMPARE(view->zoomFactor(), 1.0);
    QTRY_COMPARE(view->zoomFactor(), double(float(1.2)));
    QCOMPARE(m_f->window->statusPanel(2)->text(), QStringLiteral("缩放比例:120%"));
    // The page point under the pointer stays there: (120, 90) at 1.2 is (144, 108) scaled.
    QCOMPARE(QPoint(view->scrollX(), view->scrollY()), QPoint(24, 18));
    for (int i = 0; i < 3; ++i)
        wheel(view->viewport(), at, -120, Qt::ControlModifier);
    QTRY_COMPARE(float(view->zoomFactor()), float(0.6));
    // A plain wheel scrolls; it does not zoom.
    wheel(view->viewport(), at, -120, {});
    QCoreApplication::processEvents();
    QCOMPARE(float(view->zoomFactor()), float(0.6));
}

void TestShortcuts::spaceAndTheWheelTurnAtTheEdges() {
    openPackage(2);
    ImageView *view = m_f->window->imageView();
    view->zoomToFactor(3.0); // taller than the view
    const int bottom = view->verticalScrollBar()->maximum();
    QVERIFY(bottom > 0);
    key(view, Qt::Key_Space);
    QVERIFY(view->scrollY() > 0);
    view->setScrollY(bottom);
    key(view, Qt::Key_Space);
    QCOMPARE(shownPage(), QStringLiteral("a:第2页"));
    QCOMPARE(view->scrollY(), 0);
    // At the article's end Space stops.
    view->setScrollY(view->verticalScrollBar()->maximum());
    key(view, Qt::Key_Space);
    QCOMPARE(shownPage(), QStringLiteral("a:第2页"));
    // Shift+Space at the top goes back, to the previous page's bottom.
    view->setScrollY(0);
    key(view, Qt::Key_Space, Qt::ShiftModifier);
    QCOMPARE(shownPage(), QStringLiteral("a:第1页"));
    QCOMPARE(view->scrollY(), view->verticalScrollBar()->maximum());
    // The wheel past the bottom: the first notch stops at the edge, the second turns.
    wheel(view->viewport(), {50, 50}, -120, {});
    QCOMPARE(shownPage(), QStringLiteral("a:第1页"));
    wheel(view->viewport(), {50, 50}, -120, {});
    QCOMPARE(shownPage(), QStringLiteral("a:第2页"));
}

QTEST_MAIN(TestShortcuts)
#include "tst_shortcuts.moc"
