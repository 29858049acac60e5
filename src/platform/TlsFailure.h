#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

namespace nw {

// "The server's certificate could not be verified: REASONS (subject ..., SHA-256 fingerprint AA:BB:...)":
// what a user needs to judge a certificate that a TLS connection refused.
QString certificateFailure(const QList<QSslError>& errors, const QSslCertificate& presented);

} // namespace nw
