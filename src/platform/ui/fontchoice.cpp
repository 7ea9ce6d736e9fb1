#include "platform/ui/fontchoice.h"

namespace qen {

QFont withChosenFont(QFont font, const QFont &chosen) {
    font.setFamily(chosen.family());
    font.setBold(chosen.bold());
    font.setItalic(chosen.italic());
    if (chosen.pointSizeF() > 0)
        font.setPointSizeF(chosen.pointSizeF());
    font.setStrikeOut(chosen.strikeOut());
    font.setUnderline(chosen.underline());
    return font;
}

} // namespace qen
