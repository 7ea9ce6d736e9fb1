// "识别选定区域": crop, recognition off the interface thread, the result window; and the real
// library through the command and through qentool on rendered Chinese pages.
#include "articles/imagedocument.h"
#include "ocr/resultfile.h"
#include "ocr/ui/frmtext.h"
#include "ocr/ui/recognizecommand.h"
#include "ocrpage.h"
#include "scriptedinteraction.h"
#include "testfiles.h"
#include "windowfixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace qen;

namespace {
QString builtLibrary() {
    return QStringLiteral(QEN_BINARY_DIR "/src/libqenocr.so");
}
QString builtTool() {
    return QStringLiteral(QEN_BINARY_DIR "/src/qentool");
}
} // namespace

class TstRecognizeCommand : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsTheLibrarysText();
    void staleReadOnlyResultRemovedAndEmptyWindowWhenNothingWritten();
    void noCropNoRecognition();
    void failuresAreReported_data();
    void failuresAreReported();
    void interfaceRepaintsButRefusesInputMeanwhile();
    void realLibraryReadsABilevelArea();
    void qentoolOcr_data();
    void qentoolOcr();
    void qentoolErrors_data();
    void qentoolErrors();
    void mainWindowCropsTheShownPage();

private:
    RecognizeCommand *command(ocr::OcrCall call);
    QString cropFile() const { return m_dir.filePath(u"Temp.tif"_qs); }
    QString resultFile() const { return ocr::resultFilePath(m_dir.path()); }

    QTemporaryDir m_dir;
    test::ScriptedInteraction m_ui;
    QWidget m_window;
    RecognizeCommand *m_command = nullptr;
    QByteArray m_cropBytes = "crop";
    bool m_cropOk = true;
};

void TstRecognizeCommand::init() {
    m_ui.messages.clear();
    m_cropOk = true;
    QFile::remove(cropFile());
    QFile::remove(resultFile());
}

void TstRecognizeCommand::cleanup() {
    delete m_command;
    m_command = nullptr;
}

RecognizeCommand *TstRecognizeCommand::command(ocr::OcrCall call) {
    delete m_command;
    auto crop = [this] {
        if (!m_cropOk)
            return false;
        test::writeFile(cropFile(), m_cropBytes);
        return true;
    };
    m_command = new RecognizeCommand(&m_window, m_ui, WorkFolders(m_dir.path(), m_dir.path()), crop,
                                     cropFile(), std::move(call));
    return m_command;
}

void TstRecognizeCommand::showsTheLibrarysText() {
    int calls = 0;
    RecognizeCommand *c = command([&](const QString &image, const QString &folder) {
        ++calls;
        ocr::writeTextFile(ocr::resultFilePath(folder),
                           QStringLiteral("第%1次\r\n识别 %2\r\n").arg(calls).arg(image));
        return ocr::OcrOutcome{};
    });
    c->mnuTool_Recognize();
    QVERIFY(QFile::exists(cropFile()));
    QVERIFY(QFile::exists(resultFile()));
    FrmText *first = c->resultWindow();
    QVERIFY(first && first->isVisible());
    QCOMPARE(first->shownText(), QStringLiteral("第1次识别 %1").arg(cropFile()));
    c->mnuTool_Recognize();
    QCOMPARE(c->resultWindow(), first); // the open window is reused
    QCOMPARE(first->sOcrText(), QStringLiteral("第2次\r\n识别 %1\r\n").arg(cropFile()));
    QVERIFY(m_ui.messages.isEmpty());
}

void TstRecognizeCommand::staleReadOnlyResultRemovedAndEmptyWindowWhenNothingWritten() {
    test::writeFile(resultFile(), test::gbk(u"上次的结果"_qs));
    QFile::setPermissions(resultFile(), QFileDevice::ReadOwner);
    RecognizeCommand *c =
        command([](const QString &, const QString &) { return ocr::OcrOutcome{}; });
    c->mnuTool_Recognize();
    QVERIFY(!QFile::exists(resultFile()));
    QVERIFY(c->resultWindow());
    QCOMPARE(c->resultWindow()->shownText(), QString());
}

void TstRecognizeCommand::noCropNoRecognition() {
    bool called = false;
    RecognizeCommand *c = command([&](const QString &, const QString &) {
        called = true;
        return ocr::OcrOutcome{};
    });
    m_cropOk = false;
    c->mnuTool_Recognize();
    QVERIFY(!called);
    QVERIFY(!c->resultWindow());
    QVERIFY(m_ui.messages.isEmpty()); // the crop speaks for itself
}

void TstRecognizeCommand::failuresAreReported_data() {
    QTest::addColumn<bool>("blockedResult");
    QTest::addColumn<QString>("libraryMessage");
    QTest::newRow("stale result that cannot be deleted") << true << QString();
    QTest::newRow("library failure") << false << u"缺少文字识别的语言数据：chi_sim"_qs;
}

void TstRecognizeCommand::failuresAreReported() {
    QFETCH(bool, blockedResult);
    QFETCH(QString, libraryMessage);
    if (blockedResult)
        QVERIFY(QDir(m_dir.path()).mkpath(ocr::resultFileName() + u"/x"_qs));
    RecognizeCommand *c = command([&](const QString &, const QString &) {
        return ocr::OcrOutcome{4, libraryMessage};
    });
    c->mnuTool_Recognize();
    QVERIFY(!c->resultWindow());
    const QStringList errors = m_ui.texts(u"error"_qs);
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(blockedResult ? resultFile() : libraryMessage),
             qPrintable(errors[0]));
    QDir(resultFile()).removeRecursively();
}

