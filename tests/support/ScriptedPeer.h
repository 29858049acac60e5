#pragma once

#include <QHash>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>
#include <optional>

namespace nw::test {

// A loopback TCP peer on a port chosen at run time that plays a script to every connection: the exact
// byte-level cases real servers will not produce on demand (chunk splits, silence, resets, floods).
class ScriptedPeer : public QObject {
    Q_OBJECT

public:
    struct Step {
        enum Kind { Send, ReadLine, Pause, WaitRelease, Close, Reset, Hold, Flood } kind;
        QByteArray bytes;
        qint64 amount = 0;
    };
    static Step send(const QByteArray& bytes) { return {Step::Send, bytes}; }
    // Waits for one line from the client (up to and including LF) and records it.
    static Step readLine() { return readUntil("\n"); }
    // Waits until the client has sent `marker` and records everything up to and including it.
    static Step readUntil(const QByteArray& marker) { return {Step::ReadLine, marker}; }
    static Step pause(int ms) { return {Step::Pause, {}, ms}; }
    // Waits until the test calls release(): lets a test see the client handle one chunk before the next.
    static Step waitRelease() { return {Step::WaitRelease, {}}; }
    static Step close() { return {Step::Close, {}}; }
    static Step reset() { return {Step::Reset, {}}; }
    // Stays connected and silent until the client gives up.
    static Step hold() { return {Step::Hold, {}}; }
    // Sends `bytes` over and over, `total` bytes at most, as fast as the client reads.
    static Step flood(const QByteArray& bytes, qint64 total) { return {Step::Flood, bytes, total}; }
    // A WHOIS server's whole exchange: reads the query line, answers `text` and closes.
    static QList<Step> answer(const QByteArray& text) { return {readLine(), send(text), close()}; }

    explicit ScriptedPeer(QList<Step> script, QObject* parent = nullptr);

    // Speaks TLS with this configuration (certificate and key) on every later connection.
    void useTls(const QSslConfiguration& configuration) { m_server.tls = configuration; }

    // Plays `script` to the connection numbered `connection` (0-based) instead of the common one.
    void setScriptFor(int connection, QList<Step> script) { m_perConnection.insert(connection, std::move(script)); }

    quint16 port() const { return m_server.serverPort(); }
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    int connections() const { return m_connections; }
    // Connections that have ended, whoever closed them.
    int disconnections() const { return m_disconnections; }
    // What the read steps took, in order, over all connections (line ends kept); everything the clients sent.
    const QList<QByteArray>& lines() const { return m_lines; }
    const QByteArray& received() const { return m_received; }
    void release();

    // A loopback port with nothing listening: connections to it are refused.
    static quint16 closedPort();

signals:
    void scriptFinished();

private:
    struct Run;
    void accept();
    void advance(Run* run);
    // Starts TLS, when asked, on every socket it accepts.
    struct Server : QTcpServer {
        std::optional<QSslConfiguration> tls;
        void incomingConnection(qintptr descriptor) override;
    } m_server;
    QList<Step> m_script;
    QHash<int, QList<Step>> m_perConnection;
    QList<std::shared_ptr<Run>> m_runs;
    QList<QByteArray> m_lines;
    QByteArray m_received;
    int m_connections = 0;
    int m_disconnections = 0;
    int m_releases = 0;
};

} // namespace nw::test
