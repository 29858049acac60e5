#include "platform/HttpTransfer.h"

#include "platform/LocalWait.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace nw {

HttpTransfer::HttpTransfer(QObject* parent) : QObject(parent) {}

HttpTransfer::~HttpTransfer() { cancel(); }

void HttpTransfer::fetch(const QString& url)
{
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_manager.get(request);
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

void HttpTransfer::execute(const QString& url, const QString& method, const QByteArray& body, const QString& headers)
{
    cancel();
    m_url = QUrl(url);
    if (!m_userName.isEmpty() || !m_password.isEmpty()) {
        m_url.setUserName(m_userName);
        m_url.setPassword(m_password);
    }
    QNetworkRequest request(m_url);
    request.setTransferTimeout(m_timeoutMs);
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0)
            request.setRawHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toLatin1());
    }
    m_headersDone = false;
    m_finished = false;
    m_reply = m_manager.sendCustomRequest(request, method.toLatin1(), body);
    QNetworkReply* reply = m_reply;
    const auto headersArrived = [this, reply] {
        if (reply != m_reply || m_headersDone)
            return;
        m_headersDone = true;
        emit headersReceived();
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, headersArrived);
    connect(reply, &QNetworkReply::finished, this, [this, reply, headersArrived] {
        if (reply != m_reply)
            return;
        m_finished = true;
        headersArrived();
    });
}

bool HttpTransfer::stillExecuting() const { return m_reply && !m_headersDone; }

QString HttpTransfer::responseHeaders() const
{
    if (!m_reply)
        return QStringLiteral("\r\n");
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return QStringLiteral("\r\n");
    QString text = QStringLiteral("HTTP/1.1 %1 %2\r\n")
                       .arg(status.toInt())
                       .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    for (const auto& [name, value] : m_reply->rawHeaderPairs())
        text += QString::fromLatin1(name) + QStringLiteral(": ") + QString::fromLatin1(value) + QStringLiteral("\r\n");
    return text + QStringLiteral("\r\n");
}

QString HttpTransfer::responseHeader(const QString& name) const
{
    return m_reply ? QString::fromLatin1(m_reply->rawHeader(name.toLatin1())) : QString();
}

QByteArray HttpTransfer::getChunk(int maxBytes)
{
    if (!m_reply || maxBytes <= 0)
        return {};
    QNetworkReply* reply = m_reply;
    // A short chunk means "the body ended" to the callers, so wait for a full one unless it did.
    LocalWait wait([&] { return !m_reply || reply->bytesAvailable() >= maxBytes || m_finished; });
    wait.wakeOn(reply, &QNetworkReply::readyRead);
    wait.wakeOn(reply, &QNetworkReply::finished);
    wait.wakeOn(reply, &QObject::destroyed);
    wait.run(m_timeoutMs);
    if (!m_reply)
        return {};
    return reply->read(maxBytes);
}

void HttpTransfer::cancel()
{
    if (m_reply) {
        QNetworkReply* reply = m_reply;
        m_reply = nullptr;
        reply->abort();
        reply->deleteLater();
    }
    m_headersDone = false;
    m_finished = false;
}

} // namespace nw
