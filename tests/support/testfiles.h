#pragma once

// Small file helpers the tests share: GBK bytes of a text, and whole-file reads and writes.
#include <QByteArray>
#include <QFile>
#include <QStringEncoder>
#include <QtTest>

namespace qen::test {

inline QByteArray gbk(const QString &text) { return QStringEncoder("GBK").encode(text); }

inline QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace qen::test
