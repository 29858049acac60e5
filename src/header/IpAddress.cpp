#include "header/IpAddress.h"

#include "header/ReceivedLines.h"

#include <algorithm>
#include <array>

namespace nw {

namespace {

struct Prefix {
    const char* network;
    int length;
};

// RFC 6890 and RFC 4193 / RFC 4291 blocks whose addresses no registry answers for.
constexpr std::array kSitePrefixes{
    Prefix{"0.0.0.0", 8},     Prefix{"10.0.0.0", 8},   Prefix{"100.64.0.0", 10}, Prefix{"127.0.0.0", 8},
    Prefix{"169.254.0.0", 16}, Prefix{"172.16.0.0", 12}, Prefix{"192.168.0.0", 16}, Prefix{"::1", 128},
    Prefix{"::", 128},        Prefix{"fc00::", 7},     Prefix{"fe80::", 10},
};

QHostAddress ipv4(quint32 value) { return QHostAddress(value); }

} // namespace

std::optional<QHostAddress> addressFromLiteral(QStringView literal)
{
    QStringView s = literal.trimmed();
    // Most words of a received line are names: no address without a digit.
    if (std::none_of(s.begin(), s.end(), [](QChar c) { return c.isDigit(); }))
        return std::nullopt;
    if (const qsizetype at = s.lastIndexOf(QLatin1Char('@')); at >= 0)
        s = s.mid(at + 1); // qmail writes an identified client as user@address
    if (s.startsWith(QLatin1Char('['))) {
        const qsizetype close = s.indexOf(QLatin1Char(']'));
        if (close < 0)
            return std::nullopt;
        s = s.mid(1, close - 1); // a port after the bracket is no part of the address
    }
    if (s.startsWith(QLatin1String("IPv6:"), Qt::CaseInsensitive))
        s = s.mid(5);
    if (const qsizetype zone = s.indexOf(QLatin1Char('%')); zone >= 0)
        s = s.first(zone);
    if (s.count(QLatin1Char(':')) == 1)
        s = s.first(s.indexOf(QLatin1Char(':'))); // an IPv4 address with its port
    if (s.contains(QLatin1Char(':'))) {
        QHostAddress address;
        if (!address.setAddress(s.toString()) || address.protocol() != QAbstractSocket::IPv6Protocol)
            return std::nullopt;
        bool mapped = false;
        const quint32 v4 = address.toIPv4Address(&mapped);
        return mapped ? ipv4(v4) : address;
    }
    if (!IsIPAddress(s))
        return std::nullopt;
    quint32 value = 0;
    for (const QStringView part : s.split(QLatin1Char('.')))
        value = (value << 8) | part.toUInt();
    return ipv4(value);
}

bool IsIPv6Address(QStringView text)
{
    if (!text.contains(QLatin1Char(':')) || text.contains(QLatin1Char('%')) || text.contains(QLatin1Char('[')))
        return false;
    QHostAddress address;
    return address.setAddress(text.toString()) && address.protocol() == QAbstractSocket::IPv6Protocol;
}

bool IsAnyIPAddress(QStringView text) { return IsIPAddress(text) || IsIPv6Address(text); }

QString addressText(const QHostAddress& address) { return address.toString().toLower(); }

std::optional<QHostAddress> embeddedIPv4(const QHostAddress& address)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped)
        return ipv4(v4);
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    if (bytes[0] != 0x20 || bytes[1] != 0x02)
        return std::nullopt;
    return ipv4((quint32(bytes[2]) << 24) | (quint32(bytes[3]) << 16) | (quint32(bytes[4]) << 8) | bytes[5]);
}

bool isSiteAddress(const QHostAddress& address)
{
    static const QList<std::pair<QHostAddress, int>> prefixes = [] {
        QList<std::pair<QHostAddress, int>> parsed;
        for (const Prefix& p : kSitePrefixes)
            parsed.append({QHostAddress(QLatin1String(p.network)), p.length});
        return parsed;
    }();
    for (const auto& prefix : prefixes)
        if (address.isInSubnet(prefix))
            return true;
    return false;
}

bool sameNetwork(const QHostAddress& a, const QHostAddress& b)
{
    if (a.protocol() != b.protocol())
        return false;
    return a.isInSubnet(b, a.protocol() == QAbstractSocket::IPv4Protocol ? 24 : 32);
}

} // namespace nw
