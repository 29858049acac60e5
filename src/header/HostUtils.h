#pragma once

#include <QString>

namespace nw {

class Resolver;

// File and name-service helpers over the platform layer.
bool FileExists(const QString& path);
// Deletes a file; one that is missing or cannot be deleted throws RuntimeError 53 (file not found) or 75.
void Kill(const QString& path);
bool SocketsInitialize(Resolver& resolver);
void SocketsCleanup(Resolver& resolver);
// First IPv4 address of `hostName` as dotted text, or empty; an empty name asks for this machine.
QString GetIPFromHostName(Resolver& resolver, const QString& hostName);
// The dotted form of a four-character raw address (one character per byte, network order).
QString IPToText(const QString& raw);
// The official name of the dotted address `ip`, or empty. Shows its own messages for a name service
// that cannot start and for a text that is not an address.
QString GetHostNameFromIP(Resolver& resolver, const QString& ip);
// GetHostNameFromIP for an address of either family: an IPv6 address is looked up as it stands, an IPv4
// address through GetHostNameFromIP with its messages.
QString GetHostNameFromAddress(Resolver& resolver, const QString& ip);

} // namespace nw
