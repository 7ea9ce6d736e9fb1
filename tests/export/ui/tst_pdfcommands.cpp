// The PDF menu's commands on real packages opened in the window: page order, pages with the
// same base name, articles with the same title, the replace question, nothing to export and
// a bad page, each ending with its message and the busy window closed.
#include "export/ui/pdfcommands.h"
#include "pageview/ui/documents.h"
#include "pdfpages.h"
#include "scriptedinteraction.h"
#include "shell/ui/mainwindow.h"
#include "windowfixture.h"
#include "zipfixture.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestPdfCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuIsOfferedAndFollowsTheShownView();
    void commands_data();
    void commands();

private:
    QString package(const QString &name, const QString &title,
                    const std::vector<fixture::Entry> &pages);
    void open(const QString &path) { m_f->window->CreateTree(path); }

    std::unique_ptr<test::WindowFixture> m_f;
};

QString TestPdfCommands::package(const QString &name, const QString &title,
                                 const std::vector<fixture::Entry> &pages) {
    const QString path = m_f->dir.filePath(name);
    fixture::writeZip(path, pages, fixture::gbk(title));
    return path;
}

void TestPdfCommands::init() {
    m_f = std::make_unique<test::WindowFixture>(test::WindowStart::Loaded);
    QVERIFY(m_f->exposed);
    QDir().mkpath(m_f->dir.filePath("out"));
}

void TestPdfCommands::cleanup() {
    m_f.reset();
}

void TestPdfCommands::menuIsOfferedAndFollowsTheShownView() {
    const QMenu *menu = m_f->window->findChild<QMenu *>(QStringLiteral("mnuPDF"));
    QVERIFY(menu && menu->menuAction()->isEnabled());
    QAction *current = m_f->window->command(QStringLiteral("mnuPDF_Current"));
    QVERIFY(!current->isEnabled());
    const QString tif = m_f->dir.filePath("scan.tif");
    fixture::writeAll(tif, fixture::g4Tiff());
    const QString txt = m_f->dir.filePath("record.txt");
    fixture::writeAll(txt, fixture::gbk("【题名】测试\r\n"));
    open(tif + QChar(0) + txt);
    QVERIFY(current->isEnabled());
    QVERIFY(m_f->window->command(QStringLiteral("mnuPDF_AllArticle"))->isEnabled());
    m_f->window->documents()->nodeClick(2);
    QVERIFY(!current->isEnabled());
    QVERIFY(!m_f->window->command(QStringLiteral("mnuPDF_CurrentArticle"))->isEnabled());
}

void TestPdfCommands::commands_data() {
    QTest::addColumn<QString>("command");       // page, article, all
    QTest::addColumn<QString>("message");       // the start of the last message; "" for none
    QTest::addColumn<QStringList>("pdfs");      // what the output folder then holds
    QTest::addColumn<QList<int>>("pageWidths"); // of the first PDF

    QTest::newRow("pages in the article's order, not p1 p2 p10")
        << "article"
        << "当前篇文件已经全部转换成了PDF文件！" << QStringList{"a.pdf"} << QList<int>{41, 50, 42};
    QTest::newRow("same base name, TIF and WWP")
        << "article"
        << "当前篇文件已经全部转换成了PDF文件！" << QStringList{"a.pdf"} << QList<int>{41, 60};
    QTest::newRow("report becomes report.pdf")
        << "page"
        << "当前页文章已经成功地转换成了PDF文件！" << QStringList{"report.pdf"} << QList<int>{41};
    QTest::newRow("replace refused") << "page"
                                     << "" << QStringList{"a.pdf"} << QList<int>{};
    QTest::newRow("replace accepted")
        << "page"
        << "当前页文章已经成功地转换成了PDF文件！" << QStringList{"a.pdf"} << QList<int>{41};
    QTest::newRow("bad page: nothing written") << "article"
                                               << "将当前篇文件转换成了PDF文件时出错了！\n"
                                               << QStringList{} << QList<int>{};
    QTest::newRow("record in the article: nothing written")
        << "article"
        << "其他文件类型不能转换成PDF文件格式！" << QStringList{} << QList<int>{};
    QTest::newRow("all: same texts, unusable title, record-only article")
        << "all"
        << "所有文章存贮完成！" << QStringList{"同名.pdf", "同名 (2).pdf", "文章3.pdf"}
        << QList<int>{43};
    QTest::newRow("all: a failing article is named")
        << "all"
        << "以下文章没有存贮成PDF文件：\n坏的：" << QStringList{"好的.pdf"} << QList<int>{41};
}

