#pragma once

#include <QObject>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace nw {

// Fetches the vendor's on-line help page. When it cannot be loaded (no answer within the bound, an HTTP
// failure, an empty page) the result is a local page that says so, never an empty window.
class HelpPage : public QObject {
    Q_OBJECT

public:
    explicit HelpPage(QObject* parent = nullptr);

    // The vendor's base address followed by "/help".
    static QUrl defaultUrl();
    int timeoutMs = 15000;

    void load(const QUrl& url);
    // The page shown when the help cannot be fetched; `reason` says why.
    static QString offlinePage(const QUrl& url, const QString& reason);

signals:
    // HTML to show and whether it came from the server.
    void loaded(const QString& html, bool online);

private:
    QNetworkAccessManager* m_network;
    QNetworkReply* m_reply = nullptr;
};

} // namespace nw
