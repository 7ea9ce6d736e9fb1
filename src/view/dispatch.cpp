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
        {"SELECTTEXT", "mnuTool_SelectText"},
        {"HELP", "mnuHelp_HomePage"}, // the home page: there is no help file
        {"EXIT", "mnuFile_Exit"},
    };
    const QString upper = buttonKey.toUpper();
    for (const auto &[literal, item] : table)
        if (upper == QLatin1String(literal))
            return QString::fromLatin1(item);
    return {};
}

KeyAction KeyTable(int key, int shift, KeyFocus focus, int bandWidth, int bandHeight,
                   bool textSelected) {
    KeyAction a;
    if (key == Qt::Key_F3 && (shift == 0 || shift == 1)) {
        a.kind = shift ? KeyAction::FindPrevious : KeyAction::FindNext;
        return a;
    }
    if (focus == KeyFocus::FindBar) {
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && (shift == 0 || shift == 1))
            a.kind = shift ? KeyAction::FindPrevious : KeyAction::FindNext;
        else if (key == Qt::Key_Escape && shift == 0)
            a.kind = KeyAction::CloseFind;
        return a;
    }
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
        case Qt::Key_Space:
            if (shift == 0 || shift == 1) {
                a.kind = shift ? KeyAction::ScreenUp : KeyAction::ScreenDown;
                return a;
            }
            a.kind = KeyAction::None;
            break;
        default:
            a.kind = KeyAction::None;
            break;
        }
    }
    if (key == Qt::Key_C && shift == 2 && focus != KeyFocus::TextControl) {
        if (textSelected)
            a.kind = KeyAction::CopyText;
        else
            a.kind =
                bandWidth > 0 && bandHeight > 0 ? KeyAction::CopySelection : KeyAction::CopyPage;
    }
    return a;
}

namespace {

// Qt's standard key for the desktop, or the usual one where the desktop's scheme has none
// (Quit has no key in Windows' scheme, which some platform plugins report).
QKeySequence standard(QKeySequence::StandardKey key, QKeyCombination usual) {
    const QKeySequence sequence(key);
    return sequence.isEmpty() ? QKeySequence(usual) : sequence;
}

} // namespace

const QList<MenuShortcut> &MenuShortcuts() {
    using K = QKeySequence;
    static const QList<MenuShortcut> table = {
        {"mnuFile_Open", {standard(K::Open, Qt::CTRL | Qt::Key_O)}},
        {"mnuFile_SaveCurrPage", {standard(K::Save, Qt::CTRL | Qt::Key_S)}},
        {"mnuFile_PrintCurrPage", {standard(K::Print, Qt::CTRL | Qt::Key_P)}},
        // Qt's Close is Ctrl+F4 first on some desktops; Ctrl+W is the one readers know.
        {"mnuFile_CloseAllArticle", {K(Qt::CTRL | Qt::Key_W)}},
        {"mnuFile_Exit", {standard(K::Quit, Qt::CTRL | Qt::Key_Q)}},
        // Ctrl+= is Ctrl++ without Shift on most keyboards.
        {"mnuPage_ZoomIn",
         {standard(K::ZoomIn, Qt::CTRL | Qt::Key_Plus), K(Qt::CTRL | Qt::Key_Equal)}},
        {"mnuPage_ZoomOut", {standard(K::ZoomOut, Qt::CTRL | Qt::Key_Minus)}},
        {"mnuPage_ActualSize", {K(Qt::CTRL | Qt::Key_0)}},
        {"mnuPage_FitWidth", {K(Qt::CTRL | Qt::Key_1)}},
        {"mnuPage_FitHeight", {K(Qt::CTRL | Qt::Key_2)}},
        {"mnuPage_HomePage", {K(Qt::Key_Home)}},
        {"mnuPage_EndPage", {K(Qt::Key_End)}},
        {"mnuPage_HomeArticle", {K(Qt::CTRL | Qt::Key_Home)}},
        {"mnuPage_EndArticle", {K(Qt::CTRL | Qt::Key_End)}},
        {"mnuPage_Find", {standard(K::Find, Qt::CTRL | Qt::Key_F)}},
        {"mnuView_FullScreen", {K(Qt::Key_F11)}},
        {"mnuHelp_About", {K(Qt::Key_F1)}},
    };
    return table;
}

bool ShortcutAllowed(int key, int shift, KeyFocus focus) {
    const bool functionKey = key >= Qt::Key_F1 && key <= Qt::Key_F35;
    if (focus == KeyFocus::TextControl || focus == KeyFocus::FindBar)
        return functionKey;
    if ((key == Qt::Key_Home || key == Qt::Key_End) && shift == 0)
        return focus == KeyFocus::ImageView;
    return true;
}

} // namespace qen
