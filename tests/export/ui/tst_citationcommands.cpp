// "导出题录..." and "复制引文" with the real views and a scripted user. Records are UTF-8 text
// written in this file, or the GBK fixture in tests/data.
#include "export/ui/citationcommands.h"
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
const QString Exists = "此文件已经存在，要覆盖吗？";
const QString NoExtension = "您没有设置文件类型，将按.RIS格式存贮,要继续吗？";
const QString Done = "导出完成！共导出 %1 条题录。";

// Two entries in one file, written by hand as UTF-8.
const QByteArray TwoEntries = "【题　名】信息检索研究\r\n"
                              "【作　者】王晓明；李静；陈国华；赵一鸣\r\n"
                              "【刊　名】情报学报 2004年 第23卷 第03期 45～50页\r\n"
                              "\r\n"
                              "【题　名】Records and retrieval\r\n"
                              "【作　者】Smith, John\r\n"
                              "【刊　名】Journal of Documentation, 2010, 66(5): 701-720\r\n";
} // namespace

class TestCitationCommands : public QObject {
    Q_OBJECT
private slots:
    void init();
    void exportByExtension_data();
    void exportByExtension();
    void everyOpenRecordOnRequest_data();
    void everyOpenRecordOnRequest();
    void takesEveryFieldWhateverTheViewShows();
    void unwritableTargetKeepsTheOldFile();
    void recordWithoutFieldsWritesNothing();
    void copyCitation();
    void copyNeedsAShownRecord();
    void copyOfBadRecordSaysWhy();

private:
    QString openRecord(const QString &name, const QByteArray &bytes);

    std::unique_ptr<test::ExportViews> m_world;
    ScriptedInteraction *m_user = nullptr;
    std::unique_ptr<CitationCommands> m_commands;
    QString m_out;
};

void TestCitationCommands::init() {
    m_world = std::make_unique<test::ExportViews>();
    m_user = &m_world->user;
    m_commands = std::make_unique<CitationCommands>(m_world->controls(), ExportHooks{}, *m_user);
    m_out = m_world->dir.filePath("out");
    QDir().mkpath(m_out);
    QDir().mkpath(m_world->dir.filePath("src"));
}

// Opens a record as the window shows it: in the tree, selected, in the record view with the
// image view parked.
QString TestCitationCommands::openRecord(const QString &name, const QByteArray &bytes) {
    const QString path = m_world->dir.filePath("src/" + name);
    test::writeFile(path, bytes);
    m_world->record.loadFile(path);
    m_world->record.setTag(path);
    setLeftTwips(&m_world->image, twips::ParkedLeft);
    m_world->tree.select(m_world->tree.addSingle(path));
    return path;
}

void TestCitationCommands::exportByExtension_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("existing");      // an "old" file already at the target
    QTest::addColumn<QList<int>>("answers"); // 1 Yes, 0 No
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("written");   // the file checked
    QTest::addColumn<QByteArray>("starts"); // "" : not written; "old": kept
    const QString done = Done.arg(2);
    QTest::newRow("ris") << "refs.ris" << false << QList<int>{} << QStringList{done} << "refs.ris"
                         << QByteArray("TY  - JOUR\r\nTI  - 信息检索研究\r\n");
    QTest::newRow("bib") << "refs.bib" << false << QList<int>{} << QStringList{done} << "refs.bib"
                         << QByteArray("@article{qen1,\n  author = {{王晓明} and");
    QTest::newRow("csl-json") << "refs.json" << false << QList<int>{} << QStringList{done}
                              << "refs.json" << QByteArray("[\n    {\n");
    QTest::newRow("EndNote, extension in capitals")
        << "refs.ENW" << false << QList<int>{} << QStringList{done} << "refs.ENW"
        << QByteArray("%0 Journal Article\n%T 信息检索研究\n%A 王晓明\n");
    QTest::newRow("no extension, yes: RIS")
        << "refs" << false << QList<int>{1} << QStringList{NoExtension, done} << "refs.ris"
        << QByteArray("TY  - ");
    QTest::newRow("no extension, no: nothing")
        << "refs" << false << QList<int>{0} << QStringList{NoExtension} << "refs.ris"
        << QByteArray();
    QTest::newRow("unknown extension: error, nothing written")
        << "refs.txt" << false << QList<int>{} << QStringList{"error"} << "refs.txt"
        << QByteArray();
    QTest::newRow("existing file, no: kept")
        << "refs.ris" << true << QList<int>{0} << QStringList{Exists} << "refs.ris"
        << QByteArray("old");
    QTest::newRow("existing file, yes: replaced")
        << "refs.ris" << true << QList<int>{1} << QStringList{Exists, done} << "refs.ris"
        << QByteArray("TY  - JOUR");
    QTest::newRow("cancel") << "" << false << QList<int>{} << QStringList{} << "refs.ris"
                            << QByteArray();
}

