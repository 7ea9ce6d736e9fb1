// Tidying the engine's text, and the two line-break forms of the result window.
#include "ocr/ocrtext.h"
#include "ocr/resultwindow.h"

#include <QtTest>

using namespace qen::ocr;

class TstOcrText : public QObject {
    Q_OBJECT
private slots:
    void tidy_data();
    void tidy();
    void showMeGeometry_data();
    void showMeGeometry();
    void keptOnScreen();
    void textBoxRoundTrip_data();
    void textBoxRoundTrip();
};

void TstOcrText::tidy_data() {
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("tidy");
    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("spaces between Chinese") << u"中 国 科 学\n"_qs << u"中国科学"_qs + crlf;
    QTest::newRow("space before Chinese punctuation")
        << u"论文 ， 提出\n"_qs << u"论文，提出"_qs + crlf;
    QTest::newRow("Latin word keeps its spaces")
        << u"使用 Python 语言\n"_qs << u"使用 Python 语言"_qs + crlf;
    QTest::newRow("English sentence untouched") << u"Hello, world. Is it (really) ok?\n"_qs
                                                << u"Hello, world. Is it (really) ok?"_qs + crlf;
    QTest::newRow("ASCII comma and period beside Chinese")
        << u"中国,美国.\n"_qs << u"中国，美国。"_qs + crlf;
    QTest::newRow("marks with a blank before them") << u"结束 .\n"_qs << u"结束。"_qs + crlf;
    QTest::newRow("colon semicolon bang question")
        << u"注意:一;二!三?\n"_qs << u"注意：一；二！三？"_qs + crlf;
    QTest::newRow("decimal inside Chinese") << u"达到98.5%。\n"_qs << u"达到98.5%。"_qs + crlf;
    QTest::newRow("number after Chinese") << u"约3.14米\n"_qs << u"约3.14米"_qs + crlf;
    QTest::newRow("thousands separator") << u"共1,000人\n"_qs << u"共1,000人"_qs + crlf;
    QTest::newRow("URL after Chinese colon") << u"网址:http://www.example.com/a?b=1\n"_qs
                                             << u"网址：http://www.example.com/a?b=1"_qs + crlf;
    QTest::newRow("e-mail") << u"邮箱 support@qen.example 联系\n"_qs
                            << u"邮箱 support@qen.example 联系"_qs + crlf;
    QTest::newRow("parentheses pair around a number")
        << u"见图(1)说明\n"_qs << u"见图（1）说明"_qs + crlf;
    QTest::newRow("parentheses pair closed after Latin")
        << u"方法(OpenCV)\n"_qs << u"方法（OpenCV）"_qs + crlf;
    QTest::newRow("function call stays ASCII")
        << u"调用 f(x) 即可\n"_qs << u"调用 f(x) 即可"_qs + crlf;
    QTest::newRow("ellipsis left alone") << u"等等...\n"_qs << u"等等..."_qs + crlf;
    QTest::newRow("lines trimmed, CR LF, trailing empties dropped")
        << u"  第一行 \n第二行\n\n\n"_qs << u"第一行\r\n第二行\r\n"_qs;
    QTest::newRow("page separator and CR LF input") << u"甲\r\n乙\n\f"_qs << u"甲\r\n乙\r\n"_qs;
    QTest::newRow("nothing found") << u" \n\n"_qs << QString();
    QTest::newRow("character outside the BMP") << u"𠀀 字\n"_qs << u"𠀀字"_qs + crlf;
    QTest::newRow("full-width digits are not Chinese text")
        << u"ＡＢ 12\n"_qs << u"ＡＢ 12"_qs + crlf;
}

void TstOcrText::tidy() {
    QFETCH(QString, raw);
    QFETCH(QString, tidy);
    QCOMPARE(tidyRecognisedText(raw), tidy);
}

void TstOcrText::showMeGeometry_data() {
    QTest::addColumn<double>("sw");
    QTest::addColumn<double>("sh");
    QTest::addColumn<double>("cw");
    QTest::addColumn<double>("ch");
    QTest::addColumn<QRect>("expected");
    // 1024 x 768 at 15 twips per pixel, the design client size.
    QTest::newRow("design size") << 15360.0 << 11520.0 << 8685.0 << 7500.0
                                 << QRect(147, 89, 766, 331);
    // The client size after the first call (766 x 331 px at 15 twips per pixel).
    QTest::newRow("second call grows wider, lower")
        << 15360.0 << 11520.0 << 11490.0 << 4965.0 << QRect(85, 145, 1013, 219);
    // 11.34 * 0.5 and 22.68 * 2.5: exact halves go to the even neighbour.
    QTest::newRow("halves to even") << 0.0 << 0.0 << 5.67 << 56.7 << QRect(0, -1, 0, 2);
}

void TstOcrText::showMeGeometry() {
    QFETCH(double, sw);
    QFETCH(double, sh);
    QFETCH(double, cw);
    QFETCH(double, ch);
    QFETCH(QRect, expected);
    QCOMPARE(qen::ocr::showMeGeometry(sw, sh, cw, ch), expected);
}

void TstOcrText::keptOnScreen() {
    const QRect available(0, 0, 1024, 738);
    // Repeated ShowMe: the width grows by a third each time but never leaves the screen.
    QRect r(147, 89, 766, 331);
    for (int i = 0; i < 6; ++i) {
        r = qen::ocr::keptOnScreen(
            qen::ocr::showMeGeometry(15360, 11520, r.width() * 15.0, r.height() * 15.0), available);
        QVERIFY2(available.contains(r), qPrintable(QString::number(i)));
    }
    QCOMPARE(qen::ocr::keptOnScreen(QRect(147, 89, 766, 331), available), QRect(147, 89, 766, 331));
    QCOMPARE(qen::ocr::keptOnScreen(QRect(-50, 700, 200, 100), QRect(0, 30, 1024, 738)),
             QRect(0, 668, 200, 100));
}

void TstOcrText::textBoxRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("filtered");
    QTest::newRow("CR LF joins") << u"ab\r\ncd"_qs << u"abcd"_qs;
    QTest::newRow("lone LF stays") << u"ab\ncd"_qs << u"ab\ncd"_qs;
    QTest::newRow("mixed") << u"a\r\nb\nc\r\n"_qs << u"ab\nc"_qs;
}

void TstOcrText::textBoxRoundTrip() {
    QFETCH(QString, text);
    QFETCH(QString, filtered);
    QCOMPARE(withoutLineBreaks(text), filtered);
    QCOMPARE(fromTextBox(toTextBox(text)), text);
}

QTEST_GUILESS_MAIN(TstOcrText)
#include "tst_ocrtext.moc"
