#include "pageview/commandstate.h"

namespace qen {

namespace {

enum class When { Open, OpenImage, OpenRecord };

struct MenuRow {
    const char *name;
    When when;
};

// One row a line, as the table is read and extended.
// clang-format off
const MenuRow MenuRows[] = {
    {"mnuFile_SaveCurrPage", When::Open},
    {"mnuFile_SaveCurrArticle", When::Open},
    {"mnuFile_SaveAllArticle", When::Open},
    {"mnuFile_PrintCurrPage", When::Open},
    {"mnuFile_PrintCurrArticle", When::Open},
    {"mnuFile_PrintAllArticle", When::Open},
    {"mnuFile_PrintPreview", When::Open},
    {"mnuPage_HomeArticle", When::Open},
    {"mnuPage_PrevArticle", When::Open},
    {"mnuPage_NextArticle", When::Open},
    {"mnuPage_EndArticle", When::Open},
    {"mnuPage_HomePage", When::OpenImage},
    {"mnuPage_PrevPage", When::OpenImage},
    {"mnuPage_NextPage", When::OpenImage},
    {"mnuPage_EndPage", When::OpenImage},
    {"mnuPage_ZoomIn", When::OpenImage},
    {"mnuPage_ZoomOut", When::OpenImage},
    {"mnuPage_FitWidth", When::OpenImage},
    {"mnuPage_FitHeight", When::OpenImage},
    {"mnuPage_AutoSize", When::OpenImage},
    {"mnuPage_ActualSize", When::OpenImage},
    {"mnuTool_Undo", When::OpenImage},
    {"mnuTool_CopyCurrPage", When::OpenImage},
    {"mnuTool_CopySelArea", When::OpenImage},
    {"mnuTool_Brighter", When::OpenImage},
    {"mnuTool_BlackWhiteReverse", When::OpenImage},
    {"mnuTool_Contrast", When::OpenImage},
    {"mnuTool_Hreverse", When::OpenImage},
    {"mnuTool_Intensify", When::OpenImage},
    {"mnuTool_Navigation", When::OpenImage},
    {"mnuTool_OutputOption", When::OpenRecord},
    {"mnuTool_Recognize", When::OpenImage},
    {"mnuTool_SelOCRArea", When::OpenImage},
    {"mnuTool_SetFont", When::OpenRecord},
    {"mnuTool_UpDown", When::OpenImage},
    {"mnuView_Lock", When::OpenRecord},
    {"mnuPDF_Current", When::OpenImage},
    {"mnuPDF_CurrentArticle", When::OpenImage},
    {"mnuPDF_AllArticle", When::OpenImage},
    {"mnuFile_ExportRecords", When::OpenRecord},
    {"mnuTool_CopyCitation", When::OpenRecord},
    {"mnuPage_Find", When::OpenImage},
    {"mnuTool_CopyPageText", When::OpenImage},
    {"mnuTool_SelectText", When::OpenImage},
};
// clang-format on

} // namespace

const std::vector<std::pair<QString, QString>> &ToolbarFollows() {
    static const std::vector<std::pair<QString, QString>> table = {
        {QStringLiteral("SaveCurrArticle"), QStringLiteral("mnuFile_SaveCurrArticle")},
        {QStringLiteral("PrintCurrArticle"), QStringLiteral("mnuFile_PrintCurrArticle")},
        {QStringLiteral("HomeArticle"), QStringLiteral("mnuPage_HomeArticle")},
        {QStringLiteral("PrevArticle"), QStringLiteral("mnuPage_PrevArticle")},
        {QStringLiteral("NextArticle"), QStringLiteral("mnuPage_NextArticle")},
        {QStringLiteral("EndArticle"), QStringLiteral("mnuPage_EndArticle")},
        {QStringLiteral("HomePage"), QStringLiteral("mnuPage_HomePage")},
        {QStringLiteral("PrevPage"), QStringLiteral("mnuPage_PrevPage")},
        {QStringLiteral("NextPage"), QStringLiteral("mnuPage_NextPage")},
        {QStringLiteral("EndPage"), QStringLiteral("mnuPage_EndPage")},
        {QStringLiteral("ZoomIn"), QStringLiteral("mnuPage_ZoomIn")},
        {QStringLiteral("ZoomOut"), QStringLiteral("mnuPage_ZoomOut")},
        {QStringLiteral("FitWidth"), QStringLiteral("mnuPage_FitWidth")},
        {QStringLiteral("FitHeight"), QStringLiteral("mnuPage_FitHeight")},
        {QStringLiteral("UnDo"), QStringLiteral("mnuTool_Undo")},
        {QStringLiteral("CopyPage"), QStringLiteral("mnuTool_CopyCurrPage")},
        {QStringLiteral("SelectArea"), QStringLiteral("mnuTool_SelOCRArea")},
        {QStringLiteral("RecognizeArea"), QStringLiteral("mnuTool_Recognize")},
        {QStringLiteral("CopySelectArea"), QStringLiteral("mnuTool_CopySelArea")},
        {QStringLiteral("SelectText"), QStringLiteral("mnuTool_SelectText")},
    };
    return table;
}

CommandState ComputeCommandState(bool open, bool imageShown) {
    CommandState state;
    for (const MenuRow &row : MenuRows) {
        bool on = open;
        if (row.when == When::OpenImage)
            on = open && imageShown;
        else if (row.when == When::OpenRecord)
            on = open && !imageShown;
        state.menu.emplace_back(QString::fromLatin1(row.name), on);
    }
    for (const auto &[key, item] : ToolbarFollows())
        state.toolbar.emplace_back(key, state.enabled(item));
    state.zoomCombo = state.enabled(QStringLiteral("mnuPage_ZoomIn"));
    return state;
}

bool CommandState::enabled(const QString &name) const {
    for (const auto &[n, on] : menu)
        if (n == name)
            return on;
    for (const auto &[n, on] : toolbar)
        if (n == name)
            return on;
    if (name == QLatin1String("cboZoom"))
        return zoomCombo;
    return false;
}

} // namespace qen
