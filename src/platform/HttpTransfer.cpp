#include "platform/HttpTransfer.h"

#include "platform/AppInfo.h"
#include "platform/LocalWait.h"

#include <QTcpSocket>
#include <QTimer>

namespace nw {

// One request and its answer over a connection of its own.
class HttpExchange : public QObject {
    Q_OBJECT

public:
    HttpExchange(const QUrl& url, const QByteArray& request, int timeoutMs, QObject* parent);
    // A socket still connected signals its close while it is destroyed, after the timer it would restart.
    ~HttpExchange() override { m_socket.disconnect(this); }

    bool headerDone() const { return m_headerDone; }
    bool finished() const { return m_finished; }
    const QByteArray& header() const { return m_header; }
    QByteArray field(const QByteArray& name) const;
    qint64 available() const { return m_body.size(); }
    QByteArray take(int maxBytes);
    void abort();

signals:
    void headerArrived();
    void dataArrived();
    void done();

private:
    void read();
    void parseBody();
    void finish();

    QTcpSocket m_socket;
    QTimer m_idle;
    QByteArray m_request;
    QByteArray m_in;     // received, not yet parsed
    QByteArray m_header; // the status line and fields, ended by an empty line
    QByteArray m_body;   // parsed body bytes not yet taken
    bool m_headerDone = false;
    bool m_finished = false;
    bool m_chunked = false;
    qint64 m_remaining = -1; // body bytes still expected (-1: until the connection closes)
    qint64 m_chunkLeft = 0;  // bytes left in the current chunk
};

namespace {
// A server that sends a header larger than this is not talking HTTP to us.
constexpr int kMaxHeader = 64 * 1024;
} // namespace

HttpExchange::HttpExchange(const QUrl& url, const QByteArray& request, int timeoutMs, QObject* parent)
    : QObject(parent), m_request(request)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(timeoutMs);
    connect(&m_idle, &QTimer::timeout, this, &HttpExchange::abort);
    connect(&m_socket, &QTcpSocket::connected, this, [this] { m_socket.write(m_request); });
    connect(&m_socket, &QTcpSocket::readyRead, this, &HttpExchange::read);
    connect(&m_socket, &QTcpSocket::disconnected, this, [this] {
        read();
        finish();
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            finish();
    });
    m_idle.start();
    m_socket.connectToHost(url.host(), quint16(url.port(80)));
}

QByteArray HttpExchange::field(const QByteArray& name) const
{
    const QList<QByteArray> lines = m_header.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QByteArray HttpExchange::take(int maxBytes)
{
    const QByteArray out = m_body.left(maxBytes);
    m_body.remove(0, out.size());
    return out;
}

void HttpExchange::abort()
{
    m_socket.abort();
    finish();
}

void HttpExchange::read()
{
    if (m_socket.bytesAvailable() > 0)
        m_in += m_socket.readAll();
    if (m_finished)
        return;
    m_idle.start();
    if (!m_headerDone) {
        const qsizetype end = m_in.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_in.size() > kMaxHeader)
                abort();
            return;
        }
        m_header = m_in.left(end + 4);
        m_in.remove(0, end + 4);
        m_headerDone = true;
        m_chunked = field("Transfer-Encoding").toLower().contains("chunked");
        bool ok = false;
        const qint64 length = field("Content-Length").toLongLong(&ok);
        if (!m_chunked && ok)
            m_remaining = length;
        const int status = m_header.mid(9, 3).toInt();
        if (status == 204 || status == 304 || (status >= 100 && status < 200))
            m_remaining = 0;
        emit headerArrived();
    }
    parseBody();
}

void HttpExchange::parseBody()
{
    const qsizetype before = m_body.size();
    if (!m_chunked) {
        const qsizetype n = m_remaining < 0 ? m_in.size() : std::min<qint64>(m_in.size(), m_remaining);
        m_body += m_in.left(n);
        m_in.remove(0, n);
        if (m_remaining >= 0)
            m_remaining -= n;
    } else {
        // RFC 9112 7.1: size line, data, CR LF; a zero size ends the body.
        for (;;) {
            if (m_chunkLeft > 0) {
                const qsizetype n = std::min<qint64>(m_in.size(), m_chunkLeft);
                m_body += m_in.left(n);
                m_in.remove(0, n);
                m_chunkLeft -= n;
                if (m_chunkLeft > 0)
                    break;
                m_chunkLeft = -2; // the CR LF after the data
            }
            if (m_chunkLeft == -2) {
                if (m_in.size() < 2)
                    break;
                m_in.remove(0, 2);
                m_chunkLeft = 0;
            }
            const qsizetype eol = m_in.indexOf("\r\n");
            if (eol < 0)
                break;
            bool ok = false;
            const qint64 size = m_in.left(eol).split(';').first().trimmed().toLongLong(&ok, 16);
            m_in.remove(0, eol + 2);
            if (!ok || size < 0) {
                abort();
                return;
            }
            if (size == 0) {
                m_remaining = 0;
                break;
            }
            m_chunkLeft = size;
        }
    }
    if (m_body.size() > before)
        emit dataArrived();
    if (m_remaining == 0) {
        m_socket.abort();
        finish();
    }
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
    if (url.port() > 0 && url.port() != 80)
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
    return new HttpExchange(url, request, m_timeoutMs, this);
}

void HttpTransfer::fetch(const QString& url)
{
    HttpExchange* exchange = start(QUrl(url), QStringLiteral("GET"), {}, {});
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
    return QString::fromLatin1(m_exchange->header());
}

QString HttpTransfer::responseHeader(const QString& name) const
{
    return m_exchange ? QString::fromLatin1(m_exchange->field(name.toLatin1())) : QString();
}

QByteArray HttpTransfer::getChunk(int maxBytes)
{
    if (!m_exchange || maxBytes <= 0)
        return {};
    HttpExchange* exchange = m_exchange;
    // A short chunk means "the body ended" to the callers, so wait for a full one unless it did.
    LocalWait wait([&] { return !m_exchange || exchange->available() >= maxBytes || exchange->finished(); });
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
