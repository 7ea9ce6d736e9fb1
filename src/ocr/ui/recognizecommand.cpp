#include "ocr/ui/recognizecommand.h"

#include "ocr/ui/frmtext.h"
#include "platform/error.h"
#include "platform/filehelpers.h"
#include "platform/ui/interaction.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>

namespace qen {

namespace {

// While the engine works the windows keep repainting, but no click or key may start another
// command on a page that is being read.
class InputBlocker : public QObject {
public:
    InputBlocker() { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

RecognizeCommand::RecognizeCommand(QWidget *window, Interaction &interaction, WorkFolders folders,
                                   std::function<bool()> crop, QString cropFile, ocr::OcrCall call,
                                   QObject *parent)
    : QObject(parent), m_window(window), m_interaction(interaction), m_folders(std::move(folders)),
      m_crop(std::move(crop)), m_cropFile(std::move(cropFile)), m_call(std::move(call)) {
    if (!m_call) {
        m_call = [folders = m_folders](const QString &image, const QString &resultFolder) {
            return ocr::OcrLibrary::shared().recognise(image, resultFolder,
                                                       ocr::configuredLanguages(folders));
        };
    }
}

FrmText *RecognizeCommand::resultWindow() const {
    return m_frmText;
}

RecognizeCommand::~RecognizeCommand() {
    delete m_frmText;
}

ocr::Recognition RecognizeCommand::recogniseOffThread(const QString &imageFile) {
    ocr::Recognition result;
    const QString folder = m_folders.appPath();
    QThread *worker =
        QThread::create([&] { result = ocr::RecognizeImageFile(imageFile, folder, m_call); });
    QEventLoop loop;
    connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    {
        WaitCursor cursor;
        InputBlocker blocker;
        worker->start();
        loop.exec();
    }
    worker->wait();
    delete worker;
    return result;
}

void RecognizeCommand::mnuTool_Recognize() {
    if (m_running || !m_crop)
        return;
    m_running = true;
    const auto done = qScopeGuard([this] { m_running = false; });
    if (!m_crop())
        return;
    if (m_cropFile.isEmpty() || !FileExists(m_cropFile))
        return;
    try {
        m_folders.ensure(m_folders.appPath());
    } catch (const Error &e) {
        m_interaction.error(m_window, e.description());
        return;
    }
    const ocr::Recognition result = recogniseOffThread(m_cropFile);
    if (!result.ok) {
        m_interaction.error(m_window, result.error);
        return;
    }
    if (!m_frmText)
        m_frmText = new FrmText(m_interaction, m_window);
    m_frmText->ShowMe(result.text);
}

} // namespace qen
