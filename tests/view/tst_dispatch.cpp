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
    void shortcutsFireWhereTheyMeanIt_data();
    void shortcutsFireWhereTheyMeanIt();
    void menuShortcuts();
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
    test::row("text tool", "SelectText", "mnuTool_SelectText");
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
    QTest::addColumn<bool>("textSelected");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    const auto image = KeyFocus::ImageView, tree = KeyFocus::Tree, text = KeyFocus::TextControl,
               other = KeyFocus::Other;
    const int none = KeyAction::None, scroll = KeyAction::Scroll,
              selection = KeyAction::CopySelection, page = KeyAction::CopyPage;
    test::row("up on the image", int(Qt::Key_Up), 0, image, 0, false, scroll, 0, -10);
    test::row("down on the image", int(Qt::Key_Down), 0, image, 0, false, scroll, 0, 10);
    test::row("left on the image", int(Qt::Key_Left), 0, image, 0, false, scroll, -10, 0);
    test::row("right on the image", int(Qt::Key_Right), 0, image, 0, false, scroll, 10, 0);
    test::row("page down on the image", int(Qt::Key_PageDown), 0, image, 0, false, scroll, 0, 100);
    test::row("page up on the image", int(Qt::Key_PageUp), 0, image, 0, false, scroll, 0, -100);
    test::row("shift+down scrolls as down", int(Qt::Key_Down), 1, image, 0, false, scroll, 0, 10);
    test::row("ctrl+right scrolls as right", int(Qt::Key_Right), 2, image, 0, false, scroll, 10, 0);
    // In the tree the arrows move the selection as a tree does; the image is left alone.
    test::row("down in the tree", int(Qt::Key_Down), 0, tree, 0, false, none, 0, 0);
    test::row("page down in the tree", int(Qt::Key_PageDown), 0, tree, 0, false, none, 0, 0);
    test::row("other key on the image", int(Qt::Key_A), 0, image, 0, false, none, 0, 0);
    const int screenDown = KeyAction::ScreenDown, screenUp = KeyAction::ScreenUp;
    test::row("space on the image", int(Qt::Key_Space), 0, image, 0, false, screenDown, 0, 0);
    test::row("shift+space on the image", int(Qt::Key_Space), 1, image, 0, false, screenUp, 0, 0);
    test::row("ctrl+space on the image", int(Qt::Key_Space), 2, image, 0, false, none, 0, 0);
    test::row("space in the tree", int(Qt::Key_Space), 0, tree, 0, false, none, 0, 0);
    test::row("ctrl+c with a band", int(Qt::Key_C), 2, image, 5, false, selection, 0, 0);
    test::row("ctrl+c without a band", int(Qt::Key_C), 2, image, 0, false, page, 0, 0);
    test::row("ctrl+c in the tree", int(Qt::Key_C), 2, tree, 5, false, selection, 0, 0);
    test::row("ctrl+c elsewhere", int(Qt::Key_C), 2, other, 0, false, page, 0, 0);
    // A record or the zoom box copies its own selected text.
    test::row("ctrl+c in a text control", int(Qt::Key_C), 2, text, 5, false, none, 0, 0);
    test::row("ctrl+shift+c", int(Qt::Key_C), 3, image, 5, false, none, 0, 0);
    test::row("ctrl+alt+c", int(Qt::Key_C), 6, image, 5, false, none, 0, 0);
    test::row("plain c", int(Qt::Key_C), 0, image, 5, false, none, 0, 0);
    // Text selected with the text tool is what Ctrl+C copies, band or not.
    const int copyText = KeyAction::CopyText;
    test::row("ctrl+c with text selected", int(Qt::Key_C), 2, image, 5, true, copyText, 0, 0);
    test::row("ctrl+c with text, in a text control", int(Qt::Key_C), 2, text, 0, true, none, 0, 0);
    // Find: F3 anywhere, Enter and Esc in the bar, whose keys never scroll the page.
    const auto bar = KeyFocus::FindBar;
    const int next = KeyAction::FindNext, previous = KeyAction::FindPrevious,
              closeFind = KeyAction::CloseFind;
    test::row("f3 on the image", int(Qt::Key_F3), 0, image, 0, false, next, 0, 0);
    test::row("shift+f3 on the image", int(Qt::Key_F3), 1, image, 0, false, previous, 0, 0);
    test::row("f3 in the tree", int(Qt::Key_F3), 0, tree, 0, false, next, 0, 0);
    test::row("f3 in the bar", int(Qt::Key_F3), 0, bar, 0, false, next, 0, 0);
    test::row("ctrl+f3", int(Qt::Key_F3), 2, image, 0, false, none, 0, 0);
    test::row("enter in the bar", int(Qt::Key_Return), 0, bar, 0, false, next, 0, 0);
    test::row("keypad enter in the bar", int(Qt::Key_Enter), 0, bar, 0, false, next, 0, 0);
    test::row("shift+enter in the bar", int(Qt::Key_Return), 1, bar, 0, false, previous, 0, 0);
    test::row("esc in the bar", int(Qt::Key_Escape), 0, bar, 0, false, closeFind, 0, 0);
    test::row("esc on the image", int(Qt::Key_Escape), 0, image, 0, false, none, 0, 0);
    test::row("enter on the image", int(Qt::Key_Return), 0, image, 0, false, none, 0, 0);
    test::row("down in the bar edits", int(Qt::Key_Down), 0, bar, 0, false, none, 0, 0);
    test::row("page down in the bar edits", int(Qt::Key_PageDown), 0, bar, 0, false, none, 0, 0);
    test::row("ctrl+c in the bar copies its text", int(Qt::Key_C), 2, bar, 5, true, none, 0, 0);
}

