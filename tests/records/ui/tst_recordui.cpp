#include "platform/error.h"
#include "platform/textcodec.h"
#include "records/ui/outputoptionsdialog.h"
#include "records/ui/recordcommands.h"
#include "records/ui/recordview.h"
#include "scriptedinteraction.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "testfiles.h"

using namespace qen;
using qen::test::gbk;
using qen::test::readFile;
using qen::test::writeFile;

namespace {

// Presses a button of the options dialog once it is shown modally.
void pressWhenShown(int index) {
    QTimer::singleShot(0, [index] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        dialog->findChild<QPushButton *>(QStringLiteral("cmdButton_%1").arg(index))->click();
    });
}

struct Fixture {
    QTemporaryDir dir;
    WorkFolders folders{dir.path() + QStringLiteral("/QenInfo"), dir.path()};
    test::ScriptedInteraction ui;
    QString ini() const { return folders.setting() + QStringLiteral("/Output.ini"); }
};

} // namespace

class TestRecordUi : public QObject {
    Q_OBJECT
private slots:
    void firstUseConfirmsAndFilters();
    void cancelLeavesEverything();
    void storedValues_data();
    void storedValues();
    void handEditedFileKeepsItsBytes();
    void settingsErrorShowsUnfilteredRecord();
    void lockAndFont();
    void viewLoadsAndSaves();
    void unencodableSaveKeepsOldFile();
};

void TestRecordUi::firstUseConfirmsAndFilters() {
    Fixture f;
    RecordView view;
    const QString record = f.dir.filePath(QStringLiteral("r.txt"));
    writeFile(record, gbk(QStringLiteral("【题　名】甲\r\n【文　摘】乙\r\n")));
    view.loadFile(record);
    view.setTag(record);
    RecordCommands commands(&view, f.ui, f.folders, nullptr);

    {
        OutputOptionsDialog dialog(f.folders, f.ui);
        for (QCheckBox *box : dialog.checkBoxes())
            QVERIFY(box->isChecked());
        QCOMPARE(dialog.checkBoxes().size(), 19);
    }
    pressWhenShown(0);
    commands.outputOptions();
    QString expected = QStringLiteral("[输出选项]\r\n");
    for (const QString &name : OutputOptionsDialog::fieldNames())
        expected += name + QStringLiteral("=1\r\n");
    QCOMPARE(readFile(f.ini()), gbk(expected));
    // Confirming ran the filter: the view now shows the temporary file.
    QCOMPARE(view.fileName(), f.folders.temp() + QStringLiteral("/r.tmp"));
}

void TestRecordUi::cancelLeavesEverything() {
    Fixture f;
    f.folders.ensure(f.folders.setting());
    const QByteArray before = gbk(QStringLiteral("[输出选项]\r\n文　摘=0\r\n"));
    writeFile(f.ini(), before);
    RecordView view;
    const QString record = f.dir.filePath(QStringLiteral("r.txt"));
    writeFile(record, "x\r\n");
    view.loadFile(record);
    view.setTag(record);
    RecordCommands commands(&view, f.ui, f.folders, nullptr);
    QTimer::singleShot(0, [] {
        QWidget *dialog = QApplication::activeModalWidget();
        dialog->findChild<QPushButton *>(QStringLiteral("cmdButton_2"))->click();
        dialog->findChild<QPushButton *>(QStringLiteral("cmdButton_1"))->click();
    });
    commands.outputOptions();
    QCOMPARE(readFile(f.ini()), before);
    QCOMPARE(view.fileName(), record);
}

void TestRecordUi::storedValues_data() {
    QTest::addColumn<QString>("value"); // "<none>": no key
    QTest::addColumn<bool>("checked");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("2") << "2" << true;
    QTest::newRow("-1") << "-1" << true;
    QTest::newRow("99999") << "99999" << true;
    QTest::newRow("0.4 rounds to 0") << "0.4" << false;
    QTest::newRow("abc") << "abc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1abc") << "1abc" << true;
    QTest::newRow("missing key") << "<none>" << true;
}

