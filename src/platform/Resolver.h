#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>

namespace nw {

// Forward and reverse name look-ups. Callers see a blocking call; the system resolver keeps the event
// loop running meanwhile so a slow name server never freezes a window.
class Resolver {
public:
    virtual ~Resolver() = default;
    // Starting and releasing the name service; the system one has nothing to start.
    virtual bool start() { return true; }
    virtual bool stop() { return true; }
    // The first IPv4 address of `name` as four bytes in network order, or empty. An empty name asks
    // for this machine's own entry.
    virtual QByteArray addressOf(const QString& name) = 0;
    // The official name of a four-byte (IPv4) or sixteen-byte (IPv6) address, or empty.
    virtual QString nameOf(const QByteArray& address) = 0;
};

class SystemResolver : public Resolver {
public:
    explicit SystemResolver(int timeoutMs = 10000) : m_timeoutMs(timeoutMs) {}
    QByteArray addressOf(const QString& name) override;
    QString nameOf(const QByteArray& address) override;

private:
    int m_timeoutMs; // a look-up that takes longer counts as finding nothing
};

// Answers from a table of "IP NAME" lines ('#' starts a comment; IP of either family). The name "localhost" stands for this
// machine. An empty table finds nothing, which is how look-ups are switched off.
class TableResolver : public Resolver {
public:
    // Reads a table file; returns nullptr and sets `error` when it cannot be read or a line is malformed.
    static std::unique_ptr<TableResolver> fromFile(const QString& path, QString* error);
    void add(const QString& ip, const QString& name);
    QByteArray addressOf(const QString& name) override;
    QString nameOf(const QByteArray& address) override;

    // Tests make the name service fail to start or to be released.
    bool failStart = false;
    bool failStop = false;
    bool start() override { return !failStart; }
    bool stop() override { return !failStop; }

private:
    QHash<QByteArray, QString> m_names;     // address → first name given for it
    QHash<QString, QByteArray> m_addresses; // lower-case name → first address given for it
};

// Four bytes in network order for a dotted quad, or empty.
QByteArray dottedToBytes(const QString& dotted);
// dottedToBytes, or the sixteen bytes of an IPv6 address.
QByteArray addressBytes(const QString& ip);

} // namespace nw
