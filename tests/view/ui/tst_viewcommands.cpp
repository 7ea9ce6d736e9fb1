// The real main window driven through its menus, toolbar and keys: navigation, zoom, the bar
// toggles, the splitter, the key table and the Help commands.
#include "help/ui/aboutbox.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "platform/ui/twipsgeometry.h"
#include "records/ui/recordview.h"
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"
#include "view/ui/elidedlabel.h"
#include "view/ui/navigator.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

using namespace qen;

class TestViewCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menusAndToolbarNavigate();
    void turnAfterAViewChangeIsACopy_data();
    void turnAfterAViewChangeIsACopy();
    void pageCommandsStayOnARecord();
    void barsToggle();
    void narrowWindowOverlapsNothing();
    void aNewStatusTextRepaintsOnlyItsPanel();
    void textsLaidOutAheadFollowWidthAndFont();
    void navigationPaneComesBackFromARecord();
    void splitterDrag();
    void keys();
    void ctrlCInTheRecordViewKeepsItsText();
    void zoomBoxTakesItsKeys();
    void toolbarButtonsRunTheirMenuItems();
    void help();
    void linkLabel();

private:
    QString package(const QString &name, int pages);
    void open(const QStringList &paths);
    QString shownPage() const;
    void turnPaintsACopy(const char *nextFile);
    // A command, and the posted work the event loop does after it before the next input.
    void run(const char *name) {
        m_f->window->command(QString::fromLatin1(name))->trigger();
        QCoreApplication::sendPostedEvents();
    }

    std::unique_ptr<test::WindowFixture> m_f;
};

QString TestViewCommands::package(const QString &name, int pages) {
    std::vector<fixture::Entry> entries;
    for (int i = 1; i <= pages; ++i)
        entries.push_back(fixture::file(QStringLiteral("p%1.tif").arg(i).toLatin1(),
                                        fixture::g4Tiff(300 + i, 400)));
    const QString path = m_f->dir.filePath(name);
    if (!fixture::writeZip(path, entries, fixture::gbk(name)))
        return {};
    return path;
}

void TestViewCommands::open(const QStringList &paths) {
    m_f->ui.openAnswers << paths;
    run("mnuFile_Open");
}

// "title:第N页" for a page, as status panel 3 shows it.
QString TestViewCommands::shownPage() const {
    return m_f->window->statusPanel(3)->text();
}

void TestViewCommands::init() {
    m_f = std::make_unique<test::WindowFixture>(test::WindowStart::Loaded);
    QVERIFY(m_f->exposed);
}

void TestViewCommands::cleanup() {
    m_f.reset();
}

void TestViewCommands::menusAndToolbarNavigate() {
    const QString single = m_f->dir.filePath("single.tif");
    fixture::writeAll(single, fixture::g4Tiff(200, 200));
    open({package("a.qen", 3), package("b.qen", 2), single});
    run("mnuPage_HomeArticle");
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第1页"));
    run("mnuPage_NextPage"); // 下一页
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第2页"));
    run("NextPage"); // the toolbar's button
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第3页"));
    run("mnuPage_NextPage"); // the last page: nothing moves
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第3页"));
    run("mnuPage_NextArticle");
    QCOMPARE(shownPage(), QStringLiteral("b.qen:第1页"));
    run("mnuPage_EndArticle"); // 最末篇: the single file
    QCOMPARE(shownPage(), QStringLiteral("single"));
    QVERIFY(m_f->window->imageView()->fileName().endsWith("single.tif"));
    run("mnuPage_PrevArticle"); // the last page of the package before it
    QCOMPARE(shownPage(), QStringLiteral("b.qen:第2页"));
    run("mnuPage_HomePage"); // 最前页
    QCOMPARE(shownPage(), QStringLiteral("b.qen:第1页"));
    // The tree's highlight follows the shown page once the event loop runs.
    const auto highlighted = [this] {
        const QTreeWidgetItem *it = m_f->window->tree()->currentItem();
        return it ? it->text(0) : QString();
    };
    QTRY_COMPARE(highlighted(), QStringLiteral("第1页"));
    // The next page was read and rendered ahead while this one was shown.
    turnPaintsACopy("p2.tif");
    QVERIFY(m_f->ui.messages.isEmpty());
}

