#include "shell/ui/mainwindow.h"

#include "ocr/ui/findbar.h"
#include "pageview/commandstate.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/selectionshape.h"
#include "platform/product.h"
#include "platform/ui/interaction.h"
#include "platform/ui/twipsgeometry.h"
#include "records/ui/recordcommands.h"
#include "records/ui/recordview.h"
#include "shell/handover.h"
#include "shell/ui/busymessage.h"
#include "shell/ui/shelllog.h"
#include "view/ui/commandbar.h"
#include "view/ui/elidedlabel.h"
#include "view/ui/statusbar.h"
#include "view/ui/windowlayout.h"
#include "view/ui/zoom.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

Q_LOGGING_CATEGORY(lcShell, "qen.shell", QtWarningMsg)

namespace qen {

namespace {
// Design sizes in twips.
constexpr double ToolbarHeight = WindowLayout::ToolbarHeight;
constexpr double TreeWidth = WindowLayout::TreeWidth, SplitterWidth = WindowLayout::SplitterWidth;
constexpr double ComboWidth = WindowLayout::ComboWidth, ComboHeight = WindowLayout::ComboHeight;
constexpr double CaptionWidth = WindowLayout::CaptionWidth,
                 CaptionHeight = WindowLayout::CaptionHeight;
constexpr double PanelWidths[] = {3493, 2540, 2540, 6191};
constexpr double PanelMinimum = 2540;

const QStringList ZoomSteps = {"10%",  "30%",  "50%",  "70%",  "90%",  "100%",
                               "120%", "150%", "170%", "200%", "250%", "300%"};
} // namespace

MainWindow::MainWindow(WorkFolders folders, Interaction &interaction, QWidget *parent)
    : QMainWindow(parent), m_folders(std::move(folders)), m_interaction(interaction) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(product::name());
    BusyMessage::setOwner(this);
    buildClientArea();
    m_commands = std::make_unique<CommandBar>(this, m_tlbBar);
    buildStatusBar();
    m_documents = new Documents(m_folders, m_interaction,
                                {this, m_tree, m_imgEdit, m_rihEdit, statusPanel(3)}, this);
    m_zoom = new Zoom(m_imgEdit, m_documents->shown(), m_ctl, m_cboZoom, statusPanel(2), this);
    m_records = new RecordCommands(m_rihEdit, m_interaction, m_folders,
                                   command(QStringLiteral("mnuView_Lock")), this);
    m_documents->setHooks(
        {[this] { UpdateCommands(); }, [this] { m_zoom->fit(viewgeom::FitMode::Width); },
         [this](const QString &path) {
             const bool loaded = m_rihEdit->loadFile(path);
             m_rihEdit->setTag(path);
             return loaded;
         },
         [this] { m_records->FilterRecord(); },
         [this](const QStringList &places) { m_panels[2]->layOutAhead(places); }});
    connectCommands();
    wireNavigation();
    wireImageTools();
    wireRecognition();
    wireText();
    wireSaving();
    wirePdf();
    wireDesktop();

    // The hand-over file is looked for once a second and whenever the work root changes.
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, &MainWindow::HandoverCheck);
    m_timer1->start();
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &MainWindow::HandoverCheck);

    // Narrow enough for a small screen, wide enough for the status panels at their minimum.
    setMinimumSize(qRound(4 * PanelMinimum / twipsPerPixelX(this)) + 40, 400);
    resize(1024, 720);
}

MainWindow::~MainWindow() {
    CleanUp();
}

