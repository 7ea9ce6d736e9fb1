#include "shell/ui/singleinstance.h"

#include "platform/product.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace qen {

namespace {
const QByteArray RaiseRequest("raise\n");
}

SingleInstance::SingleInstance(const QString &workRoot, QObject *parent) : QObject(parent) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(workRoot).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    m_name = QStringLiteral("%1-%2-%3")
                 .arg(product::name().remove(QLatin1Char(' ')))
                 .arg(::getuid())
                 .arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::becomePrimary() {
    m_lock = std::make_unique<QLockFile>(QDir::tempPath() + QLatin1Char('/') + m_name +
                                         QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0); // never stale by age, only when its holder is gone
    if (!m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError)
        return false;
    // Holding the lock (or unable to lock at all, e.g. an unwritable temp folder): any socket
    // left under the name is a dead copy's.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(m_name);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(RaiseRequest))
                    emit raiseRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

bool SingleInstance::askPrimaryToRaise(int timeoutMs) {
    // The first copy may still be starting: retry until it listens.
    QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(m_name);
        if (socket.waitForConnected(200)) {
            socket.write(RaiseRequest);
            const bool sent = socket.waitForBytesWritten(1000);
            socket.waitForDisconnected(500);
            return sent;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace qen
