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
using qen::test::ScriptedInteraction;

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

private:
    QString pdf() const { return m_dir->filePath("out.pdf"); }
    // Page sizes in points, one per page of the PDF.
    QList<QSizeF> pdfPages() const;
    QString pdfText() const;

    std::unique_ptr<test::ExportViews> m_world;
    QTemporaryDir *m_dir = nullptr;
    ArticleTree *m_tree = nullptr;
    ImageView *m_image = nullptr;
    RecordView *m_record = nullptr;
    ScriptedInteraction *m_user = nullptr;
    std::unique_ptr<PrintCommands> m_commands;
};

void TestPrintCommands::init() {
    m_world = std::make_unique<test::ExportViews>();
    m_dir = &m_world->dir;
    m_tree = &m_world->tree;
    m_image = &m_world->image;
    m_record = &m_world->record;
    m_user = &m_world->user;
    m_user->printer().setPageSize(printlayout::pageSizeForCode(9));
    m_commands = std::make_unique<PrintCommands>(m_world->controls(), *m_user);
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
    // The tree: a package (1) of a G4 page, a WWP page, an unknown file and a record (2..5),
    // then a single JPEG (6). Scope 1 prints the image view's page.
    QTest::newRow("current page") << 1 << 2 << 1;
    QTest::newRow("current article: unknown type passed over") << 2 << 3 << 3;
    QTest::newRow("current article on a root prints the current page") << 2 << 6 << 1;
    QTest::newRow("all articles") << 3 << 2 << 4;
}

void TestPrintCommands::scopes() {
    QFETCH(int, scope);
    QFETCH(int, selected);
    const QString src = m_dir->filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/p1.tif", fixture::g4Tiff(2480, 3508));
    fixture::writeAll(src + "/p2.wwp", fixture::wwpPage());
    fixture::writeAll(src + "/p3.dat", "not a page");
    fixture::writeAll(src + "/p4.txt", test::gbk("record text 题录"));
    QImage photo(300, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    QVERIFY(photo.save(src + "/single.jpg"));
    m_tree->addPackage(src + "/a.qen", "文章", src, {"p1.tif", "p2.wwp", "p3.dat", "p4.txt"});
    m_tree->addSingle(src + "/single.jpg");
    m_tree->select(selected);
    QVERIFY(m_image->setFileName(src + "/p1.tif"));

    m_commands->PrintPages(scope);
    QCOMPARE(m_user->messages.size(), 0);
    const QList<QSizeF> pages = pdfPages();
    QTEST(int(pages.size()), "pages");
    for (const QSizeF &size : pages) {
        // A4 portrait in points.
        QVERIFY2(qAbs(size.width() - 595.3) < 1 && qAbs(size.height() - 841.9) < 1,
                 qPrintable(QString("%1 x %2").arg(size.width()).arg(size.height())));
    }
    // The WWP page was decoded as showing it does: into the work folder, not beside itself.
    if (scope != 1 && selected != 6)
        QVERIFY(!m_tree->key(3).endsWith(".wwp"));
}

void TestPrintCommands::recordShownPrintsFiltered() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    const QString src = m_dir->filePath("src");
    QDir().mkpath(src);
    fixture::writeAll(src + "/r.txt", test::gbk("stored record"));
    fixture::writeAll(src + "/r.tmp", test::gbk("shown record"));
    m_tree->addPackage(src + "/a.qen", "文章", src, {"r.txt"});
    m_tree->select(2);
    m_record->loadFile(src + "/r.tmp");
    m_world->shown.set(ShownView::Record);

    m_commands->PrintPages(1);
    QVERIFY2(pdfText().contains("shown record") && !pdfText().contains("stored"),
             qPrintable(pdfText()));
    m_commands->PrintPages(2);
    QVERIFY2(pdfText().contains("stored record"), qPrintable(pdfText()));
}

void TestPrintCommands::noPrinterSaidOnce() {
    m_world->g4Package({"p1.tif", "p2.tif", "p3.tif"});
    m_user->printerInstalled = false;
    m_commands->PrintPages(3);
    QCOMPARE(m_user->messages.size(), 1);
    QVERIFY(!QFileInfo::exists(pdf()));
}

void TestPrintCommands::printerFailureStopsTheWalk() {
    m_world->g4Package({"p1.tif", "p2.tif", "p3.tif"});
    m_user->printer().setOutputFileName(m_dir->filePath("no such folder/out.pdf"));
    m_commands->PrintPages(3);
    QCOMPARE(m_user->texts("error").size(), 1);
}

QTEST_MAIN(TestPrintCommands)
#include "tst_printcommands.moc"