// After a pause for the read-ahead, the next page is painted without rendering a pixel.
void TestViewCommands::turnPaintsACopy(const char *nextFile) {
    ImageView *view = m_f->window->imageView();
    view->viewport()->repaint();
    m_f->window->documents()->prefetch().waitForIdle();
    run("mnuPage_NextPage");
    QVERIFY(view->fileName().endsWith(QLatin1String(nextFile)));
    view->viewport()->repaint();
    QCOMPARE(view->viewportCache().lastRendered(), 0);
    QVERIFY(!view->viewportCache().rect().isEmpty());
}

// The pages next to the shown one are read and rendered ahead at the view's zoom; a change of
// zoom, display mode or window size after that (opening itself ends with a fit) must not
// leave the next turn to render the page afresh.
void TestViewCommands::turnAfterAViewChangeIsACopy_data() {
    QTest::addColumn<QString>("change");
    QTest::addRow("fit width after opening") << QString();
    QTest::addRow("zoom in") << QStringLiteral("mnuPage_ZoomIn");
    QTest::addRow("fit height") << QStringLiteral("mnuPage_FitHeight");
    QTest::addRow("grayscale view switched") << QStringLiteral("grayscale");
    QTest::addRow("window made larger") << QStringLiteral("resize");
}

void TestViewCommands::turnAfterAViewChangeIsACopy() {
    QFETCH(QString, change);
    open({package("a.qen", 3)});
    ImageView *view = m_f->window->imageView();
    if (change == QLatin1String("grayscale"))
        view->setGrayscaleMode(0);
    else if (change == QLatin1String("resize"))
        m_f->window->resize(m_f->window->width() + 150, m_f->window->height() + 100);
    else if (!change.isEmpty())
        m_f->window->command(change)->trigger();
    QApplication::processEvents(); // layout: scroll bars come or go
    turnPaintsACopy("p2.tif");
}

void TestViewCommands::pageCommandsStayOnARecord() {
    const QString record = m_f->dir.filePath("r.txt");
    fixture::writeAll(record, fixture::gbk("【题名】中文\r\n"));
    open({package("a.qen", 2), record});
    run("mnuPage_EndArticle");
    QVERIFY(!m_f->window->imageShown());
    const QString before = shownPage();
    // Called even though switched off: nothing moves, nothing breaks.
    m_f->window->navigator()->NavigateTree(NavigationCode::HomePage);
    m_f->window->navigator()->NavigateTree(NavigationCode::PrevPage);
    QCOMPARE(shownPage(), before);
    run("mnuPage_PrevArticle");
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第2页"));
}

void TestViewCommands::barsToggle() {
    auto *toolbar = m_f->window->findChild<QToolBar *>("tlbBar");
    auto *status = m_f->window->findChild<QStatusBar *>("staBar");
    QWidget *tree = m_f->window->tree();
    const TwipsRect before = geometryTwips(tree);
    QVERIFY(before.top > 0);
    run("mnuView_Toolbar");
    QVERIFY(toolbar->isHidden());
    QVERIFY(!m_f->window->command("mnuView_Toolbar")->isChecked());
    QVERIFY(m_f->window->zoomCombo()->isHidden()); // the zoom box goes with its band
    QVERIFY(m_f->window->findChild<QLabel *>("txtZoom")->isHidden());
    QCOMPARE(geometryTwips(tree).top, 0.0);
    QCOMPARE(geometryTwips(m_f->window->imageView()).top, 0.0);
    // A hidden bar's space stays with the views after the next layout.
    m_f->window->resize(m_f->window->width() + 20, m_f->window->height());
    QTRY_COMPARE(geometryTwips(tree).top, 0.0);
    run("mnuView_Toolbar");
    QVERIFY(!toolbar->isHidden());
    QVERIFY(m_f->window->command("mnuView_Toolbar")->isChecked());
    QVERIFY(!m_f->window->zoomCombo()->isHidden());
    QCOMPARE(geometryTwips(tree).top, before.top);

    const double height = geometryTwips(tree).height;
    run("mnuView_Statusbar");
    QVERIFY(status->isHidden());
    QVERIFY(geometryTwips(tree).height > height);
    run("mnuView_Statusbar");
    QVERIFY(!status->isHidden());
}