void TestRecordUi::storedValues() {
    QFETCH(QString, value);
    QFETCH(bool, checked);
    Fixture f;
    f.folders.ensure(f.folders.setting());
    QString content = QStringLiteral("[输出选项]\r\n光盘号=0\r\n");
    if (value != QLatin1String("<none>"))
        content += QStringLiteral("文　摘=") + value + QStringLiteral("\r\n");
    writeFile(f.ini(), gbk(content));
    OutputOptionsDialog dialog(f.folders, f.ui);
    QCOMPARE(dialog.checkBoxes().at(9)->isChecked(), checked);
    QVERIFY(!dialog.checkBoxes().at(0)->isChecked());
    QVERIFY(!dialog.bConfirmed);
}

void TestRecordUi::handEditedFileKeepsItsBytes() {
    Fixture f;
    {
        OutputOptionsDialog dialog(f.folders, f.ui);
        dialog.findChild<QPushButton *>(QStringLiteral("cmdButton_3"))->click();
        dialog.findChild<QPushButton *>(QStringLiteral("cmdButton_0"))->click();
        QVERIFY(dialog.bConfirmed);
    }
    // By hand: comments, odd spacing, a quoted value, junk and another section.
    QByteArray edited = readFile(f.ini());
    edited.prepend(gbk(QStringLiteral("; 用户的注释\n\n")));
    edited.replace(gbk(QStringLiteral("题　名=0\r\n")),
                   gbk(QStringLiteral("  题　名  =  \"1\"\t\r\n")));
    edited.replace(gbk(QStringLiteral("关键词=0\r\n")),
                   gbk(QStringLiteral("关键词 = 1 ; 保留\r\n")));
    edited.replace(gbk(QStringLiteral("正　文=0\r\n")),
                   gbk(QStringLiteral("正　文=0\r\n这一行没有等号\r\n")));
    edited.append(gbk(QStringLiteral("\r\n[其他]\r\nx=y")));
    writeFile(f.ini(), edited);

    OutputOptionsDialog dialog(f.folders, f.ui);
    QVERIFY(dialog.checkBoxes().at(1)->isChecked());  // "1" in quotes
    QVERIFY(dialog.checkBoxes().at(10)->isChecked()); // "1 ; 保留"
    dialog.checkBoxes().at(9)->setChecked(true);      // the only change
    dialog.findChild<QPushButton *>(QStringLiteral("cmdButton_0"))->click();
    // ";" starts no comment inside a line, so "1 ; 保留" is the stored value and the dialog's
    // "1" replaces it; every other line is as the hand left it.
    QByteArray expected = edited;
    expected.replace(gbk(QStringLiteral("文　摘=0")), gbk(QStringLiteral("文　摘=1")));
    expected.replace(gbk(QStringLiteral("关键词 = 1 ; 保留")), gbk(QStringLiteral("关键词 = 1")));
    QCOMPARE(readFile(f.ini()), expected);
}

void TestRecordUi::settingsErrorShowsUnfilteredRecord() {
    Fixture f;
    f.folders.ensure(f.folders.setting());
    writeFile(f.ini(), gbk(QStringLiteral("[输出选项]\r\n题　名=abc\r\n")));
    const QString record = f.dir.filePath(QStringLiteral("r.txt"));
    writeFile(record, gbk(QStringLiteral("【题　名】甲\r\n")));
    RecordView view;
    view.setTag(record);
    RecordCommands commands(&view, f.ui, f.folders, nullptr);
    commands.FilterRecord();
    QCOMPARE(f.ui.messages.size(), 1);
    QCOMPARE(f.ui.messages[0].icon, QMessageBox::Information);
    QCOMPARE(f.ui.messages[0].title, QStringLiteral("提示信息"));
    QVERIFY(f.ui.messages[0].text.contains(f.ini()));
    QCOMPARE(view.fileName(), record);
    QCOMPARE(view.toPlainText(), QStringLiteral("【题　名】甲\n"));
    QCOMPARE(view.tag(), record);

    // No record: nothing happens and nothing is said.
    view.setTag(QString());
    commands.FilterRecord();
    QCOMPARE(f.ui.messages.size(), 1);
}

