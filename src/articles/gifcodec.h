#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// Qt reads GIF but cannot write it; pages saved as GIF go through giflib.
namespace qen::gif {

// A bilevel page keeps its two colours, a gray page its 256 levels; a colour page is reduced
// to at most 256 colours (exactly, when it has no more than that). Empty on failure, with
// *error saying why.
QByteArray write(const QImage &image, QString *error);

} // namespace qen::gif
