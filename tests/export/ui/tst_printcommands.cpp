#include "export/printlayout.h"
#include "export/ui/printcommands.h"
#include "platform/twips.h"
#include "platform/ui/twipsgeometry.h"
#include "testfiles.h"

#include "exportviews.h"
#include "sheetink.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

// Printing to a PDF file: what arrives there is what a printer would get.
class TestPrintCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void scopes_data();
    void scopes();
    void recordShownPrintsFiltered();
    void noPrinterSaidOnce();
    void printerFailureStopsTheWalk();
    void pagePrintsAtItsSize_data();
    void pagePrintsAtItsSize();
    void bilevelPageGoesAtOneBit();
    void stoppedJob_data();
    void stoppedJob();
    void wwpPagesDecodeInTheBusyWindow_data();
    void wwpPagesDecodeInTheBusyWindow();

private:
    QString pdf() const { return m_w->dir.filePath("out.pdf"); }
    // Page sizes in points, one per page of the PDF.
    QList<QSizeF> pdfPages() const;
    QString pdfText() const;

    std::unique_ptr<test::ExportViews> m_w;
    std::unique_ptr<PrintCommands> m_commands;
};

void TestPrintCommands::init() {
    m_w = std::make_unique<test::ExportViews>();
    m_w->user.printer().setPageSize(printlayout::pageSizeForCode(9));
    m_commands = std::make_unique<PrintCommands>(m_w->controls(), ExportHooks{}, m_w->user);
}

