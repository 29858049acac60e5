#include "platform/Resolver.h"

#include "errors/RuntimeError.h"
#include "platform/LocalWait.h"
#include "platform/TextFile.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QRegularExpression>

namespace nw {

namespace {

// Runs one QHostInfo look-up with the event loop running; an unanswered one is abandoned.
QHostInfo lookUp(const QString& name, int timeoutMs)
{
    QHostInfo result;
    bool answered = false;
    QObject context;
    LocalWait wait([&] { return answered; });
    const int id = QHostInfo::lookupHost(name, &context, [&](const QHostInfo& info) {
        result = info;
        answered = true;
        wait.wake();
    });
    if (!wait.run(timeoutMs)) {
        QHostInfo::abortHostLookup(id);
        return QHostInfo();
    }
    return result;
}

QByteArray bytesOf(quint32 ip)
{
    QByteArray raw(4, '\0');
    raw[0] = char(ip >> 24);
    raw[1] = char(ip >> 16);
    raw[2] = char(ip >> 8);
    raw[3] = char(ip);
    return raw;
}

} // namespace

QByteArray dottedToBytes(const QString& dotted)
{
    // Strictly four decimal parts: QHostAddress alone would also take "192.0.2" and similar short forms.
    if (dotted.split(QLatin1Char('.')).size() != 4)
        return {};
    QHostAddress address;
    if (!address.setAddress(dotted) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return {};
    return bytesOf(address.toIPv4Address());
}

QByteArray addressBytes(const QString& ip)
{
    QHostAddress address;
    if (!ip.contains(QLatin1Char(':')) || !address.setAddress(ip) || address.protocol() != QAbstractSocket::IPv6Protocol)
        return dottedToBytes(ip);
    const Q_IPV6ADDR raw = address.toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(raw.c), 16);
}

QByteArray SystemResolver::addressOf(const QString& name)
{
    const QHostInfo info = lookUp(name.isEmpty() ? QHostInfo::localHostName() : name, m_timeoutMs);
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return bytesOf(a.toIPv4Address());
    return {};
}

QString SystemResolver::nameOf(const QByteArray& address)
{
    QHostAddress host;
    if (address.size() == 4)
        host.setAddress((quint32(quint8(address[0])) << 24) | (quint32(quint8(address[1])) << 16) |
                        (quint32(quint8(address[2])) << 8) | quint32(quint8(address[3])));
    else if (address.size() == 16)
        host.setAddress(reinterpret_cast<const quint8*>(address.constData()));
    else
        return {};
    const QString dotted = host.toString();
    const QHostInfo info = lookUp(dotted, m_timeoutMs);
    // Without a reverse entry QHostInfo answers with the address itself.
    if (info.error() != QHostInfo::NoError || info.hostName() == dotted)
        return {};
    return info.hostName();
}

std::unique_ptr<TableResolver> TableResolver::fromFile(const QString& path, QString* error)
{
    QString content;
    try {
        content = TextFile::read(path);
    } catch (const RuntimeError& e) {
        if (error)
            *error = QStringLiteral("cannot read resolver table %1: %2").arg(path, e.description());
        return nullptr;
    }
    auto table = std::make_unique<TableResolver>();
    int lineNumber = 0;
    for (const QStringView raw : QStringView(content).split(QLatin1Char('\n'))) {
        ++lineNumber;
        const QString line = raw.trimmed().toString();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
        const QStringList fields = line.split(blanks, Qt::SkipEmptyParts);
        if (fields.size() != 2 || addressBytes(fields.at(0)).isEmpty()) {
            if (error)
                *error = QStringLiteral("%1:%2: expected \"IP NAME\"").arg(path).arg(lineNumber);
            return nullptr;
        }
        table->add(fields.at(0), fields.at(1));
    }
    return table;
}

void TableResolver::add(const QString& ip, const QString& name)
{
    const QByteArray raw = addressBytes(ip);
    if (raw.isEmpty())
        return;
    if (!m_names.contains(raw))
        m_names.insert(raw, name);
    const QString key = name.toLower();
    if (raw.size() == 4 && !m_addresses.contains(key)) // forward look-ups answer IPv4 only
        m_addresses.insert(key, raw);
}

QByteArray TableResolver::addressOf(const QString& name)
{
    return m_addresses.value(name.isEmpty() ? QStringLiteral("localhost") : name.toLower());
}

QString TableResolver::nameOf(const QByteArray& address) { return m_names.value(address); }

} // namespace nw
