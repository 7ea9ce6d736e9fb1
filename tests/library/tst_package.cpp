#include "library/package.h"
#include "platform/workfolders.h"

#include "zipfixture.h"

#include <QDir>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace qen;

class TestPackage : public QObject {
    Q_OBJECT
private slots:
    void workFolderCounters();
    void title_data();
    void title();
    void titleSameAsReadingWhole();
    void cleaning_data();
    void cleaning();

private:
    QTemporaryDir m_dir;
};

void TestPackage::workFolderCounters() {
    const WorkFolders folders(m_dir.filePath("root"), m_dir.filePath("app"));
    folders.ensure(folders.temp());
    const QString base = folders.temp() + "/4194304report";
    QCOMPARE(GetWorkFolder(folders, "report"), base);
    QCOMPARE(GetWorkFolder(folders, "report"), base + "0");
    QCOMPARE(GetWorkFolder(folders, "report"), base + "1");
    QVERIFY(QFileInfo(base + "1").isDir());
    // A plain file in the way counts as taken too.
    fixture::writeAll(folders.temp() + "/4194304memo", "x");
    QCOMPARE(GetWorkFolder(folders, "memo"), folders.temp() + "/4194304memo0");
    // Temp removed behind the program's back comes back.
    QDir(folders.temp()).removeRecursively();
    QVERIFY(QFileInfo(GetWorkFolder(folders, "第一篇")).isDir());
}

void TestPackage::title_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("gbk comment after end record")
        << QByteArray("PK\x05\x06\0\0\0\0\x03\0", 10) + fixture::gbk("图书馆学刊") << "图书馆学刊";
    QTest::newRow("thousands of trailing NULs")
        << QByteArray("data\0", 5) + fixture::gbk("标题") + QByteArray(5000, '\0') << "标题";
    QTest::newRow("NULs across block edges")
        << QByteArray("\0title", 6) + QByteArray((1 << 20) * 2 + 17, '\0') << "title";
    QTest::newRow("nothing but NULs") << QByteArray(3000, '\0') << "";
    QTest::newRow("no NUL before the end text") << QByteArray("plain text file") << "";
    QTest::newRow("empty file") << QByteArray() << "";
}

void TestPackage::title() {
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath("title.qen");
    fixture::writeAll(path, bytes);
    QTEST(ReadPackageTitle(path), "expected");
    QCOMPARE(ReadPackageTitle(m_dir.filePath("missing.qen")), QString());
}

// Reading backwards in blocks must agree with reading the whole file, wherever the title and
// the padding fall relative to the block edges.
void TestPackage::titleSameAsReadingWhole() {
    QRandomGenerator rng(42);
    const QString path = m_dir.filePath("random.qen");
    const int block = 1 << 20;
    for (int total : {1, 1000, block - 1, block, block + 1, 2 * block + 3}) {
        for (int titleAt : {0, 1, total / 2, total - 1}) {
            // Random text, a NUL just before the title, the title, then padding.
            const int titleLength = qMin(total - titleAt, int(rng.bounded(1, 80)));
            QByteArray bytes(total, '\0');
            for (int i = 0; i < titleAt + titleLength; ++i)
                bytes[i] = char(rng.bounded(1, 256));
            if (titleAt > 0)
                bytes[titleAt - 1] = '\0';
            fixture::writeAll(path, bytes);
            const QString whole =
                titleAt > 0 ? QStringDecoder("GBK").decode(bytes.mid(titleAt, titleLength))
                            : QString();
            QCOMPARE(ReadPackageTitle(path), whole);
        }
    }
}

void TestPackage::cleaning_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("leading blanks stay, trailing blanks and : / ? go") << "  a:b/c?d  "
                                                                       << "  abcd";
    QTest::newRow("all forbidden characters") << "x:\"\\/<>?|*y"
                                              << "xy";
    QTest::newRow("control codes") << QString("a\tb\rc\nd\x01"
                                              "e\x0c"
                                              "f\x1f"
                                              "g\x1c"
                                              "h\x10")
                                   << QString("abcdefgh\x10");
    QTest::newRow("cut to 50") << QString(60, QChar(u'题')) << QString(50, QChar(u'题'));
    QTest::newRow("cut after cleaning") << QString(50, 'a') + "::::" << QString(50, 'a');
    QTest::newRow("blank before a removed character stays") << "title :"
                                                            << "title ";
}

void TestPackage::cleaning() {
    QFETCH(QString, raw);
    QTEST(CleanPackageTitle(raw), "expected");
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
