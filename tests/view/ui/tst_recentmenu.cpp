#include "view/ui/recentmenu.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

using namespace qen;

// 最近打开的文件 through the real window: what an opening adds, what survives a restart, and
// what choosing an entry does.
class TestRecentMenu : public QObject {
    Q_OBJECT
private slots:
    void openedFilesAreListedAndKeptAcrossARestart();
    void aGoneFileIsDroppedWhenChosen();
    void aGoneFileIsGreyedWhenTheFileMenuOpens();
};

namespace {

QString package(test::WindowFixture &f, const QString &name, const QByteArray &title) {
    const QString path = f.dir.filePath(name);
    fixture::writeZip(path, {fixture::file("p1.tif", fixture::g4Tiff())}, fixture::gbk(title));
    return path;
}

QStringList entries(const QMenu *menu) {
    QStringList out;
    for (const QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text() + " | " + a->toolTip());
    return out;
}

} // namespace

void TestRecentMenu::openedFilesAreListedAndKeptAcrossARestart() {
    test::WindowFixture f;
    const QString first = package(f, "a.qen", "第一篇");
    const QString second = package(f, "b.qen", "A & B");
    f.window->CreateTree(first);
    f.window->CreateTree(second);
    const QMenu *menu = f.window->recentMenu()->menu();
    QCOMPARE(entries(menu), (QStringList{"&1 A && B | " + second, "&2 第一篇 | " + first, "-",
                                         "清除列表 | 清除列表"}));

    // A new start on the same work root reads the list back.
    f.window.reset();
    f.window = std::make_unique<MainWindow>(
        WorkFolders(f.dir.filePath("QenInfo"), f.dir.filePath("prog")), f.ui);
    f.window->show();
    f.window->Form_Load(QString());
    QCOMPARE(f.window->recentMenu()->files(),
             (QList<RecentFile>{{second, "A & B"}, {first, "第一篇"}}));
    // Choosing an entry opens it, and it moves to the front.
    f.window->recentMenu()->menu()->actions().at(1)->trigger();
    QCOMPARE(f.window->statusPanel(3)->text(), QStringLiteral("第一篇:第1页"));
    QCOMPARE(f.window->recentMenu()->files().first().path, first);

    f.window->recentMenu()->menu()->actions().last()->trigger(); // 清除列表
    QVERIFY(f.window->recentMenu()->files().isEmpty());
    QVERIFY(RecentFiles(f.dir.filePath("QenInfo/Setting/Qen.ini")).load().isEmpty());
}

void TestRecentMenu::aGoneFileIsDroppedWhenChosen() {
    test::WindowFixture f;
    const QString path = package(f, "gone.qen", "旧文章");
    f.window->CreateTree(path);
    f.window->command("mnuFile_CloseAllArticle")->trigger();
    QVERIFY(QFile::remove(path));
    f.window->recentMenu()->choose(0);
    QCOMPARE(f.ui.texts("提示信息").size(), 1);
    QVERIFY(f.ui.texts("提示信息").first().contains(path));
    QVERIFY(f.window->recentMenu()->files().isEmpty());
    QCOMPARE(f.window->tree()->topLevelItemCount(), 0);
}

void TestRecentMenu::aGoneFileIsGreyedWhenTheFileMenuOpens() {
    test::WindowFixture f;
    const QString kept = package(f, "kept.qen", "留着");
    const QString gone = package(f, "gone.qen", "没了");
    f.window->CreateTree(gone);
    f.window->CreateTree(kept);
    RecentMenu *recent = f.window->recentMenu();
    QTRY_VERIFY(!recent->checking());
    QVERIFY(recent->menu()->actions().at(1)->isEnabled());
    QVERIFY(QFile::remove(gone));
    QSignalSpy checked(recent, &RecentMenu::checked);
    auto *fileMenu = f.window->menuBar()->findChild<QMenu *>("mnuFile");
    QVERIFY(fileMenu);
    emit fileMenu->aboutToShow();
    QVERIFY(checked.wait(10000));
    const QList<QAction *> actions = recent->menu()->actions();
    QVERIFY(actions.at(0)->isEnabled());
    QVERIFY(!actions.at(1)->isEnabled());
    QCOMPARE(actions.at(1)->toolTip(), "找不到文件：" + gone);
    // Back where it was: the next look enables it again.
    package(f, "gone.qen", "没了");
    QTRY_VERIFY(!recent->checking());
    emit fileMenu->aboutToShow();
    QVERIFY(checked.wait(10000));
    QVERIFY(recent->menu()->actions().at(1)->isEnabled());
    QCOMPARE(recent->menu()->actions().at(1)->toolTip(), gone);
}

QTEST_MAIN(TestRecentMenu)
#include "tst_recentmenu.moc"
