// The rich text reader: any bytes give a document, never a crash or a hang.
#include "fuzzsupport.h"
#include "records/rtfreader.h"

#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    qen::fuzz::ensureGuiApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QTextDocument document;
    qen::rtf::read(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)), document);
    // Walk what was built, as the record view and the text export do.
    const QString text = document.toPlainText();
    QEN_FUZZ_CHECK(text.size() <= qsizetype(size) * 4 + 16,
                   "the document holds far more text than the data could spell");
    return 0;
}
