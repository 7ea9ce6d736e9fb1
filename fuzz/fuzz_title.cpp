// The package title: the archive comment (the text after its last NUL) decoded, and its
// clean-up for use as a folder name and in the tree; also the decoding of entry names.
#include "articles/package.h"
#include "articles/zipextract.h"
#include "fuzzsupport.h"

using namespace qen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString title =
        CleanPackageTitle(PackageTitle(raw, QStringLiteral("/data/期刊 文章.qen")));
    QEN_FUZZ_CHECK(title.size() <= 50, "a cleaned title is longer than 50 characters");
    for (const QChar c : title)
        QEN_FUZZ_CHECK(!QStringLiteral(":\"\\/<>?|*").contains(c) && c != QChar(0),
                       "a cleaned title keeps a character no file name may hold");

    for (const bool utf8 : {false, true}) {
        const QString name = DecodeEntryName(raw, utf8);
        QEN_FUZZ_CHECK(!name.contains(QLatin1Char('\\')), "an entry name keeps a backslash");
    }
    return 0;
}
