#include "ocr/ui/frmtext.h"

#include "ocr/resultfile.h"
#include "ocr/resultwindow.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/product.h"
#include "platform/ui/fontchoice.h"
#include "platform/ui/icons.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTextEdit>
#include <QToolBar>

namespace qen {

namespace {

struct Button {
    const char *key;
    const char16_t *caption;
    const char *image;
};

const Button Buttons[] = {
    {"SaveAs", u"另存", "tSave"}, {"Print", u"打印", "tPrint"}, {"Font", u"字体", ""},
    {"Filter", u"过滤", ""},      {"Lock", u"锁定", ""},        {"About", u"关于", "tHelp"},
    {"Exit", u"退出", "tExit"},
};

} // namespace

namespace {
// Wayland compositors place every window themselves and keep no window above all others: a
// transient tool window of the main window stays above that window, which is what counts.
bool placedByCompositor() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
} // namespace

FrmText::FrmText(Interaction &interaction, QWidget *parent)
    : QMainWindow(parent, placedByCompositor() ? Qt::Tool : Qt::Tool | Qt::WindowStaysOnTopHint),
      m_interaction(interaction) {
    setObjectName(QStringLiteral("frmText"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("识别内容____") + product::ocrCredit());

    QMenu *file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    addMenuItem(file, "mnuFile_SaveAs", QStringLiteral("另存为(&S)..."), &FrmText::mnuFile_SaveAs);
    file->addSeparator();
    addMenuItem(file, "mnuFile_Print", QStringLiteral("打印(&P)"), &FrmText::mnuFile_Print);
    file->addSeparator();
    addMenuItem(file, "mnuFile_Exit", QStringLiteral("退出(&E)"), &FrmText::mnuFile_Exit);
    addMenuItem(nullptr, "mnuFont", QStringLiteral("字体(&N)"), &FrmText::mnuFont);
    QMenu *tool = menuBar()->addMenu(QStringLiteral("工具(&T)"));
    m_filter = addMenuItem(tool, "mnuTool_Filter", QStringLiteral("滤掉换行符(&R)"),
                           &FrmText::mnuTool_Filter);
    tool->addSeparator();
    m_lock =
        addMenuItem(tool, "mnuTool_Lock", QStringLiteral("锁定文本(&L)"), &FrmText::mnuTool_Lock);
    m_filter->setCheckable(true);
    m_filter->setChecked(true);
    m_lock->setCheckable(true);
    addMenuItem(nullptr, "mnuAbout", QStringLiteral("关于(&A)"), &FrmText::mnuAbout);

    m_tlbBar = addToolBar(QStringLiteral("tlbBar"));
    m_tlbBar->setObjectName(QStringLiteral("tlbBar"));
    m_tlbBar->setMovable(false);
    m_tlbBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const Button &b : Buttons) {
        const QString key = QString::fromLatin1(b.key);
        QAction *button = m_tlbBar->addAction(icons::toolbarIcon(QString::fromLatin1(b.image)),
                                              QString::fromUtf16(b.caption));
        button->setObjectName(key);
        connect(button, &QAction::triggered, this, [this, key] { tlbBar_ButtonClick(key); });
    }
    // The two toggles show their state as a pressed button.
    for (const char *key : {"Filter", "Lock"})
        m_tlbBar->findChild<QAction *>(QString::fromLatin1(key))->setCheckable(true);
    m_tlbBar->findChild<QAction *>(QStringLiteral("Filter"))->setChecked(true);

    m_txtResult = new QTextEdit(this);
    m_txtResult->setObjectName(QStringLiteral("txtResult"));
    m_txtResult->setAcceptRichText(false);
    QFont font(QStringLiteral("宋体"));
    font.setPointSize(9);
    m_txtResult->setFont(font);
    setCentralWidget(m_txtResult);

    resize(qRound(ocr::DesignClientWidthTwips / twipsPerPixelX(this)),
           qRound(ocr::DesignClientHeightTwips / twipsPerPixelY(this)));
}

QAction *FrmText::addMenuItem(QMenu *menu, const char *name, const QString &text,
                              void (FrmText::*handler)()) {
    QAction *action = menu ? menu->addAction(text) : menuBar()->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void FrmText::setBoxText(const QString &text) {
    m_txtResult->setPlainText(ocr::toTextBox(text));
}

QString FrmText::shownText() const {
    return ocr::fromTextBox(m_txtResult->document()->toRawText());
}

void FrmText::ShowMe(const QString &sText) {
    setBoxText(ocr::withoutLineBreaks(sText));
    m_sOcrText = sText;
    // Shown first: the frame's size is known only then, and the rule places the outer frame.
    show();
    placeWindow();
    raise();
    activateWindow();
}

void FrmText::placeWindow() {
    const QScreen *scr = screen();
    if (!scr)
        return;
    const double tx = twipsPerPixelX(this);
    const double ty = twipsPerPixelY(this);
    const QRect outer = ocr::keptOnScreen(ocr::showMeGeometry(scr->geometry().width() * tx,
                                                              scr->geometry().height() * ty,
                                                              width() * tx, height() * ty),
                                          scr->availableGeometry());
    // The rectangle is the outer frame; Qt sizes the client area, so the frame comes off.
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(std::max(outer.width() - frame.width(), minimumSizeHint().width()),
           std::max(outer.height() - frame.height(), minimumSizeHint().height()));
    if (!placedByCompositor())
        move(outer.topLeft());
}

void FrmText::tlbBar_ButtonClick(const QString &key) {
    const QString k = key.toUpper();
    if (k == QLatin1String("SAVEAS"))
        mnuFile_SaveAs();
    else if (k == QLatin1String("PRINT"))
        mnuFile_Print();
    else if (k == QLatin1String("FONT"))
        mnuFont();
    else if (k == QLatin1String("FILTER"))
        mnuTool_Filter();
    else if (k == QLatin1String("LOCK"))
        mnuTool_Lock();
    else if (k == QLatin1String("ABOUT"))
        mnuAbout();
    else if (k == QLatin1String("EXIT"))
        mnuFile_Exit();
    else
        m_interaction.message(this, QMessageBox::Warning, QStringLiteral("提示信息"),
                              QStringLiteral("对不起，没有这项工具栏信息！"), QMessageBox::Ok,
                              QMessageBox::Ok);
}

void FrmText::mnuTool_Filter() {
    // Called from the menu the item has toggled itself already; from the toolbar it has not.
    if (sender() != m_filter)
        m_filter->setChecked(!m_filter->isChecked());
    const bool on = m_filter->isChecked();
    m_tlbBar->findChild<QAction *>(QStringLiteral("Filter"))->setChecked(on);
    setBoxText(on ? ocr::withoutLineBreaks(shownText()) : m_sOcrText);
}

void FrmText::mnuTool_Lock() {
    if (sender() != m_lock)
        m_lock->setChecked(!m_lock->isChecked());
    const bool on = m_lock->isChecked();
    m_tlbBar->findChild<QAction *>(QStringLiteral("Lock"))->setChecked(on);
    m_txtResult->setReadOnly(on);
}

void FrmText::mnuFont() {
    const std::optional<QFont> chosen =
        m_interaction.font(this, m_txtResult->font(), QStringLiteral("设置字体"));
    // Cancel keeps the font as it is.
    if (!chosen)
        return;
    m_txtResult->setFont(withChosenFont(m_txtResult->font(), *chosen));
}

void FrmText::mnuFile_SaveAs() {
    QString name = m_interaction.saveFileName(this, QStringLiteral("另存为..."), QString(),
                                              QStringLiteral("文本文件(*.txt)"), nullptr);
    if (name.isEmpty())
        return;
    if (name.right(4).toLower() != QLatin1String(".txt"))
        name += QStringLiteral(".txt");
    if (FileExists(name) &&
        !m_interaction.question(this, QStringLiteral("此文件已经存在，要覆盖吗？")))
        return;
    try {
        ocr::writeTextFile(name, shownText());
    } catch (const Error &e) {
        m_interaction.error(this, e.description());
        return;
    }
    m_interaction.information(this, QStringLiteral("存贮完成！"));
}

void FrmText::mnuFile_Print() {
    QPrinter &printer = m_interaction.printer();
    // A printer that writes a file needs no installed printer.
    if (printer.outputFormat() == QPrinter::NativeFormat &&
        QPrinterInfo::availablePrinterNames().isEmpty()) {
        m_interaction.message(this, QMessageBox::Warning, QStringLiteral("提示信息"),
                              QStringLiteral("请进入控制面板安装打印机后再进行此项操作！"),
                              QMessageBox::Ok, QMessageBox::Ok);
        return;
    }
    m_txtResult->print(&printer);
}

void FrmText::mnuAbout() {
    m_interaction.information(this, product::name() + QLatin1Char(' ') + product::version() +
                                        QStringLiteral("\n\n") + product::ocrCredit());
}

void FrmText::mnuFile_Exit() {
    close();
}

} // namespace qen
