#include "articles/package.h"
#include "articles/zipextract.h"
#include "platform/error.h"

#include "zipfixture.h"

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <sys/statvfs.h>

using namespace qen;
using fixture::file;

namespace {

QStringList everythingUnder(const QString &folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(folder).relativeFilePath(it.next());
    found.sort();
    return found;
}

// Runs a program that makes fixtures; the row is skipped when the program is not installed.
#define RUN_PRODUCER(program, args, workdir, out)                                                  \
    do {                                                                                           \
        if (QStandardPaths::findExecutable(program).isEmpty())                                     \
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(program)));                 \
        QProcess p;                                                                                \
        p.setWorkingDirectory(workdir);                                                            \
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();                        \
        env.insert("LC_ALL", "C.UTF-8");                                                           \
        p.setProcessEnvironment(env);                                                              \
        p.start(program, args);                                                                    \
        QVERIFY2(p.waitForFinished(120000) && p.exitCode() == 0,                                   \
                 qPrintable(program + ": " + QString::fromLocal8Bit(p.readAllStandardError())));   \
        out = p.readAllStandardOutput();                                                           \
    } while (0)

// Library texts in English ("Zip archive inconsistent") must not be all a reader is told.
bool hasEnglishSentence(const QString &message) {
    static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"));
    return message.contains(words);
}

const char *const PythonProducer = R"(
import sys, zipfile
mode, out, names = sys.argv[1], sys.argv[2], sys.argv[3:]
method = zipfile.ZIP_STORED if mode == 'stored' else zipfile.ZIP_DEFLATED
target = sys.stdout.buffer if mode == 'stream' else out
with zipfile.ZipFile(target, 'w', method) as z:
    for n in names:
        data = open(n, 'rb').read()
        if mode in ('plain', 'stored'):
            z.write(n)
        elif mode == 'dos':
            info = zipfile.ZipInfo(n)
            info.create_system = 0
            info.external_attr = 0x20
            z.writestr(info, data, method)
        else:
            z.writestr(n, data)
)";

} // namespace

class TestZipExtract : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refusedPackages_data();
    void refusedPackages();
    void entryNames_data();
    void entryNames();
    void onlyVisibleTopLevelFilesBecomePages();
    void producers_data();
    void producers();
    void zipBombStopsBeforeWriting();
    void twoGigabyteEntryIsRefusedUnwritten();
    void sizesThatLieAreCaughtWhileWriting();
    void refusedWhenTheDiskIsTooFull();

private:
    QTemporaryDir m_dir;
    QString m_out;
};

