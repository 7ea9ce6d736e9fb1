#include "articles/tiffcodec.h"
#include "export/ui/browsefolder.h"
#include "export/ui/savecommands.h"
#include "platform/twips.h"
#include "platform/ui/twipsgeometry.h"
#include "testfiles.h"

#include "exportviews.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;
using qen::test::ScriptedInteraction;

namespace {
const QString TifQuestion = "您没有设置文件类型，将接.TIF格式存贮,要继续吗？";
const QString TxtQuestion = "您没有设置文件类型，将接.TXT格式存贮,要继续吗？";
const QString Exists = "此文件已经存在，要覆盖吗？";
const QString WwpExists = "文件已经存在，要覆盖吗?";
const QString Done = "保存完成!";
} // namespace

// The save commands with real views, the real page display and a scripted user.
class TestSaveCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void currentPage_data();
    void currentPage();
    void g4PageStaysG4();
    void articleOnPackageNodeSelectsFirstPage();
    void allArticlesWithOneSingleFileSavesThePage();
    void skippedPagesAreNamed();
    void rootFolderIsAFolder();
    void fullDiskKeepsTheOldFile();

private:
    int openPage(const QString &kind);

    std::unique_ptr<test::ExportViews> m_world;
    QTemporaryDir *m_dir = nullptr;
    ArticleTree *m_tree = nullptr;
    ImageView *m_image = nullptr;
    RecordView *m_record = nullptr;
    ScriptedInteraction *m_user = nullptr;
    std::unique_ptr<SaveCommands> m_commands;
    QString m_out;
    QList<int> m_shown;
};

void TestSaveCommands::init() {
    m_world = std::make_unique<test::ExportViews>();
    m_dir = &m_world->dir;
    m_tree = &m_world->tree;
    m_image = &m_world->image;
    m_record = &m_world->record;
    m_user = &m_world->user;
    m_shown.clear();
    ExportHooks hooks{[this](int node) {
                          m_tree->select(node);
                          m_shown << node;
                      },
                      {},
                      {}};
    m_commands = std::make_unique<SaveCommands>(m_world->controls(), hooks, *m_user);
    m_out = m_dir->filePath("out");
    QDir().mkpath(m_out);
    QDir().mkpath(m_dir->filePath("src"));
}

// Opens one page as the window would show it: "tif" (shown in the image view), "parked tif"
// (the record view is shown and the image view holds another page), "gone tif" (parked and
// its file deleted), "txt" and "rtf" records (shown, with text the filter left), "wwp"
// (not yet shown).
int TestSaveCommands::openPage(const QString &kind) {
    const QString src = m_dir->filePath("src/");
    const bool parked = kind.startsWith("parked") || kind.startsWith("gone");
    const QString type = kind.section(' ', -1);
    QString path = src + "page." + type;
    if (type == "tif") {
        fixture::writeAll(path, fixture::g4Tiff());
        m_image->setFileName(path);
        if (parked) {
            QImage other(10, 10, QImage::Format_Mono);
            other.fill(1);
            m_image->setImage(other);
            m_world->shown.set(ShownView::Record);
        }
        if (kind.startsWith("gone"))
            QFile::remove(path);
    } else if (type == "wwp") {
        fixture::writeAll(path, fixture::wwpPage());
    } else {
        fixture::writeAll(path, type == "rtf" ? QByteArray("{\\rtf1\\ansi unfiltered record}")
                                              : test::gbk("unfiltered record"));
        m_record->setPlainText("filtered 题录");
        m_record->setTag(path);
        m_world->shown.set(ShownView::Record);
    }
    const int node = m_tree->addSingle(path);
    m_tree->select(node);
    return node;
}

