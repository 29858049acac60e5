#pragma once

#include "platform/HttpTransfer.h"

#include <QObject>
#include <QUrl>

namespace nw {

// Fetches the vendor's on-line help page. When it cannot be loaded (no answer within the bound, an HTTP
// failure, an empty page) the result is the help shipped with the program, headed by a note that says why.
class HelpPage : public QObject {
    Q_OBJECT

public:
    explicit HelpPage(QObject* parent = nullptr);

    int timeoutMs = 15000;

    void load(const QUrl& url);
    // The help shipped with the program.
    static QString shippedPage();
    // The page shown when the help cannot be fetched; `reason` says why.
    static QString offlinePage(const QUrl& url, const QString& reason);

signals:
    // HTML to show and whether it came from the server.
    void loaded(const QString& html, bool online);

private:
    void headersReceived();

    HttpTransfer m_http;
    QUrl m_url;
};

} // namespace nw
