#pragma once

#include <QString>
#include <Qt>

namespace nw {

class SettingsStore;

// One setting of the program: its section, value name and the default a missing value reads as.
struct Setting {
    const char* section;
    const char* name;
    const char* defaultValue;
};

// The program's settings, kept under its title. Switches are "0" or "1".
namespace settings {
inline constexpr Setting Smtp{"Setup", "SMTP", ""};
inline constexpr Setting ReturnAddress{"Setup", "ReturnAddress", ""};
inline constexpr Setting CopyEmail{"Setup", "CopyEmail", "0"};
inline constexpr Setting UseMyReturn{"Setup", "UseMyReturn", "1"};
inline constexpr Setting LoadWithWindows{"Setup", "LoadWithWindows", "0"};
// How the SMTP server is reached: port (empty: 25), "none", "starttls" or "tls", and the login name.
// The password is in the keychain only.
inline constexpr Setting SmtpPort{"Setup", "SMTPPort", ""};
inline constexpr Setting SmtpSecurityMode{"Setup", "SMTPSecurity", "none"};
inline constexpr Setting SmtpUser{"Setup", "SMTPUser", ""};
} // namespace settings

QString readSetting(const SettingsStore& store, const Setting& setting);
void saveSetting(SettingsStore& store, const Setting& setting, const QString& value);

// A stored number as a 16-bit integer, the way a check box takes it: a text that is not a number throws
// RuntimeError 13 (type mismatch), one out of range RuntimeError 6 (overflow).
int toInteger16(const QString& text);
int readSwitch(const SettingsStore& store, const Setting& setting);

// A check box's value: 0 clear, 1 ticked, 2 greyed; anything else throws RuntimeError 380.
Qt::CheckState toCheckState(int value);
// The value a check box stores, as decimal text.
QString checkBoxValue(Qt::CheckState state);

} // namespace nw
