#include "platform/profilestring.h"
#include "platform/textcodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

using namespace qen;
using qen::test::gbk;
using qen::test::readFile;
using qen::test::writeFile;

namespace {} // namespace

class TestProfileString : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void writeKeepsEveryOtherByte_data();
    void writeKeepsEveryOtherByte();
    void missingFileAndFolder();
    void unencodableValueLeavesFile();
};

void TestProfileString::read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    const QString def = QStringLiteral("D");
    test::row("plain", gbk("[输出选项]\r\n文　摘=0\r\n"), "输出选项", "文　摘", 10, "0");
    test::row("case and spaces", QByteArray("[ Sec ]\n  KeY   =  v a l  \n"), "sec", "key", 10,
              "v a l");
    test::row("double quotes", QByteArray("[s]\nk=\" 1 \"\n"), "s", "k", 10, " 1 ");
    test::row("single quotes", QByteArray("[s]\nk='x'\n"), "s", "k", 10, "x");
    test::row("unmatched quote kept", QByteArray("[s]\nk=\"x\n"), "s", "k", 10, "\"x");
    test::row("semicolon is not an inline comment", QByteArray("[s]\nk=1 ;no\n"), "s", "k", 10,
              "1 ;no");
    test::row("commented key", QByteArray("[s]\n;k=1\n"), "s", "k", 10, def);
    test::row("cut at size-1", QByteArray("[s]\nk=1234567890123\n"), "s", "k", 10, "123456789");
    test::row("cut never splits a GBK pair", gbk("[s]\nk=1234题名\n"), "s", "k", 8,
              QStringLiteral("1234题名").left(5));
    test::row("default is cut too", QByteArray(""), "s", "k", 2, "D");
    test::row("line without =", QByteArray("[s]\nk\n"), "s", "k", 10, def);
    test::row("junk lines", QByteArray("garbage\n\x01\x02\xff\n[s\nk=2\n"), "s", "k", 10, "2");
    test::row("first of duplicate sections", QByteArray("[s]\na=1\n[t]\nk=9\n[S]\nk=2\n"), "s", "k",
              10, def);
    test::row("first of duplicate keys", QByteArray("[s]\nk=1\nK=2\n"), "s", "k", 10, "1");
    test::row("key outside any section", QByteArray("k=1\n[s]\n"), "s", "k", 10, def);
    test::row("utf-8 with mark", QByteArray("\xEF\xBB\xBF[s]\nk=\xE4\xB8\xAD\n"), "s", "k", 10,
              QStringLiteral("中"));
    // 目录 in GBK happens to be valid UTF-8 (for Latin letters), which must not win.
    test::row("gbk that is also valid utf-8", gbk("[WWP]\r\nDecoder=/opt/目录/conv\r\n"), "WWP",
              "Decoder", 100, QStringLiteral("/opt/目录/conv"));
}

void TestProfileString::read() {
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(int, size);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    writeFile(path, file);
    QCOMPARE(GetPrivateProfileString(section, key, QStringLiteral("D"), size, path), expected);
}

void TestProfileString::writeKeepsEveryOtherByte_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    const QByteArray edited = gbk(QStringLiteral("; 手工注释\r\n"
                                                 "[输出选项]\r\n"
                                                 "  题　名 =  1   \r\n"
                                                 "文　摘=0\r\n"
                                                 "; 中间注释 ;\r\n"
                                                 "\r\n"
                                                 "[其他]\n"
                                                 "x = y\n"));
    test::row("value changed, spacing before it kept", edited, "输出选项", "题　名", "0",
              QByteArray(edited).replace(gbk(QStringLiteral("  题　名 =  1   ")),
                                         gbk(QStringLiteral("  题　名 =  0"))));
    test::row("same value: file untouched", edited, "输出选项", "文　摘", "0", edited);
    test::row("missing key follows the section's last key", edited, "输出选项", "正　文", "1",
              QByteArray(edited).replace(gbk(QStringLiteral("文　摘=0\r\n")),
                                         gbk(QStringLiteral("文　摘=0\r\n正　文=1\r\n"))));
    test::row("missing section appended with the file's own line ends", QByteArray("a=1\n[t]\nb=2"),
              "new", "k", "v", QByteArray("a=1\n[t]\nb=2\n[new]\nk=v\n"));
    test::row("duplicate section: the first one is written", QByteArray("[s]\nk=1\n[s]\nk=2\n"),
              "S", "K", "3", QByteArray("[s]\nk=3\n[s]\nk=2\n"));
    test::row("quoted value replaced", QByteArray("[s]\r\nk=\"1\"\r\n"), "s", "k", "0",
              QByteArray("[s]\r\nk=0\r\n"));
    test::row("invalid GBK bytes elsewhere survive", QByteArray("\xff\x80junk\r\n[s]\r\nk=1\r\n"),
              "s", "k", "0", QByteArray("\xff\x80junk\r\n[s]\r\nk=0\r\n"));
    test::row("utf-8 file stays utf-8", QByteArray("\xEF\xBB\xBF[s]\nk=1\n"), "s", "新", "0",
              QByteArray("\xEF\xBB\xBF[s]\nk=1\n\xE6\x96\xB0=0\n"));
    const auto utf16 = [](const QString &text) {
        QByteArray bytes(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        return bytes;
    };
    test::row("utf-16 with a doubled mark keeps both", "\xFF\xFE\xFF\xFE" + utf16("[s]\r\nk=1\r\n"),
              "s", "k", "0", "\xFF\xFE\xFF\xFE" + utf16("[s]\r\nk=0\r\n"));
    test::row("utf-16 odd last byte stays last", "\xFF\xFE" + utf16("[t]\r\nx=1") + "\x35", "s",
              "k", "0", "\xFF\xFE" + utf16("[t]\r\nx=1\r\n[s]\r\nk=0\r\n") + "\x35");
    test::row("utf-16 stray surrogate elsewhere survives",
              "\xFF\xFE" + utf16(QStringLiteral("x=") + QChar(0xD800) + "\n[s]\nk=1"), "s", "k",
              "0", "\xFF\xFE" + utf16(QStringLiteral("x=") + QChar(0xD800) + "\n[s]\nk=0"));
}

void TestProfileString::writeKeepsEveryOtherByte() {
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    writeFile(path, before);
    QVERIFY(WritePrivateProfileString(section, key, value, path));
    QCOMPARE(readFile(path), after);
    QCOMPARE(GetPrivateProfileString(section, key, QString(), 10, path), value);
}

void TestProfileString::missingFileAndFolder() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("new.ini"));
    QVERIFY(WritePrivateProfileString(QStringLiteral("输出选项"), QStringLiteral("题　名"),
                                      QStringLiteral("1"), path));
    QCOMPARE(readFile(path), gbk(QStringLiteral("[输出选项]\r\n题　名=1\r\n")));
    QString problem;
    QVERIFY(!WritePrivateProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                       QStringLiteral("1"), dir.filePath("no/such/x.ini"),
                                       &problem));
    QVERIFY(problem.contains(QStringLiteral("x.ini")));
}

void TestProfileString::unencodableValueLeavesFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.ini"));
    writeFile(path, "[s]\r\nk=1\r\n");
    QString problem;
    QVERIFY(!WritePrivateProfileString(QStringLiteral("s"), QStringLiteral("k"),
                                       QStringLiteral("한"), path, &problem));
    QVERIFY(problem.contains(QStringLiteral("한")));
    QCOMPARE(readFile(path), QByteArray("[s]\r\nk=1\r\n"));
}

QTEST_GUILESS_MAIN(TestProfileString)
#include "tst_profilestring.moc"
