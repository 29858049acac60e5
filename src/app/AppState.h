#pragma once

#include "header/HeaderAnalysis.h"
#include "mail/SmtpSecurity.h"
#include "platform/Keychain.h"

#include <QObject>

#include <memory>

namespace nw {

// The program-wide values that carry a message from one window to the next. Created once by Main and
// passed by reference; its signals let windows and the monitor follow changes without polling.
class AppState : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    HeaderAnalysis headerAnalysis;

    QString junkChuteFolder() const { return m_junkChuteFolder; }
    void setJunkChuteFolder(const QString& folder) { m_junkChuteFolder = folder; }

    QString currentMessageFile() const { return m_currentMessageFile; }
    void setCurrentMessageFile(const QString& path) { m_currentMessageFile = path; }

    bool busyProcessing() const { return m_busyProcessing; }
    void setBusyProcessing(bool busy);

    bool monitorActive() const { return m_monitorActive; }
    void setMonitorActive(bool active);

    // Copies of the "SMTP" and "ReturnAddress" settings for the error dialog.
    QString smtpServer;
    QString userAddress;
    QString supportAddress;
    // The SMTP port, security and login of the settings, password included, for every send.
    SmtpSecurity smtpSecurity;

    // The program's keychain: in memory until the program installs the system's.
    SessionKeychain& keychain() { return *m_keychain; }
    void useKeychain(std::unique_ptr<Keychain> backing);

    // The hourglass for the whole program: logic asks for it, the desktop program shows it.
    void setWaitPointer(bool wait) { emit waitPointerRequested(wait); }
    // Tells the user of a failure without a dialog that would stop the monitor (the tray tip shows it).
    void notify(const QString& text) { emit notice(text); }

signals:
    void busyProcessingChanged(bool busy);
    void monitorActiveChanged(bool active);
    void waitPointerRequested(bool wait);
    void notice(const QString& text);

private:
    QString m_junkChuteFolder;
    QString m_currentMessageFile;
    bool m_busyProcessing = false;
    bool m_monitorActive = false;
    std::unique_ptr<Keychain> m_keychainBacking = std::make_unique<MemoryKeychain>();
    std::unique_ptr<SessionKeychain> m_keychain = std::make_unique<SessionKeychain>(*m_keychainBacking);
};

} // namespace nw
