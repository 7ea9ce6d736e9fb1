#pragma once

#include <QByteArray>
#include <QString>

// The result file the recognition library leaves behind: ATEMP000.TXT in the folder it is
// given. GBK, as every text exchanged with the outside world; a text GBK cannot hold is
// written as UTF-8 with a byte-order mark instead, so that nothing is lost.
namespace qen::ocr {

QString resultFileName();
QString resultFilePath(const QString &folder);

// GBK bytes, or a byte-order mark and UTF-8 when some character is not in GBK.
QByteArray encodeAnsiText(const QString &text);

// Writes through a temporary file and a rename. Throws qen::Error naming the file.
void writeTextFile(const QString &path, const QString &text);

// Reads a result or other text file: a byte-order mark is honoured, otherwise GBK (or UTF-8
// that is plainly CJK text). Throws qen::Error when the file exists but cannot be read.
QString readTextFile(const QString &path);

// Deletes a result left by an earlier run, read-only or not. Throws qen::Error when one is
// still there afterwards: reading it back would show the old text as the new result.
void removeStaleResult(const QString &path);

} // namespace qen::ocr
