#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace nw {

class HelpPage;

// The on-line help window: the vendor's help page, or a local page that says why it is missing.
class frmHelp : public QWidget {
    Q_OBJECT

public:
    explicit frmHelp(const QUrl& url, QWidget* parent = nullptr);

    QString shownText() const;
    // Loads the page again (each time the window is opened from the menu).
    void reload();

signals:
    void pageShown(bool online);

private:
    QUrl m_url;
    HelpPage* m_page;
    QTextBrowser* m_browser;
};

} // namespace nw
