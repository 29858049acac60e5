#include "header/HostUtils.h"

#include "errors/ErrorHandler.h"
#include "header/IpAddress.h"
#include "header/Text.h"
#include "platform/Prompts.h"
#include "platform/Resolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>

namespace nw {

void Kill(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.exists())
        throw RuntimeError(53);
    if (!file.remove())
        throw RuntimeError(75);
}

bool FileExists(const QString& path)
{
    return runGuarded("FileExists", false, [&] {
        const QString trimmed = text::TrimSpaces(path);
        if (trimmed.isEmpty())
            return false;
        // Wildcards match as a directory search would; hidden files and folders do not count.
        const QFileInfo info(trimmed);
        const QDir dir = info.dir();
        const QStringList found = dir.entryList({info.fileName()}, QDir::Files | QDir::NoDotAndDotDot);
        return !found.isEmpty();
    });
}

bool SocketsInitialize(Resolver& resolver)
{
    return runGuarded("SocketsInitialize", false, [&] { return resolver.start(); });
}

void SocketsCleanup(Resolver& resolver)
{
    runGuarded("SocketsCleanup", [&] {
        if (!resolver.stop())
            msgBox(QStringLiteral("Windows Sockets error occurred in Cleanup."), PromptButtons::Ok,
                   PromptIcon::Exclamation);
    });
}

QString GetIPFromHostName(Resolver& resolver, const QString& hostName)
{
    return runGuarded("GetIPFromHostName", QString(), [&] {
        const QByteArray raw = resolver.addressOf(hostName);
        if (raw.size() != 4)
            return QString();
        return IPToText(QString::fromLatin1(raw));
    });
}

QString IPToText(const QString& raw)
{
    return runGuarded("IPToText", QString(), [&] {
        if (raw.size() < 4)
            throw RuntimeError(5);
        QStringList parts;
        for (int i = 0; i < 4; ++i)
            parts << QString::number(raw.at(i).unicode() & 0xFF);
        return parts.join(QLatin1Char('.'));
    });
}

QString GetHostNameFromIP(Resolver& resolver, const QString& ip)
{
    return runGuarded("GetHostNameFromIP", QString(), [&] {
        if (!SocketsInitialize(resolver)) {
            msgBox(QStringLiteral("Sockets failed to initialize."), PromptButtons::Ok, PromptIcon::Critical);
            return QString();
        }
        // inet_addr's own reading of the text: also "1.2.3", hexadecimal and octal parts.
        const in_addr_t address = ::inet_addr(ip.toLatin1().constData());
        if (address == INADDR_NONE || ip.isEmpty()) {
            msgBox(QStringLiteral("String passed is an invalid IP."), PromptButtons::Ok, PromptIcon::Exclamation);
            SocketsCleanup(resolver);
            return QString();
        }
        const auto* bytes = reinterpret_cast<const char*>(&address);
        const QString name = resolver.nameOf(QByteArray(bytes, 4));
        SocketsCleanup(resolver);
        return name;
    });
}

QString GetHostNameFromAddress(Resolver& resolver, const QString& ip)
{
    if (!IsIPv6Address(ip))
        return GetHostNameFromIP(resolver, ip);
    return runGuarded("GetHostNameFromIP", QString(), [&] {
        if (!SocketsInitialize(resolver))
            return QString();
        const Q_IPV6ADDR raw = QHostAddress(ip).toIPv6Address();
        const QString name = resolver.nameOf(QByteArray(reinterpret_cast<const char*>(raw.c), 16));
        SocketsCleanup(resolver);
        return name;
    });
}

} // namespace nw
