#include "support/TestCertificate.h"

#include <QFile>
#include <QProcess>
#include <QSslKey>
#include <QSslSocket>

namespace nw::test {

QString TestCertificate::make()
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), keyPath(),
                   QStringLiteral("-out"), certPath()});
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return QStringLiteral("openssl failed: ") + QString::fromLocal8Bit(openssl.readAll());
    return {};
}

QSslConfiguration TestCertificate::serverConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> certs = certificates();
    if (!certs.isEmpty())
        configuration.setLocalCertificate(certs.first());
    QFile key(keyPath());
    if (key.open(QIODevice::ReadOnly))
        configuration.setPrivateKey(QSslKey(&key, QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

} // namespace nw::test
