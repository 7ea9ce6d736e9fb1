#include "platform/textcodec.h"
#include "testfiles.h"

#include <QtTest>

using namespace qen::text;

Q_DECLARE_METATYPE(qen::text::Encoding)

class TestTextCodec : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(gbkAvailable()); }
    void detect_data();
    void detect();
    void encodeGbk_data();
    void encodeGbk();
    void roundTripKeepsEncoding_data() { detect_data(); }
    void roundTripKeepsEncoding();
    void conversionsStartClean();
};

void TestTextCodec::detect_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    const QString zh = QStringLiteral("【题名】中文");
    qen::test::row("gbk", QByteArray("\xa1\xbe\xcc\xe2\xc3\xfb\xa1\xbf\xd6\xd0\xce\xc4"), zh,
                   Encoding::Gbk);
    qen::test::row("utf8 without mark", zh.toUtf8(), zh, Encoding::Utf8);
    qen::test::row("utf8 mark", QByteArray("\xEF\xBB\xBF") + zh.toUtf8(), zh, Encoding::Utf8Bom);
    qen::test::row("utf16le mark",
                   QByteArray("\xFF\xFE") +
                       QByteArray(reinterpret_cast<const char *>(zh.utf16()), zh.size() * 2),
                   zh, Encoding::Utf16Le);
    qen::test::row("ascii is gbk", QByteArray("plain"), "plain", Encoding::Gbk);
    // GBK bytes that happen to look like a UTF-8 lead byte must not be taken for UTF-8.
    qen::test::row("gbk like utf8 lead", QByteArray("\xc4\xe3\xba\xc3"), "你好", Encoding::Gbk);
    // GBK words whose bytes are valid UTF-8 too, spelling Latin letters ("Ŀ¼").
    qen::test::row("gbk 目录 valid as utf8", QByteArray("\xc4\xbf\xc2\xbc"), "目录", Encoding::Gbk);
    qen::test::row("gbk path with 摘要 valid as utf8", QByteArray("/opt/\xd5\xaa\xd2\xaa/conv"),
                   "/opt/摘要/conv", Encoding::Gbk);
    qen::test::row("utf8 cjk punctuation and full-width",
                   QStringLiteral("【题名】，ＡＢ１").toUtf8(), "【题名】，ＡＢ１", Encoding::Utf8);
    qen::test::row("truncated utf8 is gbk", QByteArray("ab\xe4\xb8"), QString(), Encoding::Gbk);
}

void TestTextCodec::detect() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const Decoded d = decodeExternal(bytes);
    QTEST(d.encoding, "encoding");
    if (!text.isEmpty())
        QCOMPARE(d.text, text);
}

void TestTextCodec::encodeGbk_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("bad");
    qen::test::row("chinese", QStringLiteral("中文 abc 【】"), true, QString());
    qen::test::row("empty", QString(), true, QString());
    qen::test::row("emoji", QStringLiteral("书😀"), false, QStringLiteral("😀"));
    qen::test::row("thai", QStringLiteral("a\u0e01b"), false, QStringLiteral("\u0e01"));
}

void TestTextCodec::encodeGbk() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QString bad;
    const auto bytes = qen::text::encodeGbk(text, &bad);
    QCOMPARE(bytes.has_value(), ok);
    QTEST(bad, "bad");
    if (ok)
        QCOMPARE(decodeGbk(*bytes), text);
}

void TestTextCodec::roundTripKeepsEncoding() {
    QFETCH(QByteArray, bytes);
    const Decoded d = decodeExternal(bytes);
    const auto again = encode(d.text, d.encoding);
    QVERIFY(again.has_value());
    QCOMPARE(decodeExternal(*again).text, d.text);
}

// Converters are kept between calls: a failed or cut-off conversion must not colour the next.
void TestTextCodec::conversionsStartClean() {
    QString bad;
    QVERIFY(!qen::text::encodeGbk(QStringLiteral("😀"), &bad));
    const auto after = qen::text::encodeGbk(QStringLiteral("书a"), &bad);
    QVERIFY(after.has_value());
    QCOMPARE(*after, QByteArray("\xca\xe9"
                                "a"));
    decodeGbk(QByteArray("\xca")); // a lead byte whose trail byte is missing
    QCOMPARE(decodeGbk(QByteArray("a")), QStringLiteral("a"));
    QCOMPARE(decodeGbk(QByteArray("\xca\xe9")), QStringLiteral("书"));
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
