#pragma once

#include <QFont>

namespace qen {

// The font the user chose in the font dialog, carried onto a view's font: the six values the
// dialog stands for (name, size, bold, italic, strikeout, underline); everything else the view
// had stays.
QFont withChosenFont(QFont font, const QFont &chosen);

} // namespace qen
