#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Text exchanged with the outside world ("ANSI" text) is GBK. Files we read may also come
// as UTF-8 or UTF-16 when they say so or are plainly UTF-8; what we derive from them keeps
// their encoding so that nothing is lost.
namespace qen::text {

enum class Encoding { Gbk, Utf8, Utf8Bom, Utf16Le, Utf16Be };

struct Decoded {
    QString text;
    Encoding encoding = Encoding::Gbk;
};

// True when the Qt build can convert GBK; checked once at start-up.
bool gbkAvailable();

QString decodeGbk(QByteArrayView bytes);

// Strict UTF-8 (no overlong forms, no surrogates) holding at least one multi-byte sequence,
// every one of which is CJK text, CJK punctuation or a full-width form (U+2E80 and above).
// The test for unmarked text (files, ZIP entry names) that is UTF-8 rather than GBK; cheap
// enough to ask of a large file before deciding how to decode it.
bool isCjkUtf8(QByteArrayView bytes);

// Byte-order mark first, then isCjkUtf8, else GBK.
Decoded decodeExternal(QByteArrayView bytes);

// GBK bytes, or nothing when a character cannot be held in GBK; *firstBad then names it.
std::optional<QByteArray> encodeGbk(QStringView text, QString *firstBad = nullptr);

// Encode for writing back in the given encoding (with its byte-order mark where it has one).
// Only GBK can fail.
std::optional<QByteArray> encode(QStringView text, Encoding encoding, QString *firstBad = nullptr);

// A message naming the character GBK could not hold, for the "error" box.
QString unencodableMessage(const QString &what, const QString &character);

} // namespace qen::text
