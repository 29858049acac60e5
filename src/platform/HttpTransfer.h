#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QUrl>

namespace nw {

class HttpExchange;

// The HTTP transfer component the windows talk through: fire-and-forget statistics requests, and
// requests whose response header and body the caller reads step by step (the update download).
//
// HTTP/1.1 over a socket of its own (TLS for https, checked against the system's trust store), one
// connection per request. A general-purpose client
// (QNetworkAccessManager) silently sends a GET again when its connection drops in the middle of the
// body; the downloader must see that break, resume with its own Range request, and never get the
// start of a second answer spliced onto the first.
class HttpTransfer : public QObject {
    Q_OBJECT

public:
    explicit HttpTransfer(QObject* parent = nullptr);
    ~HttpTransfer() override;

    // Sends a GET and returns at once; the answer is not looked at, so the connection ends once its
    // header has come and no body is kept.
    void fetch(const QString& url);

    void setUserName(const QString& name) { m_userName = name; }
    void setPassword(const QString& password) { m_password = password; }

    // Starts a request and returns at once. `headers` holds extra request header lines, each ended by
    // CR LF ("Range: bytes=4096-\r\n").
    void execute(const QString& url, const QString& method = QStringLiteral("GET"), const QByteArray& body = {},
                 const QString& headers = {});

    // True until the response header has arrived or the request failed.
    bool stillExecuting() const;

    // The raw response header as the server sent it, status line first ("HTTP/1.1 200 OK\r\n…"), so
    // that characters 10 to 12 are the status code; a bare CR LF when no answer came.
    QString responseHeaders() const;
    // One header field's value, empty when absent.
    QString responseHeader(const QString& name) const;

    // The next `maxBytes` body bytes; waits (with the event loop running) until that many have arrived.
    // Fewer only at the end of the body, when the connection broke, or when nothing came within the bound.
    QByteArray getChunk(int maxBytes);

    // The body's length as the header announced it, -1 when not known in advance (chunked, or up to the
    // connection's close).
    qint64 contentLength() const;
    // The whole body arrived: its announced length, its last chunk, or the server's orderly close.
    bool bodyComplete() const;
    // Why the last request failed other than by a refused or broken connection (a certificate that could
    // not be verified, an answer that breaks the protocol or its bounds); empty otherwise.
    QString failure() const;

    // The host of the last request.
    QString remoteHost() const { return m_url.host(); }

    // Stops a running request.
    void cancel();

    // A request that receives nothing for this long is given up.
    void setInactivityTimeout(int ms) { m_timeoutMs = ms; }
    // Trusted for https on top of the system's store; tests trust their own certificate this way.
    void addCaCertificates(const QList<QSslCertificate>& certificates) { m_extraCa += certificates; }

signals:
    void headersReceived();

private:
    HttpExchange* start(const QUrl& url, const QString& method, const QByteArray& body, const QString& headers);

    QPointer<HttpExchange> m_exchange;
    QUrl m_url;
    QString m_userName;
    QString m_password;
    int m_timeoutMs = 30000;
    QList<QSslCertificate> m_extraCa;
};

} // namespace nw