void TestDispatch::keys() {
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(KeyFocus, focus);
    QFETCH(int, band);
    QFETCH(bool, textSelected);
    QFETCH(int, kind);
    QFETCH(int, dx);
    QFETCH(int, dy);
    const KeyAction a = KeyTable(key, shift, focus, band, band, textSelected);
    QCOMPARE(int(a.kind), kind);
    QCOMPARE(a.dx, dx);
    QCOMPARE(a.dy, dy);
}

void TestDispatch::shortcutsFireWhereTheyMeanIt_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("shift");
    QTest::addColumn<KeyFocus>("focus");
    QTest::addColumn<bool>("fires");
    const auto image = KeyFocus::ImageView, tree = KeyFocus::Tree, text = KeyFocus::TextControl,
               other = KeyFocus::Other;
    QTest::newRow("ctrl+o on the image") << int(Qt::Key_O) << 2 << image << true;
    QTest::newRow("ctrl+o in the tree") << int(Qt::Key_O) << 2 << tree << true;
    QTest::newRow("ctrl+o in a text box") << int(Qt::Key_O) << 2 << text << false;
    QTest::newRow("ctrl+0 in the zoom box types") << int(Qt::Key_0) << 2 << text << false;
    QTest::newRow("ctrl+home in a text box") << int(Qt::Key_Home) << 2 << text << false;
    QTest::newRow("f1 in a text box") << int(Qt::Key_F1) << 0 << text << true;
    QTest::newRow("f11 in a text box") << int(Qt::Key_F11) << 0 << text << true;
    QTest::newRow("home on the image") << int(Qt::Key_Home) << 0 << image << true;
    QTest::newRow("end on the image") << int(Qt::Key_End) << 0 << image << true;
    QTest::newRow("home in the tree moves its selection")
        << int(Qt::Key_Home) << 0 << tree << false;
    QTest::newRow("end elsewhere") << int(Qt::Key_End) << 0 << other << false;
    QTest::newRow("ctrl+end in the tree") << int(Qt::Key_End) << 2 << tree << true;
    QTest::newRow("ctrl+home elsewhere") << int(Qt::Key_Home) << 2 << other << true;
    QTest::newRow("ctrl+o in the find bar") << int(Qt::Key_O) << 2 << KeyFocus::FindBar << false;
    QTest::newRow("f1 in the find bar") << int(Qt::Key_F1) << 0 << KeyFocus::FindBar << true;
}

void TestDispatch::shortcutsFireWhereTheyMeanIt() {
    QFETCH(int, key);
    QFETCH(int, shift);
    QFETCH(KeyFocus, focus);
    QTEST(ShortcutAllowed(key, shift, focus), "fires");
}

// Each command's keys, in the order the menus show them.
void TestDispatch::menuShortcuts() {
    QStringList table;
    for (const MenuShortcut &s : MenuShortcuts()) {
        QStringList keys;
        for (const QKeySequence &k : s.keys)
            keys << k.toString(QKeySequence::PortableText);
        table << QString::fromLatin1(s.item) + " " + keys.join(", ");
    }
    QCOMPARE(table, (QStringList{"mnuFile_Open Ctrl+O", "mnuFile_SaveCurrPage Ctrl+S",
                                 "mnuFile_PrintCurrPage Ctrl+P", "mnuFile_CloseAllArticle Ctrl+W",
                                 "mnuFile_Exit Ctrl+Q",
                                 "mnuPage_ZoomIn Ctrl++, Ctrl+=", "mnuPage_ZoomOut Ctrl+-",
                                 "mnuPage_ActualSize Ctrl+0", "mnuPage_FitWidth Ctrl+1",
                                 "mnuPage_FitHeight Ctrl+2", "mnuPage_HomePage Home",
                                 "mnuPage_EndPage End", "mnuPage_HomeArticle Ctrl+Home",
                                 "mnuPage_EndArticle Ctrl+End", "mnuPage_Find Ctrl+F",
                                 "mnuView_FullScreen F11", "mnuHelp_About F1"}));
}

// Qt's standard keys come from the platform theme, which needs a GUI application.
QTEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
