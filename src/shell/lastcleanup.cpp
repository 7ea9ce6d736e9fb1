#include "shell/lastcleanup.h"

#include "platform/workfolders.h"

#include <QFile>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace qen::lastcleanup {

namespace {

std::atomic<const WorkFolders *> s_folders{nullptr};
QList<QByteArray> s_files;
// Held while the clean-up runs; s_done is read and written under it.
std::recursive_mutex s_running;
bool s_done = false;
QtMessageHandler s_previous = nullptr;
std::once_flag s_installed;

// Once, whichever road comes first: the Wayland warning arrives on Qt's event thread and on
// the main thread at the same moment, and each ends the process right after it. A second
// caller waits until the first has finished, so that its _exit never cuts the clean-up short;
// the first thread coming back through a message of its own finds it done.
void run() {
    const WorkFolders *folders = s_folders.load();
    if (!folders)
        return;
    const std::lock_guard lock(s_running);
    if (s_done)
        return;
    s_done = true;
    folders->cleanUp();
    for (const QByteArray &file : std::as_const(s_files))
        ::unlink(file.constData());
}

void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    if (s_previous)
        s_previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(message));
    if (endsTheProcess(type, message))
        run();
}

} // namespace

bool endsTheProcess(QtMsgType type, const QString &message) {
    if (type == QtFatalMsg)
        return true;
    return type == QtWarningMsg &&
           (message.startsWith(QLatin1String("The Wayland connection broke")) ||
            message.startsWith(QLatin1String("The Wayland connection experienced a fatal error")) ||
            message.startsWith(QLatin1String("The X11 connection broke")));
}

void arm(const WorkFolders *folders, const QStringList &files) {
    s_files.clear();
    for (const QString &file : files)
        if (!file.isEmpty())
            s_files << QFile::encodeName(file);
    {
        const std::lock_guard lock(s_running);
        s_done = false;
    }
    s_folders = folders;
    std::call_once(s_installed, [] {
        s_previous = qInstallMessageHandler(onMessage);
        std::atexit(run);
    });
}

void disarm() {
    s_folders = nullptr;
}

} // namespace qen::lastcleanup