void TestViewCommands::narrowWindowOverlapsNothing() {
    m_f->window->resize(760, 560);
    QTRY_COMPARE(m_f->window->width(), 760);
    auto *toolbar = m_f->window->findChild<QToolBar *>("tlbBar");
    auto *caption = m_f->window->findChild<QLabel *>("txtZoom");
    QVERIFY(toolbar->geometry().right() < caption->geometry().left());
    QVERIFY(caption->geometry().right() < m_f->window->zoomCombo()->geometry().left());
    // Every status panel lies inside the bar, the last one included.
    auto *status = m_f->window->findChild<QStatusBar *>("staBar");
    QTRY_VERIFY(m_f->window->statusPanel(4)->geometry().right() <= status->width());
    // Status panel 3 cuts a long title with an ellipsis and keeps the whole title.
    const QString title = QString(60, QChar(u'题'));
    m_f->window->statusPanel(3)->setText(title);
    auto *panel = qobject_cast<ElidedLabel *>(m_f->window->statusPanel(3));
    QVERIFY(panel);
    QVERIFY(panel->shownText().endsWith(QChar(u'…')));
    QCOMPARE(panel->text(), title);
    // What is drawn follows a new text and a new font.
    const QString cut = panel->shownText();
    panel->setText(QStringLiteral("第2页"));
    QCOMPARE(panel->shownText(), QStringLiteral("第2页"));
    panel->setText(title);
    QCOMPARE(panel->shownText(), cut);
    QFont larger = panel->font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    panel->setFont(larger);
    QVERIFY(panel->shownText().size() < cut.size());
    QVERIFY(m_f->window->minimumWidth() <= 760);
    // On a screen scaled by 2 the toolbar's pictures are drawn at twice the pixels.
    const QPixmap icon = m_f->window->command("NextPage")->icon().pixmap(QSize(20, 20), 2.0);
    QCOMPARE(icon.size(), QSize(40, 40));
    QCOMPARE(icon.devicePixelRatio(), 2.0);
}

// A page turn changes panel 3's text; the other panels and the bar are not painted again.
// A panel lays out the neighbouring pages' places ahead of a turn; what it then shows is what
// it would have laid out at that moment, whatever changed in between.
void TestViewCommands::textsLaidOutAheadFollowWidthAndFont() {
    const QString place = QString(40, QChar(u'题')) + QStringLiteral(":p2.tif");
    const auto freshlyShown = [&](int width, const QFont &font) {
        ElidedLabel fresh;
        fresh.setFont(font);
        fresh.resize(width, 20);
        fresh.setText(place);
        return fresh.shownText();
    };
    // Another page in between, painted.
    const auto showOther = [](ElidedLabel &label) {
        label.setText(QStringLiteral("第1页"));
        QCOMPARE(label.shownText(), QStringLiteral("第1页"));
    };
    ElidedLabel label;
    label.resize(200, 20);
    label.layOutAhead({place, QStringLiteral("第2页")});
    label.setText(place);
    QVERIFY(label.shownText().endsWith(QChar(u'…')));
    QCOMPARE(label.shownText(), freshlyShown(200, label.font()));

    showOther(label);
    label.layOutAhead({place});
    label.resize(400, 20); // the window was widened before the turn
    label.setText(place);
    QCOMPARE(label.shownText(), freshlyShown(400, label.font()));

    showOther(label);
    label.resize(200, 20);
    label.layOutAhead({place});
    label.resize(400, 20);
    label.layOutAhead({place}); // laid out again, not taken from the narrower layout
    label.setText(place);
    QCOMPARE(label.shownText(), freshlyShown(400, label.font()));

    QFont larger = label.font();
    larger.setPointSizeF(larger.pointSizeF() * 2);
    showOther(label);
    label.layOutAhead({place});
    label.setFont(larger);
    label.setText(place);
    QCOMPARE(label.shownText(), freshlyShown(400, larger));
}

