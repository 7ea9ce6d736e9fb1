#include "testfiles.h"
#include "view/dispatch.h"

#include <QtTest>

using namespace qen;

Q_DECLARE_METATYPE(qen::KeyFocus)

class TestDispatch : public QObject {
    Q_OBJECT
private slots:
    void toolbar_data();
    void toolbar();
    void keys_data();
    void keys();
};

void TestDispatch::toolbar_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("item");
    test::row("as built", "NextPage", "mnuPage_NextPage");
    test::row("other case", "nextPAGE", "mnuPage_NextPage");
    test::row("undo", "UnDo", "mnuTool_Undo");
    test::row("copy page", "CopyPage", "mnuTool_CopyCurrPage");
    test::row("save article", "SaveCurrArticle", "mnuFile_SaveCurrArticle");
    test::row("help is the home page", "Help", "mnuHelp_HomePage");
    test::row("exit", "Exit", "mnuFile_Exit");
    test::row("unknown", "Bogus", "");
    test::row("empty", "", "");
}

void TestDispatch::toolbar() {
    QFETCH(QString, key);
    QTEST(ToolbarCommand(key), "item");
}

void TestDispatch::keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");
    QTest::addColumn<KeyFocus>("focus");
    QTest::addColumn<int>("band"); // width and height of the selection band
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    const auto image = KeyFocus::ImageView, tree = KeyFocus::Tree, text = KeyFocus::TextControl,
               other = KeyFocus::Other;
    const int none = KeyAction::None, scroll = KeyAction::Scroll,
              selection = KeyAction::CopySelection, page = KeyAction::CopyPage;
    test::row("up on the image", int(Qt::Key_Up), 0, image, 0, scroll, 0, -10);
    test::row("down on the image", int(Qt::Key_Down), 0, image, 0, scroll, 0, 10);
    test::row("left on the image", int(Qt::Key_Left), 0, image, 0, scroll, -10, 0);
    test::row("right on the image", int(Qt::Key_Right), 0, image, 0, scroll, 10, 0);
    test::row("page down on the image", int(Qt::Key_PageDown), 0, image, 0, scroll, 0, 100);
    test::row("page up on the image", int(Qt::Key_PageUp), 0, image, 0, scroll, 0, -100);
    test::row("shift+down scrolls as down", int(Qt::Key_Down), 1, image, 0, scroll, 0, 10);
    test::row("ctrl+right scrolls as right", int(Qt::Key_Right), 2, image, 0, scroll, 10, 0);
    // In the tree the arrows move the selection as a tree does; the image is left alone.
    test::row("down in the tree", int(Qt::Key_Down), 0, tree, 0, none, 0, 0);
    test::row("page down in the tree", int(Qt::Key_PageDown), 0, tree, 0, none, 0, 0);
    test::row("other key on the image", int(Qt::Key_A), 0, image, 0, none, 0, 0);
    test::row("ctrl+c with a band", int(Qt::Key_C), 2, image, 5, selection, 0, 0);
    test::row("ctrl+c without a band", int(Qt::Key_C), 2, image, 0, page, 0, 0);
    test::row("ctrl+c in the tree", int(Qt::Key_C), 2, tree, 5, selection, 0, 0);
    test::row("ctrl+c elsewhere", int(Qt::Key_C), 2, other, 0, page, 0, 0);
    // A record or the zoom box copies its own selected text.
    test::row("ctrl+c in a text control", int(Qt::Key_C), 2, text, 5, none, 0, 0);
    test::row("ctrl+shift+c", int(Qt::Key_C), 3, image, 5, none, 0, 0);
    test::row("ctrl+alt+c", int(Qt::Key_C), 6, image, 5, none, 0, 0);
    test::row("plain c", int(Qt::Key_C), 0, image, 5, none, 0, 0);
}

void TestDispatch::keys() {
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(KeyFocus, focus);
    QFETCH(int, band);
    QFETCH(int, kind);
    QFETCH(int, dx);
    QFETCH(int, dy);
    const KeyAction a = KeyTable(key, shift, focus, band, band);
    QCOMPARE(int(a.kind), kind);
    QCOMPARE(a.dx, dx);
    QCOMPARE(a.dy, dy);
}

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
