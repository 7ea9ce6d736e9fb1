// Opening through the window: the Open dialog, the command line, the tree widget, the views
// and the command state, with real packages and pages made by the test.
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "platform/profilestring.h"
#include "platform/ui/twipsgeometry.h"
#include "records/ui/recordview.h"
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QWindow>
#include <QtTest>

using namespace qen;

class TestDocuments : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void commandStateFollowsTheShownView();
    void openDialogSelectionTwiceOpensOnce();
    void packageShowsItsFirstPage();
    void brokenPackageReportsAndAddsNothing_data();
    void brokenPackageReportsAndAddsNothing();
    void wwpPageDecodedOnce();
    void unreadablePageIsReported();
    void workFolderThatCannotBeMadeIsNamed();
    void recordIsShownFiltered();
    void missingRecordGivesOneMessage();
    void releaseOnAnotherRowShowsThatRow();
    void wwpConverterNamedInSettingsIsUsed();

private:
    QString make(const QString &name, const QByteArray &bytes);
    QString makePackage(const QString &name, const QString &title, int pages);
    bool enabled(const char *name) const { return m_f->window->command(name)->isEnabled(); }

    std::unique_ptr<test::WindowFixture> m_f;
};

QString TestDocuments::make(const QString &name, const QByteArray &bytes) {
    const QString path = m_f->dir.filePath(name);
    fixture::writeAll(path, bytes);
    return path;
}

QString TestDocuments::makePackage(const QString &name, const QString &title, int pages) {
    std::vector<fixture::Entry> entries;
    for (int i = pages; i >= 1; --i)
        entries.push_back(fixture::file(QStringLiteral("p%1.tif").arg(i).toLatin1(),
                                        fixture::g4Tiff(40 + i, 30)));
    const QString path = m_f->dir.filePath(name);
    if (!fixture::writeZip(path, entries, fixture::gbk(title)))
        return QString();
    return path;
}

void TestDocuments::init() {
    m_f = std::make_unique<test::WindowFixture>(test::WindowStart::Loaded);
    QVERIFY(m_f->exposed);
}

void TestDocuments::cleanup() {
    m_f.reset();
}

void TestDocuments::commandStateFollowsTheShownView() {
    QVERIFY(!enabled("mnuPage_ZoomIn"));
    QVERIFY(!enabled("mnuFile_SaveCurrPage"));
    QVERIFY(enabled("mnuFile_Open"));

    const QString tif = make("page.tif", fixture::g4Tiff());
    const QString txt = make("record.txt", fixture::gbk("【题名】中文\r\n"));
    m_f->window->CreateTree(tif + QChar(0) + txt);
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 2);
    // The first node of the tree is shown: the image.
    QVERIFY(m_f->window->imageShown());
    QVERIFY(enabled("mnuPage_ZoomIn"));
    QVERIFY(enabled("ZoomIn"));
    QVERIFY(m_f->window->zoomCombo()->isEnabled());
    QVERIFY(!enabled("mnuTool_OutputOption"));

    m_f->window->documents()->nodeClick(2);
    QVERIFY(!m_f->window->imageShown());
    QVERIFY(leftTwips(m_f->window->recordView()) >= 0);
    QVERIFY(m_f->window->recordView()->toPlainText().contains("中文"));
    QCOMPARE(m_f->window->recordView()->tag(), txt);
    QVERIFY(!enabled("mnuPage_ZoomIn"));
    QVERIFY(!enabled("ZoomIn"));
    QVERIFY(!m_f->window->zoomCombo()->isEnabled());
    QVERIFY(enabled("mnuTool_OutputOption"));
    QVERIFY(enabled("mnuPage_NextArticle"));

    m_f->window->command("mnuFile_CloseAllArticle")->trigger();
    QVERIFY(!enabled("mnuPage_NextArticle"));
    QVERIFY(!enabled("mnuTool_OutputOption"));
    QVERIFY(!enabled("SaveCurrArticle"));
    QVERIFY(m_f->window->imageShown());
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestDocuments::openDialogSelectionTwiceOpensOnce() {
    const QString a = make("a.tif", fixture::g4Tiff()), b = make("b.tif", fixture::g4Tiff());
    m_f->ui.openAnswers << QStringList{a, b} << QStringList{a, b} << QStringList{};
    m_f->window->command("OpenFile")->trigger();
    QCOMPARE(m_f->ui.openDialogTitles.value(0), QStringLiteral("打开文件"));
    // Each filter names its description once, followed by its patterns.
    const QStringList filters = m_f->ui.openDialogFilters.value(0).split(";;");
    QVERIFY(filters.value(0).startsWith("All supper files (*.qen *.wwp"));
    for (const QString &f : filters)
        QVERIFY2(f.count('(') <= 1, qPrintable(f));
    QVERIFY(filters.contains("*.qen"));
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 2);
    m_f->window->command("mnuFile_CloseAllArticle")->trigger();
    m_f->window->command("mnuFile_Open")->trigger(); // same selection, but after close-all
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 2);
    m_f->window->command("mnuFile_Open")->trigger(); // Cancel
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 2);

    m_f->window->command("mnuFile_CloseAllArticle")->trigger();
    m_f->ui.openAnswers << QStringList{a} << QStringList{a};
    m_f->window->command("mnuFile_Open")->trigger();
    m_f->window->command("mnuFile_CloseAllArticle")->trigger();
    m_f->window->command("mnuFile_Open")->trigger();
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 1);
}