void MainWindow::buildClientArea() {
    // Regions are placed by Form_Resize in twips, not by a Qt layout, so that parking a view
    // at Left -20000 and the splitter arithmetic work as stated.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    m_tlbBar = new QToolBar(m_client);
    m_tlbBar->setObjectName(QStringLiteral("tlbBar"));
    m_tlbBar->setMovable(false);
    m_tlbBar->setIconSize(QSize(20, 20));

    m_staBar = new StatusBar(m_client);
    m_staBar->setObjectName(QStringLiteral("staBar"));
    m_staBar->setSizeGripEnabled(false);
    m_findBar = new FindBar(m_client);
    m_findBar->hide();

    m_tree = new QTreeWidget(m_client);
    m_tree->setObjectName(QStringLiteral("tvwTree"));
    m_tree->header()->hide();
    m_tree->setColumnCount(1);

    auto makeBar = [this](const char *name) {
        auto *bar = new QFrame(m_client);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setFrameShape(QFrame::Panel);
        bar->setFrameShadow(QFrame::Raised);
        bar->setCursor(Qt::SizeHorCursor);
        return bar;
    };
    m_showSplitter = makeBar("ShowSplitter");
    m_hideSplitter = makeBar("HideSplitter");

    m_imgEdit = new ImageView(m_client);
    m_imgEdit->setObjectName(QStringLiteral("imgEdit"));
    // The selection rectangle lives on the page area, hidden until a selection is made.
    m_ctl = new SelectionShape(m_imgEdit->clientArea());
    m_ctl->setObjectName(QStringLiteral("ctl"));
    m_rihEdit = new RecordView(m_client);
    m_rihEdit->setObjectName(QStringLiteral("rihEdit"));
    // The hidden twins serve crops, saves and printing and are never shown.
    m_imgHide = new ImageView(m_client);
    m_imgHide->setObjectName(QStringLiteral("imgHide"));
    m_imgHide->hide();
    m_rihHide = new RecordView(m_client);
    m_rihHide->setObjectName(QStringLiteral("rihHide"));
    m_rihHide->hide();

    m_txtZoom = new QLabel(QStringLiteral("缩放比例："), m_client);
    m_txtZoom->setObjectName(QStringLiteral("txtZoom"));
    m_cboZoom = new QComboBox(m_client);
    m_cboZoom->setObjectName(QStringLiteral("cboZoom"));
    m_cboZoom->setEditable(true);

    // Design positions: the record view starts parked, the bars at their design widths.
    moveTwips(m_tree, {0, ToolbarHeight, TreeWidth, 3000});
    moveTwips(m_showSplitter, {TreeWidth, ToolbarHeight - 30, SplitterWidth, 3060});
    moveTwips(m_hideSplitter, {twips::ParkedLeft, ToolbarHeight - 30, SplitterWidth, 3060});
    moveTwips(m_imgEdit, {TreeWidth + SplitterWidth, ToolbarHeight - 30, 6000, 3060});
    moveTwips(m_rihEdit, {twips::ParkedLeft, ToolbarHeight - 30, 6000, 3060});
    moveTwips(m_cboZoom, {0, 0, ComboWidth, ComboHeight});
    moveTwips(m_txtZoom, {0, 0, CaptionWidth, CaptionHeight});
    m_cboZoom->raise();
    m_txtZoom->raise();
}

void MainWindow::buildStatusBar() {
    for (int i = 0; i < 4; ++i) {
        auto *panel = new ElidedLabel(m_staBar);
        panel->setObjectName(QStringLiteral("staBar_Panel%1").arg(i + 1));
        const double tx = twipsPerPixelX(panel);
        // Panels keep their design widths while there is room and shrink together, down to
        // their minimum, on a narrower window; what does not fit is cut with "…".
        panel->setMinimumWidth(qRound(PanelMinimum / tx));
        panel->setMaximumWidth(qRound(PanelWidths[i] / tx));
        panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        m_staBar->addWidget(panel, int(PanelWidths[i]));
        m_panels << panel;
    }
    m_panels[0]->setText(product::maker());
    m_panels[0]->setToolTip(product::maker());
    const QString welcome = QStringLiteral("欢迎访问公司主页") + product::homePage();
    m_panels[3]->setText(welcome);
    m_panels[3]->setToolTip(welcome);
}

void MainWindow::connectCommands() {
    connect(command(QStringLiteral("mnuTool_OutputOption")), &QAction::triggered, m_records,
            &RecordCommands::outputOptions);
    connect(command(QStringLiteral("mnuTool_SetFont")), &QAction::triggered, m_records,
            &RecordCommands::recordFont);
    connect(command(QStringLiteral("mnuFile_Open")), &QAction::triggered, m_documents,
            &Documents::openCommand);
    connect(command(QStringLiteral("mnuFile_CloseAllArticle")), &QAction::triggered, this,
            &MainWindow::CloseAll);
    connect(command(QStringLiteral("mnuFile_Exit")), &QAction::triggered, this, &QWidget::close);
}

