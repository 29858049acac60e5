#include "controls/HelpPage.h"

#include "platform/AppInfo.h"

namespace nw {

namespace {
constexpr int kChunk = 65536;
// More than any help page; a server that sends without end is cut off here.
constexpr qsizetype kMaxPage = 8 * 1024 * 1024;
} // namespace

HelpPage::HelpPage(QObject* parent) : QObject(parent)
{
    connect(&m_http, &HttpTransfer::headersReceived, this, &HelpPage::headersReceived);
}

QString HelpPage::offlinePage(const QUrl& url, const QString& reason)
{
    return QStringLiteral("<html><body><h2>%1 Help</h2>"
                          "<p>The on-line help could not be loaded from <b>%2</b>.</p><p>%3</p>"
                          "<p>Please check your Internet connection and open Online Help again.</p></body></html>")
        .arg(appTitle(), url.toString().toHtmlEscaped(), reason.toHtmlEscaped());
}

void HelpPage::load(const QUrl& url)
{
    m_url = url;
    m_http.setInactivityTimeout(timeoutMs);
    m_http.execute(url.toString());
}

void HelpPage::headersReceived()
{
    const QString headers = m_http.responseHeaders();
    const QString status = headers.mid(9, 3);
    if (status.isEmpty()) {
        const QString why = m_http.failure();
        emit loaded(offlinePage(m_url, why.isEmpty() ? QStringLiteral("The server did not answer.") : why), false);
        return;
    }
    if (status != QLatin1String("200")) {
        emit loaded(
            offlinePage(m_url, QStringLiteral("The server answered: ") + headers.section(QStringLiteral("\r\n"), 0, 0)),
            false);
        return;
    }
    QByteArray body;
    for (QByteArray chunk = m_http.getChunk(kChunk);; chunk = m_http.getChunk(kChunk)) {
        body += chunk;
        if (chunk.size() < kChunk || body.size() >= kMaxPage)
            break;
    }
    m_http.cancel();
    const QString html = QString::fromUtf8(body);
    if (html.trimmed().isEmpty())
        emit loaded(offlinePage(m_url, QStringLiteral("The server sent an empty page.")), false);
    else
        emit loaded(html, true);
}

} // namespace nw
