#pragma once

// Small helpers the tests share: data rows, GBK bytes of a text, whole-file reads and writes, the
// stored fixtures, what an Error said, and how far two pages are apart.
#include "platform/error.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QtTest>

#include <algorithm>
#include <limits>

namespace qen::test {

// A row of a QtTest data table, its values in column order and on one line.
template <typename... Values> void row(const char *tag, const Values &...values) {
    (QTest::newRow(tag) << ... << values);
}

inline QByteArray gbk(const QString &text) {
    return QStringEncoder("GBK").encode(text);
}

inline QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A fixture stored in tests/data.
inline QString dataFile(const QString &name) {
    return QStringLiteral(QEN_TEST_DATA "/") + name;
}

// The description of the Error that `call` throws; empty when it throws none, so a check that
// the text names something fails then as well.
template <typename Call> QString errorOf(Call &&call) {
    try {
        call();
    } catch (const Error &e) {
        return e.description().isEmpty() ? QStringLiteral("(an Error without a text)")
                                         : e.description();
    }
    return QString();
}

// Largest difference of any colour channel at any pixel; past any tolerance when the sizes
// differ.
inline int maxDifference(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return std::numeric_limits<int>::max();
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

// Same size and the same colour at every pixel (alpha left out: pages are opaque).
inline bool samePixels(const QImage &a, const QImage &b) {
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) | 0xff000000) != (b.pixel(x, y) | 0xff000000))
                return false;
    return true;
}

} // namespace qen::test
