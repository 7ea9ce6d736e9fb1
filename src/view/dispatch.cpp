#include "view/dispatch.h"

#include <Qt>
#include <utility>

namespace qen {

QString ToolbarCommand(const QString &buttonKey) {
    // The first equal literal wins.
    static const std::pair<const char *, const char *> table[] = {
        {"OPENFILE", "mnuFile_Open"},
        {"SAVECURRARTICLE", "mnuFile_SaveCurrArticle"},
        {"PRINTCURRARTICLE", "mnuFile_PrintCurrArticle"},
        {"HOMEARTICLE", "mnuPage_HomeArticle"},
        {"PREVARTICLE", "mnuPage_PrevArticle"},
        {"NEXTARTICLE", "mnuPage_NextArticle"},
        {"ENDARTICLE", "mnuPage_EndArticle"},
        {"HOMEPAGE", "mnuPage_HomePage"},
        {"PREVPAGE", "mnuPage_PrevPage"},
        {"NEXTPAGE", "mnuPage_NextPage"},
        {"ENDPAGE", "mnuPage_EndPage"},
        {"ZOOMIN", "mnuPage_ZoomIn"},
        {"ZOOMOUT", "mnuPage_ZoomOut"},
        {"FITWIDTH", "mnuPage_FitWidth"},
        {"FITHEIGHT", "mnuPage_FitHeight"},
        {"UNDO", "mnuTool_Undo"},
        {"COPYPAGE", "mnuTool_CopyCurrPage"},
        {"SELECTAREA", "mnuTool_SelOCRArea"},
        {"RECOGNIZEAREA", "mnuTool_Recognize"},
        {"COPYSELECTAREA", "mnuTool_CopySelArea"},
        {"HELP", "mnuHelp_HomePage"}, // the home page: there is no help file
        {"EXIT", "mnuFile_Exit"},
    };
    const QString upper = buttonKey.toUpper();
    for (const auto &[literal, item] : table)
        if (upper == QLatin1String(literal))
            return QString::fromLatin1(item);
    return {};
}

KeyAction KeyTable(int key, int shift, KeyFocus focus, int bandWidth, int bandHeight) {
    KeyAction a;
    if (focus == KeyFocus::ImageView) {
        a.kind = KeyAction::Scroll;
        switch (key) {
        case Qt::Key_Up:
            a.dy = -10;
            return a;
        case Qt::Key_Down:
            a.dy = 10;
            return a;
        case Qt::Key_Left:
            a.dx = -10;
            return a;
        case Qt::Key_Right:
            a.dx = 10;
            return a;
        case Qt::Key_PageDown:
            a.dy = 100;
            return a;
        case Qt::Key_PageUp:
            a.dy = -100;
            return a;
        default:
            a.kind = KeyAction::None;
            break;
        }
    }
    if (key == Qt::Key_C && shift == 2 && focus != KeyFocus::TextControl)
        a.kind = bandWidth > 0 && bandHeight > 0 ? KeyAction::CopySelection : KeyAction::CopyPage;
    return a;
}

} // namespace qen
