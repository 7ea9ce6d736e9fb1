#pragma once

// What the benchmarks share: generated A4 pages at 300 dpi, timing, resident set and the
// line that prints a figure beside its same-run baseline.
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <unistd.h>
#include <vector>

inline constexpr int PageW = 2480, PageH = 3508; // A4 at 300 dpi

inline QImage textPage(int seed, bool bilevel) {
    QImage canvas(PageW, PageH, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter p(&canvas);
    QFont font(QStringLiteral("Noto Serif CJK SC"));
    font.setPixelSize(42); // 10 pt at 300 dpi
    p.setFont(font);
    p.setPen(Qt::black);
    QRandomGenerator rng{quint32(seed)};
    const QString sample = QStringLiteral("期刊全文数据库文章页面图像测试 Qen Browser page %1 ");
    for (int y = 300; y < PageH - 300; y += 62) {
        QString line;
        while (line.size() < 50)
            line += sample.arg(rng.bounded(1000)).mid(rng.bounded(8));
        p.drawText(250, y, line.left(52));
    }
    p.drawRect(200, 200, PageW - 400, PageH - 400);
    if (!bilevel) { // a scanned look: a gray wash behind the text
        for (int i = 0; i < 40; ++i)
            p.fillRect(rng.bounded(PageW), rng.bounded(PageH), 300, 200, QColor(200, 200, 200, 60));
    }
    p.end();
    canvas.setDotsPerMeterX(11811);
    canvas.setDotsPerMeterY(11811);
    if (bilevel)
        return canvas.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    return canvas.convertToFormat(QImage::Format_Grayscale8);
}

// Packs the named files of a folder into a package by Info-ZIP, stored, as packages come from
// other programs; false when zip is missing or fails.
inline bool zipStored(const QString &folder, const QStringList &names, const QString &package) {
    QProcess zip;
    zip.setWorkingDirectory(folder);
    zip.start(QStringLiteral("zip"), QStringList{QStringLiteral("-q0"), package} + names);
    return zip.waitForFinished() && zip.exitCode() == 0;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline double timeMs(const std::function<void()> &f) {
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

// Resident set after handing freed heap back to the system, so that the figure shows what is
// held and not what the allocator keeps for later.
inline double residentMb() {
    malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0 : 0;
}

inline void row(const char *figure, double ours, double baseline, const char *unit) {
    std::printf("  %-46s %9.2f %-3s  naive %9.2f %-3s  ratio %.2f\n", figure, ours, unit, baseline,
                unit, baseline > 0 ? ours / baseline : 0.0);
}
