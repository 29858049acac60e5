#pragma once

#include "mail/SMTP.h"
#include "platform/HttpTransfer.h"
#include "road/Outcome.h"

#include <QObject>

#include <functional>

namespace nw {

class AppState;
class Resolver;
class SettingsStore;

// Fills an SMTP client with the server setting, which may name a port ("mail.example.org:587").
void setSmtpServer(SMTP& smtp, const QString& server);

// The complaint's subject for the current analysis.
QString complaintSubject(const QString& ip, const QString& ipHostName);

// The sender and blind copy of a complaint, from the settings and the user's address.
void addressComplaint(SMTP& smtp, const SettingsStore& store, const QString& userAddress, const QString& copyTo);

// What a complaint is about: the message's header and the look-up that found the abuse address.
struct ComplaintSource {
    QString header;
    QString whoisAddress;
    QString whoisServer;
};

// The complaint window without its widgets: composes the complaint when the abuse address arrives and
// sends it through the user's server; while the monitor runs it sends on its own. Each send attempt ends
// in an outcome: sent (statistics, empty fields) or kept, with why.
class ComplaintStage : public QObject {
    Q_OBJECT

public:
    ComplaintStage(AppState& state, SettingsStore& store, Resolver& resolver, QObject* parent = nullptr);

    // Where the message being reported comes from.
    void setSource(std::function<ComplaintSource()> source) { m_source = std::move(source); }

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
    // A send attempt ended: the complaint went out, or it did not and why.
    void ended(const Outcome& outcome);

private:
    void reportSendFailure();
    // A send that cannot start: the user is told, the attempt ends kept.
    void refuse(const QString& text);

    AppState& m_state;
    SettingsStore& m_store;
    Resolver& m_resolver;
    std::function<ComplaintSource()> m_source;
    QString m_smtpError;
    QString m_to, m_copyTo, m_subject, m_body;
};

} // namespace nw
