#include "platform/TlsFailure.h"

#include <QCryptographicHash>
#include <QStringList>

namespace nw {

QString certificateFailure(const QList<QSslError>& errors, const QSslCertificate& presented)
{
    QStringList reasons;
    for (const QSslError& e : errors)
        reasons << e.errorString();
    QString text = QStringLiteral("The server's certificate could not be verified: ") + reasons.join(QStringLiteral("; "));
    if (!presented.isNull())
        text += QStringLiteral(" (subject ") + presented.subjectDisplayName() + QStringLiteral(", SHA-256 fingerprint ") +
                QString::fromLatin1(presented.digest(QCryptographicHash::Sha256).toHex(':').toUpper()) +
                QLatin1Char(')');
    return text;
}

} // namespace nw