QAction *MainWindow::command(const QString &name) const {
    if (QAction *item = m_commands->menuItem(name))
        return item;
    return m_commands->button(name);
}

QLabel *MainWindow::statusPanel(int index) const {
    return m_panels.value(index - 1);
}

bool MainWindow::imageShown() const {
    return !m_documents->shown().recordShown();
}

void MainWindow::Form_Load(const QString &commandLine) {
    m_cboZoom->clear();
    m_cboZoom->addItems(ZoomSteps);
    m_cboZoom->setCurrentText(QStringLiteral("50%"));
    m_zoom->applyComboText();

    m_folders.prepareAtStartup();
    if (QFileInfo(m_folders.root()).isDir())
        m_watcher->addPath(m_folders.root());
    if (command(QStringLiteral("mnuView_Grayscale"))->isChecked())
        m_imgEdit->setGrayscaleMode(1);
    UpdateCommands();

    if (!commandLine.isEmpty()) {
        QString file = commandLine;
        file.remove(QLatin1Char('"'));
        show();
        m_documents->closeAll();
        CreateTree(file);
    }
    m_zoom->fit(viewgeom::FitMode::Width);
}

void MainWindow::CreateTree(const QString &sFiles) {
    qCDebug(lcShell) << "open:" << sFiles;
    m_documents->CreateTree(sFiles);
    qCDebug(lcShell) << "opened:" << sFiles;
}

void MainWindow::UpdateCommands() {
    // Asked at every page turn; the flags change only with what is open and what is shown.
    const int inputs = int(m_documents->isOpen()) << 1 | int(imageShown());
    if (inputs != m_commandInputs) {
        m_commandInputs = inputs;
        const CommandState state = ComputeCommandState(inputs & 2, inputs & 1);
        m_commands->apply(state);
        m_cboZoom->setEnabled(state.zoomCombo);
        m_navigationAllowed = state.enabled(QStringLiteral("mnuTool_Navigation"));
    }
    // A hidden navigation pane can always be brought back, also while a record is shown.
    QAction *navigation = command(QStringLiteral("mnuTool_Navigation"));
    navigation->setEnabled(m_navigationAllowed || !navigation->isChecked());
}

void MainWindow::HandOver(const QString &line) {
    m_handovers.append(line);
    // Opened from the event loop, so the copy that sent the line gets its answer at once.
    QTimer::singleShot(0, this, &MainWindow::HandoverCheck);
}

void MainWindow::HandoverCheck() {
    const QString file = m_folders.handoverFile();
    if (QFileInfo::exists(file)) {
        const QString line = handover::take(file);
        qCDebug(lcShell) << "handover:" << line;
        if (!line.isEmpty())
            m_handovers.append(line);
    } else if (m_watcher->directories().isEmpty() && QFileInfo(m_folders.root()).isDir()) {
        // The root may appear after start-up (created by a later operation): watch it then.
        m_watcher->addPath(m_folders.root());
    }
    // Opening yields to the event loop, which may run this check again: lines that arrive
    // meanwhile wait in the queue for the loop below instead of opening inside an opening.
    if (m_handingOver)
        return;
    m_handingOver = true;
    const auto done = qScopeGuard([this] { m_handingOver = false; });
    while (!m_handovers.isEmpty()) {
        CreateTree(m_handovers.takeFirst());
        m_tree->update();
    }
}

void MainWindow::CloseAll() {
    m_documents->closeAll();
    m_imgEdit->setFileName(QString());
    m_rihEdit->loadFile(QString());
    m_rihEdit->setTag(QString());
    m_imgHide->setFileName(QString());
    m_cboZoom->setCurrentText(QStringLiteral("50%"));
    UpdateCommands();
    statusPanel(3)->clear();
}

void MainWindow::CleanUp() {
    qCDebug(lcShell) << "cleanup";
    m_folders.cleanUp();
}

void MainWindow::closeEvent(QCloseEvent *event) {
    CleanUp();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent *event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void MainWindow::Form_Resize() {
    if (m_layout)
        m_layout->arrange();
}

} // namespace qen
