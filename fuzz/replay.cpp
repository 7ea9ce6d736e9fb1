// Replays a fuzz target's corpus without libFuzzer, so the normal build and test suite run
// every stored input (the seeds and every input a fuzzer ever found a fault with).
#include <QByteArray>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) __attribute__((weak));

int main(int argc, char **argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << arg;
        }
    }
    std::sort(files.begin(), files.end());
    if (files.isEmpty()) {
        std::fputs("replay: no inputs given\n", stderr);
        return 1;
    }
    for (const QString &path : files) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "replay: cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray bytes = in.readAll();
        std::fprintf(stderr, "replay: %s\n", qPrintable(path));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               size_t(bytes.size()));
    }
    std::fprintf(stderr, "replay: %lld inputs\n", static_cast<long long>(files.size()));
    return 0;
}
