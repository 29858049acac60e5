#include "platform/HttpTransfer.h"

#include "platform/AppInfo.h"
#include "platform/HttpAnswer.h"
#include "platform/LocalWait.h"
#include "platform/TlsFailure.h"

#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace nw {

// One request and its answer over a connection of its own.
class HttpExchange : public QObject {
    Q_OBJECT

public:
    HttpExchange(const QUrl& url, const QByteArray& request, int timeoutMs, const QList<QSslCertificate>& extraCa,
                 QObject* parent);
    // A socket still connected signals its close while it is destroyed, after the timer it would restart.
    ~HttpExchange() override { m_socket.disconnect(this); }

    bool headerDone() const { return m_answer.headerDone(); }
    bool finished() const { return m_finished; }
    const HttpAnswer& answer() const { return m_answer; }
    QByteArray take(int maxBytes);
    void abort();

signals:
    void headerArrived();
    void dataArrived();
    void done();

private:
    void read();
    void pull();
    void finish();

    QSslSocket m_socket;
    QTimer m_idle;
    QByteArray m_request;
    HttpAnswer m_answer;
    QList<QSslError> m_sslErrors;
    QSslCertificate m_presented;
    bool m_finished = false;
    bool m_aborted = false;
    bool m_closed = false; // the server closed the connection; what it sent may still wait in the socket
};

namespace {
// Body bytes held for a reader that is slower than the network; past this the socket is left unread, so
// TCP slows the server down instead of memory growing.
constexpr qint64 kMaxBuffered = 256 * 1024;
} // namespace

HttpExchange::HttpExchange(const QUrl& url, const QByteArray& request, int timeoutMs,
                           const QList<QSslCertificate>& extraCa, QObject* parent)
    : QObject(parent), m_request(request)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(timeoutMs);
    m_socket.setReadBufferSize(kMaxBuffered);
    connect(&m_idle, &QTimer::timeout, this, &HttpExchange::abort);
    connect(&m_socket, &QSslSocket::readyRead, this, &HttpExchange::read);
    connect(&m_socket, &QSslSocket::disconnected, this, [this] {
        if (m_aborted)
            return;
        m_closed = true;
        read();
        finish();
    });
    connect(&m_socket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SslHandshakeFailedError)
            m_answer.fail(m_sslErrors.isEmpty()
                              ? QStringLiteral("TLS could not be started: ") + m_socket.errorString()
                              : certificateFailure(m_sslErrors, m_presented));
        if (error != QAbstractSocket::RemoteHostClosedError)
            finish();
    });
    m_idle.start();
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) {
        connect(&m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            m_sslErrors = errors;
            m_presented = m_socket.peerCertificate();
        });
        connect(&m_socket, &QSslSocket::encrypted, this, [this] { m_socket.write(m_request); });
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(extraCa);
        m_socket.setSslConfiguration(tls);
        m_socket.connectToHostEncrypted(url.host(), quint16(url.port(443)));
    } else if (scheme == QLatin1String("http")) {
        connect(&m_socket, &QSslSocket::connected, this, [this] { m_socket.write(m_request); });
        m_socket.connectToHost(url.host(), quint16(url.port(80)));
    } else {
        m_answer.fail(QStringLiteral("Only http and https addresses can be fetched, not \"%1\".").arg(url.toString()));
        QTimer::singleShot(0, this, &HttpExchange::finish);
    }
}

QByteArray HttpExchange::take(int maxBytes)
{
    // What was left unread while the buffer was full, also after the close.
    if (!m_aborted)
        read();
    return m_answer.take(maxBytes);
}

void HttpExchange::abort()
{
    m_aborted = true;
    m_socket.abort();
    finish();
}

void HttpExchange::pull()
{
    while (!m_answer.ended() && m_answer.available() < kMaxBuffered && m_socket.bytesAvailable() > 0)
        m_answer.feed(m_socket.read(kMaxBuffered - m_answer.available()));
    if (m_closed && m_socket.bytesAvailable() == 0)
        m_answer.closed();
}

void HttpExchange::read()
{
    if (m_aborted)
        return;
    if (!m_finished)
        m_idle.start();
    const bool hadHeader = m_answer.headerDone();
    const qint64 before = m_answer.available();
    pull();
    if (!hadHeader && m_answer.headerDone())
        emit headerArrived();
    if (m_answer.available() > before)
        emit dataArrived();
    if (m_answer.ended() && !m_closed)
        abort();
}

