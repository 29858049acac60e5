#include "controls/HelpPage.h"

#include "platform/AppInfo.h"

#include <QFile>

static void initHelpResources() { Q_INIT_RESOURCE(help); }

namespace nw {

namespace {
constexpr int kChunk = 65536;
// More than any help page; a server that sends without end is cut off here.
constexpr qsizetype kMaxPage = 8 * 1024 * 1024;
} // namespace

QString HelpPage::shippedPage()
{
    initHelpResources();
    QFile page(QStringLiteral(":/help/help.html"));
    page.open(QIODevice::ReadOnly);
    return QString::fromUtf8(page.readAll());
}

HelpPage::HelpPage(QObject* parent) : QObject(parent)
{
    connect(&m_http, &HttpTransfer::headersReceived, this, &HelpPage::headersReceived);
}

QString HelpPage::offlinePage(const QUrl& url, const QString& reason)
{
    const QString note = QStringLiteral("<p><i>The on-line help could not be loaded from %1. %2 This is the help "
                                        "that came with %3.</i></p>")
                             .arg(url.toString().toHtmlEscaped(), reason.toHtmlEscaped(), appTitle());
    QString page = shippedPage();
    const qsizetype body = page.indexOf(QLatin1String("<body>"));
    return body < 0 ? note + page : page.insert(body + 6, note);
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
