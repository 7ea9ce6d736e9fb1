// The result-file contract around a recognition, and the library's answers to bad input.
#include "articles/imagedocument.h"
#include "ocr/engine/qenocr.h"
#include "ocr/ocrtext.h"
#include "ocr/recognition.h"
#include "ocr/resultfile.h"
#include "testfiles.h"

#include <QTemporaryDir>
#include <QtTest>
#include <dlfcn.h>

using namespace qen;
using namespace qen::ocr;

namespace {
QString builtLibrary() {
    return QStringLiteral(QEN_BINARY_DIR "/src/libqenocr.so");
}
} // namespace

class TstRecognition : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        QFile::remove(resultFilePath(m_dir.path()));
        QDir(resultFilePath(m_dir.path())).removeRecursively();
    }
    void staleReadOnlyResultIsRemovedFirst();
    void libraryThatWritesNothingGivesEmptyText();
    void resultFileIsGbkWithCrLf();
    void characterOutsideGbkRoundTripsAsUtf8();
    void staleResultThatCannotBeRemovedStops();
    void libraryFailureIsReported();
    void languagesSetting();
    void missingLibraryNamesWhatIsMissing();
    void libraryRefusesBadInput_data();
    void libraryRefusesBadInput();
    void engineFindsOurUniversalAmbiguities();

private:
    QTemporaryDir m_dir;
};

void TstRecognition::staleReadOnlyResultIsRemovedFirst() {
    const QString result = resultFilePath(m_dir.path());
    test::writeFile(result, "old text");
    QFile::setPermissions(result, QFileDevice::ReadOwner);
    bool sawStale = true;
    const Recognition r = RecognizeImageFile(u"/x/Temp.tif"_qs, m_dir.path(),
                                             [&](const QString &image, const QString &folder) {
                                                 sawStale = QFile::exists(result);
                                                 writeTextFile(resultFilePath(folder), image);
                                                 return OcrOutcome{};
                                             });
    QVERIFY(!sawStale);
    QVERIFY(r.ok);
    QCOMPARE(r.text, u"/x/Temp.tif"_qs);
}

void TstRecognition::libraryThatWritesNothingGivesEmptyText() {
    test::writeFile(resultFilePath(m_dir.path()), "old text");
    const Recognition r = RecognizeImageFile(
        u"a.tif"_qs, m_dir.path(), [](const QString &, const QString &) { return OcrOutcome{}; });
    QVERIFY(r.ok);
    QCOMPARE(r.text, QString());
}

void TstRecognition::resultFileIsGbkWithCrLf() {
    const QString text = tidyRecognisedText(u"中国 科学,2024年\nPython 3.14\n"_qs);
    const Recognition r =
        RecognizeImageFile(u"a.tif"_qs, m_dir.path(), [&](const QString &, const QString &folder) {
            writeTextFile(resultFilePath(folder), text);
            return OcrOutcome{};
        });
    QCOMPARE(test::readFile(resultFilePath(m_dir.path())),
             test::gbk(u"中国科学，2024年\r\nPython 3.14\r\n"_qs));
    QCOMPARE(r.text, text);
}

void TstRecognition::characterOutsideGbkRoundTripsAsUtf8() {
    const QString text = u"韩文한글与表情😀\r\n"_qs;
    writeTextFile(resultFilePath(m_dir.path()), text);
    const QByteArray bytes = test::readFile(resultFilePath(m_dir.path()));
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(readTextFile(resultFilePath(m_dir.path())), text);
}

void TstRecognition::staleResultThatCannotBeRemovedStops() {
    // A folder in the result file's place cannot be deleted as a file, even by root.
    QVERIFY(QDir(m_dir.path()).mkpath(resultFileName() + u"/inside"_qs));
    bool called = false;
    const Recognition r =
        RecognizeImageFile(u"a.tif"_qs, m_dir.path(), [&](const QString &, const QString &) {
            called = true;
            return OcrOutcome{};
        });
    QVERIFY(!called);
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(resultFilePath(m_dir.path())), qPrintable(r.error));
}

void TstRecognition::libraryFailureIsReported() {
    const Recognition r =
        RecognizeImageFile(u"a.tif"_qs, m_dir.path(), [](const QString &, const QString &) {
            return OcrOutcome{QEN_OCR_BAD_IMAGE, u"坏图像"_qs};
        });
    QVERIFY(!r.ok);
    QCOMPARE(r.error, u"坏图像"_qs);
}

void TstRecognition::languagesSetting() {
    const WorkFolders folders(m_dir.path(), m_dir.path());
    QCOMPARE(configuredLanguages(folders), defaultLanguages());
    QVERIFY(QDir().mkpath(folders.setting()));
    test::writeFile(folders.setting() + u"/Qen.ini"_qs, "[OCR]\r\nLanguages = chi_sim+eng\r\n");
    QCOMPARE(configuredLanguages(folders), u"chi_sim+eng"_qs);
    QCOMPARE(languagePackages(u"chi_sim+eng+chi_sim"_qs),
             QStringList({u"tesseract-ocr-chi-sim"_qs, u"tesseract-ocr-eng"_qs}));
}