void TestZipExtract::init() {
    m_out = m_dir.filePath(
        QStringLiteral("out-%1-%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
    QDir().mkpath(m_out);
}

// A good page comes first in each archive, so a refusal must also take back what was written.
void TestZipExtract::refusedPackages_data() {
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("expected");
    for (const char *name : {"zip-slip", "zip-slip-nested", "zip-slip-backslash"})
        QTest::newRow(name) << name << "文件夹之外";
    QTest::newRow("absolute path") << "absolute-path"
                                   << "绝对路径";
    QTest::newRow("symlink entry") << "symlink-entry"
                                   << "符号链接";
    QTest::newRow("encrypted") << "encrypted"
                               << "加密";
    QTest::newRow("deflate64") << "deflate64"
                               << "Deflate64";
    QTest::newRow("bad crc") << "bad-crc"
                             << "校验和";
    QTest::newRow("truncated") << "truncated"
                               << "不完整";
    QTest::newRow("empty") << "empty"
                           << "空文件";
    QTest::newRow("not a zip") << "not-a-zip"
                               << "不是 ZIP";
    QTest::newRow("directory as package") << "directory-as-package"
                                          << "文件夹";
    QTest::newRow("vanished") << "vanished"
                              << "找不到";
    QTest::newRow("fifo entry") << "fifo-entry"
                                << "不是普通文件";
    QTest::newRow("device entry") << "device-entry"
                                  << "不是普通文件";
    QTest::newRow("socket entry") << "socket-entry"
                                  << "不是普通文件";
    QTest::newRow("multi-disk") << "multi-disk"
                                << "分卷";
    QTest::newRow("directory past the end") << "directory-past-end"
                                            << "已损坏";
}

void TestZipExtract::refusedPackages() {
    QFETCH(QString, fixture);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(fixture + ".qen");
    const auto good = file("p1.tif", "a good page written before the bad one");
    const QByteArray evil = QFile::encodeName(m_dir.filePath("evil.txt"));
    if (fixture == "zip-slip")
        fixture::writeZip(path, {good, file("../evil.txt")});
    else if (fixture == "zip-slip-nested")
        fixture::writeZip(path, {good, file("a/../../evil.txt")});
    else if (fixture == "zip-slip-backslash")
        fixture::writeZip(path, {good, file("..\\evil.txt")});
    else if (fixture == "absolute-path")
        fixture::writeZip(path, {good, file(evil)});
    else if (fixture == "symlink-entry")
        fixture::writeZip(path, {good, fixture::withAttributes(file("p2.tif", evil), ZIP_OPSYS_UNIX,
                                                               (S_IFLNK | 0777u) << 16)});
    else if (fixture == "encrypted" || fixture == "deflate64") {
        fixture::writeZip(path, {good});
        if (fixture == "encrypted")
            fixture::patchHeaders(path, 6, 1, true);
        else
            fixture::patchHeaders(path, 8, 9, false);
    } else if (fixture == "bad-crc") {
        fixture::writeZip(path, {good, file("p2.tif", "second")});
        QByteArray bytes = fixture::readAll(path);
        bytes[bytes.indexOf("second")] = 'S';
        fixture::writeAll(path, bytes);
    } else if (fixture == "truncated") {
        fixture::writeZip(path, {file("p1.tif", QByteArray(4000, 'x'))}, "title");
        fixture::writeAll(path, fixture::readAll(path).left(2000));
    } else if (fixture == "empty")
        fixture::writeAll(path, QByteArray());
    else if (fixture == "not-a-zip")
        fixture::writeAll(path, "这不是压缩包\n");
    else if (fixture == "directory-as-package")
        QDir().mkpath(path);
    else if (fixture.endsWith("-entry")) {
        const zip_uint32_t type = fixture == "fifo-entry"     ? S_IFIFO
                                  : fixture == "device-entry" ? S_IFCHR
                                                              : S_IFSOCK;
        fixture::writeZip(path, {good, fixture::withAttributes(file("p2.tif"), ZIP_OPSYS_UNIX,
                                                               (type | 0644u) << 16)});
    } else if (fixture == "multi-disk" || fixture == "directory-past-end") {
        fixture::writeZip(path, {good});
        QByteArray bytes = fixture::readAll(path);
        const qsizetype end = bytes.lastIndexOf("PK\x05\x06");
        if (fixture == "multi-disk")
            bytes[end + 4] = 1; // number of this disk
        else
            bytes[end + 19] = char(0x70); // directory offset far past the end
        fixture::writeAll(path, bytes);
    }

    try {
        ExtractZip(path, m_out);
        QFAIL("a bad package was unpacked");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path) && e.description().contains(expected),
                 qPrintable(e.description()));
        QVERIFY2(!hasEnglishSentence(e.description()), qPrintable(e.description()));
    }
    QCOMPARE(everythingUnder(m_out), QStringList());
    QVERIFY(!QFile::exists(m_dir.filePath("evil.txt")));
}

// GBK unless the archive says UTF-8. "誠" is D5 5C in GBK: its trail byte is a backslash that
// must not split the name. With the Info-ZIP Unicode path field libzip hands back the UTF-8
// name even for the raw bytes, which must not be taken for GBK.
void TestZipExtract::entryNames_data() {
    QTest::addColumn<QByteArray>("archive");
    QTest::addColumn<QString>("expected");
    const QString path = m_dir.filePath("names.qen");
    // libzip flags any name that is valid UTF-8 itself, so unflagged ones are written by hand.
    auto zipped = [&](const QByteArray &name, bool utf8) {
        if (!utf8) {
            fixture::RawEntry e{name};
            e.crc = fixture::crc32(e.data);
            e.size = quint32(e.data.size());
            return fixture::rawZip(e);
        }
        auto e = file(name);
        e.utf8 = utf8;
        fixture::writeZip(path, {e});
        return fixture::readAll(path);
    };
    QTest::newRow("gbk") << zipped(fixture::gbk("第一页.tif"), false) << "第一页.tif";
    QTest::newRow("gbk trail 0x5c") << zipped(fixture::gbk("誠信.tif"), false) << "誠信.tif";
    QTest::newRow("utf-8 flag") << zipped(QString("第二页.tif").toUtf8(), true) << "第二页.tif";
    // Info-ZIP's zip on Linux writes UTF-8 names without the flag. GBK names that happen to
    // be valid UTF-8 too (目录 = C4 BF C2 BC reads "Ŀ¼") must stay GBK.
    QTest::newRow("utf-8 unflagged")
        << zipped(QString("第四页.tif").toUtf8(), false) << "第四页.tif";
    QTest::newRow("gbk 目录, valid utf-8") << zipped(fixture::gbk("目录.tif"), false) << "目录.tif";
    QTest::newRow("gbk 摘要, valid utf-8") << zipped(fixture::gbk("摘要.tif"), false) << "摘要.tif";
    QTest::newRow("info-zip unicode path")
        << fixture::zipWithUnicodePath(fixture::gbk("旧名.tif"), QString("第三页.tif").toUtf8())
        << "第三页.tif";
}

