#include "platform/errortext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <zip.h>

using namespace qen;

namespace {
bool hasLatinLetters(const QString &text) {
    for (const QChar c : text)
        if (c.unicode() < 0x80 && c.isLetter())
            return true;
    return false;
}
} // namespace

class TestErrorText : public QObject {
    Q_OBJECT
private slots:
    void systemCause_data();
    void systemCause();
    void noSystemTextIsEnglish();
    void libraryMessage_data();
    void libraryMessage();
    void libraryLoad_data();
    void libraryLoad();
    void zipCause_data();
    void zipCause();
    void qtFileErrorsComeOutChinese();
};

void TestErrorText::systemCause_data() {
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("text");
    QTest::newRow("not found") << ENOENT << u"找不到文件或文件夹"_qs;
    QTest::newRow("no permission") << EACCES << u"没有权限"_qs;
    QTest::newRow("not permitted") << EPERM << u"没有权限"_qs;
    QTest::newRow("disk full") << ENOSPC << u"磁盘已满"_qs;
    QTest::newRow("read-only") << EROFS << u"文件系统是只读的"_qs;
    QTest::newRow("invalid argument") << EINVAL << u"参数无效或数据已损坏"_qs;
    QTest::newRow("too many open files") << EMFILE << u"打开的文件太多"_qs;
    QTest::newRow("file too large") << EFBIG << u"文件太大"_qs;
    QTest::newRow("interrupted") << EINTR << u"操作被中断"_qs;
    QTest::newRow("unnamed cause shows its number") << EPROTO << u"系统错误 %1"_qs.arg(EPROTO);
}

void TestErrorText::systemCause() {
    QFETCH(int, err);
    QFETCH(QString, text);
    QCOMPARE(SystemErrorText(err), text);
}

void TestErrorText::noSystemTextIsEnglish() {
    for (int err = 0; err < 140; ++err)
        QVERIFY2(!hasLatinLetters(SystemErrorText(err)), qPrintable(SystemErrorText(err)));
}

void TestErrorText::libraryMessage_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("glibc not found") << u"No such file or directory"_qs << u"找不到文件或文件夹"_qs;
    QTest::newRow("glibc permission") << u"Permission denied"_qs << u"没有权限"_qs;
    QTest::newRow("glibc disk full") << u"No space left on device"_qs << u"磁盘已满"_qs;
    QTest::newRow("glibc read-only") << u"Read-only file system"_qs << u"文件系统是只读的"_qs;
    QTest::newRow("libzip invalid argument")
        << u"Invalid argument"_qs << u"参数无效或数据已损坏"_qs;
    QTest::newRow("glibc open files") << u"Too many open files"_qs << u"打开的文件太多"_qs;
    QTest::newRow("glibc too large") << u"File too large"_qs << u"文件太大"_qs;
    QTest::newRow("glibc interrupted") << u"Interrupted system call"_qs << u"操作被中断"_qs;
    QTest::newRow("libtiff bad magic")
        << u"Not a TIFF or MDI file, bad magic number 20052 (0x4e54)"_qs
        << u"参数无效或数据已损坏"_qs;
    QTest::newRow("libpng crc") << u"IDAT: CRC error"_qs << u"参数无效或数据已损坏"_qs;
    QTest::newRow("Qt unsupported format") << u"Unsupported image format"_qs << u"不支持的格式"_qs;
    QTest::newRow("unnamed cause") << u"Something odd happened"_qs << u"原因不明"_qs;
    QTest::newRow("empty") << QString() << u"原因不明"_qs;
    QTest::newRow("already Chinese") << u"文件已损坏"_qs << u"文件已损坏"_qs;
}

void TestErrorText::libraryMessage() {
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(LibraryErrorText(message), text);
}

void TestErrorText::libraryLoad_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing dependency")
        << u"Cannot load library /usr/lib/qenbrowser/libqenocr.so: (libtesseract.so.5: cannot "
           "open shared object file: No such file or directory)"_qs
        << u"缺少它所依赖的库 libtesseract.so.5"_qs;
    QTest::newRow("old dependency")
        << u"Cannot load library /x/libqenocr.so: (/x/libqenocr.so: undefined symbol: "
           "_ZN9tesseract11TessBaseAPI4InitEPKc)"_qs
        << u"它所依赖的库版本不符"_qs;
    QTest::newRow("not a library") << u"Cannot load library /x/libqenocr.so: (/x/libqenocr.so: "
                                      "invalid ELF header)"_qs
                                   << u"不是本机可用的库文件"_qs;
    QTest::newRow("no permission") << u"Cannot load library /x/libqenocr.so: (/x/libqenocr.so: "
                                      "cannot open shared object file: Permission denied)"_qs
                                   << u"无法打开库 /x/libqenocr.so（没有权限）"_qs;
}

void TestErrorText::libraryLoad() {
    QFETCH(QString, message);
    QFETCH(QString, text);
    QCOMPARE(LibraryLoadErrorText(message), text);
}

void TestErrorText::zipCause_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("err");
    QTest::addColumn<QString>("text");
    QTest::newRow("invalid argument") << ZIP_ER_INVAL << 0 << u"参数无效或数据已损坏"_qs;
    QTest::newRow("inconsistent") << ZIP_ER_INCONS << 0 << u"参数无效或数据已损坏"_qs;
    QTest::newRow("write on a full disk") << ZIP_ER_WRITE << ENOSPC << u"磁盘已满"_qs;
    QTest::newRow("read, no errno") << ZIP_ER_READ << 0 << u"读写设备时出错"_qs;
    QTest::newRow("unnamed shows its number") << ZIP_ER_INTERNAL << 0 << u"ZIP 错误 20"_qs;
}

void TestErrorText::zipCause() {
    QFETCH(int, code);
    QFETCH(int, err);
    QFETCH(QString, text);
    QCOMPARE(ZipErrorText(code, err), text);
    // The libzip text the same error carries reads the same way.
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    if (err == 0 && code != ZIP_ER_INTERNAL && code != ZIP_ER_READ)
        QCOMPARE(LibraryErrorText(QString::fromUtf8(zip_error_strerror(&error))), text);
    zip_error_fini(&error);
}

// The texts Qt's file classes give are glibc's, joined to Qt's own words.
void TestErrorText::qtFileErrorsComeOutChinese() {
    QTemporaryDir dir;
    QFile missing(dir.filePath(QStringLiteral("missing/file")));
    QVERIFY(!missing.open(QIODevice::ReadOnly));
    QCOMPARE(LibraryErrorText(missing.errorString()), u"找不到文件或文件夹"_qs);
    QFile folder(dir.path());
    QVERIFY(!folder.open(QIODevice::WriteOnly));
    QVERIFY(!hasLatinLetters(LibraryErrorText(folder.errorString())));
}

QTEST_GUILESS_MAIN(TestErrorText)
#include "tst_errortext.moc"
