// The window among the desktop's programs: files dropped on it from a file manager open as
// the Open command opens them, and a second start brings it to the front.
#include "pageview/ui/documents.h"
#include "records/ui/recordview.h"
#include "shell/ui/mainwindow.h"
#include "shell/ui/windowactivation.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace qen {

namespace {

// The local files among the dropped items, in the order the source lists them. Folders and
// remote addresses are left out: the Open dialog offers neither.
QStringList droppedFiles(const QMimeData *data) {
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QFileInfo info(url.toLocalFile());
        if (info.isFile())
            files << info.absoluteFilePath();
    }
    return files;
}

// A copy or a link, never what the source may propose: a file manager that is told its files
// were moved may delete the user's originals.
Qt::DropAction harmlessAction(Qt::DropActions possible) {
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    if (possible & Qt::LinkAction)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

bool takeDrop(QDropEvent *event, const QStringList &files) {
    const Qt::DropAction action = harmlessAction(event->possibleActions());
    if (files.isEmpty() || action == Qt::IgnoreAction)
        return false;
    event->setDropAction(action);
    event->accept();
    return true;
}

} // namespace

void MainWindow::wireDesktop() {
    setAcceptDrops(true);
    // Underneath, the record view is a text editor: it would refuse a file while locked and
    // paste its address as text while unlocked. A file dropped on it opens like anywhere else.
    m_rihEdit->setAcceptDrops(false);
    m_rihEdit->viewport()->setAcceptDrops(false);
}

void MainWindow::bringToFront(const ActivationToken &token) {
    ActivateWindow(this, token);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event) {
    takeDrop(event, droppedFiles(event->mimeData()));
}

void MainWindow::dropEvent(QDropEvent *event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (!takeDrop(event, files))
        return;
    // Opened once the drop is answered: the file manager waits for that answer, and an error
    // box must not run inside the drag.
    QTimer::singleShot(0, this,
                       [this, files] { m_documents->openAndFit(files.join(QChar(u'\0'))); });
}

} // namespace qen
