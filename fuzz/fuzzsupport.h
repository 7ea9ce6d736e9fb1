#pragma once

// Shared by the fuzz targets: a scratch folder on a memory file system when there is one (the
// targets that need a path write every input to a file), and the Qt application object that
// fonts and image plug-ins expect.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace qen::fuzz {

inline const QString &scratch() {
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        auto made = std::make_unique<QTemporaryDir>(base + QStringLiteral("/qenfuzz-XXXXXX"));
        if (!made->isValid()) {
            std::fputs("fuzz: cannot create a scratch folder\n", stderr);
            std::abort();
        }
        return made;
    }();
    static const QString path = dir->path();
    return path;
}

inline void writeFile(const QString &path, const uint8_t *data, size_t size) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size)) {
        std::fprintf(stderr, "fuzz: cannot write %s\n", qPrintable(path));
        std::abort();
    }
}

// Fonts (rich text) and image plug-ins want an application object; the offscreen platform
// needs no display.
inline void ensureGuiApplication() {
    static int argc = 1;
    static char name[] = "qenfuzz";
    static char *argv[] = {name, nullptr};
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*=false");
    new QGuiApplication(argc, argv);
}

// A property the target checks: a failure is a finding, reported and turned into a crash so
// that libFuzzer and the replay program both stop on it.
#define QEN_FUZZ_CHECK(condition, what)                                                            \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, __FILE__, __LINE__);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

} // namespace qen::fuzz