void TestDocuments::packageShowsItsFirstPage() {
    const QString tif = make("single.tif", fixture::g4Tiff());
    const QString pkg = makePackage("report.qen", QStringLiteral("数字图书馆"), 3);
    m_f->window->CreateTree(tif);
    m_f->window->CreateTree(pkg);
    QTreeWidget *tree = m_f->window->tree();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QTreeWidgetItem *package = tree->topLevelItem(1);
    QCOMPARE(package->text(0), QStringLiteral("数字图书馆"));
    QCOMPARE(package->childCount(), 3);
    QCOMPARE(package->child(0)->text(0), QStringLiteral("第1页"));
    // The new package is selected and its first page shown; the tree's highlight follows
    // once the event loop runs.
    QTRY_COMPARE(tree->currentItem(), package->child(0));
    QCOMPARE(m_f->window->statusPanel(3)->text(), QStringLiteral("数字图书馆:第1页"));
    QVERIFY(m_f->window->imageView()->fileName().endsWith("/p1.tif"));

    // A click on the third page shows it.
    const QRect r = tree->visualItemRect(package->child(2));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, r.center());
    QVERIFY(m_f->window->imageView()->fileName().endsWith("/p3.tif"));
    QCOMPARE(m_f->window->statusPanel(3)->text(), QStringLiteral("数字图书馆:第3页"));

    // The same title again adds nothing and says nothing.
    const QString again = makePackage("copy.qen", QStringLiteral("数字图书馆"), 1);
    m_f->window->CreateTree(again);
    QCOMPARE(tree->topLevelItemCount(), 2);
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestDocuments::brokenPackageReportsAndAddsNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a zip") << QByteArray("this is not an archive\0title", 28);
    QTest::newRow("truncated") << QByteArray("PK\x03\x04\x14\x00\x00\x00", 8);
}

void TestDocuments::brokenPackageReportsAndAddsNothing() {
    QFETCH(QByteArray, bytes);
    const QString ok = make("ok.tif", fixture::g4Tiff());
    const QString bad = make("broken.qen", bytes);
    m_f->window->CreateTree(bad + QChar(0) + ok);
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 0); // items after the failing one wait
    const QStringList errors = m_f->ui.texts("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(bad), qPrintable(errors[0]));
    QCOMPARE(m_f->window->imageView()->mousePointer(), MousePointer::Default);
}

void TestDocuments::wwpPageDecodedOnce() {
    std::vector<fixture::Entry> entries{fixture::file("scan01.wwp", fixture::wwpPage()),
                                        fixture::file("scan02.wwp", fixture::wwpPage())};
    const QString pkg = m_f->dir.filePath("wwp.qen");
    QVERIFY(fixture::writeZip(pkg, entries, "wwp"));
    m_f->window->CreateTree(pkg);
    ArticleTree &model = m_f->window->documents()->model();
    QVERIFY(model.key(2).endsWith("/scan01.tif"));
    QVERIFY(m_f->window->imageView()->fileName().endsWith("/scan01.tif"));
    QVERIFY(model.key(3).endsWith("/scan02.wwp")); // not shown yet, not decoded
    const QDateTime decodedAt = QFileInfo(model.key(2)).lastModified();
    QTest::qWait(20);
    m_f->window->documents()->nodeClick(3);
    m_f->window->documents()->nodeClick(2);
    QCOMPARE(QFileInfo(model.key(2)).lastModified(), decodedAt);
    QVERIFY(m_f->ui.messages.isEmpty());
}

void TestDocuments::unreadablePageIsReported() {
    const QString bad = make("damaged.tif", QByteArray("II*\0garbage", 11));
    m_f->window->CreateTree(bad);
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 1);
    const QStringList errors = m_f->ui.texts("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(bad));
    QVERIFY(m_f->window->imageView()->fileName().isEmpty());
}

