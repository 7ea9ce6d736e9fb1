#include "export/printlayout.h"
#include "export/ui/printcommands.h"
#include "testfiles.h"

#include "exportviews.h"
#include "sheetink.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace qen;

// Printing through a real CUPS queue whose backend is cups-pdf, which writes each job it gets
// as a PDF: what arrives there is what a printer would have printed. Runs where cups and
// printer-driver-cups-pdf are installed and the scheduler runs; skipped elsewhere.
class TestCupsPrinting : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void articleReachesTheQueue_data();
    void articleReachesTheQueue();
    void scanPrintsAtItsSize();

private:
    // The PDF cups-pdf writes for the job titled `title`, waited for; empty when none comes.
    QString jobOutput(const QString &title) const;
    static QString run(const QString &program, const QStringList &args, int *exitCode = nullptr);
    QString uniqueTitle();

    QString m_queue, m_outFolder;
    int m_jobs = 0;
    std::unique_ptr<test::ExportViews> m_w;
};

QString TestCupsPrinting::run(const QString &program, const QStringList &args, int *exitCode) {
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(30000);
    if (exitCode)
        *exitCode = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

void TestCupsPrinting::initTestCase() {
    for (const char *tool : {"lpstat", "pdfinfo", "pdftoppm"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            QSKIP(qPrintable(QString("%1 is not installed: printing through CUPS is not tried "
                                     "(needs cups, printer-driver-cups-pdf and poppler-utils)")
                                 .arg(tool)));
    // "device for PDF: cups-pdf:/"
    static const QRegularExpression device(R"(^device for ([^:\s]+):\s*cups-pdf:/)",
                                           QRegularExpression::MultilineOption);
    const auto m = device.match(run("lpstat", {"-v"}));
    if (!m.hasMatch())
        QSKIP("no CUPS queue with the cups-pdf backend (install cups and "
              "printer-driver-cups-pdf, and run cupsd)");
    m_queue = m.captured(1);
    // Where cups-pdf puts its files: its Out setting, ${HOME}/PDF unless changed.
    m_outFolder = QDir::homePath() + "/PDF";
    QFile conf("/etc/cups/cups-pdf.conf");
    if (conf.open(QIODevice::ReadOnly)) {
        static const QRegularExpression out(R"(^\s*Out\s+(\S+))",
                                            QRegularExpression::MultilineOption);
        const auto o = out.match(QString::fromLocal8Bit(conf.readAll()));
        if (o.hasMatch())
            m_outFolder = o.captured(1)
                              .replace("${HOME}", QDir::homePath())
                              .replace("${USER}", qEnvironmentVariable("USER"));
    }
}

void TestCupsPrinting::init() {
    m_w = std::make_unique<test::ExportViews>();
    QPrinter &printer = m_w->user.printer();
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(m_queue);
    if (printer.printerName() != m_queue)
        QSKIP(qPrintable("Qt does not see the CUPS queue " + m_queue));
    printer.setPageSize(printlayout::pageSizeForCode(9));
}

QString TestCupsPrinting::uniqueTitle() {
    // Letters and digits only: cups-pdf makes a file name of the title.
    return QString("qenprint%1x%2").arg(QCoreApplication::applicationPid()).arg(++m_jobs);
}

QString TestCupsPrinting::jobOutput(const QString &title) const {
    QString found;
    (void)QTest::qWaitFor(
        [&] {
            const QStringList files =
                QDir(m_outFolder).entryList({"*" + title + "*.pdf"}, QDir::Files, QDir::Time);
            if (files.isEmpty())
                return false;
            // Written once the job is done with: the queue no longer lists it.
            if (run("lpstat", {"-o", m_queue}).contains(m_queue + "-"))
                return false;
            found = QDir(m_outFolder).filePath(files.first());
            return true;
        },
        120000);
    return found;
}

void TestCupsPrinting::articleReachesTheQueue_data() {
    QTest::addColumn<int>("stopAt");
    QTest::addColumn<int>("pages");
    QTest::addRow("whole article") << 0 << 12;
    // CUPS cannot take back a job: what it gets is a whole document of the pages done.
    QTest::addRow("stopped at page 10") << 10 << 9;
}

void TestCupsPrinting::articleReachesTheQueue() {
    QFETCH(int, stopAt);
    QFETCH(int, pages);
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QString("p%1.tif").arg(i);
    m_w->g4Package(names);
    const QString title = uniqueTitle();
    m_w->user.printer().setDocName(title);
    ExportHooks hooks;
    int asked = 0;
    hooks.showProgress = [&](const QString &, std::function<void()> onCancel) {
        if (++asked == stopAt)
            onCancel();
    };
    PrintCommands commands(m_w->controls(), hooks, m_w->user);
    commands.PrintPages(PrintCommands::CurrentArticle);
    QCOMPARE(m_w->user.messages.size(), stopAt ? 1 : 0);

    const QString pdf = jobOutput(title);
    QVERIFY2(!pdf.isEmpty(), qPrintable("no PDF from cups-pdf in " + m_outFolder));
    int status = 0;
    const QString info = run("pdfinfo", {pdf}, &status);
    QCOMPARE(status, 0);
    QVERIFY2(info.contains(QRegularExpression(QString(R"(Pages:\s+%1\n)").arg(pages))),
             qPrintable(info));
    QFile::remove(pdf);
}

// An A5 scan at 300 dpi on A4: it fits within the paper less 10 mm, so it prints at its size.
// (An A4 scan on A4 is scaled down to that room, and does not measure the size on paper.)
void TestCupsPrinting::scanPrintsAtItsSize() {
    QImage page(1748, 2480, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(1);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    const QString title = uniqueTitle();
    m_w->user.printer().setDocName(title);
    {
        PrintJob job(m_w->user.printer());
        job.printImage(page);
        job.finish();
    }
    const QString pdf = jobOutput(title);
    QVERIFY2(!pdf.isEmpty(), qPrintable("no PDF from cups-pdf in " + m_outFolder));
    const test::SheetInk ink = test::sheetInk(pdf, m_w->dir.filePath("sheet"));
    QVERIFY(ink.ok);
    QVERIFY2(ink.sizeWithin1Percent(QSizeF(148, 210)), qPrintable(ink.describe()));
    QVERIFY2(ink.centred(), qPrintable(ink.describe()));
    QFile::remove(pdf);
}

QTEST_MAIN(TestCupsPrinting)
#include "tst_cupsprinting.moc"
