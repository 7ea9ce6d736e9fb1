#include "shell/ui/singleinstance.h"

#include "platform/product.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <algorithm>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace qen {

namespace {

const QByteArray RaiseRequest("raise");
const QByteArray OpenRequest("open ");
const QByteArray Acknowledged("ok\n");

// Ours alone: a real folder owned by us that no one else may write to (and, for a folder
// shared by other programs, that no one else may enter either).
bool isPrivate(const QString &folder, mode_t forbidden) {
    struct stat st;
    return ::stat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::getuid() && (st.st_mode & forbidden) == 0;
}

QString baseName(const QString &workRoot) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(workRoot).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    return product::name().remove(QLatin1Char(' ')) + QLatin1Char('-') + QString::fromLatin1(hash);
}

bool socketPathFits(const QString &folder, const QString &name) {
    return QFile::encodeName(folder + QLatin1Char('/') + name + QStringLiteral(".sock")).size() <
           qsizetype(sizeof(sockaddr_un::sun_path));
}

} // namespace

SingleInstance::SingleInstance(const QString &workRoot, QObject *parent)
    : QObject(parent), m_root(QDir::cleanPath(workRoot)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::privateFolder(const QString &workRoot) {
    const QString name = baseName(workRoot);
    if (isPrivate(workRoot, S_IWGRP | S_IWOTH) && socketPathFits(workRoot, name))
        return workRoot;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && isPrivate(runtime, S_IRWXG | S_IRWXO) &&
        socketPathFits(runtime, name))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/qenbrowser-%1").arg(::getuid());
    ::mkdir(QFile::encodeName(own).constData(), S_IRWXU);
    // Made by someone else first, or opened up: not ours to trust.
    if (isPrivate(own, S_IRWXG | S_IRWXO) && socketPathFits(own, name))
        return own;
    return QString();
}

bool SingleInstance::becomePrimary() {
    // The root first: copies started at once on a fresh root must meet in it.
    if (!QFileInfo(m_root).isDir() && QDir().mkpath(QFileInfo(m_root).path()))
        ::mkdir(QFile::encodeName(m_root).constData(), S_IRWXU);
    const QString folder = privateFolder(m_root);
    if (folder.isEmpty())
        return true;
    const QString name = baseName(m_root);
    m_lockPath = folder + QLatin1Char('/') + name + QStringLiteral(".lock");
    m_socketPath = folder + QLatin1Char('/') + name + QStringLiteral(".sock");
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0); // never stale by age, only when its holder is gone
    if (!m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError)
        return false;
    // Holding the lock (or unable to lock at all): a socket left under the name is a dead
    // copy's.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(m_socketPath);
    m_holdsLock = m_lock->isLocked();
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            serve(socket);
    });
    return true;
}

void SingleInstance::serve(QLocalSocket *socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        // One request per connection, one line long; anything longer than a path is junk.
        if (!socket->canReadLine()) {
            if (socket->bytesAvailable() > 64 * 1024)
                socket->abort();
            return;
        }
        // "raise [token]" or "open <base64 line> [token]": the token word is what a copy of
        // this version adds, so a request without one is still understood.
        const QList<QByteArray> words = socket->readLine(64 * 1024).trimmed().split(' ');
        const bool open = words.first() == OpenRequest.trimmed() && words.size() >= 2;
        const qsizetype tokenAt = open ? 2 : 1;
        if ((!open && words.first() != RaiseRequest) || words.size() > tokenAt + 1) {
            socket->abort();
            return;
        }
        const ActivationToken token = words.size() > tokenAt
                                          ? ActivationToken::fromWord(words.at(tokenAt))
                                          : ActivationToken();
        if (open) {
            const QByteArray line = QByteArray::fromBase64(words.at(1));
            if (!line.isEmpty())
                emit commandLineReceived(QString::fromUtf8(line));
        }
        // Acknowledged once the line is queued: from here the running copy owns it.
        socket->write(Acknowledged);
        socket->flush();
        emit raiseRequested(token);
    });
}

bool SingleInstance::handOver(const QString &commandLine, const ActivationToken &token,
                              int timeoutMs) {
    if (m_socketPath.isEmpty())
        return false;
    QByteArray request =
        commandLine.isEmpty() ? RaiseRequest : OpenRequest + commandLine.toUtf8().toBase64();
    if (!token.isEmpty())
        request += ' ' + token.toWord();
    request += '\n';
    // The running copy may still be starting: retry until it listens and answers.
    QDeadlineTimer deadline(timeoutMs);
    do {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(200)) {
            socket.write(request);
            socket.waitForBytesWritten(1000);
            QByteArray reply;
            while (!reply.contains('\n') && !deadline.hasExpired() &&
                   socket.state() == QLocalSocket::ConnectedState) {
                if (socket.waitForReadyRead(
                        int(std::clamp<qint64>(deadline.remainingTime(), 1, 500))))
                    reply += socket.readAll();
            }
            reply += socket.readAll();
            if (reply.startsWith(Acknowledged))
                return true;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}

} // namespace qen
