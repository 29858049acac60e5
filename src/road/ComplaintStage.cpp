#include "road/ComplaintStage.h"

#include "app/AppState.h"
#include "app/Settings.h"
#include "errors/ErrorHandler.h"
#include "header/AddressList.h"
#include "header/HostUtils.h"
#include "mail/Complaint.h"
#include "platform/AppInfo.h"
#include "platform/Connection.h"
#include "platform/Prompts.h"
#include "platform/VendorService.h"

#include <QCoreApplication>

namespace nw {

namespace {
// The application-error base 0x80040000 plus 22000, as a signed 32-bit number.
constexpr int kServerRejected = int(0x800455F0u - 0x100000000ull);
const QString kServerRejectedText = QStringLiteral(
    "The SMTP Server has rejected your connection.\r\nThe server may be down, it does not exist or has rejected "
    "your reply address.");
} // namespace

void setSmtpServer(SMTP& smtp, const QString& server)
{
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    bool numeric = false;
    if (colon > 0)
        server.mid(colon + 1).toUShort(&numeric);
    smtp.Server = numeric ? server.left(colon) : server;
    if (numeric)
        smtp.Port = server.mid(colon + 1);
}

QString complaintSubject(const QString& ip, const QString& ipHostName)
{
    return QStringLiteral("SPAM Report from ") + ip + QStringLiteral(" / ") + ipHostName;
}

void addressComplaint(SMTP& smtp, const SettingsStore& store, const QString& userAddress, const QString& copyTo)
{
    // A copy field that holds a valid address is the blind copy, whoever filled it.
    if (readSwitch(store, settings::CopyEmail) == 1 && IsValidEmailAddress(copyTo))
        smtp.BCC = copyTo;
    const QString sender = readSwitch(store, settings::UseMyReturn) == 1 ? userAddress : returnMailbox();
    smtp.NameFrom = QStringLiteral("Nettlewright<") + sender + QLatin1Char('>');
    smtp.MailFrom = sender;
}

ComplaintStage::ComplaintStage(AppState& state, SettingsStore& store, Resolver& resolver, QObject* parent)
    : QObject(parent), m_state(state), m_store(store), m_resolver(resolver)
{
    connect(&smtp, &SMTP::Error, this, &ComplaintStage::SMTP_Error);
}

QString ComplaintStage::noAddressText()
{
    return QStringLiteral("Nettlewright requires an address to send to!");
}
QString ComplaintStage::noServerText()
{
    return QStringLiteral("Please set SMTP server in settings menu!");
}
QString ComplaintStage::badUserAddressText()
{
    return QStringLiteral("Please enter a valid email address in settings menu!");
}
QString ComplaintStage::sendFailedText()
{
    return QStringLiteral("The complaint could not be sent. The message stays in the JunkChute folder.");
}

void ComplaintStage::setTxtTo(const QString& text)
{
    m_to = text;
    emit fieldsChanged();
    txtTo_Change();
}

void ComplaintStage::setTxtBody(const QString& text)
{
    m_body = text;
    emit fieldsChanged();
    txtBody_Change();
}

void ComplaintStage::setTxtCopyTo(const QString& text)
{
    m_copyTo = text;
    emit fieldsChanged();
}

void ComplaintStage::setTxtSubject(const QString& text)
{
    m_subject = text;
    emit fieldsChanged();
}

void ComplaintStage::txtTo_Change()
{
    runGuarded("txtTo_Change", [&] {
        if (m_to.isEmpty())
            return;
        for (int i = 0; i < yields; ++i)
            QCoreApplication::processEvents();
        if (m_subject.isEmpty())
            setTxtSubject(complaintSubject(m_state.headerAnalysis.ip, m_state.headerAnalysis.ipHostName));
        const ComplaintSource source = m_source ? m_source() : ComplaintSource{};
        setTxtBody(CreateComplaint(complaintInputs(m_state.headerAnalysis, source.header, source.whoisAddress,
                                                   source.whoisServer, m_resolver)));
    });
}

void ComplaintStage::txtBody_Change()
{
    runGuarded("txtBody_Change", [&] {
        if (!m_body.isEmpty() && m_state.monitorActive())
            hlnkSendMessage_Click();
    });
}

bool ComplaintStage::hlnkSendMessage_Click()
{
    bool sent = false;
    runGuarded("hlnkSendMessage_Click", [&] {
        if (!IsConnected())
            tellUser(m_state, noConnectionText());
        if (m_to.isEmpty()) {
            refuse(noAddressText());
            return;
        }
        if (m_state.smtpServer.isEmpty()) {
            refuse(noServerText());
            return;
        }
        if (!IsValidEmailAddress(m_state.userAddress)) {
            refuse(badUserAddressText());
            return;
        }
        m_state.setWaitPointer(true);
        QCoreApplication::processEvents();
        // The client fills the To header from the address when it is empty; last send's must not stay.
        smtp.BCC.clear();
        smtp.NameTo.clear();
        setSmtpServer(smtp, m_state.smtpServer);
        smtp.setSecurity(m_state.smtpSecurity);
        smtp.MailTo = m_to;
        if (readSwitch(m_store, settings::CopyEmail) == 1 && m_copyTo.isEmpty())
            setTxtCopyTo(m_state.userAddress);
        addressComplaint(smtp, m_store, m_state.userAddress, m_copyTo);
        smtp.Subject = m_subject;
        smtp.Body = m_body;
        m_smtpError.clear();
        if (!smtp.SendMail()) {
            reportSendFailure();
            return;
        }
        sent = true;
        const QString recipient = m_to;
        inetMessageSent.fetch(VendorService::statisticsUrl(m_store, QStringLiteral("sent"), m_to));
        QCoreApplication::processEvents();
        setTxtSubject(QString());
        setTxtBody(QString());
        setTxtTo(QString());
        setTxtCopyTo(QString());
        m_state.setWaitPointer(false);
        emit ended(Outcome::sent(recipient));
    });
    return sent;
}

void ComplaintStage::refuse(const QString& text)
{
    tellUser(m_state, text);
    emit ended(Outcome::kept(text));
}

// The message and its fields stay for another attempt; the monitor goes on with the next message.
void ComplaintStage::reportSendFailure()
{
    m_state.setWaitPointer(false);
    tellUser(m_state, sendFailedText());
    emit ended(Outcome::kept(m_smtpError.isEmpty() ? QStringLiteral("the mail server did not accept the complaint")
                                                   : m_smtpError));
}

void ComplaintStage::SMTP_Error(const QString& description)
{
    m_smtpError = description;
    if (description != SMTP::couldNotConnectText())
        return;
    // Under the monitor nobody is there to close a dialog: the log keeps it, the send failure tells the user.
    if (m_state.monitorActive()) {
        WriteErrorLog(errorNumberText(kServerRejected) + QStringLiteral(" ") + kServerRejectedText);
        return;
    }
    runGuarded("frmEmail-SMTP_Error", [&] { throw RuntimeError(kServerRejected, kServerRejectedText); });
}

} // namespace nw
