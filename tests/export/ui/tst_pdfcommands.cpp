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

#include "ocr/textlayer.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace qen;

namespace {

// page, article or all, as the menu runs them.
void runCommand(PdfCommands &commands, const QString &command) {
    if (command == QLatin1String("page"))
        commands.SaveCurrentPage();
    else if (command == QLatin1String("article"))
        commands.SaveCurrentArticle();
    else
        commands.SaveAllArticles();
}

} // namespace

class TestPdfCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_f.reset(); }
    void menuIsOfferedAndFollowsTheShownView();
    void commands_data();
    void commands();
    void text_data();
    void text();
    void menuWritesTheText();

private:
    QString package(const QString &name, const QString &title,
                    const std::vector<fixture::Entry> &pages) {
        return m_f->package(name, title, pages);
    }
    void open(const QString &path) { m_f->window->CreateTree(path); }

    std::unique_ptr<test::WindowFixture> m_f;
};

void TestPdfCommands::init() {
    m_f = std::make_unique<test::WindowFixture>(test::WindowStart::Loaded);
    QVERIFY(m_f->exposed);
    QDir().mkpath(m_f->dir.filePath("out"));
}

void TestPdfCommands::menuIsOfferedAndFollowsTheShownView() {
    const QMenu *menu = m_f->window->findChild<QMenu *>(QStringLiteral("mnuPDF"));
    QVERIFY(menu && menu->menuAction()->isEnabled());
    QAction *current = m_f->window->command(QStringLiteral("mnuPDF_Current"));
    QVERIFY(!current->isEnabled());
    const QString tif = m_f->make("scan.tif", fixture::g4Tiff());
    const QString txt = m_f->make("record.txt", fixture::gbk("【题名】测试\r\n"));
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

    test::row("pages in the article's order, not p1 p2 p10", "article",
              "当前篇文件已经全部转换成了PDF文件！", QStringList{"a.pdf"}, QList<int>{41, 50, 42});
    test::row("same base name, TIF and WWP", "article", "当前篇文件已经全部转换成了PDF文件！",
              QStringList{"a.pdf"}, QList<int>{41, 60});
    test::row("report becomes report.pdf", "page", "当前页文章已经成功地转换成了PDF文件！",
              QStringList{"report.pdf"}, QList<int>{41});
    test::row("replace refused", "page", "", QStringList{"a.pdf"}, QList<int>{});
    test::row("replace accepted", "page", "当前页文章已经成功地转换成了PDF文件！",
              QStringList{"a.pdf"}, QList<int>{41});
    test::row("bad page: nothing written", "article", "将当前篇文件转换成了PDF文件时出错了！\n",
              QStringList{}, QList<int>{});
    test::row("record in the article: nothing written", "article",
              "其他文件类型不能转换成PDF文件格式！", QStringList{}, QList<int>{});
    test::row("all: same texts, unusable title, record-only article", "all", "所有文章存贮完成！",
              QStringList{"同名.pdf", "同名 (2).pdf", "文章3.pdf"}, QList<int>{43});
    test::row("all: a failing article is named", "all", "以下文章没有存贮成PDF文件：\n坏的：",
              QStringList{"好的.pdf"}, QList<int>{41});
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
    runCommand(commands, command);

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

namespace {

// What a reading of the tiny fixture pages gives: one line of two characters.
ocr::TextLayer twoCharacters(QSize page) {
    ocr::TextLayer layer(page, 300);
    layer.append({QRect(2, 4, 12, 20), u"文"_qs, 90});
    layer.append({QRect(15, 4, 12, 20), u"字"_qs, 90});
    return layer;
}

QString extracted(const QString &pdf) {
    QProcess p;
    p.start(u"pdftotext"_qs, {pdf, u"-"_qs});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).remove(u'\f').trimmed();
}

} // namespace

void TestPdfCommands::text_data() {
    QTest::addColumn<QString>("command");  // page, article, all
    QTest::addColumn<bool>("included");    // the menu's check item
    QTest::addColumn<QString>("reading");  // read, known, fails, cancel
    QTest::addColumn<int>("reads");        // pages given to the reader
    QTest::addColumn<QStringList>("pdfs"); // what the output folder then holds
    QTest::addColumn<bool>("hasText");     // the first PDF carries text
    QTest::addColumn<QString>("message");  // the start of the last message, "" for none
    test::row("article: every page read", "article", true, "read", 2, QStringList{"a.pdf"}, true,
              "当前篇文件已经全部转换成了PDF文件！");
    test::row("unchecked: nothing read, no text", "article", false, "read", 0, QStringList{"a.pdf"},
              false, "当前篇文件已经全部转换成了PDF文件！");
    test::row("text the background holds is not read again", "page", true, "known", 0,
              QStringList{"a.pdf"}, true, "当前页文章已经成功地转换成了PDF文件！");
    test::row("a page that cannot be read: no PDF, and why", "article", true, "fails", 1,
              QStringList{}, false, "页面 ");
    test::row("cancelled: no PDF, no message", "article", true, "cancel", 1, QStringList{}, false,
              "");
    test::row("all articles cancelled: nothing written", "all", true, "cancel", 1, QStringList{},
              false, "");
    test::row("all articles: every page read first", "all", true, "read", 2, QStringList{"A.pdf"},
              true, "所有文章存贮完成！");
}