void TestDocuments::workFolderThatCannotBeMadeIsNamed() {
    const QString temp = m_f->window->folders().temp();
    QVERIFY(QDir(temp).removeRecursively());
    fixture::writeAll(temp, "a file where the folder belongs");
    m_f->window->CreateTree(makePackage("report.qen", "title", 1));
    const QStringList errors = m_f->ui.texts("error");
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(temp), qPrintable(errors[0]));
    QCOMPARE(m_f->window->tree()->topLevelItemCount(), 0);
    QVERIFY(QFileInfo(temp).isFile());
}

void TestDocuments::recordIsShownFiltered() {
    const QString ini = m_f->window->folders().setting() + "/Output.ini";
    QVERIFY(QDir().mkpath(m_f->window->folders().setting()));
    QVERIFY(WritePrivateProfileString("输出选项", "摘要", "0", ini));
    const QString txt = make("record.txt", fixture::gbk("【题名】书名\r\n【摘要】不要\r\n续行\r\n"
                                                        "【作者】某人\r\n"));
    m_f->window->CreateTree(txt);
    const QString shown = m_f->window->recordView()->toPlainText();
    QVERIFY2(shown.contains("书名") && shown.contains("某人"), qPrintable(shown));
    QVERIFY2(!shown.contains("不要") && !shown.contains("续行"), qPrintable(shown));
    QVERIFY(m_f->window->recordView()->fileName().endsWith("/record.tmp"));
    QCOMPARE(m_f->window->recordView()->tag(), txt);
    QVERIFY(m_f->window->command("mnuView_Lock")->isChecked());
    QVERIFY(m_f->window->recordView()->isReadOnly());
}

void TestDocuments::missingRecordGivesOneMessage() {
    QVERIFY(QDir().mkpath(m_f->window->folders().setting()));
    QVERIFY(WritePrivateProfileString("输出选项", "摘要", "0",
                                      m_f->window->folders().setting() + "/Output.ini"));
    const QString txt = make("gone.txt", fixture::gbk("【题名】书名\r\n"));
    const QString tif = make("page.tif", fixture::g4Tiff());
    m_f->window->CreateTree(txt + QChar(0) + tif);
    QVERIFY(m_f->ui.messages.isEmpty());
    QVERIFY(QFile::remove(txt));
    m_f->window->documents()->nodeClick(1);
    QCOMPARE(m_f->ui.messages.size(), 1);
    QVERIFY2(m_f->ui.messages[0].text.contains(txt), qPrintable(m_f->ui.messages[0].text));
}

void TestDocuments::releaseOnAnotherRowShowsThatRow() {
    m_f->window->CreateTree(makePackage("report.qen", QStringLiteral("题名"), 3));
    QTreeWidget *tree = m_f->window->tree();
    QTreeWidgetItem *package = tree->topLevelItem(0);
    // Through the window system, so the application sees the button held while moving.
    QWindow *window = m_f->window->windowHandle();
    const auto at = [&](QTreeWidgetItem *it) {
        return tree->viewport()->mapTo(m_f->window.get(), tree->visualItemRect(it).center());
    };
    QTest::mousePress(window, Qt::LeftButton, {}, at(package->child(0)));
    QTest::mouseMove(window, at(package->child(1)));
    QTest::mouseMove(window, at(package->child(2)));
    QTest::mouseRelease(window, Qt::LeftButton, {}, at(package->child(2)));
    QTRY_VERIFY(m_f->window->imageView()->fileName().endsWith("/p3.tif"));
    QCOMPARE(tree->currentItem(), package->child(2));
    QCOMPARE(m_f->window->documents()->model().selected(), 4);
    QCOMPARE(m_f->window->statusPanel(3)->text(), QStringLiteral("题名:第3页"));
}

void TestDocuments::wwpConverterNamedInSettingsIsUsed() {
    // Not a page our own decoder reads: only the converter can turn it into a TIFF.
    const QString wwp = make("odd.wwp", QByteArray("WWP\x09 proprietary", 15));
    const QString tif = make("stand-in.tif", fixture::g4Tiff());
    QVERIFY(QDir().mkpath(m_f->window->folders().setting()));
    QVERIFY(WritePrivateProfileString("WWP", "Decoder", "cp " + tif + " %2",
                                      m_f->window->folders().setting() + "/Qen.ini"));
    m_f->window->CreateTree(wwp);
    QVERIFY(m_f->ui.messages.isEmpty());
    QVERIFY(m_f->window->imageView()->hasImage());
    QVERIFY(m_f->window->documents()->model().key(1).endsWith("/odd.tif"));
}

QTEST_MAIN(TestDocuments)
#include "tst_documents.moc"