void TestPdfCommands::commands() {
    QFETCH(QString, command);
    QFETCH(QString, message);
    QFETCH(QStringList, pdfs);
    QFETCH(QList<int>, pageWidths);
    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    const QString out = m_f->dir.filePath("out");
    using fixture::file;
    using fixture::g4Tiff;

    if (tag.startsWith("pages in")) {
        open(package("a.qen", "A",
                     {file("p2.tif", g4Tiff(42, 30)), file("p10.tif", g4Tiff(50, 30)),
                      file("p1.tif", g4Tiff(41, 30))}));
        m_f->ui.saveAnswers << out + "/a.pdf";
    } else if (tag.startsWith("same base")) {
        open(package(
            "a.qen", "A",
            {file("p1.wwp", fixture::wwpPage(g4Tiff(60, 30))), file("p1.tif", g4Tiff(41, 30))}));
        m_f->ui.saveAnswers << out + "/a.pdf";
    } else if (tag.startsWith("report")) {
        open(package("a.qen", "A", {file("p1.tif", g4Tiff(41, 30))}));
        m_f->ui.saveAnswers << out + "/report";
    } else if (tag.startsWith("replace")) {
        open(package("a.qen", "A", {file("p1.tif", g4Tiff(41, 30))}));
        fixture::writeAll(out + "/a.pdf", "old");
        m_f->ui.saveAnswers << out + "/a.pdf";
        m_f->ui.answers << (tag.endsWith("refused") ? QMessageBox::No : QMessageBox::Yes);
    } else if (tag.startsWith("bad page")) {
        open(package("a.qen", "A",
                     {file("p1.tif", g4Tiff(41, 30)), file("p2.tif", g4Tiff(42, 30).left(60))}));
        m_f->ui.saveAnswers << out + "/a.pdf";
    } else if (tag.startsWith("record")) {
        open(package("a.qen", "A",
                     {file("p1.tif", g4Tiff(41, 30)), file("p2.txt", fixture::gbk("【题名】x"))}));
        m_f->ui.saveAnswers << out + "/a.pdf";
    } else if (tag.startsWith("all: same")) {
        // Single pages from two folders share their text; packages cannot (the second one
        // with a title already open is left out when opening).
        for (const char *folder : {"x", "y"}) {
            QDir().mkpath(m_f->dir.filePath(folder));
            const QString page = m_f->dir.filePath(QString::fromLatin1(folder) + "/同名.tif");
            fixture::writeAll(page, g4Tiff(folder[0] == 'x' ? 43 : 44, 30));
            open(page);
        }
        open(package("c.qen", "..", {file("p1.tif", g4Tiff(45, 30))}));
        open(package("d.qen", "记录", {file("r.txt", fixture::gbk("【题名】x"))}));
        m_f->ui.directoryAnswers << out;
    } else {
        open(package("a.qen", "坏的", {file("p1.tif", g4Tiff(41, 30).left(60))}));
        open(package("b.qen", "好的", {file("p1.tif", g4Tiff(41, 30))}));
        m_f->ui.directoryAnswers << out;
    }
    QVERIFY(m_f->window->documents()->isOpen());
    m_f->ui.messages.clear();

    int shown = 0, closed = 0;
    PdfCommands commands({m_f->window.get(), m_f->window->documents(), &m_f->ui,
                          &m_f->window->folders(),
                          [&](const QString &text) {
                              QCOMPARE(text, QStringLiteral("正在存贮数据，请稍候..."));
                              ++shown;
                          },
                          [&] { ++closed; }});
    if (command == QLatin1String("page"))
        commands.SaveCurrentPage();
    else if (command == QLatin1String("article"))
        commands.SaveCurrentArticle();
    else
        commands.SaveAllArticles();

    QCOMPARE(closed, shown);
    const QList<test::ShownMessage> messages = m_f->ui.messages;
    if (tag.startsWith("replace")) {
        QCOMPARE(messages.first().text, QStringLiteral("此文件已经存在，你要替换此文件吗？"));
        QCOMPARE(messages.first().title, QStringLiteral("提示信息"));
    }
    if (message.isEmpty()) {
        QCOMPARE(shown, 0);
        QCOMPARE(fixture::readAll(out + "/a.pdf"), QByteArray("old"));
    } else {
        QCOMPARE(shown, 1);
        QVERIFY2(messages.last().text.startsWith(message), qPrintable(messages.last().text));
        QCOMPARE(messages.last().title, QStringLiteral("提示信息"));
    }
    QStringList found = QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    found.sort();
    QStringList sorted = pdfs;
    sorted.sort();
    QCOMPARE(found, sorted);
    if (!pageWidths.isEmpty())
        QCOMPARE(test::pdfImageWidths(out + "/" + pdfs.first()), pageWidths);
    // The staging folders are gone with their commands.
    QCOMPARE(QDir(m_f->window->folders().appTemp())
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                 .size(),
             0);
}

QTEST_MAIN(TestPdfCommands)
#include "tst_pdfcommands.moc"
