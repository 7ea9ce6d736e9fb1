#pragma once

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;

namespace qen {

// Finds the running copy of the program. The first copy holds a lock file for its whole life
// and listens on a local socket; a later copy fails to take the lock and asks the first, over
// the socket, to raise its window. The lock decides the race when many copies start at once,
// and it is released by the system if the holder dies, so a crash never blocks the next start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The name is derived from the user, the caption and the work root (copies with different
    // work roots cannot hand over to each other, so they do not count as the same program).
    explicit SingleInstance(const QString &workRoot, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running copy.
    bool becomePrimary();
    // Asks the running copy to raise its window; waits up to timeoutMs for it to listen.
    bool askPrimaryToRaise(int timeoutMs = 5000);

    QString serverName() const { return m_name; }

signals:
    void raiseRequested();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace qen
