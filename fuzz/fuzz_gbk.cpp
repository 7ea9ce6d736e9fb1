// The GBK codec and the choice between GBK, UTF-8 and UTF-16 for text without a label.
#include "fuzzsupport.h"
#include "platform/textcodec.h"

#include <QStringDecoder>

using namespace qen;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    const QString gbk = text::decodeGbk(bytes);
    QString bad;
    if (const auto encoded = text::encodeGbk(gbk, &bad))
        QEN_FUZZ_CHECK(text::decodeGbk(*encoded) == gbk, "GBK text does not survive a round trip");
    else
        QEN_FUZZ_CHECK(!bad.isEmpty() || !text::gbkAvailable(),
                       "GBK encoding failed without naming a character");

    if (text::isCjkUtf8(bytes)) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8.decode(bytes);
        QEN_FUZZ_CHECK(!utf8.hasError(), "text taken for UTF-8 is not valid UTF-8");
        for (const QChar c : decoded)
            QEN_FUZZ_CHECK(c.unicode() < 0x80 || c.unicode() >= 0x2E80 || c.isSurrogate(),
                           "text taken for UTF-8 holds a non-CJK character");
    }

    // Whatever the label says, what we write back in that encoding reads back the same.
    const text::Decoded decoded = text::decodeExternal(bytes);
    if (decoded.encoding != text::Encoding::Gbk) {
        const auto again = text::encode(decoded.text, decoded.encoding);
        QEN_FUZZ_CHECK(again.has_value(), "a Unicode encoding refused text");
        const text::Decoded back = text::decodeExternal(*again);
        if (decoded.encoding != text::Encoding::Utf8 || !decoded.text.isEmpty())
            QEN_FUZZ_CHECK(back.text == decoded.text, "text changes when written back");
    }
    return 0;
}