void TstRecognition::missingLibraryNamesWhatIsMissing() {
    OcrLibrary library({m_dir.path() + u"/libqenocr.so"_qs});
    const OcrOutcome outcome = library.recognise(u"a.tif"_qs, m_dir.path(), u"chi_sim"_qs);
    QVERIFY(!outcome.ok());
    QVERIFY2(outcome.message.contains(u"libqenocr.so"_qs), qPrintable(outcome.message));
    QVERIFY2(outcome.message.contains(u"tesseract-ocr-chi-sim"_qs), qPrintable(outcome.message));
    QCOMPARE(librarySearchPaths(u"/opt/qen"_qs).first(), u"/opt/qen/libqenocr.so"_qs);
}

void TstRecognition::libraryRefusesBadInput_data() {
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("languages");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("messagePart");
    QTest::addColumn<bool>("emptyResult");
    const QString data = QStringLiteral(QEN_TEST_DATA "/");
    QTest::newRow("truncated TIFF") << data + u"truncated-g4.tif"_qs << u"chi_sim"_qs
                                    << int(QEN_OCR_BAD_IMAGE) << u"truncated-g4.tif"_qs << false;
    QTest::newRow("missing file") << data + u"no-such.tif"_qs << u"chi_sim"_qs
                                  << int(QEN_OCR_BAD_IMAGE) << u"no-such.tif"_qs << false;
    QTest::newRow("missing language data")
        << u"blank.tif"_qs << u"chi_sim+xx_yy"_qs << int(QEN_OCR_MISSING_LANGUAGE)
        << u"tesseract-ocr-xx-yy"_qs << false;
    QTest::newRow("language that is a path")
        << u"blank.tif"_qs << u"../../etc/x"_qs << int(QEN_OCR_BAD_REQUEST) << u"../../etc/x"_qs
        << false;
    QTest::newRow("20000 x 20000") << u"huge.tif"_qs << u"chi_sim"_qs
                                   << int(QEN_OCR_IMAGE_TOO_LARGE) << u"20000×20000"_qs << false;
    QTest::newRow("1 x 1") << u"dot.tif"_qs << u"chi_sim"_qs << int(QEN_OCR_OK) << QString()
                           << true;
    QTest::newRow("page without text")
        << u"blank.tif"_qs << u"chi_sim"_qs << int(QEN_OCR_OK) << QString() << true;
}

void TstRecognition::libraryRefusesBadInput() {
    QFETCH(QString, image);
    QFETCH(QString, languages);
    QFETCH(int, status);
    QFETCH(QString, messagePart);
    QFETCH(bool, emptyResult);
    if (!QFile::exists(builtLibrary()))
        QSKIP("the recognition library is not built");
    if (!image.contains(QLatin1Char('/'))) {
        const QSize size = image == u"huge.tif"_qs  ? QSize(20000, 20000)
                           : image == u"dot.tif"_qs ? QSize(1, 1)
                                                    : QSize(600, 200);
        QImage blank(size, QImage::Format_Mono);
        blank.setColor(0, qRgb(0, 0, 0));
        blank.setColor(1, qRgb(255, 255, 255));
        blank.fill(1);
        image = m_dir.filePath(image);
        ImageDocument::writeFile(blank, image, ImageFileType::Tiff);
    }
    OcrLibrary library({builtLibrary()});
    const OcrOutcome outcome = library.recognise(image, m_dir.path(), languages);
    QCOMPARE(outcome.status, status);
    QVERIFY2(outcome.message.contains(messagePart), qPrintable(outcome.message));
    QCOMPARE(QFile::exists(resultFilePath(m_dir.path())), emptyResult);
    if (emptyResult)
        QCOMPARE(test::readFile(resultFilePath(m_dir.path())), QByteArray());
    QFile::remove(resultFilePath(m_dir.path()));
}

// The engine starts without Tesseract's universal ambiguity table because the library defines
// the function that builds it, and libtesseract's call looks in the library's own scope, the
// library first. That is the lookup dlsym makes on the library's handle.
void TstRecognition::engineFindsOurUniversalAmbiguities() {
    if (!QFile::exists(builtLibrary()))
        QSKIP("the recognition library is not built");
    void *handle = dlopen(QFile::encodeName(builtLibrary()).constData(), RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(handle, dlerror());
    void *found =
        dlsym(handle, "_ZN9tesseract13UnicharAmbigs13LoadUniversalERKNS_10UNICHARSETEPS1_");
    Dl_info info{};
    const bool known = found && dladdr(found, &info) != 0;
    const QString from =
        known ? QFileInfo(QFile::decodeName(info.dli_fname)).canonicalFilePath() : QString();
    dlclose(handle);
    QVERIFY(known);
    QCOMPARE(from, QFileInfo(builtLibrary()).canonicalFilePath());
}

QTEST_GUILESS_MAIN(TstRecognition)
#include "tst_recognition.moc"
