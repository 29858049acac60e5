#pragma once

#include "mail/SMTP.h"
#include "platform/HttpTransfer.h"

#include <QObject>

#include <functional>

namespace nw {

class AppState;
class Resolver;
class SettingsStore;
class WhoisStage;

// Fills an SMTP client with the server setting, which may name a port ("mail.example.org:587").
void setSmtpServer(SMTP& smtp, const QString& server);

// The complaint's subject for the current analysis.
QString complaintSubject(const QString& ip, const QString& ipHostName);

// The sender and blind copy of a complaint, from the settings and the user's address.
void addressComplaint(SMTP& smtp, const SettingsStore& store, const QString& userAddress, const QString& copyTo);

// The complaint window without its widgets: composes the complaint when the abuse address arrives and
// sends it through the user's server; while the monitor runs it sends on its own. A successful send ends
// the message: statistics, empty fields, the message file deleted, processing no longer busy.
class ComplaintStage : public QObject {
    Q_OBJECT

public:
    ComplaintStage(AppState& state, SettingsStore& store, Resolver& resolver, QObject* parent = nullptr);

    void setWhois(WhoisStage* whois) { m_whois = whois; }
    // The drop-folder window's message view, and what empties it and refreshes its list after a send.
    void setMessageView(std::function<QString()> text, std::function<void()> reset);

    QString txtTo() const { return m_to; }
    QString txtCopyTo() const { return m_copyTo; }
    QString txtSubject() const { return m_subject; }
    QString txtBody() const { return m_body; }
    // Each runs its change handler, as an edit of the window's field does.
    void setTxtTo(const QString& text);
    void setTxtBody(const QString& text);
    void setTxtCopyTo(const QString& text);
    void setTxtSubject(const QString& text);

    SMTP smtp;
    HttpTransfer inetMessageSent;
    // How often txtTo_Change yields before composing.
    int yields = 20000;

    void txtTo_Change();
    void txtBody_Change();
    // True when the complaint went out.
    bool hlnkSendMessage_Click();
    void SMTP_Error(const QString& description);

    static QString noAddressText();
    static QString noServerText();
    static QString badUserAddressText();
    static QString sendFailedText();

signals:
    void fieldsChanged();
    // The complaint for `messageFile` was not accepted; the file stays.
    void sendFailed(const QString& messageFile);

private:
    void reportSendFailure();

    AppState& m_state;
    SettingsStore& m_store;
    Resolver& m_resolver;
    WhoisStage* m_whois = nullptr;
    std::function<QString()> m_headerText;
    std::function<void()> m_resetView;
    QString m_to, m_copyTo, m_subject, m_body;
};

} // namespace nw
