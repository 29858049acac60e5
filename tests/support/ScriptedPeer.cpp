#include "support/ScriptedPeer.h"

#include <QPointer>
#include <QSslSocket>
#include <QTimer>

namespace nw::test {

struct ScriptedPeer::Run {
    QPointer<QTcpSocket> socket;
    QList<Step> script;
    int step = 0;
    bool waiting = false; // a step is in progress (pause, read, release, flood)
    QByteArray buffer;
    qint64 flooded = 0;
    int releasesSeen = 0;

    // Stopped at a step of this kind until its event comes.
    bool waitsOn(Step::Kind kind) const { return waiting && step < script.size() && script.at(step).kind == kind; }
};

ScriptedPeer::ScriptedPeer(QList<Step> script, QObject* parent) : QObject(parent), m_script(std::move(script))
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedPeer::accept);
}

void ScriptedPeer::Server::incomingConnection(qintptr descriptor)
{
    auto* socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    if (tls) {
        socket->setSslConfiguration(*tls);
        socket->startServerEncryption();
    }
    addPendingConnection(socket);
}

quint16 ScriptedPeer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort(); // closed when the probe goes
}

void ScriptedPeer::release()
{
    ++m_releases;
    for (const auto& run : m_runs)
        if (run->waitsOn(Step::WaitRelease))
            advance(run.get());
}

void ScriptedPeer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        auto run = std::make_shared<Run>();
        run->socket = socket;
        run->script = m_perConnection.value(m_connections++, m_script);
        socket->setParent(this);
        m_runs.append(run);
        Run* r = run.get();
        connect(socket, &QTcpSocket::readyRead, this, [this, r] {
            const QByteArray bytes = r->socket->readAll();
            m_received += bytes;
            r->buffer += bytes;
            if (r->waitsOn(Step::ReadLine))
                advance(r);
        });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, r] {
            if (r->waitsOn(Step::Flood))
                advance(r);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, r] {
            // A pause still running must not take the finished script one step further.
            r->waiting = false;
            r->step = std::numeric_limits<int>::max();
            ++m_disconnections;
            r->socket->deleteLater(); // a peer of a long test serves thousands of connections
        });
        advance(r);
    }
}

void ScriptedPeer::advance(Run* run)
{
    // Whether the step is done; when it is not, the run waits for its event.
    const auto ready = [run](bool stepDone) {
        run->waiting = !stepDone;
        return stepDone;
    };
    for (; run->step < run->script.size(); ++run->step) {
        const Step& s = run->script.at(run->step);
        switch (s.kind) {
        case Step::Send:
            run->socket->write(s.bytes);
            run->socket->flush();
            break;
        case Step::ReadLine: {
            const qsizetype at = run->buffer.indexOf(s.bytes);
            if (!ready(at >= 0))
                return;
            const qsizetype end = at + s.bytes.size();
            // A copy of its own: a line that is the whole buffer would otherwise keep the socket's read chunk.
            m_lines.append(QByteArray(run->buffer.constData(), end));
            run->buffer.remove(0, end);
            break;
        }
        case Step::Pause:
            if (!run->waiting) {
                run->waiting = true;
                QTimer::singleShot(int(s.amount), this, [this, run] {
                    if (!run->waiting)
                        return;
                    run->waiting = false;
                    ++run->step;
                    advance(run);
                });
            }
            return;
        case Step::WaitRelease:
            if (!ready(m_releases > run->releasesSeen))
                return;
            ++run->releasesSeen;
            break;
        case Step::Close:
        case Step::Reset:
            s.kind == Step::Close ? run->socket->disconnectFromHost() : run->socket->abort();
            run->step = run->script.size();
            emit scriptFinished();
            return;
        case Step::Hold:
            run->waiting = true;
            return;
        case Step::Flood:
            if (ready(run->flooded >= s.amount))
                break;
            if (run->socket->bytesToWrite() < 4 * s.bytes.size()) {
                run->socket->write(s.bytes);
                run->flooded += s.bytes.size();
            }
            return;
        }
    }
    emit scriptFinished();
}

} // namespace nw::test
