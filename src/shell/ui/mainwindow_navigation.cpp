// Navigation, zoom, keys, layout toggles and help.
#include "help/ui/aboutbox.h"
#include "ocr/ui/findbar.h"
#include "pageview/ui/documents.h"
#include "pageview/ui/imageview.h"
#include "pageview/ui/thumbnailstrip.h"
#include "records/ui/recordview.h"
#include "shell/ui/mainwindow.h"
#include "view/navigation.h"
#include "view/ui/commandbar.h"
#include "view/ui/keyhandler.h"
#include "view/ui/navigator.h"
#include "view/ui/recentmenu.h"
#include "view/ui/windowlayout.h"
#include "view/ui/zoom.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

namespace qen {

void MainWindow::wireNavigation() {
    auto on = [this](const char *name, auto slot) {
        connect(command(QString::fromLatin1(name)), &QAction::triggered, this, slot);
    };

    m_navigator = new Navigator(m_documents, this);
    using enum NavigationCode;
    const std::pair<const char *, NavigationCode> pages[] = {
        {"mnuPage_HomePage", HomePage},       {"mnuPage_PrevPage", PrevPage},
        {"mnuPage_NextPage", NextPage},       {"mnuPage_EndPage", EndPage},
        {"mnuPage_HomeArticle", HomeArticle}, {"mnuPage_PrevArticle", PrevArticle},
        {"mnuPage_NextArticle", NextArticle}, {"mnuPage_EndArticle", EndArticle},
    };
    for (const auto &[name, code] : pages)
        on(name, [this, code = code] { m_navigator->NavigateTree(code); });

    on("mnuPage_ZoomIn", [this] { m_zoom->StepZoom(true); });
    on("mnuPage_ZoomOut", [this] { m_zoom->StepZoom(false); });
    on("mnuPage_FitWidth", [this] { m_zoom->fit(viewgeom::FitMode::Width); });
    on("mnuPage_FitHeight", [this] { m_zoom->fit(viewgeom::FitMode::Height); });
    on("mnuPage_AutoSize", [this] { m_zoom->fit(viewgeom::FitMode::Page); });
    on("mnuPage_ActualSize", [this] { m_zoom->actualSize(); });

    wireThumbnails();
    m_layout = new WindowLayout({m_client, m_tlbBar, m_staBar, m_tree, m_showSplitter,
                                 m_hideSplitter, m_imgEdit, m_rihEdit, &m_documents->shown(),
                                 m_cboZoom, m_txtZoom, command(QStringLiteral("mnuView_Toolbar")),
                                 command(QStringLiteral("mnuView_Statusbar")),
                                 command(QStringLiteral("mnuTool_Navigation")),
                                 command(QStringLiteral("mnuView_FullScreen")), m_findBar,
                                 m_thumbnails, command(QStringLiteral("mnuView_Thumbnails"))},
                                this);
    on("mnuView_FullScreen", [this] { m_layout->followFullScreenItem(); });
    on("mnuView_Toolbar", [this] { m_layout->toggleToolbar(); });
    on("mnuView_Statusbar", [this] { m_layout->toggleStatusBar(); });
    on("mnuView_Thumbnails", [this] {
        m_layout->toggleThumbnails();
        ThumbnailStrip::storeShown(m_folders.setting() + QStringLiteral("/Qen.ini"),
                                   command(QStringLiteral("mnuView_Thumbnails"))->isChecked());
    });
    on("mnuTool_Navigation", [this] {
        m_layout->toggleNavigation();
        UpdateCommands();
    });

    on("mnuHelp_HomePage", [this] { ShowHomePage(m_interaction, this); });
    on("mnuHelp_About", [this] { ShowAbout(m_interaction, this); });

    QMenu *fileMenu = menuBar()->findChild<QMenu *>(QStringLiteral("mnuFile"));
    const QList<QAction *> fileItems = fileMenu->actions();
    const qsizetype open = fileItems.indexOf(command(QStringLiteral("mnuFile_Open")));
    m_recent = new RecentMenu(
        fileMenu, fileItems.value(open + 1),
        RecentFiles(m_folders.setting() + QStringLiteral("/Qen.ini")), m_interaction, this,
        [this](const QString &path) { m_documents->openAndFit(path); }, this);
    connect(m_documents, &Documents::opened, m_recent, &RecentMenu::add);

    m_commands->forwardButtons();
    m_keys = new KeyHandler(this, m_imgEdit, m_tree,
                            {command(QStringLiteral("mnuTool_CopySelArea")),
                             command(QStringLiteral("mnuTool_CopyCurrPage")),
                             command(QStringLiteral("mnuView_FullScreen")),
                             command(QStringLiteral("mnuPage_NextPage")),
                             command(QStringLiteral("mnuPage_PrevPage"))},
                            this);
}

// The strip follows the tree and asks for pages as the tree does; whether it is shown is kept
// across starts.
void MainWindow::wireThumbnails() {
    m_thumbnails = new ThumbnailStrip(m_documents->model(), m_client);
    m_thumbnails->setObjectName(QStringLiteral("thumbnails"));
    m_thumbnails->hide();
    connect(m_thumbnails, &ThumbnailStrip::nodeClicked, m_documents, &Documents::nodeClick);
    command(QStringLiteral("mnuView_Thumbnails"))
        ->setChecked(ThumbnailStrip::storedShown(m_folders.setting() + QStringLiteral("/Qen.ini")));
}

} // namespace qen