void TestCitationCommands::exportByExtension() {
    QFETCH(QString, typed);
    QFETCH(bool, existing);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, written);
    QFETCH(QByteArray, starts);
    openRecord("r.txt", TwoEntries);
    if (existing)
        test::writeFile(m_out + "/" + written, "old");
    for (int a : answers)
        m_user->answers << (a ? QMessageBox::Yes : QMessageBox::No);
    m_user->saveAnswers << (typed.isEmpty() ? QString() : m_out + "/" + typed);
    m_commands->exportRecords();

    QStringList shown;
    for (const auto &m : m_user->messages)
        shown << (m.title == "error" ? QStringLiteral("error") : m.text);
    QCOMPARE(shown, messages);
    QCOMPARE(m_user->saveDialogFilters, QStringList{CitationCommands::fileTypes()});
    const QString target = m_out + "/" + written;
    if (starts.isEmpty()) {
        QVERIFY(!QFileInfo::exists(target));
        return;
    }
    const QByteArray bytes = test::readFile(target);
    QVERIFY2(bytes.startsWith(starts), bytes.left(80).constData());
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    // Nothing else was left in the folder (no temporary file of the save).
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestCitationCommands::everyOpenRecordOnRequest_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("entries");
    QTest::newRow("yes: both files") << 1 << 4;
    QTest::newRow("no: the shown one") << 0 << 2;
}

void TestCitationCommands::everyOpenRecordOnRequest() {
    QFETCH(int, answer);
    QFETCH(int, entries);
    QFile gbk(QStringLiteral(QEN_TEST_DATA "/record-gbk-two-entries.txt"));
    QVERIFY(gbk.open(QIODevice::ReadOnly));
    openRecord("first.txt", gbk.readAll());
    openRecord("second.txt", TwoEntries);
    QCOMPARE(m_commands->openRecords().size(), 2);
    QCOMPARE(m_commands->shownRecord(), m_world->dir.filePath("src/second.txt"));
    m_user->answers << (answer ? QMessageBox::Yes : QMessageBox::No);
    m_user->saveAnswers << m_out + "/all.ris";
    m_commands->exportRecords();
    QCOMPARE(m_user->messages.size(), 2);
    QVERIFY(m_user->messages[0].text.contains("2 个题录文件"));
    QCOMPARE(m_user->messages[1].text, Done.arg(entries));
    const QByteArray ris = test::readFile(m_out + "/all.ris");
    QCOMPARE(ris.count("ER  - \r\n"), entries);
    // In tree order: the GBK file's entries first.
    QCOMPARE(ris.contains("TI  - 数字图书馆\r\n"), answer == 1);
}

void TestCitationCommands::takesEveryFieldWhateverTheViewShows() {
    openRecord("r.txt", TwoEntries);
    // The output options left only the title in the view; the export reads the file.
    m_world->record.setPlainText("【题　名】信息检索研究");
    m_user->saveAnswers << m_out + "/r.enw";
    m_commands->exportRecords();
    const QString enw = QString::fromUtf8(test::readFile(m_out + "/r.enw"));
    QVERIFY(enw.contains("%A 赵一鸣\n"));
    QVERIFY(enw.contains("%J 情报学报\n%D 2004\n%V 23\n%N 3\n%P 45-50\n"));
}

