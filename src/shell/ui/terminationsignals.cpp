#include "shell/ui/terminationsignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qen {

namespace {
int s_pipe[2] = {-1, -1};
// SIGHUP: the terminal or the session that started us has gone.
constexpr int HandledSignals[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here: one byte into the pipe.
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], &byte, 1);
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, s_pipe) != 0)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (::read(s_pipe[0], buffer, sizeof buffer) > 0) {
        }
        emit terminationRequested();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int sig : HandledSignals)
        ::sigaction(sig, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
    for (const int sig : HandledSignals)
        ::signal(sig, SIG_DFL);
    if (s_pipe[0] >= 0) {
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
        s_pipe[0] = s_pipe[1] = -1;
    }
}

} // namespace qen
