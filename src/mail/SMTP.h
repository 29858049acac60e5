#pragma once

#include "mail/SmtpSecurity.h"

#include <QObject>
#include <QSslSocket>
#include <QStringList>

namespace nw {

// The server's replies assembled from the bytes as they arrive (RFC 5321 4.2.1): "NNN-" lines continue a
// reply, its final line completes it, and a line may arrive in several pieces. A reply beyond the size
// bounds is judged as it stands, so a peer that never ends its reply cannot fill memory.
class SmtpReplies {
public:
    struct Reply {
        QString code; // the first three characters of its last line
        QStringList lines;
    };
    void append(const QByteArray& bytes);
    bool isEmpty() const { return m_complete.isEmpty(); }
    // The oldest complete reply; only when there is one.
    Reply takeFirst() { return m_complete.takeFirst(); }
    void clear();

private:
    QList<Reply> m_complete;
    QStringList m_currentLines;
    QByteArray m_partial; // lines of a reply whose final line has not arrived yet
};

// Sends one plain-text message through an SMTP server over one connection: HELO, MAIL FROM, up to three
// RCPT TO, DATA, QUIT; no MIME, an optional file goes out uuencoded; Date and Message-ID fields are
// added. With security settings the HELO gives way to EHLO, STARTTLS or TLS from the start, and AUTH
// PLAIN or LOGIN. The host sets the properties, calls SendMail and follows the events; Log keeps the
// whole dialogue.
class SMTP : public QObject {
    Q_OBJECT

public:
    explicit SMTP(QObject* parent = nullptr);

    // Properties: all text, empty at first.
    QString Server;
    QString Port; // "25" when empty at the start of a send
    QString MailFrom;
    QString MailTo;
    QString CCC;
    QString BCC;
    QString Subject;
    QString NameFrom; // From header text; MailFrom when empty
    QString NameTo;   // To header text; MailTo when empty
    QString Body;
    QString XMailer;
    QString XHeader;    // one complete extra header line
    QString Attachment; // path of a file appended uuencoded
    QString Log;        // every line sent and every text received; never cleared here; no password

    // TLS and login for the following sends. Its port is not taken here: prepareSend sets Port.
    void setSecurity(const SmtpSecurity& security) { m_security = security; }
    const SmtpSecurity& security() const { return m_security; }

    // Reply bounds (RFC 5321 4.5.3.2): the greeting and each command's reply, and the reply after the
    // final ".". A connection attempt is bounded by the first as well.
    int replyTimeoutMs = 5 * 60 * 1000;
    int dataEndTimeoutMs = 10 * 60 * 1000;
    // The message is sent once the data's end is accepted; the reply to QUIT is only waited for this long.
    int quitTimeoutMs = 30 * 1000;

    // Runs the whole dialogue; returns only when it has ended, with the event loop running meanwhile.
    bool SendMail();
    // Empties the message properties, as a successful send does; a host starts each new message with it,
    // so that nothing of a failed one (the header names filled in from its addresses) goes out again.
    void clearMessage();
    // The `Error` text of a server that cannot be reached.
    static QString couldNotConnectText();
    void AppendLog(const QString& text) { Log += text; }

    // The attachment text of the command table: "begin 664 NAME", 45-byte lines, "`", "end", LF line ends.
    QString UUEncodeFile(const QString& path);
    // Writes the file that `text` describes; failures are ignored.
    static void UUDecodeToFile(const QString& text, const QString& path);

signals:
    void Connected(const QString& remoteHost, qint32 remotePort);
    void ReceivedData(const QString& data);
    void SentData(const QString& data);
    void MailCompleted();
    void Error(const QString& description);
    void Status(const QString& text);

private:
    struct Command {
        QString line;
        QString expected;
        int timeoutMs;
    };
    QList<Command> commandTable();
    bool runDialogue(const QList<Command>& table);
    bool OpenConnection();
    bool WaitForReply(const QString& expected, int timeoutMs);
    // `shown` stands for the line in SentData and Log when the line carries a secret.
    void SendLine(const QString& line, const QString& shown = {});
    bool runSecureOpening();
    bool startEncryption();
    bool authenticate(const QStringList& capabilities);
    bool command(const QString& line, const QString& expected, const QString& shown = {});
    void refuse(const QString& description);
    void dataArrived();
    void socketError();
    void connectionMade();
    void failAtServer();

    QSslSocket Sock;
    SmtpSecurity m_security;
    // `LastReply`, kept as a queue: the complete replies not yet judged, oldest first, with their lines
    // (EHLO's capabilities are read from them).
    SmtpReplies LastReply;
    QStringList m_lastLines; // the lines of the reply judged last
    QList<QSslError> m_sslErrors;
    QSslCertificate m_rejectedCertificate;
    bool m_socketGone = false; // error or close: no reply can come any more
    bool m_sending = false;
    bool m_closing = false; // QUIT is out: the server closing now is expected
};

} // namespace nw
