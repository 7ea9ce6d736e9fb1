// Settings files: reading keys, and writing one key while every other byte stays as it was.
#include "fuzzsupport.h"
#include "platform/profilestring.h"

using namespace qen;

namespace {

// The width of one code unit and whether the unit at `at` ends a line, in the file's encoding.
struct Units {
    int width = 1;
    bool bigEndian = false;
    bool lineEnd(const QByteArray &b, qsizetype at) const {
        if (width == 1)
            return b[at] == '\n' || b[at] == '\r';
        const auto hi = static_cast<unsigned char>(b[bigEndian ? at : at + 1]);
        const auto lo = static_cast<unsigned char>(b[bigEndian ? at + 1 : at]);
        return hi == 0 && (lo == '\n' || lo == '\r');
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray before(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = fuzz::scratch() + QStringLiteral("/Output.ini");
    fuzz::writeFile(path, data, size);

    ProfileFile file = ProfileFile::read(path);
    const QString section = QStringLiteral("输出选项");
    const QString key = QStringLiteral("作者");
    const ProfileSection options = file.section(section);
    for (const char *name : {"题名", "作者", "文摘", "a", ""})
        options.value(QString::fromUtf8(name), QStringLiteral("1"), 10);
    QEN_FUZZ_CHECK(file.bytes() == before, "reading alone changes the file's bytes");

    const QString value = options.value(key, QString(), 100) == QLatin1String("0")
                              ? QStringLiteral("1")
                              : QStringLiteral("0");
    if (!file.set(section, key, value))
        return 0;
    const QByteArray after = file.bytes();

    // Everything outside the one changed or added line is the file as it was: the bytes
    // differ in one stretch, and the old stretch holds no line ending.
    Units units;
    if (before.startsWith("\xFF\xFE") || before.startsWith("\xFE\xFF")) {
        units.width = 2;
        units.bigEndian = before.startsWith("\xFE\xFF");
    }
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before[head] == after[head])
        ++head;
    head -= head % units.width;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    tail -= tail % units.width;
    for (qsizetype at = head; at + units.width <= before.size() - tail; at += units.width)
        QEN_FUZZ_CHECK(!units.lineEnd(before, at), "writing one key changed another line");

    fuzz::writeFile(path, reinterpret_cast<const uint8_t *>(after.constData()),
                    size_t(after.size()));
    QEN_FUZZ_CHECK(ProfileFile::read(path).section(section).value(key, QString(), 100) == value,
                   "the written value does not read back");
    return 0;
}
