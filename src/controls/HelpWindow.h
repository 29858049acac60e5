#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace nw {

class HelpPage;

// The help window: the vendor's on-line help page, or the help shipped with the program.
class frmHelp : public QWidget {
    Q_OBJECT

public:
    explicit frmHelp(const QUrl& url, QWidget* parent = nullptr);

    QString shownText() const;
    // Loads the on-line page (each time the window is opened from the menu); the shipped help when it fails.
    void reload();
    // The shipped help, without going on line.
    void showShipped();

signals:
    void pageShown(bool online);

private:
    QUrl m_url;
    HelpPage* m_page;
    QTextBrowser* m_browser;
};

} // namespace nw