void TestZipExtract::entryNames() {
    QFETCH(QByteArray, archive);
    const QString path = m_dir.filePath("gbk-names.qen");
    fixture::writeAll(path, archive);
    ExtractZip(path, m_out);
    QTEST(everythingUnder(m_out).join('|'), "expected");
}

void TestZipExtract::onlyVisibleTopLevelFilesBecomePages() {
    const QString path = m_dir.filePath("hidden-system-subfolder.qen");
    fixture::writeZip(path, {fixture::withAttributes(file("Thumbs.db"), ZIP_OPSYS_DOS, 0x22),
                             fixture::withAttributes(file("desktop.ini"), ZIP_OPSYS_DOS, 0x04),
                             fixture::withAttributes(file("p2.tif"), ZIP_OPSYS_DOS, 0x20),
                             file("p1.tif"), file("extra/"), file("extra/p9.tif"), file(".index")});
    const ZipExtractStats stats = ExtractZip(path, m_out);
    QCOMPARE(stats.entriesSkipped, 2);
    QCOMPARE(everythingUnder(m_out),
             (QStringList{".index", "extra", "extra/p9.tif", "p1.tif", "p2.tif"}));
    QStringList pages = ListPageFiles(m_out);
    pages.sort();
    QCOMPARE(pages, (QStringList{"p1.tif", "p2.tif"}));
}

// Every archive tool our users' packages may come from. Python's writestr stores permissions
// without a file type, 7-Zip and DOS tools store attributes only; all of them are plain files.
void TestZipExtract::producers_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("fromStdout");
    const QStringList names{"p1.tif", "p2.tif", "第3页.tif"};
    for (const char *mode : {"plain", "writestr", "stream", "stored", "dos"})
        QTest::addRow("python zipfile %s", mode)
            << "python3" << (QStringList{"-c", PythonProducer, mode, "@OUT@"} + names)
            << (QByteArray(mode) == "stream");
    QTest::newRow("Info-ZIP zip") << "zip" << (QStringList{"-q", "-X", "@OUT@"} + names) << false;
    QTest::newRow("7-Zip") << "7z" << (QStringList{"a", "-tzip", "-bd", "@OUT@"} + names) << false;
    QTest::newRow("bsdtar") << "bsdtar" << (QStringList{"--format", "zip", "-cf", "@OUT@"} + names)
                            << false;
}

void TestZipExtract::producers() {
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(bool, fromStdout);
    const QString source = m_dir.filePath("producer-source");
    QDir().mkpath(source);
    const QStringList names{"p1.tif", "p2.tif", "第3页.tif"};
    for (const QString &n : names)
        fixture::writeAll(source + "/" + n, n.toUtf8() + QByteArray(3000, 'x'));
    const QString archive = m_dir.filePath(
        QStringLiteral("producer-%1.zip").arg(QTest::currentDataTag()).replace(' ', '-'));
    QFile::remove(archive);
    args.replaceInStrings("@OUT@", archive);
    QByteArray out;
    RUN_PRODUCER(program, args, source, out);
    if (fromStdout)
        fixture::writeAll(archive, out);

    const ZipExtractStats stats = ExtractZip(archive, m_out);
    QCOMPARE(stats.filesWritten, 3);
    QCOMPARE(everythingUnder(m_out), names);
    for (const QString &n : names)
        QCOMPARE(fixture::readAll(m_out + "/" + n), fixture::readAll(source + "/" + n));
}

