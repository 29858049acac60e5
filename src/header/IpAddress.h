#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringView>

#include <optional>

// Addresses of both families as received lines and the WHOIS look-up meet them.
namespace nw {

// An address as a received line writes it: "192.0.2.1", "[192.0.2.1]", "[192.0.2.1]:25",
// "[IPv6:2001:db8::1]", "[2001:db8::1]", "2001:db8::1", "fe80::1%eth0", "user@192.0.2.1". An IPv4-mapped
// IPv6 address (::ffff:192.0.2.1) is its IPv4 address. IPv4 addresses need all four parts.
std::optional<QHostAddress> addressFromLiteral(QStringView literal);

// Plain text that is an IPv6 address (no brackets, zone or port).
bool IsIPv6Address(QStringView text);

// IsIPAddress or IsIPv6Address: an address the WHOIS look-up can take.
bool IsAnyIPAddress(QStringView text);

// The text an address travels as: dotted for IPv4, the compressed lower-case form for IPv6.
QString addressText(const QHostAddress& address);

// An IPv4 address embedded in an IPv6 one the registries do not manage: 6to4 (2002::/16, RFC 3056) and
// IPv4-mapped addresses. Nothing for others.
std::optional<QHostAddress> embeddedIPv4(const QHostAddress& address);

// Addresses that never leave a site: loopback, private use (RFC 1918), shared (RFC 6598), link-local,
// "this network", unspecified, and the IPv6 unique-local and link-local prefixes. Documentation
// prefixes count as public.
bool isSiteAddress(const QHostAddress& address);

// Both addresses lie in one provider's network: the same /24 for IPv4, the same /32 for IPv6.
bool sameNetwork(const QHostAddress& a, const QHostAddress& b);

} // namespace nw
