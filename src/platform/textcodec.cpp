#include "platform/textcodec.h"

#include <QList>
#include <QStringDecoder>
#include <QStringEncoder>

namespace qen::text {

bool isCjkUtf8(QByteArrayView bytes) {
    bool multibyte = false;
    qsizetype i = 0;
    const qsizetype n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra = 0;
        char32_t cp = 0;
        if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms and surrogates are not UTF-8; GBK text often looks like them.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        // GBK bytes are often valid UTF-8 too, but then spell Latin, Greek or Cyrillic
        // letters (目录 = C4 BF C2 BC reads as "Ŀ¼"); Chinese text in UTF-8 does not.
        if (cp < 0x2E80)
            return false;
        multibyte = true;
        i += extra + 1;
    }
    return multibyte;
}

namespace {
// Opening an ICU converter looks its name up in ICU's alias table, which costs more than
// converting a settings line; settings and records convert many short texts, so each thread
// keeps one pair and starts every conversion from a clean state. resetState() does not clear
// the error count in every Qt 6 release, so a converter that met an error is opened anew.
struct GbkConverters {
    QStringEncoder encoder{"GBK"};
    QStringDecoder decoder{"GBK"};
};

GbkConverters &gbk() {
    thread_local GbkConverters converters;
    if (converters.encoder.hasError())
        converters.encoder = QStringEncoder("GBK");
    if (converters.decoder.hasError())
        converters.decoder = QStringDecoder("GBK");
    converters.encoder.resetState();
    converters.decoder.resetState();
    return converters;
}
} // namespace

bool gbkAvailable() {
    return gbk().decoder.isValid();
}

QString decodeGbk(QByteArrayView bytes) {
    QStringDecoder &decoder = gbk().decoder;
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

namespace {
// After the byte-order mark that names the encoding, a second one is text (U+FEFF) like any
// other character: Qt's decoders would drop it, and writing the file back would lose it.
QString afterMark(QStringDecoder::Encoding encoding, QByteArrayView rest) {
    // Stateless: a broken sequence at the very end becomes U+FFFD instead of vanishing.
    QStringDecoder d(encoding,
                     QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return d.decode(rest);
}
} // namespace

Decoded decodeExternal(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return {afterMark(QStringDecoder::Utf8, bytes.sliced(3)), Encoding::Utf8Bom};
    if (bytes.startsWith("\xFF\xFE"))
        return {afterMark(QStringDecoder::Utf16LE, bytes.sliced(2)), Encoding::Utf16Le};
    if (bytes.startsWith("\xFE\xFF"))
        return {afterMark(QStringDecoder::Utf16BE, bytes.sliced(2)), Encoding::Utf16Be};
    if (isCjkUtf8(bytes))
        return {QString::fromUtf8(bytes), Encoding::Utf8};
    return {decodeGbk(bytes), Encoding::Gbk};
}

std::optional<QByteArray> encodeGbk(QStringView text, QString *firstBad) {
    GbkConverters &c = gbk();
    if (!c.encoder.isValid())
        return std::nullopt;
    // The ICU converter substitutes silently, so the result is checked by a round trip: in one
    // piece first (the common case, every character held), then character by character to
    // name the first one GBK cannot hold.
    QByteArray whole = c.encoder.encode(text);
    if (!c.encoder.hasError() && QString(c.decoder.decode(whole)) == text)
        return whole;
    QByteArray pieces;
    pieces.reserve(whole.size());
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QStringView ch = text.mid(i, len);
        GbkConverters &one = gbk();
        const QByteArray bytes = one.encoder.encode(ch);
        if (one.encoder.hasError() || QString(one.decoder.decode(bytes)) != ch) {
            if (firstBad)
                *firstBad = ch.toString();
            return std::nullopt;
        }
        pieces += bytes;
        i += len;
    }
    // Every character holds on its own: the pieces are the faithful encoding.
    return pieces;
}

std::optional<QByteArray> encode(QStringView text, Encoding encoding, QString *firstBad) {
    switch (encoding) {
    case Encoding::Gbk:
        return encodeGbk(text, firstBad);
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Utf8Bom:
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    case Encoding::Utf16Le: {
        QStringEncoder e(QStringEncoder::Utf16LE);
        return QByteArray("\xFF\xFE") + QByteArray(e.encode(text));
    }
    case Encoding::Utf16Be: {
        QStringEncoder e(QStringEncoder::Utf16BE);
        return QByteArray("\xFE\xFF") + QByteArray(e.encode(text));
    }
    }
    return std::nullopt;
}

QString unencodableMessage(const QString &what, const QString &character) {
    return QStringLiteral("%1：字符“%2”（U+%3）无法用 GBK 编码保存。")
        .arg(what, character)
        .arg(character.isEmpty() ? 0u : character.toUcs4().value(0), 4, 16, QLatin1Char('0'));
}

} // namespace qen::text
