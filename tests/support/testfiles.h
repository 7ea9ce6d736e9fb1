#pragma once

// Small file helpers the tests share: GBK bytes of a text, and whole-file reads and writes.
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QStringEncoder>
#include <QtTest>

namespace qen::test {

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