void TestViewCommands::aNewStatusTextRepaintsOnlyItsPanel() {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } first, third;
    QVERIFY(QTest::qWaitForWindowExposed(m_f->window.get()));
    m_f->window->statusPanel(3)->setText(QStringLiteral("数字图书馆:第1页"));
    QTest::qWait(20);
    m_f->window->statusPanel(1)->installEventFilter(&first);
    m_f->window->statusPanel(3)->installEventFilter(&third);
    const QRect before = m_f->window->statusPanel(3)->geometry();
    for (const char *text : {"数字图书馆:第2页", "数字图书馆:第3页"}) {
        m_f->window->statusPanel(3)->setText(QString::fromUtf8(text));
        QTRY_VERIFY(third.paints > 0);
        QCoreApplication::processEvents();
        third.paints = 0;
    }
    QCOMPARE(first.paints, 0);
    QCOMPARE(m_f->window->statusPanel(3)->geometry(), before);
    // A real change of layout still repaints the bar.
    m_f->window->resize(m_f->window->width() + 40, m_f->window->height());
    QTRY_VERIFY(first.paints > 0);
}

void TestViewCommands::navigationPaneComesBackFromARecord() {
    const QString record = m_f->dir.filePath("r.txt");
    fixture::writeAll(record, fixture::gbk("【题名】中文\r\n"));
    open({package("a.qen", 1)});
    run("mnuTool_Navigation");
    QVERIFY(geometryTwips(m_f->window->tree()).left < -19000); // parked, to the pixel
    QCOMPARE(geometryTwips(m_f->window->imageView()).left, 0.0);
    open({record});
    run("mnuPage_EndArticle");
    QVERIFY(!m_f->window->imageShown());
    // Showing only records, the user can still bring the tree back.
    QVERIFY(m_f->window->command("mnuTool_Navigation")->isEnabled());
    run("mnuTool_Navigation");
    QCOMPARE(geometryTwips(m_f->window->tree()).left, 0.0);
    QVERIFY(geometryTwips(m_f->window->recordView()).left > 0);
}

