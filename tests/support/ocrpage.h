#pragma once

// Chinese test pages for recognition, drawn the way our users' scans look: Noto Serif CJK SC
// at 10.5 pt, 300 dpi, gray or bilevel, optionally with scanner noise. Tests and the
// benchmark share them with their ground truth.
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QStringList>

#include <cstdio>

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

// The Chinese model, where the recognition library looks for it.
inline bool ocrChineseDataInstalled() {
    QStringList dirs{QStringLiteral("/usr/share/tesseract-ocr/5/tessdata"),
                     QStringLiteral("/usr/share/tessdata")};
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty())
        dirs << prefix << prefix + QStringLiteral("/tessdata");
    return std::any_of(dirs.begin(), dirs.end(), [](const QString &d) {
        return QFile::exists(d + QStringLiteral("/chi_sim.traineddata"));
    });
}

inline bool ocrFontAvailable() {
    return QFontDatabase::families().contains(QStringLiteral("Noto Serif CJK SC"));
}

#ifdef QEN_BUILD_DIR
// What the recognition benchmarks compare: the built tool and library against the tesseract
// command line, on pages drawn in the CJK font. Empty when any is missing.
inline QString ocrBenchTool() {
    return QStringLiteral(QEN_BUILD_DIR "/src/qentool");
}
inline QString ocrBenchLibrary() {
    return QStringLiteral(QEN_BUILD_DIR "/src/libqenocr.so");
}
// The tesseract command line, or an empty text (after saying which benchmark is skipped
// and why) when something the comparison needs is missing.
inline QString ocrBenchCommandLine(const char *benchmark) {
    const QString cli = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (QFile::exists(ocrBenchTool()) && QFile::exists(ocrBenchLibrary()) && !cli.isEmpty() &&
        ocrFontAvailable())
        return cli;
    std::printf("%s: skipped (needs qentool, libqenocr, the tesseract command line and "
                "fonts-noto-cjk)\n",
                benchmark);
    return {};
}
#endif

#ifdef QEN_BINARY_DIR
inline QString builtOcrLibrary() {
    return QStringLiteral(QEN_BINARY_DIR "/src/libqenocr.so");
}

// Why page recognition cannot be tested here (the library, the Chinese model or the font is
// missing), or an empty text when it can.
inline QString pageRecognitionMissing() {
    if (!QFile::exists(builtOcrLibrary()))
        return QStringLiteral("the recognition library is not built");
    if (!ocrChineseDataInstalled())
        return QStringLiteral("needs tesseract-ocr-chi-sim (chi_sim.traineddata)");
    if (!ocrFontAvailable())
        return QStringLiteral("needs fonts-noto-cjk");
    return {};
}
#endif

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

// Scanner noise, then the page's form and resolution.
inline QImage finishOcrPage(QImage gray, const OcrPageOptions &o) {
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

inline QFont ocrFont(const OcrPageOptions &o) {
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(qRound(o.pointSize / 72.0 * o.dpi));
    return font;
}

// One line per entry; the page is as wide as the longest line.
inline QImage renderOcrPage(const QStringList &lines, const OcrPageOptions &o = {}) {
    const QFont font = ocrFont(o);
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
    return finishOcrPage(gray, o);
}

// Running Chinese text for pages of columns, cut into lines of `perLine` characters.
inline QStringList ocrColumnLines(int count, int perLine = 12) {
    const QString text = ocrTruthLines().join(QString()) +
                         QStringLiteral("图书馆的数字化工作正在加快，读者可以在家中查阅过去的报纸。"
                                        "研究人员还发现，页面越清晰，识别的错误就越少。"
                                        "因此扫描时应当选择合适的分辨率和对比度。"
                                        "此外，双栏排版的文章需要先找出栏间的空白，再逐栏识别。");
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << text.mid((i * perLine) % (text.size() - perLine), perLine);
    return lines;
}

struct ColumnPage {
    QImage page;
    QList<QRect> columns; // where each column's text was drawn
    QRect title;
};

// Columns side by side with `gutterMm` of white between them, optionally under a title that
// spans them all. Each column's lines start at the same height.
inline ColumnPage renderColumnPage(const QList<QStringList> &columns, double gutterMm,
                                   const QString &title = QString(), const OcrPageOptions &o = {}) {
    const QFont font = ocrFont(o);
    const QFontMetrics metrics(font);
    const int margin = o.dpi / 2;
    const int gutter = qRound(gutterMm / 25.4 * o.dpi);
    const int lineStep = ocrLineStep(o);
    QList<int> widths;
    int rows = 0;
    for (const QStringList &c : columns) {
        int w = 0;
        for (const QString &l : c)
            w = std::max(w, metrics.horizontalAdvance(l));
        widths << w;
        rows = std::max(rows, int(c.size()));
    }
    int width = 2 * margin + gutter * int(columns.size() - 1);
    for (int w : widths)
        width += w;
    const int top = ocrTopMargin(o) + (title.isEmpty() ? 0 : 2 * lineStep);
    ColumnPage out;
    QImage gray(std::max(width, metrics.horizontalAdvance(title) + 2 * margin),
                top + rows * lineStep + ocrTopMargin(o), QImage::Format_Grayscale8);
    gray.fill(255);
    {
        QPainter p(&gray);
        p.setFont(font);
        p.setPen(Qt::black);
        if (!title.isEmpty()) {
            p.drawText(margin, ocrTopMargin(o) + metrics.ascent(), title);
            out.title = QRect(margin, ocrTopMargin(o), metrics.horizontalAdvance(title), lineStep);
        }
        int x = margin;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            for (qsizetype i = 0; i < columns[c].size(); ++i)
                p.drawText(x, top + int(i) * lineStep + metrics.ascent(), columns[c][i]);
            out.columns << QRect(x, top, widths[c], int(columns[c].size()) * lineStep);
            x += widths[c] + gutter;
        }
    }
    out.page = finishOcrPage(gray, o);
    return out;
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

// How many spaces stand between two Chinese characters in the text.
inline int spacesBetweenChinese(const QString &text) {
    auto han = [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; };
    int n = 0;
    for (qsizetype i = 1; i + 1 < text.size(); ++i)
        n += text[i] == QLatin1Char(' ') && han(text[i - 1]) && han(text[i + 1]);
    return n;
}

inline bool hasSpaceBetweenChinese(const QString &text) {
    return spacesBetweenChinese(text) > 0;
}

} // namespace qen::test
