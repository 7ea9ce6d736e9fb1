#pragma once

#include "articles/tiffstored.h"

#include <QByteArray>
#include <QImage>
#include <QString>

// TIFF through libtiff, so that bilevel pages stay 1-bit from file to screen and back.
namespace qen::tiff {

// Decodes one page (0-based; the first by default). Bilevel pages come back as Format_Mono
// with index 1 = black, 8-bit gray pages as Format_Grayscale8, everything else as
// Format_RGB32. On failure the result is null and *error says what is wrong (without the
// file name).
QImage read(const QByteArray &data, QString *error, int page = 0);

// Encodes one page: Format_Mono as 1-bit CCITT G4, other images as LZW (8-bit gray or RGB).
// Returns an empty array and sets *error on failure.
QByteArray write(const QImage &image, QString *error);

} // namespace qen::tiff
