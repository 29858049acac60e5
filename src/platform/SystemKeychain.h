#pragma once

#include "platform/Keychain.h"

namespace nw {

// The desktop's keychain service (Secret Service, KWallet, the Windows credential store) through
// QtKeychain, under the program's title. Each call waits, bounded, with the event loop running.
class SystemKeychain final : public Keychain {
public:
    explicit SystemKeychain(int timeoutMs = 60000) : m_timeoutMs(timeoutMs) {}
    bool read(const QString& key, QString& secret) override;
    bool write(const QString& key, const QString& secret) override;
    QString error() const override { return m_error; }

private:
    int m_timeoutMs; // the service may ask the user to unlock it first
    QString m_error;
};

} // namespace nw
