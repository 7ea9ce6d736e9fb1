#include "pageview/ui/imageview.h"
#include "platform/ui/twipsgeometry.h"
#include "records/ui/recordview.h"
#include "scriptedinteraction.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/mainwindow.h"
#include "windowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

using namespace qen;

namespace {
// A menu's entries as the user sees them: captions, "-" for separators, "[x]" for a check
// mark, "(off)" for a disabled entry.
QStringList entries(QMenu *menu) {
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator()) {
            out << "-";
            continue;
        }
        QString s = a->objectName() + " " + a->text();
        if (!a->shortcut().isEmpty()) // the first key a menu shows
            s += " " + a->shortcut().toString(QKeySequence::PortableText);
        if (a->isChecked())
            s += " [x]";
        if (!a->isEnabled())
            s += " (off)";
        out << s;
    }
    return out;
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_f.reset(); }
    void identity();
    void menus_data();
    void menus();
    void toolbar();
    void statusBar();
    void formLoadFillsZoomList();
    void closeAllResetsTheWindow();
    void resizeKeepsWidthsAndParksTheOtherView();
    void busyMessageProtocol();

private:
    std::unique_ptr<test::WindowFixture> m_f;
};

void TestMainWindow::init() {
    m_f = std::make_unique<test::WindowFixture>(test::WindowStart::Shown);
    QVERIFY(m_f->exposed);
}

void TestMainWindow::identity() {
    QCOMPARE(m_f->window->windowTitle(), QStringLiteral("Qen Browser"));
    for (const char *name :
         {"tvwTree", "tlbBar", "staBar", "cboZoom", "txtZoom", "imgEdit", "imgHide", "rihEdit",
          "rihHide", "ShowSplitter", "HideSplitter", "ctl"})
        QVERIFY2(m_f->window->findChild<QWidget *>(name), name);
    QVERIFY(!m_f->window->findChild<QWidget *>("imgHide")->isVisible());
    QVERIFY(!m_f->window->findChild<QWidget *>("rihHide")->isVisible());
    // The menu bar's order and the one switched-off menu.
    QStringList titles;
    for (QAction *a : m_f->window->menuBar()->actions())
        titles << a->text() + (a->isEnabled() ? "" : " (off)");
    QCOMPARE(titles,
             (QStringList{"文件(&F)", "页面(&P)", "PDF(&D)", "工具(&T)", "视图(&V)", "帮助(&H)"}));
}

void TestMainWindow::menus_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("expected");
    test::row(
        "file", "mnuFile",
        QStringList{
            "mnuFile_Open 打开文件(&1) Ctrl+O", "mnuFile_Recent 最近打开的文件(&R)", "-",
            "mnuFile_SaveCurrPage 保存当前页(&2) Ctrl+S", "mnuFile_SaveCurrArticle 保存当前篇(&3)",
            "mnuFile_SaveAllArticle 保存所有篇(&4)", "mnuFile_ExportRecords 导出题录...(&E)", "-",
            "mnuFile_CloseAllArticle 关闭所有篇(&5) Ctrl+W", "-",
            "mnuFile_PrintCurrPage 打印当前页(&6) Ctrl+P",
            "mnuFile_PrintCurrArticle 打印当前篇(&7)", "mnuFile_PrintAllArticle 打印所有篇(&8)",
            "mnuFile_PrintPreview 打印预览(&V)", "-", "mnuFile_PrintSetup 打印设置(&9)",
            "mnuFile_SaveType 存贮图像格式(&9) (off)", "-", "mnuFile_Exit 退出(&A) Ctrl+Q"});
    test::row("view", "mnuView",
              QStringList{"mnuView_Grayscale 灰度(&1) [x]", "-", "mnuView_Toolbar 工具栏(&2) [x]",
                          "mnuView_Statusbar 状态栏(&3) [x]", "mnuTool_Navigation 导航栏(&4) [x]",
                          "mnuView_FullScreen 全屏(&7) F11", "mnuView_Thumbnails 缩略图(&T)", "-",
                          "mnuView_Background 背景设置(&5) (off)",
                          "mnuView_Lock 锁定题录(&6) [x]"});
    test::row("pdf", "mnuPDF",
              QStringList{"mnuPDF_Current 存贮当前页为PDF文件(&A)",
                          "mnuPDF_CurrentArticle 存贮当前篇为PDF文件(&B)",
                          "mnuPDF_AllArticle 存贮所有篇为PDF文件(&C)", "-",
                          "mnuPDF_WithText 包含识别文字(&T) [x]"});
    test::row("help", "mnuHelp",
              QStringList{"mnuHelp_HomePage 公司主页(&1)", "-", "mnuHelp_About 关于......(&2) F1"});
}

void TestMainWindow::menus() {
    QFETCH(QString, menu);
    QFETCH(QStringList, expected);
    auto *m = m_f->window->menuBar()->findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(entries(m), expected);
}

void TestMainWindow::toolbar() {
    auto *bar = m_f->window->findChild<QToolBar *>("tlbBar");
    QStringList keys;
    for (QAction *a : bar->actions())
        keys << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    QCOMPARE(keys.join(' '),
             QStringLiteral("OpenFile SaveCurrArticle PrintCurrArticle | HomeArticle "
                            "PrevArticle NextArticle EndArticle | HomePage PrevPage NextPage "
                            "EndPage | ZoomIn ZoomOut FitWidth FitHeight | UnDo CopyPage | "
                            "SelectArea RecognizeArea CopySelectArea SelectText | Help | Exit"));
    QCOMPARE(m_f->window->command("RecognizeArea")->toolTip(), QStringLiteral("识别选定区域"));
    for (QAction *a : bar->actions())
        QVERIFY2(a->isSeparator() || !a->icon().isNull(), qPrintable(a->objectName()));
}

