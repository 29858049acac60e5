#pragma once

#include "support/Files.h"

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTemporaryDir>

namespace nw::test {

// A self-signed certificate and key for 127.0.0.1, made by openssl when asked, so that no test relies on a
// certificate from elsewhere. Trusted only by the tests that pass it to the SMTP or HTTP client.
class TestCertificate {
public:
    // Makes the files; the reason when openssl failed, empty otherwise.
    QString make()
    {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        const QStringList options =
            QStringLiteral("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "
                           "/CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout")
                .split(QLatin1Char(' '));
        openssl.start(QStringLiteral("openssl"), options + QStringList{keyPath(), QStringLiteral("-out"), certPath()});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAll());
        return {};
    }
    QString certPath() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    QString keyPath() const { return m_dir.filePath(QStringLiteral("key.pem")); }
    QList<QSslCertificate> certificates() const { return QSslCertificate::fromPath(certPath()); }
    // What a loopback TLS server presents: this certificate and its key.
    QSslConfiguration serverConfiguration() const
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(certificates().value(0));
        configuration.setPrivateKey(QSslKey(fileBytes(keyPath()), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        return configuration;
    }

private:
    QTemporaryDir m_dir;
};

} // namespace nw::test