void TestPdfCommands::text() {
    QFETCH(QString, command);
    QFETCH(bool, included);
    QFETCH(QString, reading);
    QFETCH(int, reads);
    QFETCH(QStringList, pdfs);
    QFETCH(bool, hasText);
    QFETCH(QString, message);
    const QString out = m_f->dir.filePath("out");
    using fixture::file;
    open(package(
        "a.qen", "A",
        {file("p1.tif", fixture::g4Tiff(41, 30)), file("p2.tif", fixture::g4Tiff(42, 30))}));
    if (command == QLatin1String("all"))
        m_f->ui.directoryAnswers << out;
    else
        m_f->ui.saveAnswers << out + "/a.pdf";
    const ocr::TextLayer known = twoCharacters({41, 30});
    int progress = 0, shown = 0, closed = 0;
    PdfCommands commands(
        {m_f->window.get(), m_f->window->documents(), &m_f->ui, &m_f->window->folders(),
         [&](const QString &) { ++shown; }, [&] { ++closed; },
         [&](const QString &text, std::function<void()> onCancel) {
             QVERIFY(text.startsWith(u"正在识别文字 "_qs));
             ++progress;
             if (reading == QLatin1String("cancel"))
                 onCancel(); // the user presses the button at once
         },
         [&] { return included; },
         [&](const QString &) { return reading == QLatin1String("known") ? &known : nullptr; }});
    std::atomic<int> read{0};
    commands.setTextReader([&](const QString &, const volatile int *cancel) {
        ++read;
        ocr::PageReading r;
        if (reading == QLatin1String("fails")) {
            r.status = 1;
            r.message = u"引擎无法启动"_qs;
        } else if (reading == QLatin1String("cancel")) {
            while (!*cancel)
                std::this_thread::yield();
            r.status = 1;
        } else {
            r.layer = twoCharacters({41, 30});
        }
        return r;
    });
    runCommand(commands, command);

    QCOMPARE(read.load(), reads);
    QCOMPARE(progress, reads);
    QCOMPARE(closed, shown);
    QStringList found = QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(found, pdfs);
    if (message.isEmpty())
        QVERIFY(m_f->ui.messages.isEmpty());
    else
        QVERIFY2(m_f->ui.messages.last().text.startsWith(message),
                 qPrintable(m_f->ui.messages.last().text));
    if (pdfs.isEmpty())
        return;
    const QString pdf = out + "/" + pdfs.first();
    QCOMPARE(fixture::readAll(pdf).contains("/ToUnicode"), hasText);
    if (hasText && !QStandardPaths::findExecutable(u"pdftotext"_qs).isEmpty())
        QCOMPARE(extracted(pdf).remove(u'\n'),
                 reading == QLatin1String("known") ? u"文字"_qs : u"文字文字"_qs);
}

// The check item is on by default and the menu's commands write the text.
void TestPdfCommands::menuWritesTheText() {
    QAction *withText = m_f->window->command(u"mnuPDF_WithText"_qs);
    QVERIFY(withText && withText->isCheckable() && withText->isChecked());
    int read = 0;
    m_f->window->pdfCommands()->setTextReader([&](const QString &, const volatile int *) {
        ++read;
        ocr::PageReading r;
        r.layer = twoCharacters({41, 30});
        return r;
    });
    open(package("a.qen", "A", {fixture::file("p1.tif", fixture::g4Tiff(41, 30))}));
    const QString pdf = m_f->dir.filePath("out/a.pdf");
    m_f->ui.saveAnswers << pdf;
    m_f->window->command(u"mnuPDF_Current"_qs)->trigger();
    QCOMPARE(read, 1);
    QVERIFY(fixture::readAll(pdf).contains("/ToUnicode"));
}

QTEST_MAIN(TestPdfCommands)
#include "tst_pdfcommands.moc"
