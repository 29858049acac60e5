#include "platform/SingleInstance.h"

#include "platform/AppInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace nw {

namespace {
constexpr int kCallWaitMs = 3000;
const QByteArray kComeForward("forward\n");
} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent) : QObject(parent)
{
    QString where = folder;
    if (where.isEmpty())
        where = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (where.isEmpty())
        where = QDir::tempPath();
    QDir().mkpath(where);
    const QString lockPath = QDir(where).absoluteFilePath(appTitle() + QStringLiteral(".lock"));
    // One name per lock file: two users (or two sandboxes) never meet.
    m_name = appTitle() + QLatin1Char('-') +
             QString::fromLatin1(
                 QCryptographicHash::hash(lockPath.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    m_lock = std::make_unique<QLockFile>(lockPath);
    // Stale only when its process is gone: the first copy runs for days.
    m_lock->setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            const auto read = [this, peer] {
                if (peer->canReadLine() && peer->readLine() == kComeForward)
                    emit called();
            };
            connect(peer, &QLocalSocket::readyRead, this, read);
            read();
        }
    });
}

bool SingleInstance::claim()
{
    // A lock left by a copy that died is taken over (QLockFile checks its process).
    if (!m_lock->tryLock(0))
        return false;
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_name);
    return true;
}

bool SingleInstance::callFirst()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kCallWaitMs))
        return false;
    socket.write(kComeForward);
    const bool written = socket.waitForBytesWritten(kCallWaitMs);
    socket.disconnectFromServer();
    return written;
}

} // namespace nw
