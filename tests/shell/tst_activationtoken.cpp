#include "shell/activationtoken.h"

#include <QtTest>

using namespace qen;
using Kind = ActivationToken::Kind;

class TestActivationToken : public QObject {
    Q_OBJECT
private slots:
    void fromWord_data();
    void fromWord();
    void x11Time_data();
    void x11Time();
};

void TestActivationToken::fromWord_data() {
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("wayland") << ActivationToken{Kind::Wayland, "abc-1"}.toWord()
                             << int(Kind::Wayland) << QByteArray("abc-1");
    QTest::newRow("x11") << ActivationToken{Kind::X11, "id_TIME5"}.toWord() << int(Kind::X11)
                         << QByteArray("id_TIME5");
    QTest::newRow("unknown kind") << QByteArray("mir:YWJj") << int(Kind::None) << QByteArray();
    QTest::newRow("not base64") << QByteArray("wayland:***") << int(Kind::None) << QByteArray();
    QTest::newRow("empty") << QByteArray("wayland:") << int(Kind::None) << QByteArray();
    QTest::newRow("control byte") << "wayland:" + QByteArray("a\nb").toBase64() << int(Kind::None)
                                  << QByteArray();
    QTest::newRow("too long") << "x11:" + QByteArray(2000, 'a').toBase64() << int(Kind::None)
                              << QByteArray();
}

void TestActivationToken::fromWord() {
    QFETCH(QByteArray, word);
    QFETCH(int, kind);
    QFETCH(QByteArray, value);
    const ActivationToken token = ActivationToken::fromWord(word);
    QCOMPARE(int(token.kind), kind);
    QCOMPARE(token.value, value);
}

void TestActivationToken::x11Time_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<quint32>("time");
    QTest::newRow("launcher's form") << QByteArray("kded5-1234-host-foo-0_TIME987654") << 987654u;
    QTest::newRow("no time") << QByteArray("plain-id") << 0u;
    QTest::newRow("time not a number") << QByteArray("x_TIMEabc") << 0u;
    QTest::newRow("past 32 bits") << QByteArray("x_TIME4294967296") << 0u;
    QTest::newRow("largest") << QByteArray("x_TIME4294967295") << 4294967295u;
}

void TestActivationToken::x11Time() {
    QFETCH(QByteArray, id);
    QFETCH(quint32, time);
    QCOMPARE((ActivationToken{Kind::X11, id}.x11Time()), time);
    QCOMPARE((ActivationToken{Kind::Wayland, id}.x11Time()), 0u);
}

QTEST_GUILESS_MAIN(TestActivationToken)
#include "tst_activationtoken.moc"
