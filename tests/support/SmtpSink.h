#pragma once

#include <QProcess>
#include <QTemporaryDir>

namespace nw::test {

// The real SMTP server of the mail tests: Debian's aiosmtpd on a loopback port chosen at run time, run
// by /usr/bin/python3 (the first python3 on PATH may not see Debian's packages). Stopped on destruction.
class SmtpSink {
public:
    struct Message {
        QString helo;
        QString mailFrom;
        QStringList rcptTos;
        QByteArray data; // as received, transparency dots removed
    };

    ~SmtpSink() { stop(); }

    // Starts the server; false (with `error()` saying why) when it did not come up within the bound.
    // `options` are smtp_sink.py's: strictness, security, certificate, user and password, mechanisms.
    bool start(const QStringList& options = {});
    void stop();
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    // Every message stored so far, in arrival order.
    QList<Message> messages() const;
    // Every authentication attempt so far: "MECHANISM LOGIN ok" or "... bad".
    QStringList authAttempts() const;

private:
    QProcess m_process;
    QTemporaryDir m_dir;
    quint16 m_port = 0;
    QString m_error;
};

// `data` with the values of its Date and Message-ID fields replaced by "DATE" and "ID", where they have the
// form they must have (an RFC 5322 date-time; a unique id on a domain in angle brackets), so that the rest
// can be compared byte for byte. A field of another form stays as it is and fails the comparison.
QByteArray maskStamps(const QByteArray& data);
// The masked fields as they stand in front of the From line.
inline constexpr char kMaskedStamps[] = "Date: DATE\r\nMessage-ID: ID\r\n";

} // namespace nw::test
