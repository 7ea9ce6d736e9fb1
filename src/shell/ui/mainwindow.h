#pragma once

#include "platform/workfolders.h"
#include "shell/activationtoken.h"

#include <QMainWindow>
#include <memory>

class QComboBox;
class QFileSystemWatcher;
class QFrame;
class QLabel;
class QStatusBar;
class QTimer;
class QToolBar;
class QTreeWidget;

namespace qen {

class CitationCommands;
namespace ocr {
class TextQueue;
}

class CommandBar;
class FindBar;
class FindCommand;
class TextTool;
class ElidedLabel;
class ImageTools;
class PrintCommands;
class SaveCommands;
class Documents;
class PdfCommands;
class RecordCommands;
class RecognizeCommand;
class Zoom;
class Navigator;
class RecentMenu;
class WindowLayout;
class KeyHandler;
class ImageView;
class Interaction;
class RecordView;
class SelectionShape;
class ThumbnailStrip;

// frmMain: owns the controls and wires commands to the subsystem objects that carry them out.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(WorkFolders folders, Interaction &interaction, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Start-up work once the window exists: zoom list, work folders, then the file named on
    // the command line (the arguments joined by blanks; it names one file).
    void Form_Load(const QString &commandLine);
    // Adds the files of a NUL-separated list to the article tree and shows one of them.
    void CreateTree(const QString &sFiles);
    // Picks up file names handed over by second copies: over the socket (HandOver) or in the
    // hand-over file, which other programs may write too.
    void HandoverCheck();
    void HandOver(const QString &line);
    void CloseAll();
    void CleanUp();
    // Enables the commands that fit the open articles and the shown view.
    void UpdateCommands();
    // A second start (a double click on a file) asks for the window: shown, raised, active,
    // with the token its launcher gave it.
    void bringToFront(const ActivationToken &token = {});

    QAction *command(const QString &name) const;
    const WorkFolders &folders() const { return m_folders; }
    Interaction &interaction() const { return m_interaction; }
    QTreeWidget *tree() const { return m_tree; }
    Documents *documents() const { return m_documents; }
    ImageView *imageView() const { return m_imgEdit; }
    SelectionShape *selectionShape() const { return m_ctl; }
    RecordView *recordView() const { return m_rihEdit; }
    QComboBox *zoomCombo() const { return m_cboZoom; }
    QLabel *statusPanel(int index) const; // 1-based, as the panels are numbered
    bool imageShown() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildClientArea();
    void buildStatusBar();
    void connectCommands();
    void Form_Resize();

    // Each group of commands is wired in a file of its own, mainwindow_<group>.cpp, so the
    // window stays a list of connections and each group's members sit with its wiring below.
    void wireNavigation(); // pages and articles, zoom, keys, layout toggles, help
    void wireImageTools(); // adjustments, undo, selection, copy
    void wireRecognition();
    void wireText();   // find, the text tool, the page's right-click menu
    void wireSaving(); // saving and printing, record export and citations
    void wirePdf();
    void wireDesktop(); // files dropped on the window

    WorkFolders m_folders;
    Interaction &m_interaction;
    QWidget *m_client = nullptr;
    QToolBar *m_tlbBar = nullptr;
    QStatusBar *m_staBar = nullptr;
    QList<ElidedLabel *> m_panels;
    QTreeWidget *m_tree = nullptr;
    QFrame *m_showSplitter = nullptr;
    QFrame *m_hideSplitter = nullptr;
    ImageView *m_imgEdit = nullptr;
    ImageView *m_imgHide = nullptr;
    SelectionShape *m_ctl = nullptr;
    RecordView *m_rihEdit = nullptr;
    RecordView *m_rihHide = nullptr;
    QComboBox *m_cboZoom = nullptr;
    QLabel *m_txtZoom = nullptr;
    std::unique_ptr<CommandBar> m_commands;
    int m_commandInputs = -1; // what the command flags were last set for
    bool m_navigationAllowed = false;
    QTimer *m_timer1 = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QStringList m_handovers; // handed-over lines not opened yet
    bool m_handingOver = false;
    Documents *m_documents = nullptr;
    Zoom *m_zoom = nullptr;
    RecordCommands *m_records = nullptr;

    // --- navigation, zoom, keys, layout, help ---
public:
    Navigator *navigator() const { return m_navigator; }
    RecentMenu *recentMenu() const { return m_recent; }
    ThumbnailStrip *thumbnailStrip() const { return m_thumbnails; }

private:
    void wireThumbnails();
    Navigator *m_navigator = nullptr;
    ThumbnailStrip *m_thumbnails = nullptr;
    RecentMenu *m_recent = nullptr;
    WindowLayout *m_layout = nullptr;
    KeyHandler *m_keys = nullptr;

    // --- image tools ---
public:
    // Adjustments, selection, copy and the crop file recognition reads.
    ImageTools *imageTools() const { return m_imageTools; }

private:
    ImageTools *m_imageTools = nullptr;

    // --- recognition ---
public:
    // Every page's text, read in the background; its progress is the panel staBar_Text.
    ocr::TextQueue *textQueue() const { return m_textQueue; }
    PdfCommands *pdfCommands() const { return m_pdf; }

private:
    void wireTextQueue();
    RecognizeCommand *m_recognize = nullptr;
    ocr::TextQueue *m_textQueue = nullptr;
    QLabel *m_textPanel = nullptr;

    // --- find and text selection ---
public:
    FindBar *findBar() const { return m_findBar; }
    FindCommand *findCommand() const { return m_find; }
    TextTool *textTool() const { return m_textTool; }

private:
    FindBar *m_findBar = nullptr;
    FindCommand *m_find = nullptr;
    TextTool *m_textTool = nullptr;

    // --- saving and printing, record export and citations ---
    SaveCommands *m_saving = nullptr;
    PrintCommands *m_printing = nullptr;
    CitationCommands *m_citations = nullptr;

    // --- PDF export ---
    PdfCommands *m_pdf = nullptr;

    // --- desktop ---
};

} // namespace qen
