#pragma once

// What the benchmarks share: clocks, memory figures, quiet prompts and small loopback peers.

#include "platform/Prompts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sys/resource.h>

#include <ctime>
#include <functional>

namespace nw::bench {

inline qint64 clockNs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// CPU time of the calling thread; on a busy machine the wall clock also counts other processes.
inline qint64 threadCpuNs()
{
    return clockNs(CLOCK_THREAD_CPUTIME_ID);
}
// CPU time of every thread of this process.
inline qint64 processCpuNs()
{
    return clockNs(CLOCK_PROCESS_CPUTIME_ID);
}

inline long peakMemoryKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A "Name:   123 kB" figure of /proc/self/status (VmRSS, RssAnon, ...), or -1.
inline long statusKiB(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

inline double perSecond(qint64 count, qint64 ns)
{
    return ns > 0 ? double(count) * 1e9 / double(ns) : 0.0;
}

// Runs `step` again and again for about `ns` of wall time; returns the steps and the thread CPU they used.
struct Run {
    qint64 steps = 0;
    qint64 cpuNs = 0;
    qint64 wallNs = 0;
};
inline Run runFor(qint64 ns, const std::function<void()>& step)
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = threadCpuNs();
    while (clock.nsecsElapsed() < ns) {
        step();
        ++run.steps;
    }
    run.cpuNs = threadCpuNs() - cpuStart;
    run.wallNs = clock.nsecsElapsed();
    return run;
}

// Message boxes would flood the terminal or stop the clock: count them and take the first button.
class CountingPrompts : public Prompts {
public:
    qint64 count = 0;
    PromptAnswer ask(const Prompt& prompt) override
    {
        ++count;
        return buttonsOf(prompt.buttons).first();
    }
};

// A loopback server that answers each line a client sends with `reply(line)`, and greets with `greeting`.
// A reply of "CLOSE" closes the connection.
class LinePeer : public QTcpServer {
public:
    LinePeer(QByteArray greeting, std::function<QByteArray(const QByteArray&)> reply)
        : m_greeting(std::move(greeting)), m_reply(std::move(reply))
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = nextPendingConnection()) {
                s->write(m_greeting);
                connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    while (s->canReadLine()) {
                        const QByteArray answer = m_reply(s->readLine());
                        if (answer == "CLOSE") {
                            s->disconnectFromHost();
                            return;
                        }
                        s->write(answer);
                    }
                });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

private:
    QByteArray m_greeting;
    std::function<QByteArray(const QByteArray&)> m_reply;
};

// An SMTP server that takes every message; `accepted` runs when one has been taken. One dialogue at a time.
class SmtpPeer : public LinePeer {
public:
    explicit SmtpPeer(std::function<void()> accepted = {})
        : LinePeer("220 bench\r\n", [this](const QByteArray& line) { return answer(line); }),
          m_accepted(std::move(accepted))
    {
    }

private:
    QByteArray answer(const QByteArray& line)
    {
        if (m_inData) {
            if (line != ".\r\n")
                return {};
            m_inData = false;
            if (m_accepted)
                m_accepted();
            return "250 accepted\r\n";
        }
        if (line.startsWith("DATA")) {
            m_inData = true;
            return "354 go on\r\n";
        }
        if (line.startsWith("QUIT"))
            return "221 bye\r\n";
        return "250 ok\r\n";
    }

    std::function<void()> m_accepted;
    bool m_inData = false;
};

// Runs a server on a thread of its own, so that its work is not counted in the client's thread.
template <typename Server> class ServerThread : public QThread {
public:
    ServerThread()
    {
        start();
        m_ready.acquire();
    }
    ~ServerThread() override
    {
        quit();
        wait();
    }
    quint16 port() const { return m_port; }

protected:
    void run() override
    {
        Server server;
        m_port = server.serverPort();
        m_ready.release();
        exec();
    }

private:
    QSemaphore m_ready;
    quint16 m_port = 0;
};

} // namespace nw::bench
