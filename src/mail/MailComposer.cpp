#include "mail/MailComposer.h"

#include "errors/RuntimeError.h"
#include "header/AddressList.h"
#include "header/Text.h"
#include "platform/AppInfo.h"
#include "platform/Prompts.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace nw {

namespace {
const QString kEmailSettings = QStringLiteral("EmailSettings");
}

MailComposer::MailComposer(QObject* parent, const QString& settingsApplication) : QObject(parent)
{
    const QString application = settingsApplication.isEmpty()
                                    ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                                    : settingsApplication;
    SettingsStore settings;
    txtFrom = settings.get(application, kEmailSettings, QStringLiteral("From"), QString());
    txtCC = settings.get(application, kEmailSettings, QStringLiteral("CC"), QString());
    txtBCC = settings.get(application, kEmailSettings, QStringLiteral("BCC"), QString());

    connect(&m_smtp, &SMTP::Error, this, [this](const QString& description) {
        m_error = true;
        showStatus(description);
    });
    connect(&m_smtp, &SMTP::Status, this, &MailComposer::showStatus);
}

void MailComposer::showStatus(const QString& text)
{
    lblStatus = text;
    emit statusChanged(text);
    QCoreApplication::processEvents();
}

void MailComposer::setField(QString& field, const QString& value)
{
    field = value;
    emit fieldsChanged();
}

QString MailComposer::readProperty(const QString& name) const
{
    if (name != QLatin1String("Server"))
        throw RuntimeError(393);
    if (m_server.isEmpty())
        throw RuntimeError(9999, QStringLiteral("No Server"));
    return m_server;
}

void MailComposer::cmdSend_Click()
{
    setMailTo(txtTo);
    setMailFrom(txtFrom);
    setCCC(txtCC);
    setBCC(txtBCC);
    setSubject(txtSubject);
    setBody(txtMessage);
    if (!Check()) {
        msgBox(QStringLiteral("Please review the message.  The message did not send!"));
        return;
    }
    Send();
}

bool MailComposer::Check()
{
    using text::TrimSpaces;
    const auto anyway = [](const char* question, PromptIcon icon) {
        return msgBox(QString::fromLatin1(question) + text::CrLf() +
                          QStringLiteral("Would you like to send it anyway?"),
                      PromptButtons::YesNo, icon) == PromptAnswer::Yes;
    };
    try {
        if (!IsValidEmailAddress(txtTo) && msgBox(QStringLiteral("The TO: email address appears to be invalid!") +
                                                      text::CrLf() + QStringLiteral("Send it anyway?"),
                                                  PromptButtons::YesNo) != PromptAnswer::Yes)
            return false;
        Server();
        if (TrimSpaces(txtFrom).isEmpty()) {
            msgBox(QStringLiteral("Enter the sender e-mail address"), PromptButtons::Ok, PromptIcon::Exclamation);
            return false;
        }
        if (TrimSpaces(txtSubject).isEmpty()) {
            if (!anyway("You didn't enter the message subject. ", PromptIcon::Question))
                return false;
            txtSubject = QStringLiteral(" ");
            emit fieldsChanged();
        }
        if (TrimSpaces(txtMessage).isEmpty() && !anyway("You didn't enter the message text. ", PromptIcon::Question))
            return false;
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

void MailComposer::Send()
{
    m_smtp.Server = m_server;
    m_smtp.MailFrom = txtFrom;
    m_smtp.MailTo = txtTo;
    m_smtp.CCC = txtCC;
    m_smtp.BCC = txtBCC;
    m_smtp.Subject = txtSubject;
    m_smtp.Body = txtMessage;
    m_smtp.XMailer = appTitle();
    // Header texts are not passed on: the addresses themselves, not those of an earlier failed send.
    m_smtp.NameFrom.clear();
    m_smtp.NameTo.clear();
    m_smtp.SendMail();
    if (!m_error) {
        for (QString* field : {&txtTo, &txtFrom, &txtBCC, &txtCC, &txtMessage, &txtSubject})
            field->clear();
        emit fieldsChanged();
        return;
    }
    msgBox(QStringLiteral("Error occured while sending...") + text::CrLf(), PromptButtons::Ok, PromptIcon::Critical);
    m_error = false;
}

} // namespace nw