void HttpExchange::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_idle.stop();
    emit done();
}

HttpTransfer::HttpTransfer(QObject* parent) : QObject(parent) {}

HttpTransfer::~HttpTransfer() { cancel(); }

HttpExchange* HttpTransfer::start(const QUrl& url, const QString& method, const QByteArray& body,
                                  const QString& headers)
{
    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (url.port() > 0 && url.port() != (url.scheme().toLower() == QLatin1String("https") ? 443 : 80))
        host += ':' + QByteArray::number(url.port());
    QByteArray request = method.toLatin1() + ' ' + path + " HTTP/1.1\r\nHost: " + host +
                         "\r\nConnection: close\r\nUser-Agent: " + appTitle().toLatin1() + '/' +
                         versionText().toLatin1() + "\r\n";
    if (!m_userName.isEmpty() || !m_password.isEmpty())
        request += "Authorization: Basic " + (m_userName + QLatin1Char(':') + m_password).toUtf8().toBase64() + "\r\n";
    if (!body.isEmpty())
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    request += headers.toLatin1();
    if (!headers.isEmpty() && !headers.endsWith(QLatin1String("\r\n")))
        request += "\r\n";
    request += "\r\n" + body;
    return new HttpExchange(url, request, m_timeoutMs, m_extraCa, this);
}

void HttpTransfer::fetch(const QString& url)
{
    HttpExchange* exchange = start(QUrl(url), QStringLiteral("GET"), {}, {});
    connect(exchange, &HttpExchange::headerArrived, exchange, &HttpExchange::abort);
    connect(exchange, &HttpExchange::done, exchange, &QObject::deleteLater);
}

void HttpTransfer::execute(const QString& url, const QString& method, const QByteArray& body, const QString& headers)
{
    cancel();
    m_url = QUrl(url);
    m_exchange = start(m_url, method, body, headers);
    HttpExchange* exchange = m_exchange;
    const auto announce = [this, exchange] {
        if (exchange == m_exchange)
            emit headersReceived();
    };
    connect(exchange, &HttpExchange::headerArrived, this, announce);
    connect(exchange, &HttpExchange::done, this, [exchange, announce] {
        if (!exchange->headerDone())
            announce();
    });
}

bool HttpTransfer::stillExecuting() const { return m_exchange && !m_exchange->headerDone() && !m_exchange->finished(); }

QString HttpTransfer::responseHeaders() const
{
    if (!m_exchange || !m_exchange->headerDone())
        return QStringLiteral("\r\n");
    return QString::fromLatin1(m_exchange->answer().header());
}

QString HttpTransfer::responseHeader(const QString& name) const
{
    return m_exchange ? QString::fromLatin1(m_exchange->answer().field(name.toLatin1())) : QString();
}

qint64 HttpTransfer::contentLength() const { return m_exchange ? m_exchange->answer().contentLength() : -1; }

bool HttpTransfer::bodyComplete() const { return m_exchange && m_exchange->answer().complete(); }

QString HttpTransfer::failure() const { return m_exchange ? m_exchange->answer().failure() : QString(); }

QByteArray HttpTransfer::getChunk(int maxBytes)
{
    if (!m_exchange || maxBytes <= 0)
        return {};
    HttpExchange* exchange = m_exchange;
    // A short chunk means "the body ended" to the callers, so wait for a full one unless it did.
    LocalWait wait([&] { return !m_exchange || exchange->answer().available() >= maxBytes || exchange->finished(); });
    wait.wakeOn(exchange, &HttpExchange::dataArrived);
    wait.wakeOn(exchange, &HttpExchange::done);
    wait.wakeOn(exchange, &QObject::destroyed);
    wait.run(m_timeoutMs + 1000); // the exchange's own idle bound ends a silent one first
    if (!m_exchange)
        return {};
    return exchange->take(maxBytes);
}

void HttpTransfer::cancel()
{
    if (m_exchange) {
        HttpExchange* exchange = m_exchange;
        m_exchange = nullptr;
        exchange->abort();
        exchange->deleteLater();
    }
}

} // namespace nw

#include "HttpTransfer.moc"
