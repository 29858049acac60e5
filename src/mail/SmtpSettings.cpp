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

QString sendTestMessage(SMTP& smtp, const QString& server, const QString& address, const SmtpSecurity& security)
{
    QStringList errors;
    const auto collect = QObject::connect(&smtp, &SMTP::Error, [&errors](const QString& e) { errors << e; });
    smtp.Server = server;
    smtp.setSecurity(security);
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