void TestZipExtract::zipBombStopsBeforeWriting() {
    auto big = file("p2.tif", QByteArray(8 << 20, '\0'));
    big.deflate = true;
    const QString path = m_dir.filePath("zip-bomb.qen");
    fixture::writeZip(path, {file("p1.tif"), big});
    QVERIFY(QFileInfo(path).size() < 100 * 1024);
    ZipLimits limits;
    limits.maxTotalBytes = 1 << 20;
    QVERIFY_THROWS_EXCEPTION(Error, ExtractZip(path, m_out, limits));
    QCOMPARE(everythingUnder(m_out), QStringList());
    limits.maxTotalBytes = 16 << 20;
    QCOMPARE(ExtractZip(path, m_out, limits).bytesWritten, qint64((8 << 20) + 4));
}

// A real bomb: 2 GiB of zeros in one entry, a few MB packed, honest about its size. It is
// refused from the directory alone, and not one byte reaches the disk.
void TestZipExtract::twoGigabyteEntryIsRefusedUnwritten() {
    // Deflate blocks flushed on a byte boundary can be repeated: 2048 times the same MiB.
    const char *script = R"(
import sys, zlib
mib = bytes(1 << 20)
c = zlib.compressobj(9, zlib.DEFLATED, -15)
first = c.compress(mib) + c.flush(zlib.Z_SYNC_FLUSH)
rest = c.compress(mib) + c.flush(zlib.Z_SYNC_FLUSH)
crc = 0
for i in range(2048):
    crc = zlib.crc32(mib, crc)
sys.stderr.write(str(crc))
sys.stdout.buffer.write(first + rest * 2047 + c.flush())
)";
    QByteArray deflated;
    RUN_PRODUCER(QStringLiteral("python3"), (QStringList{"-c", script}), m_dir.path(), deflated);
    fixture::RawEntry bomb{"p2.tif", deflated, 8};
    bomb.size = quint32(1) << 31;
    const QString path = m_dir.filePath("zip-bomb-2g.qen");
    fixture::writeAll(path, fixture::rawZip(bomb));
    QVERIFY(QFileInfo(path).size() < 8 << 20);
    try {
        ExtractZip(path, m_out);
        QFAIL("the bomb was unpacked");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path) && e.description().contains("p2.tif") &&
                     e.description().contains("一页"),
                 qPrintable(e.description()));
    }
    QCOMPARE(everythingUnder(m_out), QStringList());
}

// A directory may claim a few bytes for what inflates to far more; the count of what is
// really unpacked stops it, and what was written goes again.
void TestZipExtract::sizesThatLieAreCaughtWhileWriting() {
    auto big = file("p2.tif", QByteArray(8 << 20, '\0'));
    big.deflate = true;
    const QString path = m_dir.filePath("zip-bomb-lying-sizes.qen");
    fixture::writeZip(path, {file("p1.tif"), big});
    QByteArray bytes = fixture::readAll(path);
    // Uncompressed size: offset 22 in a local header, 24 in a central one.
    auto claimSmall = [&](qsizetype at) {
        if (bytes.mid(at, 4) == QByteArray("\0\0\x80\0", 4))
            bytes.replace(at, 4, QByteArray("\x10\0\0\0", 4));
    };
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x03\x04", i)) >= 0; i += 4)
        claimSmall(i + 22);
    for (qsizetype i = 0; (i = bytes.indexOf("PK\x01\x02", i)) >= 0; i += 4)
        claimSmall(i + 24);
    fixture::writeAll(path, bytes);
    ZipLimits limits;
    limits.maxEntryBytes = 1 << 20;
    QVERIFY_THROWS_EXCEPTION(Error, ExtractZip(path, m_out, limits));
    QCOMPARE(everythingUnder(m_out), QStringList());
}

void TestZipExtract::refusedWhenTheDiskIsTooFull() {
    const QString path = m_dir.filePath("needs-more-room.qen");
    fixture::writeZip(path, {file("p1.tif"), file("p2.tif")});
    struct statvfs vfs;
    QCOMPARE(::statvfs(QFile::encodeName(m_out).constData(), &vfs), 0);
    ZipLimits limits;
    // Keeping everything free leaves no room even for eight bytes.
    limits.reserveBytes = qint64(vfs.f_bavail) * qint64(vfs.f_frsize);
    try {
        ExtractZip(path, m_out, limits);
        QFAIL("unpacked onto a full disk");
    } catch (const Error &e) {
        QVERIFY2(e.description().contains(path) && e.description().contains("磁盘"),
                 qPrintable(e.description()));
    }
    QCOMPARE(everythingUnder(m_out), QStringList());
}

QTEST_GUILESS_MAIN(TestZipExtract)
#include "tst_zipextract.moc"
