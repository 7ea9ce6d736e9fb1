#pragma once

// Chinese test pages for recognition, drawn the way our users' scans look: Noto Serif CJK SC
// at 10.5 pt, 300 dpi, gray or bilevel, optionally with scanner noise. Tests and the
// benchmark share them with their ground truth.
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QStringList>

namespace qen::test {

inline QStringList ocrTruthLines() {
    return {
        QStringLiteral("近年来，深度学习技术在图像识别领域取得了显著进展。"),
        QStringLiteral("本文提出一种基于卷积神经网络的文字识别方法，"),
        QStringLiteral("在测试集上的准确率达到98.6%，比传统方法提高12个百分点。"),
        QStringLiteral("实验使用Python 3.8和OpenCV 4.5完成，数据来自2020年的期刊。"),
        QStringLiteral("作者认为：该方法适用于扫描的报纸、期刊和图书页面。"),
        QStringLiteral("联系方式见www.example.com，欢迎读者提出意见和建议！"),
    };
}

inline bool ocrFontAvailable() {
    return QFontDatabase::families().contains(QStringLiteral("Noto Serif CJK SC"));
}

struct OcrPageOptions {
    bool bilevel = true;
    double noise = 0; // share of pixels flipped at random (salt and pepper)
    int dpi = 300;
    double pointSize = 10.5;
};

inline int ocrLineStep(const OcrPageOptions &o) {
    return qRound(qRound(o.pointSize / 72.0 * o.dpi) * 1.6);
}

// Lines start a quarter inch from the top and half an inch from the left.
inline int ocrTopMargin(const OcrPageOptions &o) {
    return o.dpi / 4;
}

// The band of `count` lines from line `first`, the whole page wide, as a reader selects it:
// a little above the first line's top, down to the gap after the last.
inline QRect ocrLineBand(const QImage &page, int first, int count, const OcrPageOptions &o = {}) {
    const int step = ocrLineStep(o);
    return QRect(0, ocrTopMargin(o) + first * step - step / 4, page.width(), count * step);
}

// One line per entry; the page is as wide as the longest line.
inline QImage renderOcrPage(const QStringList &lines, const OcrPageOptions &o = {}) {
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(qRound(o.pointSize / 72.0 * o.dpi));
    const QFontMetrics metrics(font);
    int textWidth = 0;
    for (const QString &l : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(l));
    const int margin = o.dpi / 2;
    const int lineStep = ocrLineStep(o);
    QImage gray(textWidth + 2 * margin, int(lines.size()) * lineStep + 2 * ocrTopMargin(o),
                QImage::Format_Grayscale8);
    gray.fill(255);
    {
        QPainter p(&gray);
        p.setFont(font);
        p.setPen(Qt::black);
        for (qsizetype i = 0; i < lines.size(); ++i)
            p.drawText(margin, ocrTopMargin(o) + int(i) * lineStep + metrics.ascent(), lines[i]);
    }
    QRandomGenerator rng(1234);
    if (o.noise > 0) {
        const qint64 flips = qint64(double(gray.width()) * gray.height() * o.noise);
        for (qint64 i = 0; i < flips; ++i) {
            uchar &px = gray.scanLine(rng.bounded(gray.height()))[rng.bounded(gray.width())];
            px = px < 128 ? 255 : 0;
        }
    }
    QImage page = o.bilevel ? gray.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither) : gray;
    const int dpm = qRound(o.dpi / 0.0254);
    page.setDotsPerMeterX(dpm);
    page.setDotsPerMeterY(dpm);
    return page;
}

// Character error rate with whitespace left out: edit distance over the truth's length.
inline double characterErrorRate(const QString &truth, const QString &read) {
    auto strip = [](const QString &s) {
        QList<uint> out;
        for (uint c : s.toUcs4())
            if (!QChar::isSpace(c))
                out << c;
        return out;
    };
    const QList<uint> a = strip(truth), b = strip(read);
    QList<int> prev(b.size() + 1), cur(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        prev[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        cur[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j)
            cur[j] = std::min(
                {prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return a.isEmpty() ? (b.isEmpty() ? 0.0 : 1.0) : double(prev[b.size()]) / double(a.size());
}

// A space between two Chinese characters in the text, if any.
inline bool hasSpaceBetweenChinese(const QString &text) {
    auto han = [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; };
    for (qsizetype i = 1; i + 1 < text.size(); ++i)
        if (text[i] == QLatin1Char(' ') && han(text[i - 1]) && han(text[i + 1]))
            return true;
    return false;
}

} // namespace qen::test
