#include "controls/HelpWindow.h"

#include "controls/HelpPage.h"
#include "platform/AppInfo.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace nw {

frmHelp::frmHelp(const QUrl& url, QWidget* parent)
    : QWidget(parent), m_url(url), m_page(new HelpPage(this)), m_browser(new QTextBrowser(this))
{
    setWindowTitle(QStringLiteral("%1 Help").arg(appTitle()));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_browser);
    connect(m_page, &HelpPage::loaded, this, [this](const QString& html, bool online) {
        m_browser->setHtml(html);
        emit pageShown(online);
    });
}

QString frmHelp::shownText() const { return m_browser->toPlainText(); }

void frmHelp::reload()
{
    m_browser->setHtml(QStringLiteral("<p>Loading %1 …</p>").arg(m_url.toString().toHtmlEscaped()));
    m_page->load(m_url);
}

void frmHelp::showShipped()
{
    m_browser->setHtml(HelpPage::shippedPage());
    emit pageShown(false);
}

} // namespace nw
