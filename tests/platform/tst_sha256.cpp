// SHA-256 on both of its paths (the processor's SHA instructions and the portable code):
// the standard's test vectors, every length around the block boundaries against
// `sha256sum`, input split at awkward places, and files read through a device.
#include "platform/sha256.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using qen::Sha256;

Q_DECLARE_METATYPE(Sha256::Implementation)

namespace {

QByteArray digest(Sha256::Implementation implementation, QByteArrayView bytes) {
    Sha256 h(implementation);
    h.addData(bytes);
    return h.result().toHex();
}

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QRandomGenerator rng(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

// The digests of `sha256sum`, which is no part of this program, one per file.
QList<QByteArray> sha256sum(const QStringList &files) {
    QProcess p;
    p.start(QStringLiteral("sha256sum"), files);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    QList<QByteArray> out;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            out << line.left(64);
    return out;
}

void addImplementationRows(const char *name, const QByteArray &input, const QByteArray &hex) {
    QTest::addRow("%s, fastest", name) << Sha256::Implementation::Fastest << input << hex;
    QTest::addRow("%s, portable", name) << Sha256::Implementation::Portable << input << hex;
}

} // namespace

class TestSha256 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        qInfo("SHA instructions on this processor: %s",
              Sha256::hasShaInstructions() ? "yes" : "no (both rows run the portable code)");
    }
    void standardVectors_data();
    void standardVectors();
    void lengthsAroundBlocksMatchSha256sum_data();
    void lengthsAroundBlocksMatchSha256sum();
    void splitInputMatchesWhole_data();
    void splitInputMatchesWhole();
    void fileThroughDevice();
    void unreadableDeviceFails();
};

void TestSha256::standardVectors_data() {
    QTest::addColumn<Sha256::Implementation>("implementation");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("hex");
    addImplementationRows("empty", QByteArray(),
                          "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    addImplementationRows("abc", "abc",
                          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    addImplementationRows("two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                          "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    addImplementationRows("a million a", QByteArray(1000000, 'a'),
                          "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

void TestSha256::standardVectors() {
    QFETCH(Sha256::Implementation, implementation);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, hex);
    QCOMPARE(digest(implementation, input), hex);
}

void TestSha256::lengthsAroundBlocksMatchSha256sum_data() {
    QTest::addColumn<Sha256::Implementation>("implementation");
    QTest::newRow("fastest") << Sha256::Implementation::Fastest;
    QTest::newRow("portable") << Sha256::Implementation::Portable;
}

// Every length from 0 to 200 bytes (where the padding spills into an extra block at 56), and
// a few page-sized ones.
void TestSha256::lengthsAroundBlocksMatchSha256sum() {
    QFETCH(Sha256::Implementation, implementation);
    if (QStandardPaths::findExecutable(QStringLiteral("sha256sum")).isEmpty())
        QSKIP("needs sha256sum (coreutils)");
    QTemporaryDir dir;
    QList<qsizetype> lengths;
    for (qsizetype n = 0; n <= 200; ++n)
        lengths << n;
    lengths << 4095 << 4096 << 65535 << 65536 << 65537 << 300001;
    QStringList files;
    QList<QByteArray> ours;
    for (qsizetype n : std::as_const(lengths)) {
        const QByteArray bytes = randomBytes(n, quint32(n) + 1);
        const QString path = dir.filePath(QString::number(n));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), n);
        files << path;
        ours << digest(implementation, bytes);
    }
    QCOMPARE(ours, sha256sum(files));
}

void TestSha256::splitInputMatchesWhole_data() {
    QTest::addColumn<int>("piece");
    for (int piece : {1, 3, 55, 63, 64, 65, 127, 1000})
        QTest::addRow("pieces of %d", piece) << piece;
}

void TestSha256::splitInputMatchesWhole() {
    QFETCH(int, piece);
    const QByteArray bytes = randomBytes(5000, 7);
    Sha256 split;
    for (qsizetype at = 0; at < bytes.size(); at += piece)
        split.addData(bytes.mid(at, piece));
    QCOMPARE(split.result(), Sha256::hash(bytes));
}

void TestSha256::fileThroughDevice() {
    if (QStandardPaths::findExecutable(QStringLiteral("sha256sum")).isEmpty())
        QSKIP("needs sha256sum (coreutils)");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page.tif"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    // Larger than the read chunk, and not a whole number of chunks or blocks.
    out.write(randomBytes(3 * 64 * 1024 + 17, 99));
    out.close();
    QFile in(path);
    QVERIFY(in.open(QIODevice::ReadOnly));
    Sha256 h;
    QVERIFY(h.addData(&in));
    QCOMPARE(h.result().toHex(), sha256sum({path}).value(0));
}

// A folder opens for reading on Linux, and every read of it fails: that must not pass for
// the hash of an empty file.
void TestSha256::unreadableDeviceFails() {
    QTemporaryDir dir;
    QFile folder(dir.path());
    if (!folder.open(QIODevice::ReadOnly))
        QSKIP("a folder does not open as a file here");
    Sha256 h;
    QVERIFY(!h.addData(&folder));
}

QTEST_GUILESS_MAIN(TestSha256)
#include "tst_sha256.moc"