void TestSaveCommands::currentPage_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("before"); // "dir:name" is a folder, else a file "old"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QList<int>>("answers"); // 1 Yes, 0 No
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("written"); // the file whose content is checked, "" for none
    QTest::addColumn<QByteArray>("starts");

    const QByteArray tiff("II*\0", 4), old("old");
    QTest::newRow("image typed without extension, yes: TIFF")
        << "tif" << QStringList{} << "x" << QList<int>{1} << QStringList{TifQuestion, Done}
        << "x.tif" << tiff;
    QTest::newRow("image typed without extension, no: nothing")
        << "tif" << QStringList{} << "x" << QList<int>{0} << QStringList{TifQuestion} << "x.tif"
        << QByteArray();
    QTest::newRow("x.png is x.png.tif, asked about that file")
        << "tif" << QStringList{"x.png.tif"} << "x.png" << QList<int>{0} << QStringList{Exists}
        << "x.png.tif" << old;
    QTest::newRow("existing file replaced on yes")
        << "tif" << QStringList{"x.tif"} << "x.tif" << QList<int>{1} << QStringList{Exists, Done}
        << "x.tif" << tiff;
    QTest::newRow("bmp by extension") << "tif" << QStringList{} << "x.bmp" << QList<int>{}
                                      << QStringList{Done} << "x.bmp" << QByteArray("BM");
    QTest::newRow("cancel") << "tif" << QStringList{} << "" << QList<int>{} << QStringList{} << ""
                            << QByteArray();
    QTest::newRow("a folder where the file goes: error, folder kept")
        << "tif" << QStringList{"dir:x.tif"} << "x.tif" << QList<int>{1}
        << QStringList{Exists, "error"} << "" << QByteArray();
    QTest::newRow("parked view: the page is read from its file")
        << "parked tif" << QStringList{} << "x.tif" << QList<int>{} << QStringList{Done} << "x.tif"
        << tiff;
    QTest::newRow("parked view, page file gone: error")
        << "gone tif" << QStringList{} << "x.tif" << QList<int>{} << QStringList{"error"} << "x.tif"
        << QByteArray();
    QTest::newRow("record as rtf holds the filtered text")
        << "txt" << QStringList{} << "notes.rtf" << QList<int>{} << QStringList{Done} << "notes.rtf"
        << QByteArray("{\\rtf");
    QTest::newRow("rtf record typed without extension: plain text")
        << "rtf" << QStringList{} << "notes" << QList<int>{1} << QStringList{TxtQuestion, Done}
        << "notes.txt" << test::gbk("filtered 题录");
    QTest::newRow("record over an existing file, no")
        << "txt" << QStringList{"notes.txt"} << "notes.txt" << QList<int>{0} << QStringList{Exists}
        << "notes.txt" << old;
    QTest::newRow("wwp decoded and copied") << "wwp" << QStringList{} << "w" << QList<int>{1}
                                            << QStringList{TifQuestion, Done} << "w.tif" << tiff;
    QTest::newRow("wwp over an existing file asks its own question")
        << "wwp" << QStringList{"w.tif"} << "w.tif" << QList<int>{0} << QStringList{WwpExists}
        << "w.tif" << old;
}

void TestSaveCommands::currentPage() {
    QFETCH(QString, page);
    QFETCH(QStringList, before);
    QFETCH(QString, typed);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, written);
    QFETCH(QByteArray, starts);

    openPage(page);
    for (const QString &entry : before) {
        if (entry.startsWith("dir:"))
            QDir().mkpath(m_out + '/' + entry.mid(4));
        else
            fixture::writeAll(m_out + '/' + entry, "old");
    }
    m_user->saveAnswers << (typed.isEmpty() ? QString() : m_out + '/' + typed);
    for (const int a : answers)
        m_user->answers << (a ? QMessageBox::Yes : QMessageBox::No);
    m_commands->SavePages(SaveCommands::CurrentPage);

    QStringList shown;
    for (const test::ShownMessage &m : m_user->messages)
        shown << (m.title == "error" ? QString("error") : m.text);
    QCOMPARE(shown, messages);
    for (const test::ShownMessage &m : m_user->messages)
        if (m.title == "error")
            QVERIFY2(m.text.contains(m_out) || m.text.contains(m_dir->path()), qPrintable(m.text));
    if (!written.isEmpty()) {
        const QByteArray bytes = fixture::readAll(m_out + '/' + written);
        QVERIFY2(starts.isEmpty() ? bytes.isEmpty() : bytes.startsWith(starts),
                 bytes.left(40).constData());
    }
    // Nothing half-written is left, and nothing lands beside the user's page.
    QCOMPARE(QDir(m_out).entryList(QStringList{"*.qenpart", ".*.tif*"}, QDir::Files),
             QStringList());
    if (page == "wwp")
        QCOMPARE(QDir(m_dir->filePath("src")).entryList(QStringList{"*.tif"}), QStringList());
}

