#pragma once

#include "articles/tiffstored.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

// TIFF through libtiff, so that bilevel pages stay 1-bit from file to screen and back.
namespace qen::tiff {

// Decodes one page (0-based; the first by default). Bilevel pages come back as Format_Mono
// with index 1 = black, 8-bit gray pages as Format_Grayscale8, everything else as
// Format_RGB32. On failure the result is null and *error says what is wrong (without the
// file name).
QImage read(const QByteArray &data, QString *error, int page = 0);

// Turns a page decoded in stored order the way its Orientation tag (1 to 8) says it is seen:
// scanners and fax software write upside-down and sideways pages and leave the turning to
// the viewer. Other values leave it as it is.
QImage oriented(QImage image, uint16_t orientation);

// The first page shrunk while it decodes, as a thumbnail at most `box` in size: each pixel is
// the ink of the page pixels under it, averaged to gray. Only bilevel G3 and G4 pages in their
// stored orientation larger than the box take this road (*shrunk is then true); for any
// other the result is null with *shrunk false and no error, and the page is to be read whole.
QImage readShrunk(const QByteArray &data, QSize box, QString *error, bool *shrunk);

// Encodes one page: Format_Mono as 1-bit CCITT G4, other images as LZW (8-bit gray or RGB).
// Returns an empty array and sets *error on failure.
QByteArray write(const QImage &image, QString *error);

// A page written a row at a time, for one that is never held whole. `format` is Mono,
// Grayscale8 or RGB888, as write() codes them; `row` gives each row in turn, or null with
// *error when it cannot be had.
struct Rows {
    int width = 0, height = 0;
    QImage::Format format = QImage::Format_Grayscale8;
    int dotsPerMeterX = 0, dotsPerMeterY = 0;
    std::function<const uchar *(int y, QString *error)> row;
};
QByteArray writeRows(const Rows &rows, QString *error);

} // namespace qen::tiff
