#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Preparing a whole page for the engine: what it reads poorly or wrongly on its own.
// - Scanner speckles on bilevel pages are read as characters (a 人 inside a word), so dark
//   specks far smaller than the text's own stroke are removed first. The stroke is measured
//   on the page, so the rule holds at every resolution and type size; the dots of 、。，：；
//   are as wide as a stroke and stay.
// - The engine's own layout analysis reads short columns straight across the gutter, so the
//   page is cut here into regions, column by column, in reading order.
namespace qen::ocr {

// Dark is below this on an 8-bit gray page.
constexpr int InkThreshold = 128;

struct PageInk {
    int strokeWidth = 0;     // the most common horizontal run of ink, in pixels; 0: no ink
    int characterHeight = 0; // a typical character's height, from its connected parts
    int speckles = 0;        // parts removed
};

// Removes dark parts far smaller than the stroke from an 8-bit gray page, and measures the
// page's stroke and character height on what stays.
PageInk removeSpeckles(QImage &gray);

// The page's text regions in reading order: bands of text one under another, and where a
// vertical white band (a gutter) runs through a block of them, its columns from left to
// right. A page without ink has none.
QList<QRect> readingRegions(const QImage &gray, const PageInk &ink);

} // namespace qen::ocr
