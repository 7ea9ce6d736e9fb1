// The window among the desktop's programs: files dropped on it from a file manager open as
// the Open command opens them, and a second start brings it to the front.
#include "articles/articletree.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "records/ui/recordview.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>
#include <QtTest>

using namespace qen;

class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void packageAndRecordBothOpen();
    void whatIsTaken_data();
    void whatIsTaken();
    void everyPartOfTheWindowPassesDropsOn();
    void secondStartBringsTheWindowBack();

private:
    // Drags the items over the window and, when the window takes them, drops them there.
    // Returns whether the window took the drag, and the action it answered with.
    std::pair<bool, Qt::DropAction> drop(const QList<QUrl> &urls, Qt::DropActions possible);

    std::unique_ptr<test::WindowFixture> m_fixture;
    MainWindow *m_window = nullptr;
};

void TestDesktop::init() {
    m_fixture = std::make_unique<test::WindowFixture>();
    m_window = m_fixture->window.get();
}

void TestDesktop::cleanup() {
    m_fixture.reset();
}

std::pair<bool, Qt::DropAction> TestDesktop::drop(const QList<QUrl> &urls,
                                                  Qt::DropActions possible) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(m_window->width() / 2, m_window->height() / 2);
    QDragEnterEvent enter(at.toPoint(), possible, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction); // what a file manager proposes within one disk
    enter.ignore();
    QCoreApplication::sendEvent(m_window, &enter);
    if (!enter.isAccepted())
        return {false, Qt::IgnoreAction};
    QDropEvent dropped(at, possible, &data, Qt::LeftButton, Qt::NoModifier);
    dropped.setDropAction(Qt::MoveAction);
    dropped.ignore();
    QCoreApplication::sendEvent(m_window, &dropped);
    return {dropped.isAccepted(), dropped.dropAction()};
}

void TestDesktop::packageAndRecordBothOpen() {
    const QString package = m_fixture->dir.filePath("paper.qen");
    QVERIFY(fixture::writeZip(package,
                              {fixture::file("p1.tif", fixture::g4Tiff()), fixture::file("p2.tif")},
                              fixture::gbk("数字图书馆")));
    const QString record =
        m_fixture->make("record.txt", fixture::gbk("【题名】全文检索\r\n【作者】张三\r\n"));

    const auto [taken, action] = drop({QUrl::fromLocalFile(package), QUrl::fromLocalFile(record)},
                                      Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
    QVERIFY(taken);
    QCOMPARE(action, Qt::CopyAction); // never "moved": the source could delete the originals

    ArticleTree &model = m_window->documents()->model();
    QTRY_COMPARE(m_window->tree()->topLevelItemCount(), 2);
    const QList<int> roots = model.roots();
    QCOMPARE(model.text(roots[0]), QStringLiteral("数字图书馆"));
    QCOMPARE(model.childCount(roots[0]), 2);
    QCOMPARE(model.key(roots[1]), record);
    // As after the Open command: the package added is selected and its first page shown.
    QCOMPARE(model.selected(), model.firstChild(roots[0]));
    QVERIFY(m_window->imageView()->hasImage());
    QVERIFY(m_fixture->ui.messages.isEmpty());
}

void TestDesktop::whatIsTaken_data() {
    QTest::addColumn<QStringList>("items"); // file names under the test folder, or URLs
    QTest::addColumn<int>("possible");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<int>("opened");
    const int all = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QTest::newRow("a page") << QStringList{"page.tif"} << all << true << 1;
    QTest::newRow("folder and page") << QStringList{"folder", "page.tif"} << all << true << 1;
    QTest::newRow("a folder alone") << QStringList{"folder"} << all << false << 0;
    QTest::newRow("a web address")
        << QStringList{"https://www.qeninfo.example/a.qen"} << all << false << 0;
    QTest::newRow("a vanished file") << QStringList{"gone.tif"} << all << false << 0;
    QTest::newRow("link offered") << QStringList{"page.tif"} << int(Qt::LinkAction | Qt::MoveAction)
                                  << true << 1;
    QTest::newRow("move only") << QStringList{"page.tif"} << int(Qt::MoveAction) << false << 0;
}

void TestDesktop::whatIsTaken() {
    QFETCH(QStringList, items);
    QFETCH(int, possible);
    QFETCH(bool, taken);
    QFETCH(int, opened);
    m_fixture->make("page.tif", fixture::g4Tiff());
    QVERIFY(QDir(m_fixture->dir.path()).mkdir("folder"));
    QList<QUrl> urls;
    for (const QString &item : items)
        urls << (item.contains("://") ? QUrl(item)
                                      : QUrl::fromLocalFile(m_fixture->dir.filePath(item)));

    const auto [took, action] = drop(urls, Qt::DropActions(possible));
    QCOMPARE(took, taken);
    if (took)
        QVERIFY(action == Qt::CopyAction || action == Qt::LinkAction);
    QTest::qWait(20); // opening follows the drop's answer
    QCOMPARE(m_window->tree()->topLevelItemCount(), opened);
}

void TestDesktop::everyPartOfTheWindowPassesDropsOn() {
    // The platform gives a drop to the innermost widget under the pointer that accepts
    // drops; a part of the window that accepted them itself would swallow the user's files.
    const QList<QWidget *> parts = {m_window->tree()->viewport(), m_window->imageView(),
                                    m_window->recordView()->viewport()};
    for (QWidget *w : parts) {
        while (w && !w->acceptDrops())
            w = w->parentWidget();
        QCOMPARE(w, static_cast<QWidget *>(m_window));
    }
}

void TestDesktop::secondStartBringsTheWindowBack() {
    m_window->showMaximized();
    m_window->showMinimized();
    QVERIFY(m_window->isMinimized());
    m_window->bringToFront();
    QVERIFY(!m_window->isMinimized());
    QVERIFY(m_window->isMaximized()); // as the user left it, not shrunk to its normal size
    QVERIFY(m_window->isVisible());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
