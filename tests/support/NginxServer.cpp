#include "support/NginxServer.h"

#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace nw::test {

QString NginxServer::dir() { return qEnvironmentVariable("NW_NGINX_DIR"); }

bool NginxServer::available(QString* why)
{
    const bool ok = !dir().isEmpty() && QFile::exists(dir() + QStringLiteral("/port"));
    if (!ok && why)
        *why = QStringLiteral("the nginx fixture is not running (run the test through ctest)");
    return ok;
}

QString NginxServer::baseUrl()
{
    QFile f(dir() + QStringLiteral("/port"));
    f.open(QIODevice::ReadOnly);
    return QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(f.readAll().trimmed());
}

QString NginxServer::put(const QString& name, const QByteArray& bytes)
{
    const QString path = dir() + QStringLiteral("/www/") + name;
    QDir().mkpath(QFileInfo(path).path());
    writeBytes(path, bytes);
    return baseUrl() + QLatin1Char('/') + name;
}

QByteArray NginxServer::accessLog()
{
    return fileBytes(dir() + QStringLiteral("/access.log"));
}

} // namespace nw::test
