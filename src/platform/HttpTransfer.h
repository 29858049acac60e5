#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkReply;

namespace nw {

// The HTTP transfer component the windows talk through: fire-and-forget statistics requests, and
// requests whose response header and body the caller reads step by step (the update download).
class HttpTransfer : public QObject {
    Q_OBJECT

public:
    explicit HttpTransfer(QObject* parent = nullptr);
    ~HttpTransfer() override;

    // Sends a GET and returns at once; the answer is not looked at.
    void fetch(const QString& url);

    void setUserName(const QString& name) { m_userName = name; }
    void setPassword(const QString& password) { m_password = password; }

    // Starts a request and returns at once. `headers` holds extra request header lines, each ended by
    // CR LF ("Range: bytes=4096-\r\n").
    void execute(const QString& url, const QString& method = QStringLiteral("GET"), const QByteArray& body = {},
                 const QString& headers = {});

    // True until the response header has arrived or the request failed.
    bool stillExecuting() const;

    // The raw response header, status line first ("HTTP/1.1 200 OK\r\n…"), so that characters 10 to 12
    // are the status code; a bare CR LF when no connection was made.
    QString responseHeaders() const;
    // One header field's value, empty when absent.
    QString responseHeader(const QString& name) const;

    // The next `maxBytes` body bytes; waits (with the event loop running) until that many have arrived.
    // Fewer only at the end of the body, when the connection broke, or when nothing came within the bound.
    QByteArray getChunk(int maxBytes);

    // The host of the last request.
    QString remoteHost() const { return m_url.host(); }

    // Stops a running request.
    void cancel();

    // A request that receives nothing for this long is given up.
    void setInactivityTimeout(int ms) { m_timeoutMs = ms; }

signals:
    void headersReceived();

private:
    QNetworkAccessManager m_manager;
    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QString m_userName;
    QString m_password;
    bool m_headersDone = false;
    bool m_finished = false;
    int m_timeoutMs = 30000;
};

} // namespace nw
