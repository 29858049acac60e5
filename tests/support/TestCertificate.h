#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>

namespace nw::test {

// A self-signed certificate and key for 127.0.0.1, made by openssl when asked, so that no test relies on a
// certificate from elsewhere. Trusted only by the tests that pass it to the SMTP or HTTP client.
class TestCertificate {
public:
    // Makes the files; the reason when openssl failed, empty otherwise.
    QString make();
    QString certPath() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    QString keyPath() const { return m_dir.filePath(QStringLiteral("key.pem")); }
    QList<QSslCertificate> certificates() const { return QSslCertificate::fromPath(certPath()); }
    // What a loopback TLS server presents: this certificate and its key.
    QSslConfiguration serverConfiguration() const;

private:
    QTemporaryDir m_dir;
};

} // namespace nw::test
