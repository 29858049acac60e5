#include "mail/SmtpSettings.h"

#include "app/Settings.h"
#include "platform/AppInfo.h"
#include "platform/Keychain.h"
#include "platform/Prompts.h"

namespace nw {

namespace {

const QString kNone = QStringLiteral("none");
const QString kStartTls = QStringLiteral("starttls");
const QString kTls = QStringLiteral("tls");

// The "SMTP" setting taken apart: HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; a bare IPv6 address, colons
// and all, is a host.
struct SmtpServerSetting {
    QString host;
    QString port; // empty when the setting names none
};

SmtpServerSetting parseSmtpServer(const QString& setting)
{
    const QString text = setting.trimmed();
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close > 0) {
            const QString rest = text.mid(close + 1);
            return {text.mid(1, close - 1), rest.startsWith(QLatin1Char(':')) ? rest.mid(1) : QString()};
        }
    }
    if (text.count(QLatin1Char(':')) != 1)
        return {text, {}};
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    return {text.left(colon), text.mid(colon + 1)};
}

} // namespace

QString smtpPasswordKey(const QString& user) { return QStringLiteral("SMTP password of ") + user; }

SmtpSecurity::Mode securityModeFromText(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == kStartTls)
        return SmtpSecurity::Mode::StartTls;
    if (t == kTls)
        return SmtpSecurity::Mode::Tls;
    return SmtpSecurity::Mode::None;
}

QString securityModeText(SmtpSecurity::Mode mode)
{
    switch (mode) {
    case SmtpSecurity::Mode::StartTls:
        return kStartTls;
    case SmtpSecurity::Mode::Tls:
        return kTls;
    case SmtpSecurity::Mode::None:
        break;
    }
    return kNone;
}

SmtpSecurity readSmtpSecurity(const SettingsStore& store, Keychain& keychain)
{
    SmtpSecurity security;
    security.port = readSetting(store, settings::SmtpPort).trimmed();
    security.mode = securityModeFromText(readSetting(store, settings::SmtpSecurityMode));
    security.user = readSetting(store, settings::SmtpUser).trimmed();
    if (!security.user.isEmpty() && !keychain.read(smtpPasswordKey(security.user), security.password))
        security.password.clear();
    return security;
}

bool storeSmtpPassword(SessionKeychain& keychain, const QString& user, const QString& password)
{
    const QString key = smtpPasswordKey(user);
    if (keychain.write(key, password))
        return true;
    const QString question = QStringLiteral("The system keychain could not store the password (%1). Keep it for "
                                            "this run only?")
                                 .arg(keychain.error());
    if (msgBox(question, PromptButtons::YesNo, PromptIcon::Exclamation) != PromptAnswer::Yes)
        return false;
    keychain.keepForThisRun(key, password);
    return true;
}

QString smtpPort(const QString& server, const SmtpSecurity& security)
{
    if (!security.port.isEmpty())
        return security.port;
    const QString port = parseSmtpServer(server).port;
    return port.isEmpty() ? QStringLiteral("25") : port;
}

void prepareSend(SMTP& smtp, const QString& server, const SmtpSecurity& security)
{
    smtp.clearMessage();
    smtp.Server = parseSmtpServer(server).host;
    smtp.setSecurity(security);
    // Set anew for every send: a port an earlier setting named must not stay.
    smtp.Port = smtpPort(server, security);
}

QString sendTestMessage(SMTP& smtp, const QString& server, const QString& address, const SmtpSecurity& security)
{
    QStringList errors;
    const auto collect = QObject::connect(&smtp, &SMTP::Error, [&errors](const QString& e) { errors << e; });
    prepareSend(smtp, server, security);
    smtp.MailFrom = address;
    smtp.MailTo = address;
    smtp.Subject = appTitle() + QStringLiteral(" test message");
    smtp.Body = QStringLiteral("This message shows that %1 can send mail through %2.").arg(appTitle(), server);
    smtp.XMailer = appTitle();
    const bool sent = smtp.SendMail();
    QObject::disconnect(collect);
    if (sent)
        return QStringLiteral("The test message was sent to %1.").arg(address);
    return QStringLiteral("The test message could not be sent:\n") + errors.join(QLatin1Char('\n'));
}

} // namespace nw
