#pragma once

#include "mail/SMTP.h"

#include <QObject>

namespace nw {

// The logic of the mail composition control: its fields, its write-only properties, the checks and
// questions before a send, and the send through an inner SMTP client. The `SendMail` widget shows it.
class MailComposer : public QObject {
    Q_OBJECT

public:
    // Fills the From, CC and BCC fields from the "EmailSettings" of `settingsApplication` (by default the
    // executable's base name).
    explicit MailComposer(QObject* parent = nullptr, const QString& settingsApplication = QString());

    // The fields, as the user edits them.
    QString txtTo, txtFrom, txtCC, txtBCC, txtSubject, txtMessage;
    QString lblStatus;

    // Properties. The six message properties also set their fields.
    void setMailTo(const QString& value) { setField(txtTo, value); }
    void setMailFrom(const QString& value) { setField(txtFrom, value); }
    void setCCC(const QString& value) { setField(txtCC, value); }
    void setBCC(const QString& value) { setField(txtBCC, value); }
    void setSubject(const QString& value) { setField(txtSubject, value); }
    void setBody(const QString& value) { setField(txtMessage, value); }
    void setServer(const QString& value) { m_server = value; }
    void setPort(const QString& value) { m_port = value; }
    void setNameFrom(const QString& value) { m_nameFrom = value; }
    void setNameTo(const QString& value) { m_nameTo = value; }
    void setXHeader(const QString& value) { m_xHeader = value; }
    void setXMailer(const QString& value) { m_xMailer = value; }

    // Reading a property while the program runs: `Server` gives its value, or RuntimeError 9999
    // "No Server" when empty; every other property is write-only (RuntimeError 393).
    QString readProperty(const QString& name) const;
    QString Server() const { return readProperty(QStringLiteral("Server")); }

    void AppendLog(const QString&) {}

    // The Send button: copy the fields into the properties, check, send.
    void cmdSend_Click();
    // The questions before a send; false when the message must not go.
    bool Check();
    void Send();

    // The inner client; the control passes no port, so tests aim it at their server through it.
    SMTP& smtp() { return m_smtp; }

signals:
    // The fields or the status line changed; the widget shows them again.
    void fieldsChanged();
    void statusChanged(const QString& text);

private:
    void showStatus(const QString& text);
    void setField(QString& field, const QString& value);

    SMTP m_smtp;
    QString m_server;
    QString m_port = QStringLiteral("25");
    QString m_nameFrom, m_nameTo, m_xHeader;
    QString m_xMailer = QStringLiteral("WrenMailer");
    bool m_error = false;
};

} // namespace nw