void TestMainWindow::statusBar() {
    QVERIFY(m_f->window->statusPanel(1)->text().contains("Qen"));
    QVERIFY(m_f->window->statusPanel(2)->text().isEmpty());
    QVERIFY(m_f->window->statusPanel(3)->text().isEmpty());
    QVERIFY(m_f->window->statusPanel(4)->text().startsWith("欢迎访问公司主页http"));
    QCOMPARE(m_f->window->statusPanel(4)->toolTip(), m_f->window->statusPanel(4)->text());
}

void TestMainWindow::formLoadFillsZoomList() {
    m_f->window->Form_Load(QString());
    QComboBox *zoom = m_f->window->zoomCombo();
    QCOMPARE(zoom->count(), 12);
    QCOMPARE(zoom->itemText(0), QStringLiteral("10%"));
    QCOMPARE(zoom->itemText(11), QStringLiteral("300%"));
    QCOMPARE(zoom->currentText(), QStringLiteral("50%"));
    QCOMPARE(m_f->window->statusPanel(2)->text(), QStringLiteral("缩放比例:50%"));
    QVERIFY(QFileInfo(m_f->window->folders().temp()).isDir());
    QCOMPARE(m_f->window->imageView()->grayscaleMode(), 1); // the menu item starts checked
}

void TestMainWindow::closeAllResetsTheWindow() {
    m_f->window->Form_Load(QString());
    m_f->window->tree()->addTopLevelItem(new QTreeWidgetItem(QStringList{"文章"}));
    m_f->window->zoomCombo()->setCurrentText("200%");
    m_f->window->statusPanel(3)->setText("文章:第1页");
    // The record view shown: close-all gives the image view back its place.
    const double imageLeft = leftTwips(m_f->window->imageView());
    m_f->window->CreateTree(m_f->make("x.txt", "【篇名】x"));
    QVERIFY(!m_f->window->imageShown());
    QCOMPARE(leftTwips(m_f->window->recordView()), imageLeft);

    m_f->window->command("mnuFile_CloseAllArticle")->trigger();
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 0);
    QCOMPARE(m_f->window->zoomCombo()->currentText(), QStringLiteral("50%"));
    QVERIFY(m_f->window->statusPanel(3)->text().isEmpty());
    QVERIFY(m_f->window->imageShown());
    QCOMPARE(leftTwips(m_f->window->imageView()), imageLeft);
    QVERIFY(leftTwips(m_f->window->recordView()) < -19000);
    QVERIFY(m_f->window->recordView()->tag().isEmpty());
}

void TestMainWindow::resizeKeepsWidthsAndParksTheOtherView() {
    auto *tree = m_f->window->tree();
    const int treeWidth = tree->width();
    m_f->window->resize(900, 600);
    QTest::qWait(20);
    m_f->window->resize(1200, 800);
    QTest::qWait(20);
    QCOMPARE(tree->width(), treeWidth);
    auto *splitter = m_f->window->findChild<QWidget *>("ShowSplitter");
    QCOMPARE(splitter->x(), tree->x() + tree->width());
    // The view fills the rest of the client width.
    auto *view = m_f->window->imageView();
    QCOMPARE(view->x(), splitter->x() + splitter->width());
    QVERIFY(qAbs(view->x() + view->width() - m_f->window->centralWidget()->width()) <= 1);
    QVERIFY(m_f->window->recordView()->x() < -1000);
    QCOMPARE(m_f->window->recordView()->size(), view->size());
    auto *combo = m_f->window->zoomCombo();
    QVERIFY(qAbs(combo->x() + combo->width() - m_f->window->centralWidget()->width()) <= 1);
}

void TestMainWindow::busyMessageProtocol() {
    const QString organising = QStringLiteral("正在组织数据，请稍候...");
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    {
        BusyMessageScope scope;
        QCOMPARE(BusyMessage::current()->note(), organising);
        BusyMessage::current()->ShowMsg(QStringLiteral("正在处理图像，请稍候..."));
        BusyMessage::current()->ShowMsg(QString()); // keeps the caller's text
        QCOMPARE(BusyMessage::current()->note(), QStringLiteral("正在处理图像，请稍候..."));
        QVERIFY(BusyMessage::current()->isVisible());
        // The main window's own dialog even while another window is active: a free window
        // would open wherever the compositor puts new windows.
        QCOMPARE(BusyMessage::current()->parentWidget(), static_cast<QWidget *>(m_f->window.get()));
        QVERIFY(BusyMessage::current()->isWindow());
    }
    // The next operation starts from a fresh window with the default text.
    {
        BusyMessageScope next;
        QCOMPARE(BusyMessage::current()->note(), organising);
        QVERIFY(!BusyMessage::current()->findChild<QPushButton *>(u"cmdCancel"_qs));
    }
    // Work the user may stop: a cancel button, and the window keeps the main window's input
    // away meanwhile.
    BusyMessageScope reading;
    int stopped = 0;
    BusyMessage::current()->ShowProgress(u"正在识别文字 1/3..."_qs, [&] { ++stopped; });
    QCOMPARE(BusyMessage::current()->note(), u"正在识别文字 1/3..."_qs);
    QCOMPARE(BusyMessage::current()->windowModality(), Qt::ApplicationModal);
    auto *cancel = BusyMessage::current()->findChild<QPushButton *>(u"cmdCancel"_qs);
    QVERIFY(cancel && cancel->isVisible());
    QCOMPARE(cancel->text(), u"取消"_qs);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(stopped, 1);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