void TstRecognizeCommand::interfaceRepaintsButRefusesInputMeanwhile() {
    bool timerRan = false;
    bool waitCursor = false;
    int keysSeen = 0;
    QLineEdit field(&m_window);
    m_window.show();
    connect(&field, &QLineEdit::textEdited, [&] { ++keysSeen; });
    QTimer::singleShot(20, [&] {
        timerRan = true;
        waitCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        QTest::keyClick(&field, Qt::Key_A);
    });
    RecognizeCommand *c = command([&](const QString &, const QString &) {
        QThread::msleep(300);
        return ocr::OcrOutcome{};
    });
    c->mnuTool_Recognize();
    QVERIFY(timerRan);
    QVERIFY(waitCursor);
    QCOMPARE(keysSeen, 0);
    QVERIFY(!QApplication::overrideCursor());
    m_window.hide();
}

void TstRecognizeCommand::realLibraryReadsABilevelArea() {
    if (!QFile::exists(builtLibrary()) || !test::ocrFontAvailable())
        QSKIP("needs the built recognition library and fonts-noto-cjk");
    const QStringList truth = test::ocrTruthLines().mid(0, 2);
    ImageDocument::writeFile(test::renderOcrPage(truth), m_dir.filePath(u"page.tif"_qs),
                             ImageFileType::Tiff);
    m_cropBytes = test::readFile(m_dir.filePath(u"page.tif"_qs));
    ocr::OcrLibrary library({builtLibrary()});
    RecognizeCommand *c = command(library.call(ocr::defaultLanguages()));
    c->mnuTool_Recognize();
    QVERIFY2(m_ui.messages.isEmpty(), qPrintable(m_ui.messages.value(0).text));
    const QString text = c->resultWindow()->sOcrText();
    QVERIFY2(test::characterErrorRate(truth.join(QString()), text) <= 0.05, qPrintable(text));
    QVERIFY(text.endsWith(u"\r\n"_qs));
    QVERIFY(!test::hasSpaceBetweenChinese(text));
    m_cropBytes = "crop";
}

void TstRecognizeCommand::qentoolOcr_data() {
    QTest::addColumn<bool>("bilevel");
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("maxErrorRate");
    QTest::newRow("gray") << false << 0.0 << 0.02;
    QTest::newRow("bilevel with noise") << true << 0.01 << 0.05;
}

void TstRecognizeCommand::qentoolOcr() {
    QFETCH(bool, bilevel);
    QFETCH(double, noise);
    QFETCH(double, maxErrorRate);
    if (!QFile::exists(builtTool()) || !test::ocrFontAvailable())
        QSKIP("needs the built qentool and fonts-noto-cjk");
    // Four lines on the page; --area picks the middle two.
    const QStringList lines = test::ocrTruthLines().mid(2, 4);
    const QImage page = test::renderOcrPage(lines, {bilevel, noise});
    const QString file = m_dir.filePath(u"page.png"_qs);
    QVERIFY(page.save(file));
    const QRect area = test::ocrLineBand(page, 1, 2);
    QProcess tool;
    tool.start(builtTool(), {u"ocr"_qs, file, u"--area"_qs,
                             QStringLiteral("%1,%2,%3,%4")
                                 .arg(area.x())
                                 .arg(area.y())
                                 .arg(area.width())
                                 .arg(area.height())});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const QString text = QString::fromUtf8(tool.readAllStandardOutput());
    const double cer = test::characterErrorRate(lines[1] + lines[2], text);
    QVERIFY2(cer <= maxErrorRate, qPrintable(QStringLiteral("%1: %2").arg(cer).arg(text)));
    QVERIFY(!test::hasSpaceBetweenChinese(text));
}

void TstRecognizeCommand::qentoolErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("missing image")
        << QStringList{u"ocr"_qs, u"/no/such.tif"_qs} << u"/no/such.tif"_qs;
    QTest::newRow("bad area") << QStringList{u"ocr"_qs, u"x.tif"_qs, u"--area"_qs, u"1,2,0,4"_qs}
                              << u"--area"_qs;
    QTest::newRow("missing language data")
        << QStringList{u"ocr"_qs, QStringLiteral(QEN_TEST_DATA "/tiff-g4.tif"), u"--lang"_qs,
                       u"qq_zz"_qs}
        << u"tesseract-ocr-qq-zz"_qs;
    QTest::newRow("no image") << QStringList{u"ocr"_qs} << u"usage"_qs;
}

void TstRecognizeCommand::qentoolErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    if (!QFile::exists(builtTool()))
        QSKIP("needs the built qentool");
    QProcess tool;
    tool.start(builtTool(), args);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 2);
    QVERIFY(tool.readAllStandardOutput().isEmpty());
    const QString stderrText = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(stderrText.contains(error), qPrintable(stderrText));
}

void TstRecognizeCommand::mainWindowCropsTheShownPage() {
    test::WindowFixture f;
    QImage page(200, 80, QImage::Format_Mono);
    page.fill(1);
    const QString file = f.dir.filePath(u"page.tif"_qs);
    ImageDocument::writeFile(page, file, ImageFileType::Tiff);
    f.window->CreateTree(file);
    f.window->command(u"mnuTool_Recognize"_qs)->trigger();
    // The crop reached the program folder; then either the library (when installed) showed
    // its empty result, or the box says which library is missing.
    QVERIFY(QFile::exists(f.dir.filePath(u"prog/Temp.tif"_qs)));
    const QStringList errors = f.ui.texts(u"error"_qs);
    if (errors.isEmpty()) {
        QVERIFY(f.window->findChild<FrmText *>());
    } else {
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(u"libqenocr.so"_qs), qPrintable(errors[0]));
    }
}

QTEST_MAIN(TstRecognizeCommand)
#include "tst_recognizecommand.moc"
