// The window's background recognition: what opening, showing and closing pages tell the
// queue, and what its status panel says.
#include "articles/imagedocument.h"
#include "ocr/textqueue.h"
#include "windowfixture.h"

#include <QLabel>

using namespace qen;

namespace {

QString blankPage(test::WindowFixture &f, const QString &name) {
    QImage page(300, 200, QImage::Format_Mono);
    page.setColor(0, qRgb(0, 0, 0));
    page.setColor(1, qRgb(255, 255, 255));
    page.fill(1);
    const QString path = f.dir.filePath(name);
    ImageDocument::writeFile(page, path, ImageFileType::Tiff);
    return path;
}

QLabel *panel(test::WindowFixture &f) {
    return f.window->findChild<QLabel *>(u"staBar_Text"_qs);
}

} // namespace

class TstTextPanel : public QObject {
    Q_OBJECT
private slots:
    void pagesAreCountedAndClosed();
    void backgroundOffReadsTheShownPage();
    void cacheFolderThatIsAFile();
};

void TstTextPanel::pagesAreCountedAndClosed() {
    test::WindowFixture f;
    QVERIFY(panel(f));
    const QString a = blankPage(f, u"a.tif"_qs), b = blankPage(f, u"b.tif"_qs);
    f.window->CreateTree(a);
    f.window->CreateTree(b);
    // Whether the engine reads them or cannot start here, both pages are done with.
    QTRY_COMPARE_WITH_TIMEOUT(panel(f)->text(), u"文字识别 2/2"_qs, 30000);
    f.window->CloseAll();
    QCOMPARE(f.window->textQueue()->pageCount(), 0);
    QCOMPARE(panel(f)->text(), QString());
}

void TstTextPanel::backgroundOffReadsTheShownPage() {
    test::WindowFixture f(test::WindowStart::Shown);
    QDir().mkpath(f.window->folders().setting());
    QFile ini(f.window->folders().setting() + u"/Qen.ini"_qs);
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Text]\r\nBackground=0\r\n");
    ini.close();
    // The setting is read when the window starts.
    f.window.reset();
    f.window = std::make_unique<MainWindow>(
        WorkFolders(f.dir.filePath("QenInfo"), f.dir.filePath("prog")), f.ui);
    f.window->Form_Load(QString());
    QVERIFY(!f.window->textQueue()->background());
    f.window->CreateTree(blankPage(f, u"a.tif"_qs));
    f.window->CreateTree(blankPage(f, u"b.tif"_qs));
    QTRY_COMPARE_WITH_TIMEOUT(panel(f)->text(), u"文字识别 1/2"_qs, 30000);
    QTest::qWait(300);
    QCOMPARE(panel(f)->text(), u"文字识别 1/2"_qs);
}

void TstTextPanel::cacheFolderThatIsAFile() {
    QTemporaryDir cache;
    QDir().mkpath(cache.filePath(u"QenBrowser"_qs));
    QFile file(cache.filePath(u"QenBrowser/text"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    test::WindowFixture f(test::WindowStart::Shown);
    f.window.reset();
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    f.window = std::make_unique<MainWindow>(
        WorkFolders(f.dir.filePath("QenInfo"), f.dir.filePath("prog")), f.ui);
    QVERIFY2(panel(f)->text().contains(u"文字缓存"_qs), qPrintable(panel(f)->text()));
    QVERIFY(QFileInfo(cache.filePath(u"QenBrowser/text"_qs)).isFile());
    QVERIFY(f.ui.messages.isEmpty());
}

QTEST_MAIN(TstTextPanel)
#include "tst_textpanel.moc"
