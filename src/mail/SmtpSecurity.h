#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

namespace nw {

// How the client reaches a server that wants more than the plain port-25 dialogue: the port, TLS (after
// STARTTLS or from the first byte) and the login. The default is the plain dialogue.
struct SmtpSecurity {
    enum class Mode { None, StartTls, Tls };
    QString port; // empty: the port in the server setting, else 25
    Mode mode = Mode::None;
    QString user; // empty: no authentication
    QString password;
    // Trusted on top of the system's certificate store; tests trust their own certificate this way.
    QList<QSslCertificate> extraCaCertificates;

    bool isPlain() const { return mode == Mode::None && user.isEmpty(); }
};

} // namespace nw
