// The recognition result window: line-break filter, lock, font, save, print, placement.
#include "ocr/ui/frmtext.h"
#include "scriptedinteraction.h"
#include "testfiles.h"

#include <QAction>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <QtTest>
#include <memory>

using namespace qen;

class TstFrmText : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { delete m_frm; }
    void filter_data();
    void filter();
    void filterKeepsEditsAndShowMeIgnoresCheckMark();
    void lock();
    void font();
    void save_data();
    void save();
    void saveDeclinedOrFailedLeavesFileAlone();
    void print();
    void toolbarKeys();
    void placementStaysOnScreen();
    void exitDestroys();

private:
    QAction *item(const char *name) { return m_frm->findChild<QAction *>(QLatin1String(name)); }
    QTemporaryDir m_dir;
    std::unique_ptr<test::ScriptedInteraction> m_ui;
    QPointer<FrmText> m_frm;
};

void TstFrmText::init() {
    m_ui = std::make_unique<test::ScriptedInteraction>(m_dir.filePath(u"print.pdf"_qs));
    m_frm = new FrmText(*m_ui);
}

void TstFrmText::filter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filtered");
    QTest::addColumn<QString>("unfiltered");
    QTest::newRow("CR LF") << u"ab\r\ncd"_qs << u"abcd"_qs << u"ab\r\ncd"_qs;
    QTest::newRow("lone LF stays") << u"ab\ncd"_qs << u"ab\ncd"_qs << u"ab\ncd"_qs;
    // A lone CR stays a line break; the box hands it back as LF.
    QTest::newRow("lone CR") << u"ab\rcd\r\n"_qs << u"ab\ncd"_qs << u"ab\ncd\r\n"_qs;
}

void TstFrmText::filter() {
    QFETCH(QString, text);
    QFETCH(QString, filtered);
    QFETCH(QString, unfiltered);
    m_frm->ShowMe(text);
    QCOMPARE(m_frm->shownText(), filtered);
    QVERIFY(item("mnuTool_Filter")->isChecked());
    m_frm->tlbBar_ButtonClick(u"Filter"_qs); // off: the text as recognised
    QVERIFY(!item("mnuTool_Filter")->isChecked());
    QVERIFY(!m_frm->findChild<QAction *>(u"Filter"_qs)->isChecked());
    QCOMPARE(m_frm->shownText(), unfiltered);
    item("mnuTool_Filter")->trigger(); // on again, through the menu
    QVERIFY(m_frm->findChild<QAction *>(u"Filter"_qs)->isChecked());
    QCOMPARE(m_frm->shownText(), filtered);
}

void TstFrmText::filterKeepsEditsAndShowMeIgnoresCheckMark() {
    m_frm->ShowMe(u"ab\r\ncd"_qs);
    m_frm->mnuTool_Filter(); // off
    QTextCursor c(m_frm->txtResult()->document());
    c.insertText(u"X"_qs);
    m_frm->mnuTool_Filter(); // on: the user's edit stays
    QCOMPARE(m_frm->shownText(), u"Xabcd"_qs);
    m_frm->mnuTool_Filter(); // off: back to the recognised text, the edit is gone
    QCOMPARE(m_frm->shownText(), u"ab\r\ncd"_qs);
    m_frm->ShowMe(u"ef\r\ngh"_qs);
    QCOMPARE(m_frm->shownText(), u"efgh"_qs);
    QVERIFY(!item("mnuTool_Filter")->isChecked());
    QCOMPARE(m_frm->sOcrText(), u"ef\r\ngh"_qs);
}

void TstFrmText::lock() {
    m_frm->ShowMe(u"ab\r\ncd"_qs);
    QVERIFY(!item("mnuTool_Lock")->isChecked());
    m_frm->tlbBar_ButtonClick(u"LOCK"_qs);
    QVERIFY(item("mnuTool_Lock")->isChecked());
    QVERIFY(m_frm->findChild<QAction *>(u"Lock"_qs)->isChecked());
    QTest::keyClicks(m_frm->txtResult(), u"zz"_qs);
    QCOMPARE(m_frm->shownText(), u"abcd"_qs);
    m_frm->mnuTool_Filter(); // the filter still rewrites a locked text
    QCOMPARE(m_frm->shownText(), u"ab\r\ncd"_qs);
    item("mnuTool_Lock")->trigger();
    QVERIFY(!m_frm->txtResult()->isReadOnly());
}

void TstFrmText::font() {
    const QFont before = m_frm->txtResult()->font();
    QCOMPARE(before.pointSize(), 9);
    m_ui->fontAnswers.enqueue(std::nullopt); // Cancel
    m_frm->mnuFont();
    QCOMPARE(m_frm->txtResult()->font(), before);
    QFont chosen(u"Noto Sans CJK SC"_qs, 14);
    chosen.setBold(true);
    chosen.setUnderline(true);
    m_ui->fontAnswers.enqueue(chosen);
    m_frm->tlbBar_ButtonClick(u"font"_qs);
    const QFont after = m_frm->txtResult()->font();
    QCOMPARE(after.family(), chosen.family());
    QCOMPARE(after.pointSize(), 14);
    QVERIFY(after.bold() && after.underline() && !after.italic());
}

