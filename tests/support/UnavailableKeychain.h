#pragma once

#include "platform/Keychain.h"

namespace nw::test {

// A desktop without a keychain service: every read and write fails with the same reason.
class UnavailableKeychain final : public Keychain {
public:
    bool read(const QString&, QString& secret) override
    {
        secret.clear();
        return false;
    }
    bool write(const QString&, const QString&) override { return false; }
    QString error() const override { return QStringLiteral("no keychain service"); }
};

} // namespace nw::test
