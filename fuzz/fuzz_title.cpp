// The package title: the text after the last NUL at the end of the file, and its clean-up
// for use as a folder name; also the decoding of archive entry names.
#include "fuzzsupport.h"
#include "library/package.h"
#include "library/zipextract.h"

using namespace qen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString path = fuzz::scratch() + QStringLiteral("/title.qen");
    fuzz::writeFile(path, data, size);
    const QString title = CleanPackageTitle(ReadPackageTitle(path));
    QEN_FUZZ_CHECK(title.size() <= 50, "a cleaned title is longer than 50 characters");
    for (const QChar c : title)
        QEN_FUZZ_CHECK(!QStringLiteral(":\"\\/<>?|*").contains(c) && c != QChar(0),
                       "a cleaned title keeps a character no file name may hold");

    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const bool utf8 : {false, true}) {
        const QString name = DecodeEntryName(raw, utf8);
        QEN_FUZZ_CHECK(!name.contains(QLatin1Char('\\')), "an entry name keeps a backslash");
    }
    return 0;
}