void TstFrmText::save_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("written");
    QTest::newRow("extension added") << u"result"_qs << u"result.txt"_qs;
    QTest::newRow("upper-case extension kept") << u"RESULT.TXT"_qs << u"RESULT.TXT"_qs;
    QTest::newRow("other extension gets .txt") << u"result.doc"_qs << u"result.doc.txt"_qs;
}

void TstFrmText::save() {
    QFETCH(QString, answer);
    QFETCH(QString, written);
    m_frm->ShowMe(u"中文，第一行\r\n第二行 3.14\r\n"_qs);
    m_frm->mnuTool_Filter(); // off: saved as shown, line breaks and all
    m_ui->saveAnswers.enqueue(m_dir.filePath(answer));
    m_frm->tlbBar_ButtonClick(u"SaveAs"_qs);
    QCOMPARE(test::readFile(m_dir.filePath(written)),
             test::gbk(u"中文，第一行\r\n第二行 3.14\r\n"_qs));
    QCOMPARE(m_ui->texts(u"提示信息"_qs), QStringList{u"存贮完成！"_qs});
    QFile::remove(m_dir.filePath(written));
}

void TstFrmText::saveDeclinedOrFailedLeavesFileAlone() {
    m_frm->ShowMe(u"新的文本"_qs);
    const QString existing = m_dir.filePath(u"keep.txt"_qs);
    test::writeFile(existing, "old");
    m_ui->saveAnswers.enqueue(existing);
    m_ui->answers.enqueue(QMessageBox::No);
    m_frm->mnuFile_SaveAs();
    QCOMPARE(test::readFile(existing), QByteArray("old"));
    QCOMPARE(m_ui->texts(u"询问信息"_qs), QStringList{u"此文件已经存在，要覆盖吗？"_qs});

    // A folder that does not exist: an "error" box, and nothing written anywhere.
    m_ui->saveAnswers.enqueue(m_dir.filePath(u"missing/out.txt"_qs));
    m_frm->mnuFile_SaveAs();
    QCOMPARE(m_ui->texts(u"error"_qs).size(), 1);
    QVERIFY(!QFile::exists(m_dir.filePath(u"missing/out.txt"_qs)));
    QVERIFY(m_ui->texts(u"提示信息"_qs).isEmpty());

    m_ui->saveAnswers.enqueue(QString()); // Cancel
    m_frm->mnuFile_SaveAs();
    QCOMPARE(m_ui->messages.size(), 2);
}

void TstFrmText::print() {
    m_frm->ShowMe(u"打印这段识别结果\r\n第二行"_qs);
    m_frm->tlbBar_ButtonClick(u"Print"_qs);
    const QByteArray pdf = test::readFile(m_dir.filePath(u"print.pdf"_qs));
    QVERIFY(pdf.startsWith("%PDF"));
    QVERIFY(m_ui->messages.isEmpty());
}

void TstFrmText::toolbarKeys() {
    m_frm->tlbBar_ButtonClick(u"Nonsense"_qs);
    m_frm->tlbBar_ButtonClick(u"about"_qs);
    QCOMPARE(m_ui->texts(u"提示信息"_qs),
             QStringList({u"对不起，没有这项工具栏信息！"_qs,
                          u"Qen Browser 3.0\n\n文字识别：Tesseract OCR（Apache-2.0）"_qs}));
    QStringList keys;
    for (QAction *a : m_frm->tlbBar()->actions())
        keys << a->objectName();
    QCOMPARE(keys, QStringList({u"SaveAs"_qs, u"Print"_qs, u"Font"_qs, u"Filter"_qs, u"Lock"_qs,
                                u"About"_qs, u"Exit"_qs}));
    QVERIFY(m_frm->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(m_frm->windowTitle().startsWith(u"识别内容____"_qs));
}

void TstFrmText::placementStaysOnScreen() {
    const QRect available = m_frm->screen()->availableGeometry();
    for (int i = 0; i < 8; ++i) {
        m_frm->ShowMe(u"ab"_qs);
        QVERIFY2(available.contains(m_frm->frameGeometry()),
                 qPrintable(QStringLiteral("call %1").arg(i)));
    }
}

void TstFrmText::exitDestroys() {
    m_frm->ShowMe(u"ab"_qs);
    m_frm->tlbBar_ButtonClick(u"Exit"_qs);
    QTRY_VERIFY(m_frm.isNull());
}

QTEST_MAIN(TstFrmText)
#include "tst_frmtext.moc"
