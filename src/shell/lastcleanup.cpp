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
std::atomic_flag s_ran = ATOMIC_FLAG_INIT;
QtMessageHandler s_previous = nullptr;
std::once_flag s_installed;

// Once, whichever road comes first: the Wayland warning arrives on Qt's event thread while
// the main thread may be leaving through exit() at the same moment.
void run() {
    const WorkFolders *folders = s_folders.load();
    if (!folders || s_ran.test_and_set())
        return;
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
    s_ran.clear();
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
