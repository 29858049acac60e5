#pragma once

#include "support/Files.h"

#include <QDir>
#include <QFileInfo>

namespace nw::test {

// The private nginx that the "nginx" CTest fixture started (see tests/servers): the files it serves
// and the requests it logged.
class NginxServer {
public:
    // False (with a reason for QSKIP-free failure messages) when the fixture is not running.
    static bool available(QString* why = nullptr)
    {
        const bool ok = !dir().isEmpty() && QFile::exists(dir() + QStringLiteral("/port"));
        if (!ok && why)
            *why = QStringLiteral("the nginx fixture is not running (run the test through ctest)");
        return ok;
    }
    static QString baseUrl()
    {
        return QStringLiteral("http://127.0.0.1:") +
               QString::fromLatin1(fileBytes(dir() + QStringLiteral("/port")).trimmed());
    }
    // Places a file under the served root and returns its URL.
    static QString put(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir() + QStringLiteral("/www/") + name;
        QDir().mkpath(QFileInfo(path).path());
        writeBytes(path, bytes);
        return baseUrl() + QLatin1Char('/') + name;
    }
    static QByteArray accessLog() { return fileBytes(dir() + QStringLiteral("/access.log")); }

private:
    static QString dir() { return qEnvironmentVariable("NW_NGINX_DIR"); }
};

} // namespace nw::test