void TestViewCommands::splitterDrag() {
    auto *bar = m_f->window->findChild<QWidget *>("ShowSplitter");
    auto *shadow = m_f->window->findChild<QWidget *>("HideSplitter");
    const double tx = twipsPerPixelX(bar);
    const int step = qRound(1000 / tx); // drag 1000 twips to the right
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 10), bar->mapToGlobal(QPointF(2, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(2 + step, 10),
                     bar->mapToGlobal(QPointF(2 + step, 10)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    QVERIFY(geometryTwips(shadow).left > 0); // the shadow follows the pointer
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2 + step, 10),
                        bar->mapToGlobal(QPointF(2 + step, 10)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(bar, &release);
    QVERIFY(geometryTwips(shadow).left < -19000);
    const TwipsRect tree = geometryTwips(m_f->window->tree()),
                    view = geometryTwips(m_f->window->imageView());
    // The bar lands where it was released (2 pixels into it, moved by `step`).
    QCOMPARE(geometryTwips(bar).left, 1515 + (2 + step) * tx);
    QCOMPARE(tree.width, geometryTwips(bar).left);
    QCOMPARE(view.left, geometryTwips(bar).left + geometryTwips(bar).width);
    QCOMPARE(view.left + view.width, geometryTwips(m_f->window->centralWidget()).width);
}

void TestViewCommands::keys() {
    open({package("a.qen", 3)});
    run("mnuPage_HomeArticle");
    ImageView *view = m_f->window->imageView();
    view->zoomToFactor(4.0); // a page larger than the view, so it can scroll
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(view->scrollY(), 10);
    QTest::keyClick(view, Qt::Key_PageDown, Qt::ShiftModifier);
    QCOMPARE(view->scrollY(), 110);
    QTest::keyClick(view, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(view->scrollX(), 10);
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第1页")); // the tree did not move

    QSignalSpy copyPage(m_f->window->command("mnuTool_CopyCurrPage"), &QAction::triggered);
    QSignalSpy copyArea(m_f->window->command("mnuTool_CopySelArea"), &QAction::triggered);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copyPage.count(), 1);
    view->setSelectionBand(true, 5, 5);
    view->selectionBandExtend(40, 40);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copyArea.count(), 1);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(copyArea.count() + copyPage.count(), 2);

    // In the tree the arrows move the selection and show that page; the image's offsets are
    // those of the new page, not moved by the key as well.
    m_f->window->tree()->setFocus();
    QTest::keyClick(m_f->window->tree(), Qt::Key_Down);
    QCOMPARE(shownPage(), QStringLiteral("a.qen:第2页"));
    QCOMPARE(view->scrollY(), 0);
}

void TestViewCommands::ctrlCInTheRecordViewKeepsItsText() {
    const QString record = m_f->dir.filePath("r.txt");
    fixture::writeAll(record, fixture::gbk("【题名】中文\r\n"));
    open({package("a.qen", 1), record});
    run("mnuPage_EndArticle");
    QSignalSpy copyPage(m_f->window->command("mnuTool_CopyCurrPage"), &QAction::triggered);
    QSignalSpy copyArea(m_f->window->command("mnuTool_CopySelArea"), &QAction::triggered);
    m_f->window->recordView()->setFocus();
    QTest::keyClick(m_f->window->recordView(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copyPage.count() + copyArea.count(), 0);
    QVERIFY(m_f->ui.clipboardImage.isNull());
}

// Keys typed in the zoom box reach the combo, which holds the focus for its line edit: Enter
// applies the typed zoom and Ctrl+C copies the box's text, not the page.
void TestViewCommands::zoomBoxTakesItsKeys() {
    open({package("a.qen", 1)});
    run("mnuPage_HomeArticle");
    auto *combo = m_f->window->findChild<QComboBox *>(QStringLiteral("cboZoom"));
    QVERIFY(combo);
    combo->lineEdit()->setFocus();
    QCOMPARE(QApplication::focusWidget(), combo);
    combo->lineEdit()->clear();
    QTest::keyClicks(combo, QStringLiteral("120"));
    QTest::keyClick(combo, Qt::Key_Return);
    QCOMPARE(m_f->window->imageView()->zoomFactor(), 1.2);
    QCOMPARE(m_f->window->statusPanel(2)->text(), QStringLiteral("缩放比例:120%"));

    QSignalSpy copyPage(m_f->window->command("mnuTool_CopyCurrPage"), &QAction::triggered);
    QSignalSpy copyArea(m_f->window->command("mnuTool_CopySelArea"), &QAction::triggered);
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(copyPage.count() + copyArea.count(), 0);
    QVERIFY(m_f->ui.clipboardImage.isNull());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("120%"));
}

void TestViewCommands::toolbarButtonsRunTheirMenuItems() {
    open({package("a.qen", 2)});
    const std::pair<const char *, const char *> pairs[] = {
        {"SaveCurrArticle", "mnuFile_SaveCurrArticle"},
        {"PrintCurrArticle", "mnuFile_PrintCurrArticle"},
        {"ZoomIn", "mnuPage_ZoomIn"},
        {"FitHeight", "mnuPage_FitHeight"},
        {"UnDo", "mnuTool_Undo"},
        {"CopyPage", "mnuTool_CopyCurrPage"},
        {"RecognizeArea", "mnuTool_Recognize"},
        {"CopySelectArea", "mnuTool_CopySelArea"},
        {"Help", "mnuHelp_HomePage"},
        {"OpenFile", "mnuFile_Open"},
        {"SelectArea", "mnuTool_SelOCRArea"},
    };
    for (const auto &[button, item] : pairs) {
        QSignalSpy spy(m_f->window->command(item), &QAction::triggered);
        run(button);
        QVERIFY2(spy.count() == 1, button);
    }
    // The Open dialog came up once for the button (answered Cancel by the script).
    QCOMPARE(m_f->ui.openDialogTitles.size(), 2);
    // The selection tool's button shows its menu item's check mark, clicked either way.
    QAction *button = m_f->window->command("SelectArea"),
            *item = m_f->window->command("mnuTool_SelOCRArea");
    QCOMPARE(button->isChecked(), item->isChecked());
    QVERIFY(item->isChecked());
    run("SelectArea");
    QVERIFY(!item->isChecked());
    QVERIFY(!button->isChecked());
    run("mnuTool_SelOCRArea");
    QVERIFY(button->isChecked());
}

void TestViewCommands::help() {
    run("mnuHelp_HomePage");
    QCOMPARE(m_f->ui.texts("提示信息"),
             QStringList{"欢迎访问公司主页：https://www.qeninfo.example/\n"
                         "文字识别：Tesseract OCR（Apache-2.0）"});
    QVERIFY(m_f->ui.openedUrls.isEmpty()); // the home page command opens nothing

    // The box is read and closed from a timer, and checked once it is gone: a failed check
    // must not leave a modal box open for the test's whole time limit.
    QString name, title, version;
    bool links = false;
    QTimer closer;
    closer.setInterval(10);
    connect(&closer, &QTimer::timeout, this, [&] {
        QWidget *box = QApplication::activeModalWidget();
        if (!box)
            return;
        name = box->objectName();
        title = box->windowTitle();
        if (const auto *label = box->findChild<QLabel *>("Label1"))
            version = label->text();
        links = box->findChild<QLabel *>("lblMail") && box->findChild<QLabel *>("lblURL");
        box->close();
    });
    closer.start();
    run("mnuHelp_About");
    closer.stop();
    QCOMPARE(name, QStringLiteral("frmAbout"));
    QCOMPARE(title, QStringLiteral("关于..."));
    QVERIFY(version.contains("V3.0"));
    QVERIFY(links);
}

void TestViewCommands::linkLabel() {
    LinkLabel label("support@example.org", QUrl("mailto:support@example.org"), m_f->ui);
    label.resize(200, 20);
    label.show();
    auto colour = [&] { return label.palette().color(QPalette::WindowText); };
    QMouseEvent over(QEvent::MouseMove, QPointF(10, 10), label.mapToGlobal(QPointF(10, 10)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &over);
    QVERIFY(label.isHighlighted());
    QCOMPARE(colour(), QColor(0, 0, 255));
    QVERIFY(label.font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&label, &leave);
    QCOMPARE(colour(), QColor(0, 0, 0));
    QVERIFY(!label.font().underline());
    // Pressed on the label and released off it: nothing opens.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(10, 100));
    QVERIFY(m_f->ui.openedUrls.isEmpty());
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(m_f->ui.openedUrls, QList<QUrl>{QUrl("mailto:support@example.org")});
    QVERIFY(!label.isHighlighted());
}

QTEST_MAIN(TestViewCommands)
#include "tst_viewcommands.moc"
