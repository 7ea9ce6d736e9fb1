#include "export/printlayout.h"
#include "export/ui/printcommands.h"
#include "platform/twips.h"
#include "platform/ui/twipsgeometry.h"
#include "testfiles.h"

#include "exportviews.h"

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
    m_commands = std::make_unique<PrintCommands>(m_w->controls(), m_w->user);
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
    QTest::addColumn<QSizeF>("inkMm");
    QTest::addRow("A5 scan at 300 dpi: its own size")
        << QSize(1748, 2480) << 300 << QSizeF(148, 210);
    QTest::addRow("small crop at 600 dpi") << QSize(1181, 591) << 600 << QSizeF(50, 25);
    // 254 x 127 mm is wider than the 200 mm of room: scaled to 200 x 100, not squeezed.
    QTest::addRow("landscape clipping") << QSize(3000, 1500) << 300 << QSizeF(200, 100);
}

void TestPrintCommands::pagePrintsAtItsSize() {
    QFETCH(QSize, pixels);
    QFETCH(int, dpi);
    QFETCH(QSizeF, inkMm);
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        QSKIP("needs pdftoppm (poppler-utils)");
    QImage page(pixels, QImage::Format_Grayscale8);
    page.fill(0);
    page.setDotsPerMeterX(qRound(dpi / 0.0254));
    page.setDotsPerMeterY(qRound(dpi / 0.0254));
    {
        PrintJob job(m_w->user.printer());
        job.printImage(page);
        job.finish();
    }
    const int renderDpi = 50;
    QProcess p;
    p.start("pdftoppm", {"-r", QString::number(renderDpi), "-gray", "-singlefile", pdf(),
                         m_w->dir.filePath("out")});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QImage sheet(m_w->dir.filePath("out.pgm"));
    QVERIFY(!sheet.isNull());
    QRect ink;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            if (qGray(sheet.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    const double mm = 25.4 / renderDpi;
    const QSizeF sheetMm(sheet.width() * mm, sheet.height() * mm);
    const QSizeF got(ink.width() * mm, ink.height() * mm);
    const QString what = QString("ink %1 x %2 mm at %3, %4 on a sheet of %5 x %6 mm")
                             .arg(got.width())
                             .arg(got.height())
                             .arg(ink.x() * mm)
                             .arg(ink.y() * mm)
                             .arg(sheetMm.width())
                             .arg(sheetMm.height());
    // Within 1 % and a pixel of the render.
    QVERIFY2(qAbs(got.width() - inkMm.width()) <= inkMm.width() * 0.01 + mm, qPrintable(what));
    QVERIFY2(qAbs(got.height() - inkMm.height()) <= inkMm.height() * 0.01 + mm, qPrintable(what));
    // Centred on the sheet.
    QVERIFY2(qAbs(ink.x() * mm - (sheetMm.width() - got.width()) / 2) <= 2 * mm, qPrintable(what));
    QVERIFY2(qAbs(ink.y() * mm - (sheetMm.height() - got.height()) / 2) <= 2 * mm,
             qPrintable(what));
}

QTEST_MAIN(TestPrintCommands)
#include "tst_printcommands.moc"
