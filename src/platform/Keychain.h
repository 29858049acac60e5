#pragma once

#include <QHash>
#include <QString>

namespace nw {

// Where secrets (the SMTP password) are kept: never in the settings store.
class Keychain {
public:
    virtual ~Keychain() = default;

    // The secret stored under `key` into `secret` (empty when none is stored). False, with `error()`
    // saying why, when the keychain cannot be reached.
    virtual bool read(const QString& key, QString& secret) = 0;
    // Stores `secret` under `key`; an empty secret removes the entry. False, with `error()`, on failure.
    virtual bool write(const QString& key, const QString& secret) = 0;
    virtual QString error() const = 0;
};

// Secrets held in memory for the life of the object: tests, and passwords kept for this run only.
class MemoryKeychain final : public Keychain {
public:
    bool read(const QString& key, QString& secret) override;
    bool write(const QString& key, const QString& secret) override;
    QString error() const override { return {}; }
    bool contains(const QString& key) const { return m_secrets.contains(key); }

private:
    QHash<QString, QString> m_secrets;
};

// The program's keychain: the system's, with secrets the user chose to keep for this run only in front.
class SessionKeychain final : public Keychain {
public:
    explicit SessionKeychain(Keychain& backing) : m_backing(backing) {}
    bool read(const QString& key, QString& secret) override;
    // Into the backing keychain; what was kept for this run under `key` is dropped when that succeeds.
    bool write(const QString& key, const QString& secret) override;
    QString error() const override { return m_backing.error(); }
    void keepForThisRun(const QString& key, const QString& secret) { m_thisRun.write(key, secret); }

private:
    Keychain& m_backing;
    MemoryKeychain m_thisRun;
};

} // namespace nw
