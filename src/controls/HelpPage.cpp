#include "controls/HelpPage.h"

#include "platform/AppInfo.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace nw {

HelpPage::HelpPage(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {}

QUrl HelpPage::defaultUrl() { return QUrl(defaultVendorBase() + QStringLiteral("/help")); }

QString HelpPage::offlinePage(const QUrl& url, const QString& reason)
{
    return QStringLiteral("<html><body><h2>%1 Help</h2>"
                          "<p>The on-line help could not be loaded from <b>%2</b>.</p><p>%3</p>"
                          "<p>Please check your Internet connection and open Online Help again.</p></body></html>")
        .arg(appTitle(), url.toString().toHtmlEscaped(), reason.toHtmlEscaped());
}

void HelpPage::load(const QUrl& url)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeoutMs);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, url] {
        reply->deleteLater();
        m_reply = nullptr;
        if (reply->error() != QNetworkReply::NoError) {
            emit loaded(offlinePage(url, reply->errorString()), false);
            return;
        }
        const QString html = QString::fromUtf8(reply->readAll());
        if (html.trimmed().isEmpty())
            emit loaded(offlinePage(url, QStringLiteral("The server sent an empty page.")), false);
        else
            emit loaded(html, true);
    });
}

} // namespace nw