void TestRecordUi::lockAndFont() {
    Fixture f;
    RecordView view;
    QAction lock;
    RecordCommands commands(&view, f.ui, f.folders, &lock);
    QVERIFY(lock.isChecked());
    QVERIFY(view.isReadOnly());
    lock.trigger();
    QVERIFY(!lock.isChecked());
    QVERIFY(!view.isReadOnly());
    lock.trigger();
    QVERIFY(view.isReadOnly());

    QCOMPARE(view.font().pointSizeF(), 9.75);
    view.setPlainText(QStringLiteral("文字"));
    QFont chosen(QStringLiteral("Noto Sans CJK SC"));
    chosen.setPointSize(14);
    chosen.setBold(true);
    chosen.setUnderline(true);
    f.ui.fontAnswers.enqueue(chosen);
    f.ui.fontAnswers.enqueue(std::nullopt);
    commands.recordFont();
    QCOMPARE(view.font().pointSizeF(), 14.0);
    QVERIFY(view.font().bold() && view.font().underline() && !view.font().italic());
    QTextCursor c(view.document());
    c.setPosition(1);
    QCOMPARE(c.charFormat().fontPointSize(), 14.0);
    commands.recordFont(); // cancelled
    QCOMPARE(view.font().pointSizeF(), 14.0);
    QVERIFY(f.ui.messages.isEmpty());
}

void TestRecordUi::viewLoadsAndSaves() {
    QTemporaryDir dir;
    RecordView view;
    const QString rtfPath = dir.filePath(QStringLiteral("r.rtf"));
    writeFile(rtfPath, "{\\rtf1{\\b \\'d6\\'d0}\\'ce\\'c4\\par x}");
    QVERIFY(view.loadFile(rtfPath));
    QCOMPARE(view.toPlainText(), QStringLiteral("中文\nx"));
    // A filtered RTF record keeps its .tmp name and is still shown formatted.
    const QString tmp = dir.filePath(QStringLiteral("r.tmp"));
    writeFile(tmp, "{\\rtf1 a\\b b}");
    view.loadFile(tmp);
    QCOMPARE(view.toPlainText(), QStringLiteral("ab"));

    const QString txt = dir.filePath(QStringLiteral("r.txt"));
    writeFile(txt, gbk(QStringLiteral("【题　名】中文\r\n第二行")));
    view.loadFile(txt);
    QCOMPARE(view.toPlainText(), QStringLiteral("【题　名】中文\n第二行"));

    const QString outTxt = dir.filePath(QStringLiteral("out.txt"));
    view.saveFile(outTxt, RecordView::SaveFormat::PlainText);
    QCOMPARE(readFile(outTxt), gbk(QStringLiteral("【题　名】中文\r\n第二行")));
    const QString outRtf = dir.filePath(QStringLiteral("out.rtf"));
    view.saveFile(outRtf, RecordView::SaveFormat::Rtf);
    RecordView again;
    again.loadFile(outRtf);
    QCOMPARE(again.toPlainText(), view.toPlainText());

    QVERIFY(!view.loadFile(dir.filePath(QStringLiteral("missing.txt"))));
    QVERIFY(view.toPlainText().isEmpty());
}

void TestRecordUi::unencodableSaveKeepsOldFile() {
    QTemporaryDir dir;
    RecordView view;
    view.setPlainText(QStringLiteral("한국어"));
    const QString path = dir.filePath(QStringLiteral("keep.txt"));
    writeFile(path, "good");
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    QVERIFY_THROWS_EXCEPTION(Error, view.saveFile(path, RecordView::SaveFormat::PlainText));
    QCOMPARE(readFile(path), QByteArray("good"));
    // As rich text the same content is written (read-only or not), nothing lost.
    view.saveFile(path, RecordView::SaveFormat::Rtf);
    RecordView back;
    back.loadFile(path);
    QCOMPARE(back.toPlainText(), QStringLiteral("한국어"));
}

QTEST_MAIN(TestRecordUi)
#include "tst_recordui.moc"