void TestCitationCommands::unwritableTargetKeepsTheOldFile() {
    openRecord("r.txt", TwoEntries);
    // A folder that is not there, and a full disk with an old file at the target.
    m_user->saveAnswers << m_out + "/missing/refs.ris";
    m_commands->exportRecords();
    QCOMPARE(m_user->texts("error").size(), 1);
    QVERIFY(m_user->texts("error").first().contains(m_out + "/missing/refs.ris"));
    QVERIFY(m_user->texts("提示信息").isEmpty());

    const QString old = m_out + "/refs.ris";
    test::writeFile(old, "old");
    m_user->answers << QMessageBox::Yes;
    m_user->saveAnswers << old;
    {
        const test::FileSizeLimit full(100);
        m_commands->exportRecords();
    }
    QCOMPARE(m_user->texts("error").size(), 2);
    QCOMPARE(test::readFile(old), QByteArray("old"));
    QCOMPARE(QDir(m_out).entryList(QDir::Files | QDir::Hidden), QStringList{"refs.ris"});
}

void TestCitationCommands::recordWithoutFieldsWritesNothing() {
    openRecord("r.txt", "no markers here\r\n");
    m_user->saveAnswers << m_out + "/refs.ris";
    m_commands->exportRecords();
    QCOMPARE(m_user->texts("error").size(), 1);
    QVERIFY(m_user->texts("error").first().contains("没有【字段】行"));
    QVERIFY(!QFileInfo::exists(m_out + "/refs.ris"));
}

void TestCitationCommands::copyCitation() {
    openRecord("r.txt", TwoEntries);
    m_commands->copyCitation();
    QCOMPARE(m_user->clipboardText,
             QStringLiteral("[1] 王晓明, 李静, 陈国华, 等. 信息检索研究[J]. 情报学报, 2004, "
                            "23(3): 45-50.\n"
                            "[2] SMITH J. Records and retrieval[J]. Journal of Documentation, "
                            "2010, 66(5): 701-720."));
    QVERIFY(m_user->messages.isEmpty());
}

void TestCitationCommands::copyNeedsAShownRecord() {
    openRecord("r.txt", TwoEntries);
    setLeftTwips(&m_world->record, twips::ParkedLeft);
    QCOMPARE(m_commands->shownRecord(), QString());
    m_commands->copyCitation();
    m_commands->exportRecords();
    QCOMPARE(m_user->clipboardText, QString());
    QVERIFY(m_user->messages.isEmpty());
    QVERIFY(m_user->saveDialogFilters.isEmpty());
}

void TestCitationCommands::copyOfBadRecordSaysWhy() {
    // No title: the citation still comes, and the user hears why it has none.
    openRecord("r.txt", "【作　者】王晓明\r\n【刊　名】情报学报 2004年 第3期\r\n");
    m_commands->copyCitation();
    QCOMPARE(m_user->clipboardText, QStringLiteral("[1] 王晓明. [J]. 情报学报, 2004(3)."));
    QCOMPARE(m_user->texts("提示信息").size(), 1);
    QVERIFY(m_user->texts("提示信息").first().contains("没有题名"));

    // No field at all: nothing on the clipboard, an error saying so.
    m_user->clipboardText = "before";
    m_user->messages.clear();
    openRecord("empty.txt", "");
    m_commands->copyCitation();
    QCOMPARE(m_user->clipboardText, QStringLiteral("before"));
    QCOMPARE(m_user->texts("error").size(), 1);
    QVERIFY(m_user->texts("error").first().contains("是空的"));
}

QTEST_MAIN(TestCitationCommands)
#include "tst_citationcommands.moc"