void TestSaveCommands::g4PageStaysG4() {
    const QString source = QString(QEN_TEST_DATA) + "/g4-text-400x300.tif";
    QVERIFY(m_image->setFileName(source));
    m_tree->select(m_tree->addSingle(source));
    m_user->saveAnswers << m_out + "/saved.tif";
    m_commands->SavePages(SaveCommands::CurrentPage);
    const QByteArray saved = fixture::readAll(m_out + "/saved.tif");
    tiff::Info info;
    QVERIFY(tiff::inspect(saved, &info));
    QCOMPARE(info.compression, 4); // COMPRESSION_CCITTFAX4
    QCOMPARE(info.bitsPerSample, 1);
    QVERIFY2(saved.size() <= 1.1 * QFileInfo(source).size(),
             qPrintable(QString::number(saved.size())));
    ImageView reloaded;
    QVERIFY(reloaded.setFileName(m_out + "/saved.tif"));
    QVERIFY(test::samePixels(reloaded.image(), m_image->image()));
}

void TestSaveCommands::articleOnPackageNodeSelectsFirstPage() {
    const QString src = m_dir->filePath("src");
    fixture::writeAll(src + "/p1.tif", "one");
    fixture::writeAll(src + "/p2.tif", "two");
    const int package = m_tree->addPackage(src + "/a.qen", "文章", src, {"p1.tif", "p2.tif"});
    m_tree->select(package);
    m_user->directoryAnswers << m_out + "/";
    m_commands->SavePages(SaveCommands::CurrentArticle);
    QCOMPARE(m_shown, QList<int>{package + 1});
    QCOMPARE(fixture::readAll(m_out + "/文章/p2.tif"), QByteArray("two"));
    QCOMPARE(m_user->texts("提示信息"), QStringList{Done});
}

void TestSaveCommands::allArticlesWithOneSingleFileSavesThePage() {
    openPage("tif");
    m_user->saveAnswers << m_out + "/one.tif";
    m_commands->SavePages(SaveCommands::AllArticles);
    QVERIFY(QFileInfo::exists(m_out + "/one.tif"));
    QCOMPARE(m_user->texts("提示信息"), QStringList{Done});
}

void TestSaveCommands::skippedPagesAreNamed() {
    const QString src = m_dir->filePath("src");
    fixture::writeAll(src + "/p1.tif", "one");
    m_tree->addPackage(src + "/a.qen", "文章", src, {"p1.tif", "p2.tif"});
    m_tree->select(2);
    m_user->directoryAnswers << m_out;
    m_commands->SavePages(SaveCommands::AllArticles);
    QCOMPARE(m_user->messages.size(), 1);
    QVERIFY(!m_user->messages.first().text.contains(Done));
    QVERIFY(m_user->messages.first().text.contains(src + "/p2.tif"));
}

void TestSaveCommands::rootFolderIsAFolder() {
    m_user->directoryAnswers << "/"
                             << "" << m_out + "/";
    QCOMPARE(BrowseForFolder(*m_user, nullptr, "p"), QString("/"));
    QCOMPARE(BrowseForFolder(*m_user, nullptr, "p"), QString());
    QCOMPARE(BrowseForFolder(*m_user, nullptr, "p"), m_out);
}

void TestSaveCommands::fullDiskKeepsTheOldFile() {
    const QString page = m_dir->filePath("src/big.tif");
    fixture::writeAll(page, fixture::g4Tiff(2480, 3508));
    QVERIFY(m_image->setFileName(page));
    m_tree->select(m_tree->addSingle(page));
    fixture::writeAll(m_out + "/x.tif", "old");
    m_user->saveAnswers << m_out + "/x.tif";
    {
        const test::FileSizeLimit full(512);
        m_commands->SavePages(SaveCommands::CurrentPage);
    }
    QCOMPARE(m_user->texts("error").size(), 1);
    QVERIFY(m_user->texts("error").first().contains(m_out + "/x.tif"));
    QCOMPARE(fixture::readAll(m_out + "/x.tif"), QByteArray("old"));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList{"x.tif"});
}

QTEST_MAIN(TestSaveCommands)
#include "tst_savecommands.moc"
