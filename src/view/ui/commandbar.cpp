#include "view/ui/commandbar.h"

#include "pageview/commandstate.h"
#include "platform/ui/icons.h"
#include "view/dispatch.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

namespace qen {

namespace {

enum Flags { Plain = 0, Checked = 1, SwitchedOff = 2, Toggle = 4 };

struct Item {
    const char *name; // nullptr: separator
    const char16_t *caption;
    int flags;
};

struct Menu {
    const char *name;
    const char16_t *caption;
    int flags;
    std::initializer_list<Item> items;
};

constexpr Item Separator{nullptr, nullptr, Plain};

// Captions keep their "&" accelerators; the four switched-off entries are shown greyed so
// that the user sees the whole command set.
const std::initializer_list<Menu> Menus = {
    {"mnuFile",
     u"文件(&F)",
     Plain,
     {{"mnuFile_Open", u"打开文件(&1)", Plain},
      Separator,
      {"mnuFile_SaveCurrPage", u"保存当前页(&2)", Plain},
      {"mnuFile_SaveCurrArticle", u"保存当前篇(&3)", Plain},
      {"mnuFile_SaveAllArticle", u"保存所有篇(&4)", Plain},
      {"mnuFile_ExportRecords", u"导出题录...(&E)", Plain},
      Separator,
      {"mnuFile_CloseAllArticle", u"关闭所有篇(&5)", Plain},
      Separator,
      {"mnuFile_PrintCurrPage", u"打印当前页(&6)", Plain},
      {"mnuFile_PrintCurrArticle", u"打印当前篇(&7)", Plain},
      {"mnuFile_PrintAllArticle", u"打印所有篇(&8)", Plain},
      {"mnuFile_PrintPreview", u"打印预览(&V)", Plain},
      Separator,
      {"mnuFile_PrintSetup", u"打印设置(&9)", Plain},
      {"mnuFile_SaveType", u"存贮图像格式(&9)", SwitchedOff},
      Separator,
      {"mnuFile_Exit", u"退出(&A)", Plain}}},
    {"mnuPage",
     u"页面(&P)",
     Plain,
     {{"mnuPage_HomeArticle", u"最前篇(&1)", Plain},
      {"mnuPage_EndArticle", u"最末篇(&2)", Plain},
      {"mnuPage_PrevArticle", u"上一篇(&3)", Plain},
      {"mnuPage_NextArticle", u"下一篇(&4)", Plain},
      Separator,
      {"mnuPage_HomePage", u"最前页(&5)", Plain},
      {"mnuPage_EndPage", u"最末页(&6)", Plain},
      {"mnuPage_PrevPage", u"上一页(&7)", Plain},
      {"mnuPage_NextPage", u"下一页(&8)", Plain},
      Separator,
      {"mnuPage_ZoomIn", u"放大(&9)", Plain},
      {"mnuPage_ZoomOut", u"缩小(&A)", Plain},
      {"mnuPage_FitWidth", u"最佳宽度(&B)", Plain},
      {"mnuPage_FitHeight", u"最佳高度(&C)", Plain},
      {"mnuPage_AutoSize", u"最佳尺寸(&D)", Plain},
      {"mnuPage_ActualSize", u"实际大小(&E)", Plain},
      Separator,
      {"mnuPage_Find", u"查找...(&F)", Plain}}},
    {"mnuPDF",
     u"PDF(&D)",
     Plain,
     {{"mnuPDF_Current", u"存贮当前页为PDF文件(&A)", Plain},
      {"mnuPDF_CurrentArticle", u"存贮当前篇为PDF文件(&B)", Plain},
      {"mnuPDF_AllArticle", u"存贮所有篇为PDF文件(&C)", Plain},
      Separator,
      {"mnuPDF_WithText", u"包含识别文字(&T)", Checked}}},
    {"mnuTool",
     u"工具(&T)",
     Plain,
     {{"mnuTool_Undo", u"撤销(&1)", Plain},
      Separator,
      {"mnuTool_CopyCurrPage", u"复制当前页(&2)", Plain},
      {"mnuTool_CopySelArea", u"复制选定区域(&3)", Plain},
      {"mnuTool_CopyPageText", u"复制本页文字(&W)", Plain},
      Separator,
      {"mnuTool_Brighter", u"图像加亮(&4)", Plain},
      {"mnuTool_Hreverse", u"左右反转(&5)", Plain},
      {"mnuTool_UpDown", u"上下反转(&6)", Plain},
      {"mnuTool_BlackWhiteReverse", u"黑白反向(&7)", Plain},
      {"mnuTool_Contrast", u"增强对比度(&8)", Plain},
      {"mnuTool_Intensify", u"增大强度(&9)", Plain},
      Separator,
      {"mnuTool_Background", u"背景设置...(&A)", SwitchedOff},
      {"mnuTool_SetFont", u"题录字体...(&B)", Plain},
      {"mnuTool_OutputOption", u"输出选项设置...(&C)", Plain},
      {"mnuTool_CopyCitation", u"复制引文(&Y)", Plain},
      Separator,
      {"mnuTool_SelOCRArea", u"选择OCR区域(&D)", Plain},
      {"mnuTool_Recognize", u"识别选定区域...(&E)", Plain},
      {"mnuTool_SelectText", u"选择文字(&T)", Toggle}}},
    {"mnuView",
     u"视图(&V)",
     Plain,
     {{"mnuView_Grayscale", u"灰度(&1)", Checked},
      Separator,
      {"mnuView_Toolbar", u"工具栏(&2)", Checked},
      {"mnuView_Statusbar", u"状态栏(&3)", Checked},
      {"mnuTool_Navigation", u"导航栏(&4)", Checked},
      {"mnuView_FullScreen", u"全屏(&7)", Toggle},
      {"mnuView_Thumbnails", u"缩略图(&T)", Toggle},
      Separator,
      {"mnuView_Background", u"背景设置(&5)", SwitchedOff},
      {"mnuView_Lock", u"锁定题录(&6)", Checked}}},
    {"mnuHelp",
     u"帮助(&H)",
     Plain,
     {{"mnuHelp_HomePage", u"公司主页(&1)", Plain},
      Separator,
      {"mnuHelp_About", u"关于......(&2)", Plain}}},
};

struct Button {
    const char *key;
    const char16_t *tooltip;
    const char *image;
    bool separatorAfter;
};

const Button Buttons[] = {
    {"OpenFile", u"打开文件", "tOpen", false},
    {"SaveCurrArticle", u"保存当前篇", "tSave", false},
    {"PrintCurrArticle", u"打印当前篇", "tPrint", true},
    {"HomeArticle", u"最前篇", "tHomeArticle", false},
    {"PrevArticle", u"上一篇", "tPrevArticle", false},
    {"NextArticle", u"下一篇", "tNextArticle", false},
    {"EndArticle", u"最末篇", "tEndArticle", true},
    {"HomePage", u"最前页", "tHomePage", false},
    {"PrevPage", u"上一页", "tPrevPage", false},
    {"NextPage", u"下一页", "tNextPage", false},
    {"EndPage", u"最末页", "tEndPage", true},
    {"ZoomIn", u"放大", "tZoomIn", false},
    {"ZoomOut", u"缩小", "tZoomOut", false},
    {"FitWidth", u"最佳宽度", "tFitWidth", false},
    {"FitHeight", u"最佳高度", "tFitHeight", true},
    {"UnDo", u"撤销", "tUnDo", false},
    {"CopyPage", u"复制当前页", "tCopyPage", true},
    {"SelectArea", u"选择OCR区域", "tSelArea", false},
    {"RecognizeArea", u"识别选定区域", "tOCR", false},
    {"CopySelectArea", u"复制选定区域", "tCopyArea", false},
    {"SelectText", u"选择文字", "tSelText", true},
    {"Help", u"帮助", "tHelp", true},
    {"Exit", u"退出", "tExit", false},
};

QString text(const char16_t *s) {
    return QString::fromUtf16(s);
}

} // namespace

CommandBar::CommandBar(QMainWindow *window, QToolBar *toolbar) {
    QMenuBar *bar = window->menuBar();
    for (const Menu &spec : Menus) {
        QMenu *menu = bar->addMenu(text(spec.caption));
        menu->setObjectName(QString::fromLatin1(spec.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(spec.name));
        menu->menuAction()->setEnabled(!(spec.flags & SwitchedOff));
        for (const Item &item : spec.items) {
            if (!item.name) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(text(item.caption));
            action->setObjectName(QString::fromLatin1(item.name));
            if (item.flags & (Checked | Toggle)) {
                action->setCheckable(true);
                action->setChecked(item.flags & Checked);
            }
            if (item.flags & SwitchedOff)
                action->setEnabled(false);
            m_menuItems.insert(action->objectName(), action);
        }
    }

    for (const MenuShortcut &shortcut : MenuShortcuts())
        if (QAction *action = m_menuItems.value(QString::fromLatin1(shortcut.item)))
            action->setShortcuts(shortcut.keys);

    for (const Button &spec : Buttons) {
        QAction *action = toolbar->addAction(icons::toolbarIcon(QString::fromLatin1(spec.image)),
                                             text(spec.tooltip));
        action->setObjectName(QString::fromLatin1(spec.key));
        action->setToolTip(text(spec.tooltip));
        m_buttons.insert(action->objectName(), action);
        if (spec.separatorAfter)
            toolbar->addSeparator();
    }
}

void CommandBar::forwardButtons() {
    for (auto it = m_buttons.cbegin(); it != m_buttons.cend(); ++it) {
        QAction *button = it.value();
        QAction *item = m_menuItems.value(ToolbarCommand(it.key()));
        if (!item)
            continue;
        QObject::connect(button, &QAction::triggered, item, [item, button] {
            if (item->isEnabled())
                item->trigger();
            // A switch (the selection tool) shows its menu item's state, whatever the click
            // did to the button itself.
            if (button->isCheckable() && item->isCheckable())
                button->setChecked(item->isChecked());
        });
    }
}

void CommandBar::apply(const CommandState &state) {
    for (const auto &[name, enabled] : state.menu)
        if (QAction *a = m_menuItems.value(name))
            a->setEnabled(enabled);
    for (const auto &[key, enabled] : state.toolbar)
        if (QAction *a = m_buttons.value(key))
            a->setEnabled(enabled);
}

} // namespace qen
