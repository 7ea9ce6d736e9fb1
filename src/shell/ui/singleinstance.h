#pragma once

#include "shell/activationtoken.h"

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace qen {

// Finds the running copy of the program. The first copy holds a lock file for its whole life
// and listens on a local socket; a later copy fails to take the lock and hands its command
// line to the first over the socket, which acknowledges it and raises its window. The lock
// decides the race when many copies start at once, and the system releases it if the holder
// dies, so a crash never blocks the next start.
//
// Lock and socket live in a folder no other user can enter (the work root, else
// $XDG_RUNTIME_DIR, else a private folder in /tmp), so nobody else can pose as the running
// copy and receive the file names.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Copies with different work roots cannot hand over to each other, so they do not count
    // as the same program.
    explicit SingleInstance(const QString &workRoot, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Creates the work root when missing, then tries to become the running copy. True when
    // this process is now the running copy (also when no private folder could be found:
    // then every copy runs on its own rather than trust a folder others can write to).
    bool becomePrimary();
    // Gives the running copy the command line (empty: only raise its window) with the token
    // this copy was started with, and waits for its acknowledgement. False when none came
    // within timeoutMs.
    bool handOver(const QString &commandLine, const ActivationToken &token = {},
                  int timeoutMs = 15000);

    // True while this process holds the lock: no other copy works in this work root, so
    // what lies in its Temp folder is a dead copy's.
    bool holdsLock() const { return m_holdsLock; }
    QString lockPath() const { return m_lockPath; }

    // Where lock and socket go for this work root; empty when no safe folder exists.
    static QString privateFolder(const QString &workRoot);
    QString socketPath() const { return m_socketPath; }

signals:
    void raiseRequested(const qen::ActivationToken &token);
    void commandLineReceived(const QString &line);

private:
    void serve(QLocalSocket *socket);

    QString m_root;
    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    bool m_holdsLock = false;
};

} // namespace qen