QList<QSizeF> TestPrintCommands::pdfPages() const {
    const QByteArray bytes = fixture::readAll(pdf());
    QList<QSizeF> pages;
    static const QRegularExpression page(
        R"(/Type\s*/Page\b(?!s)[^>]*?/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])",
        QRegularExpression::DotMatchesEverythingOption);
    auto it = page.globalMatch(QString::fromLatin1(bytes));
    while (it.hasNext()) {
        const auto m = it.next();
        pages << QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return pages;
}

QString TestPrintCommands::pdfText() const {
    QProcess p;
    p.start("pdftotext", {pdf(), "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

void TestPrintCommands::scopes_data() {
    QTest::addColumn<int>("scope");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("fromPreview");
    // The tree: a package (1) of a G4 page, a WWP page, an unknown file and a record (2..5),
    // then a single JPEG (6). Scope 1 prints the image view's page. From the preview, the
    // scope chosen in it prints the same job.
    for (const bool preview : {false, true}) {
        const char *road = preview ? ", from the preview" : "";
        QTest::addRow("current page%s", road) << 1 << 2 << 1 << preview;
        QTest::addRow("current article: unknown type passed over%s", road)
            << 2 << 3 << 3 << preview;
        QTest::addRow("current article on a root prints the current page%s", road)
            << 2 << 6 << 1 << preview;
        QTest::addRow("all articles%s", road) << 3 << 2 << 4 << preview;
    }
}

void TestPrintCommands::scopes() {
    QFETCH(int, scope);
    QFETCH(int, selected);
    const QString src = m_w->dir.filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/p1.tif", fixture::g4Tiff(2480, 3508));
    fixture::writeAll(src + "/p2.wwp", fixture::wwpPage());
    fixture::writeAll(src + "/p3.dat", "not a page");
    fixture::writeAll(src + "/p4.txt", test::gbk("record text 题录"));
    QImage photo(300, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    QVERIFY(photo.save(src + "/single.jpg"));
    m_w->tree.addPackage(src + "/a.qen", "文章", src, {"p1.tif", "p2.wwp", "p3.dat", "p4.txt"});
    m_w->tree.addSingle(src + "/single.jpg");
    m_w->tree.select(selected);
    QVERIFY(m_w->image.setFileName(src + "/p1.tif"));

    QFETCH(bool, fromPreview);
    if (fromPreview) {
        m_w->user.previewChoice = scope - 1;
        m_commands->PrintPreview();
        QCOMPARE(m_w->user.previewChoices, QStringList({"当前页", "当前篇", "所有篇"}));
        QCOMPARE(m_w->user.previewShown, 0);
    } else {
        m_commands->PrintPages(scope);
    }
    QCOMPARE(m_w->user.messages.size(), 0);
    const QList<QSizeF> pages = pdfPages();
    QTEST(int(pages.size()), "pages");
    for (const QSizeF &size : pages) {
        // A4 portrait in points.
        QVERIFY2(qAbs(size.width() - 595.3) < 1 && qAbs(size.height() - 841.9) < 1,
                 qPrintable(QString("%1 x %2").arg(size.width()).arg(size.height())));
    }
    // The WWP page was decoded as showing it does: into the work folder, not beside itself.
    if (scope != 1 && selected != 6)
        QVERIFY(!m_w->tree.key(3).endsWith(".wwp"));
}

void TestPrintCommands::recordShownPrintsFiltered() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString src = m_w->dir.filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/r.txt", test::gbk("stored record"));
    fixture::writeAll(src + "/r.tmp", test::gbk("shown record"));
    m_w->tree.addPackage(src + "/a.qen", "文章", src, {"r.txt"});
    m_w->tree.select(2);
    m_w->record.loadFile(src + "/r.tmp");
    m_w->shown.set(ShownView::Record);

    m_commands->PrintPages(1);
    QVERIFY2(pdfText().contains("shown record") && !pdfText().contains("stored"),
             qPrintable(pdfText()));
    m_commands->PrintPages(2);
    QVERIFY2(pdfText().contains("stored record"), qPrintable(pdfText()));
}

void TestPrintCommands::noPrinterSaidOnce() {
    m_w->g4Package({"p1.tif", "p2.tif", "p3.tif"});
    m_w->user.printerInstalled = false;
    m_commands->PrintPages(3);
    QCOMPARE(m_w->user.messages.size(), 1);
    QCOMPARE(m_w->user.messages[0].text, QString("没有可用的打印机。请先安装打印机，再打印。"));
    QVERIFY(!QFileInfo::exists(pdf()));
}

void TestPrintCommands::printerFailureStopsTheWalk() {
    m_w->g4Package({"p1.tif", "p2.tif", "p3.tif"});
    m_w->user.printer().setOutputFileName(m_w->dir.filePath("no such folder/out.pdf"));
    m_commands->PrintPages(3);
    QCOMPARE(m_w->user.texts("error").size(), 1);
}

// A page all ink, printed to the PDF printer on A4 and rendered back by poppler: the ink's box
// on the sheet, in millimetres, against the page's size at its resolution.
void TestPrintCommands::pagePrintsAtItsSize_data() {
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<bool>("bilevel");
    QTest::addColumn<QSizeF>("inkMm");
    QTest::addRow("A5 scan at 300 dpi: its own size")
        << QSize(1748, 2480) << 300 << false << QSizeF(148, 210);
    // Sent at 1 bit in the engine's own colour table: ink must stay ink.
    QTest::addRow("bilevel A5 scan at 300 dpi")
        << QSize(1748, 2480) << 300 << true << QSizeF(148, 210);
    QTest::addRow("small crop at 600 dpi") << QSize(1181, 591) << 600 << false << QSizeF(50, 25);
    // 254 x 127 mm is wider than the 200 mm of room: scaled to 200 x 100, not squeezed.
    QTest::addRow("landscape clipping") << QSize(3000, 1500) << 300 << false << QSizeF(200, 100);
    // Reduced to the printer's pixels, still 1 bit.
    QTest::addRow("bilevel 1200 dpi crop on a 300 dpi printer")
        << QSize(2362, 1181) << 1200 << true << QSizeF(50, 25);
}

void TestPrintCommands::pagePrintsAtItsSize() {
    QFETCH(QSize, pixels);
    QFETCH(int, dpi);
    QFETCH(bool, bilevel);
    QFETCH(QSizeF, inkMm);
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        QSKIP("needs pdftoppm (poppler-utils)");
    QImage page(pixels, bilevel ? QImage::Format_Mono : QImage::Format_Grayscale8);
    if (bilevel)
        page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(bilevel ? 1 : 0);
    page.setDotsPerMeterX(qRound(dpi / 0.0254));
    page.setDotsPerMeterY(qRound(dpi / 0.0254));
    if (dpi == 1200)
        m_w->user.printer().setResolution(300);
    {
        PrintJob job(m_w->user.printer());
        job.printImage(page);
        job.finish();
    }
    const test::SheetInk ink = test::sheetInk(pdf(), m_w->dir.filePath("out"));
    QVERIFY(ink.ok);
    QVERIFY2(ink.sizeWithin1Percent(inkMm), qPrintable(ink.describe()));
    QVERIFY2(ink.centred(), qPrintable(ink.describe()));
}

// An A4 G4 page reaches the PDF as a 1-bit image, not widened to 32 bits and not as JPEG.
void TestPrintCommands::bilevelPageGoesAtOneBit() {
    const QString src = m_w->dir.filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/p1.tif", fixture::g4Tiff(2480, 3508));
    QStringList skipped;
    {
        PrintJob job(m_w->user.printer());
        QVERIFY(PrintCommands::PrintFiles(job, {src + "/p1.tif"}, &skipped));
        job.finish();
    }
    QVERIFY(skipped.isEmpty());
    const QByteArray bytes = fixture::readAll(pdf());
    static const QRegularExpression image(
        R"(/Subtype\s*/Image\s*/Width\s+2480\s*/Height\s+3508\s*/BitsPerComponent\s+1\s*/ColorSpace\s*/DeviceGray)");
    QVERIFY2(image.match(QString::fromLatin1(bytes)).hasMatch(), bytes.left(2000).constData());
    // The page is that one image, and nothing of it went as JPEG.
    QCOMPARE(QString::fromLatin1(bytes).count(QRegularExpression(R"(/Subtype\s*/Image)")), 1);
    QVERIFY(!bytes.contains("/DCTDecode"));
}

// Stopped from the busy window between pages: the printer gets the pages done as a whole
// document (Qt's PDF and CUPS engines cannot take back a job), and nothing when none was done.
void TestPrintCommands::stoppedJob_data() {
    QTest::addColumn<int>("stopAt");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("message");
    QTest::addRow("not stopped") << 0 << 20 << QString();
    QTest::addRow("stopped at page 10")
        << 10 << 9 << QString("打印已取消。已打印的 9 页已送往打印机。");
    QTest::addRow("stopped at the first page") << 1 << 0 << QString();
}

void TestPrintCommands::stoppedJob() {
    QFETCH(int, stopAt);
    QFETCH(int, pages);
    QFETCH(QString, message);
    QStringList names, shown;
    for (int i = 1; i <= 20; ++i)
        names << QString("p%1.tif").arg(i, 2, 10, QChar('0'));
    m_w->g4Package(names);
    int closes = 0, messagesAtClose = -1;
    ExportHooks hooks;
    hooks.showProgress = [&](const QString &text, std::function<void()> onCancel) {
        shown << text;
        if (shown.size() == stopAt)
            onCancel();
    };
    hooks.closeBusy = [&] {
        ++closes;
        messagesAtClose = int(m_w->user.messages.size());
    };
    PrintCommands commands(m_w->controls(), hooks, m_w->user);
    commands.PrintPages(PrintCommands::CurrentArticle);

    QCOMPARE(shown.value(0), QString("正在打印第 1 / 20 页"));
    QCOMPARE(shown.size(), stopAt ? stopAt : 20);
    QCOMPARE(shown.last(), QString("正在打印第 %1 / 20 页").arg(shown.size()));
    // Closed once, before anything is said.
    QCOMPARE(closes, 1);
    QCOMPARE(messagesAtClose, 0);
    QCOMPARE(m_w->user.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_w->user.messages[0].text, message);
    if (!pages) {
        QVERIFY(!QFileInfo::exists(pdf()));
        return;
    }
    QCOMPARE(int(pdfPages().size()), pages);
    if (!QStandardPaths::findExecutable("pdfinfo").isEmpty()) {
        QProcess info;
        info.start("pdfinfo", {pdf()});
        QVERIFY(info.waitForFinished(30000));
        QCOMPARE(info.exitCode(), 0);
        QVERIFY(QString::fromLatin1(info.readAllStandardOutput())
                    .contains(QRegularExpression(QString(R"(Pages:\s+%1\n)").arg(pages))));
    }
}

void TestPrintCommands::wwpPagesDecodeInTheBusyWindow_data() {
    QTest::addColumn<int>("stopAt");
    QTest::addColumn<QStringList>("expected");
    const QStringList decoding{"正在解码第 1 / 2 个 WWP 页面", "正在解码第 2 / 2 个 WWP 页面"};
    QTest::addRow("not stopped") << 0
                                 << decoding + QStringList{"正在打印第 1 / 3 页",
                                                           "正在打印第 2 / 3 页",
                                                           "正在打印第 3 / 3 页"};
    QTest::addRow("stopped while decoding") << 2 << decoding;
}

void TestPrintCommands::wwpPagesDecodeInTheBusyWindow() {
    QFETCH(int, stopAt);
    QFETCH(QStringList, expected);
    const QString src = m_w->dir.filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/p1.wwp", fixture::wwpPage());
    fixture::writeAll(src + "/p2.tif", fixture::g4Tiff());
    fixture::writeAll(src + "/p3.wwp", fixture::wwpPage());
    m_w->tree.select(
        m_w->tree.addPackage(src + "/a.qen", "文章", src, {"p1.wwp", "p2.tif", "p3.wwp"}) + 1);
    QStringList shown;
    int closes = 0;
    ExportHooks hooks;
    hooks.showProgress = [&](const QString &text, std::function<void()> onCancel) {
        shown << text;
        if (shown.size() == stopAt)
            onCancel();
    };
    hooks.closeBusy = [&] { ++closes; };
    PrintCommands commands(m_w->controls(), hooks, m_w->user);
    commands.PrintPages(PrintCommands::CurrentArticle);
    QCOMPARE(shown, expected);
    QCOMPARE(closes, 1);
    QCOMPARE(m_w->user.messages.size(), 0);
    if (stopAt) {
        // Stopped before the printer was asked for anything: no job at all.
        QVERIFY(!QFileInfo::exists(pdf()));
        return;
    }
    QCOMPARE(int(pdfPages().size()), 3);
}

QTEST_MAIN(TestPrintCommands)
#include "tst_printcommands.moc"
