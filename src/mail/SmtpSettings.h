#pragma once

#include "mail/SMTP.h"

#include <QString>

namespace nw {

class Keychain;
class SessionKeychain;
class SettingsStore;

// The keychain entry that holds the password of SMTP login `user`.
QString smtpPasswordKey(const QString& user);

// "none", "starttls" and "tls", as the settings store keeps them; any other text reads as "none", which
// never sends a password.
SmtpSecurity::Mode securityModeFromText(const QString& text);
QString securityModeText(SmtpSecurity::Mode mode);

// The stored port, security and user, with the user's password from `keychain` (empty when the keychain
// holds none or cannot be reached: the server then refuses the login and says so).
SmtpSecurity readSmtpSecurity(const SettingsStore& store, Keychain& keychain);

// Stores the password of `user` in the keychain (an empty one removes it). When the system's keychain
// cannot take it, says so and offers to keep it for this run only; false when it is kept nowhere.
bool storeSmtpPassword(SessionKeychain& keychain, const QString& user, const QString& password);

// The server setting is HOST, HOST:PORT, [IPV6] or [IPV6]:PORT; a bare IPv6 address, colons and all, is
// a host. The port a send through `server` uses: the Port setting, else the port in the server setting,
// else 25.
QString smtpPort(const QString& server, const SmtpSecurity& security);

// Every send starts here: points `smtp` at the server of the settings (host, port, security) and empties
// what an earlier message, sent or not, left in it.
void prepareSend(SMTP& smtp, const QString& server, const SmtpSecurity& security);

// Sends a short message from `address` to itself through `server`; returns the outcome in words for the user.
QString sendTestMessage(SMTP& smtp, const QString& server, const QString& address, const SmtpSecurity& security);

} // namespace nw
