#pragma once

#include <QByteArray>
#include <QString>

// Reading a page file's bytes, with the checks every reader of pages makes first. Kept apart
// from decoding, so that what carries compressed pages over unchanged needs no image library.
namespace qen::pagefile {

// Files larger than this are not read at all; decoded images are capped separately.
inline constexpr qint64 MaxBytes = 256ll * 1024 * 1024;

// The bytes of an image file: missing, empty, too large and short reads are refused. Throws
// qen::Error naming the file.
QByteArray readBytes(const QString &path);

// Throws qen::Error: the file could not be opened as an image, and why.
[[noreturn]] void fail(const QString &path, const QString &what);

} // namespace qen::pagefile
