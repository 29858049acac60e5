#include "mail/SMTP.h"

#include "errors/RuntimeError.h"
#include "platform/LocalWait.h"
#include "platform/TlsFailure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSslConfiguration>
#include <QSysInfo>
#include <QUuid>

#include <cstdlib>

#include <utility>

namespace nw {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kCouldNotConnect = QStringLiteral("Couldn't connect to server");
const QString kStatusError = QStringLiteral("Error");
const QString kSendFailed = QStringLiteral("Send Failed");
const QString kHidden = QStringLiteral("****");
// A reply larger than this is judged as it stands; a peer that never ends its reply cannot fill memory.
constexpr qsizetype kMaxReplyBytes = 64 * 1024;
constexpr qsizetype kMaxReplyLines = 512;

// A CR or LF inside an address or a header value would start a new command or header line: each run
// of them becomes one space.
QString oneLine(const QString& value)
{
    QString out;
    out.reserve(value.size());
    bool inBreak = false;
    for (const QChar c : value) {
        const bool isBreak = c == QLatin1Char('\r') || c == QLatin1Char('\n');
        if (!isBreak)
            out += c;
        else if (!inBreak)
            out += QLatin1Char(' ');
        inBreak = isBreak;
    }
    return out;
}

// Message data as it must travel (RFC 5321 2.3.8 and 4.5.2): every line end, bare CR and bare LF
// included, goes out as CR LF, and a line that begins with "." gets one more in front, so that no line of
// the text can end the data early or be read as the end of data by a lenient server. A NUL (a quoted
// spam header may hold one) is not allowed in a message (RFC 5322 3.5) and cuts the text short in many
// servers: it goes out as the two characters "^@", the way a terminal shows it, so the evidence stays
// readable.
QString asMessageData(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 32 + 2);
    bool lineStart = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            out += kCrLf;
            lineStart = true;
            continue;
        }
        if (lineStart && c == QLatin1Char('.'))
            out += QLatin1Char('.');
        if (c.isNull())
            out += QStringLiteral("^@");
        else
            out += c;
        lineStart = false;
    }
    return out;
}

// An envelope address as a path (RFC 5321 4.1.2): in angle brackets, which strict servers insist on.
QString reversePath(const QString& address)
{
    const QString a = oneLine(address);
    if (a.startsWith(QLatin1Char('<')) && a.endsWith(QLatin1Char('>')))
        return a;
    return QLatin1Char('<') + a + QLatin1Char('>');
}

// The Date field's date-time (RFC 5322 3.3), in English whatever the user's language.
QString dateTimeText(const QDateTime& when)
{
    const int offset = when.offsetFromUtc() / 60;
    const QString zone =
        QString::asprintf("%c%02d%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
    return QLocale::c().toString(when, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")) + zone;
}

// A Message-ID (RFC 5322 3.6.4) unique to this message, on the sender's domain, or on this machine's name
// when the sender has none.
QString messageId(const QString& sender)
{
    const qsizetype at = sender.lastIndexOf(QLatin1Char('@'));
    QString domain = at < 0 ? QString() : sender.mid(at + 1);
    domain.remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9.\\-]")));
    if (domain.isEmpty())
        domain = QSysInfo::machineHostName();
    if (domain.isEmpty())
        domain = QStringLiteral("localhost");
    return QLatin1Char('<') + QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('@') + domain +
           QLatin1Char('>');
}

QString base64(const QString& text) { return QString::fromLatin1(text.toUtf8().toBase64()); }

QChar uuChar(int sixBits) { return QChar(32 + sixBits); }

// L \ 45 + 1 lines of 45 bytes, the last one of L mod 45 bytes padded with spaces to whole groups of three.
QString uuencodeLines(const QByteArray& bytes)
{
    QString out;
    const qsizetype lines = bytes.size() / 45 + 1;
    out.reserve(lines * 62);
    for (qsizetype i = 0; i < lines; ++i) {
        QByteArray chunk = bytes.mid(i * 45, 45);
        out += uuChar(int(chunk.size()));
        while (chunk.size() % 3 != 0)
            chunk += ' ';
        for (qsizetype k = 0; k < chunk.size(); k += 3) {
            const auto b1 = quint8(chunk.at(k)), b2 = quint8(chunk.at(k + 1)), b3 = quint8(chunk.at(k + 2));
            out += uuChar(b1 >> 2);
            out += uuChar(((b1 & 3) << 4) | (b2 >> 4));
            out += uuChar(((b2 & 15) << 2) | (b3 >> 6));
            out += uuChar(b3 & 63);
        }
        out += QLatin1Char('\n');
    }
    return out;
}

} // namespace

SMTP::SMTP(QObject* parent) : QObject(parent)
{
    connect(&Sock, &QTcpSocket::connected, this, &SMTP::connectionMade);
    connect(&Sock, &QTcpSocket::readyRead, this, &SMTP::dataArrived);
    connect(&Sock, &QTcpSocket::errorOccurred, this, &SMTP::socketError);
    connect(&Sock, &QTcpSocket::disconnected, this, [this] { m_socketGone = true; });
    connect(&Sock, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        m_sslErrors = errors;
        m_rejectedCertificate = Sock.peerCertificate();
    });
}

void SMTP::refuse(const QString& description)
{
    emit Status(kStatusError);
    emit Error(description);
}

QString SMTP::couldNotConnectText() { return kCouldNotConnect; }

bool SMTP::SendMail()
{
    // A second send from inside the waits of a running one would write its lines into the same dialogue.
    if (m_sending) {
        emit Error(kSendFailed);
        return false;
    }
    m_sending = true;
    m_closing = false;
    const auto done = qScopeGuard([this] { m_sending = false; });

    emit Status(QStringLiteral("Preparing"));
    const auto fail = [this](const char* description) {
        refuse(QString::fromLatin1(description));
        return false;
    };
    if (Server.isEmpty())
        return fail("No SMTP server specified");
    if (Port.isEmpty())
        Port = QStringLiteral("25");
    if (MailFrom.isEmpty())
        return fail("Sender address not specified");
    if (MailTo.isEmpty())
        return fail("Receipient address not specified");
    if (!m_security.user.isEmpty() && m_security.mode == SmtpSecurity::Mode::None)
        return fail("The password is never sent over an unencrypted connection: choose STARTTLS or TLS as the "
                    "SMTP security, or leave the user name empty");
    if (NameFrom.isEmpty())
        NameFrom = MailFrom;
    if (NameTo.isEmpty())
        NameTo = MailTo;

    QList<Command> table;
    try {
        table = commandTable();
        if (!m_security.isPlain())
            table.removeFirst(); // EHLO takes HELO's place
    } catch (const std::exception&) {
        emit Error(kSendFailed);
        return false;
    }

    Sock.abort(); // a connection left open by an earlier failed send
    emit Status(QStringLiteral("Connecting"));
    if (!OpenConnection()) {
        emit Error(kCouldNotConnect);
        emit Status(QStringLiteral("Failed : ") + kCouldNotConnect);
        return false;
    }
    if (!runDialogue(table))
        return false;

    emit Status(QStringLiteral("Closing SMTP connection"));
    Sock.disconnectFromHost();
    LocalWait closed([this] { return Sock.state() == QAbstractSocket::UnconnectedState; });
    closed.wakeOn(&Sock, &QAbstractSocket::stateChanged);
    if (!closed.run(replyTimeoutMs))
        Sock.abort();
    emit MailCompleted();
    emit Status(QStringLiteral("Idle"));

    clearMessage();
    return true;
}

void SMTP::clearMessage()
{
    for (QString* p : {&Attachment, &BCC, &Body, &CCC, &MailFrom, &MailTo, &NameFrom, &NameTo, &Subject, &XHeader})
        p->clear();
}

QList<SMTP::Command> SMTP::commandTable()
{
    const int t = replyTimeoutMs;
    const auto rcpt = [](const QString& address) {
        return address.isEmpty() ? QString() : QStringLiteral("RCPT TO:") + reversePath(address);
    };
    const auto header = [](const char* name, const QString& value) {
        return asMessageData(QString::fromLatin1(name) + oneLine(value));
    };
    const QString none;
    return {
        {QStringLiteral("HELO ") + oneLine(Server), QStringLiteral("250"), t},
        {QStringLiteral("MAIL FROM:") + reversePath(MailFrom), QStringLiteral("250"), t},
        {rcpt(MailTo), QStringLiteral("250"), t},
        {rcpt(CCC), QStringLiteral("250"), t},
        {rcpt(BCC), QStringLiteral("250"), t},
        {QStringLiteral("DATA"), QStringLiteral("354"), t},
        {asMessageData(oneLine(XHeader)), none, t},
        // Abuse desks' filters, and some servers, refuse a message without these (RFC 5322 3.6).
        {QStringLiteral("Date: ") + dateTimeText(QDateTime::currentDateTime()), none, t},
        {QStringLiteral("Message-ID: ") + messageId(oneLine(MailFrom)), none, t},
        {header("From:", NameFrom), none, t},
        {header("To:", NameTo), none, t},
        {CCC.isEmpty() ? QString() : header("Cc:", CCC), none, t},
        {header("Subject:", Subject), none, t},
        {header("X-Mailer: ", XMailer) + QStringLiteral(" <powered by WrenSMTP (1.0)>") + kCrLf, none, t},
        {asMessageData(Body + kCrLf), none, t},
        {Attachment.isEmpty() ? QString() : asMessageData(UUEncodeFile(Attachment) + kCrLf), none, t},
        {kCrLf + QLatin1Char('.'), QStringLiteral("250"), dataEndTimeoutMs},
        {QStringLiteral("QUIT"), QStringLiteral("221"), quitTimeoutMs},
    };
}

bool SMTP::runDialogue(const QList<Command>& table)
{
    if (!WaitForReply(QStringLiteral("220"), replyTimeoutMs)) {
        failAtServer();
        return false;
    }
    if (!m_security.isPlain() && !runSecureOpening())
        return false;
    for (const Command& c : table) {
        if (c.line.isEmpty())
            continue;
        if (&c == &table.last()) {
            // The server took the message with its 250 to the data's end: it is sent, whatever becomes of
            // the QUIT. A server that closes at once or never answers it must not make the message go a
            // second time. After QUIT the server may close together with its 221 (RFC 5321 4.1.1.10).
            m_closing = true;
            SendLine(c.line);
            WaitForReply(c.expected, c.timeoutMs);
            return true;
        }
        SendLine(c.line);
        if (!WaitForReply(c.expected, c.timeoutMs)) {
            failAtServer();
            return false;
        }
    }
    return true;
}

void SMTP::failAtServer()
{
    emit Status(kStatusError);
    emit Error(QStringLiteral("Failed at server side. Check the SMTP.Log property for more details"));
}

bool SMTP::command(const QString& line, const QString& expected, const QString& shown)
{
    SendLine(line, shown);
    if (WaitForReply(expected, replyTimeoutMs))
        return true;
    failAtServer();
    return false;
}

bool SMTP::runSecureOpening()
{
    const QString ehlo = QStringLiteral("EHLO ") + oneLine(Server);
    if (!command(ehlo, QStringLiteral("250")))
        return false;
    QStringList capabilities = m_lastLines;
    if (m_security.mode == SmtpSecurity::Mode::StartTls) {
        if (!command(QStringLiteral("STARTTLS"), QStringLiteral("220")) || !startEncryption())
            return false;
        // What the server said before TLS may have been forged on the way (RFC 3207 4.2): ask again.
        if (!command(ehlo, QStringLiteral("250")))
            return false;
        capabilities = m_lastLines;
    }
    return m_security.user.isEmpty() || authenticate(capabilities);
}

bool SMTP::startEncryption()
{
    // Nothing the server sent in clear may count as an answer inside TLS.
    LastReply.clear();
    Sock.startClientEncryption();
    LocalWait wait([this] { return Sock.isEncrypted() || m_socketGone; });
    wait.wakeOn(&Sock, &QSslSocket::encrypted);
    wait.wakeOn(&Sock, &QTcpSocket::errorOccurred);
    const bool inTime = wait.run(replyTimeoutMs);
    if (Sock.isEncrypted())
        return true;
    if (!m_sslErrors.isEmpty()) {
        refuse(certificateFailure(m_sslErrors, m_rejectedCertificate));
    } else {
        refuse(QStringLiteral("TLS could not be started: ") +
               (inTime ? Sock.errorString() : QStringLiteral("the server did not answer")));
    }
    Sock.abort();
    return false;
}

bool SMTP::authenticate(const QStringList& capabilities)
{
    if (!Sock.isEncrypted()) {
        refuse(QStringLiteral("The password is never sent over an unencrypted connection"));
        return false;
    }
    QStringList mechanisms;
    for (const QString& line : capabilities) {
        const QStringList words = line.mid(4).toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!words.isEmpty() && words.first() == QStringLiteral("AUTH"))
            mechanisms += words.mid(1);
    }
    const QString& user = m_security.user;
    const QString& password = m_security.password;
    bool accepted = false;
    if (mechanisms.contains(QStringLiteral("PLAIN"))) {
        SendLine(QStringLiteral("AUTH PLAIN ") + base64(QLatin1Char('\0') + user + QLatin1Char('\0') + password),
                 QStringLiteral("AUTH PLAIN ") + kHidden);
        accepted = WaitForReply(QStringLiteral("235"), replyTimeoutMs);
    } else if (mechanisms.contains(QStringLiteral("LOGIN"))) {
        SendLine(QStringLiteral("AUTH LOGIN"));
        accepted = WaitForReply(QStringLiteral("334"), replyTimeoutMs);
        if (accepted) {
            SendLine(base64(user));
            accepted = WaitForReply(QStringLiteral("334"), replyTimeoutMs);
        }
        if (accepted) {
            SendLine(base64(password), kHidden);
            accepted = WaitForReply(QStringLiteral("235"), replyTimeoutMs);
        }
    } else {
        refuse(QStringLiteral("The server offers no way to log in that this program knows (AUTH PLAIN or LOGIN)"));
        return false;
    }
    if (!accepted)
        refuse(QStringLiteral("The server did not accept the user name and password. Check the SMTP.Log property "
                              "for its reply"));
    return accepted;
}

bool SMTP::OpenConnection()
{
    bool ok = false;
    const qint32 port = Port.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        emit Error(QStringLiteral("Connect failed"));
        return false;
    }
    m_socketGone = false;
    LastReply.clear();
    m_sslErrors.clear();
    m_rejectedCertificate.clear();
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(m_security.extraCaCertificates);
    Sock.setSslConfiguration(tls);
    Sock.setPeerVerifyName(Server);
    const bool tlsFirst = m_security.mode == SmtpSecurity::Mode::Tls;
    // With TLS from the start the handshake follows the connection; startEncryption runs and reports it.
    Sock.connectToHost(Server, quint16(port));
    LocalWait wait([this] { return Sock.state() == QAbstractSocket::ConnectedState || m_socketGone; });
    wait.wakeOn(&Sock, &QAbstractSocket::connected);
    wait.wakeOn(&Sock, &QAbstractSocket::errorOccurred);
    if (!wait.run(replyTimeoutMs)) {
        Sock.abort();
        emit Status(kStatusError);
        emit Error(QStringLiteral("Connection timed out"));
        return false;
    }
    if (Sock.state() != QAbstractSocket::ConnectedState)
        return false;
    return !tlsFirst || startEncryption();
}

bool SMTP::WaitForReply(const QString& expected, int timeoutMs)
{
    if (expected.isEmpty())
        return true;
    LocalWait wait([this] { return !LastReply.isEmpty() || m_socketGone; });
    wait.wakeOn(&Sock, &QTcpSocket::readyRead);
    wait.wakeOn(&Sock, &QTcpSocket::errorOccurred);
    wait.wakeOn(&Sock, &QTcpSocket::disconnected);
    // A silent server or a broken connection ends the wait like a rejected reply.
    if (!wait.run(timeoutMs) || LastReply.isEmpty())
        return false;
    const SmtpReplies::Reply reply = LastReply.takeFirst();
    m_lastLines = reply.lines;
    return reply.code == expected;
}

void SMTP::SendLine(const QString& line, const QString& shown)
{
    if (Sock.state() == QAbstractSocket::ConnectedState) {
        emit Status(QStringLiteral("Sending"));
        Sock.write((line + kCrLf).toLatin1());
        QCoreApplication::processEvents();
    }
    const QString& logged = shown.isEmpty() ? line : shown;
    emit SentData(logged);
    AppendLog(logged + kCrLf);
}

void SmtpReplies::append(const QByteArray& bytes)
{
    m_partial += bytes;
    qsizetype lf;
    while ((lf = m_partial.indexOf('\n')) >= 0) {
        const QByteArray line = m_partial.left(lf);
        m_partial.remove(0, lf + 1);
        m_currentLines << QString::fromLatin1(line).trimmed();
        if (line.size() >= 4 && line.at(3) == '-' && m_currentLines.size() < kMaxReplyLines)
            continue;
        m_complete.append({QString::fromLatin1(line.left(3)), std::exchange(m_currentLines, {})});
    }
    if (m_partial.size() > kMaxReplyBytes) {
        m_complete.append({QString::fromLatin1(m_partial.left(3)), std::exchange(m_currentLines, {})});
        m_partial.clear();
    }
}

void SmtpReplies::clear()
{
    m_complete.clear();
    m_currentLines.clear();
    m_partial.clear();
}

void SMTP::dataArrived()
{
    const QByteArray bytes = Sock.readAll();
    // After a failed send the connection stays open until the next send closes it. What the server sends
    // meanwhile answers nothing, and a server that never stops would fill the log without end.
    if (bytes.isEmpty() || !m_sending)
        return;
    LastReply.append(bytes);
    const QString text = QString::fromLatin1(bytes);
    emit ReceivedData(text);
    AppendLog(text);
}

void SMTP::socketError()
{
    m_socketGone = true;
    // A failed handshake is reported, with its reasons, by the step that started it.
    if (Sock.error() == QAbstractSocket::SslHandshakeFailedError)
        return;
    // The server closing the connection is no error when the dialogue is over or no send is running.
    if (Sock.error() == QAbstractSocket::RemoteHostClosedError && (m_closing || !m_sending))
        return;
    emit Status(kStatusError);
    emit Error(Sock.errorString());
}

void SMTP::connectionMade()
{
    // The message's lines go out one write each with no reply between them; with Nagle's algorithm each
    // write would wait for the server's delayed acknowledgement (40 ms on Linux) before leaving.
    Sock.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit Status(QStringLiteral("Connected"));
    emit Connected(Sock.peerName(), qint32(Sock.peerPort()));
}

QString SMTP::UUEncodeFile(const QString& path)
{
    emit Status(QStringLiteral("Encoding attachment"));
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    const QString name = path.mid(slash + 1);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(file.exists() ? 75 : 53);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(57);
    return QStringLiteral("begin 664 ") + name + QLatin1Char('\n') + uuencodeLines(bytes) + QStringLiteral("`\nend\n");
}

void SMTP::UUDecodeToFile(const QString& text, const QString& path)
{
    // A text taken from a received mail has CR LF line ends.
    QString rest = text;
    rest.replace(kCrLf, QStringLiteral("\n"));
    if (rest.startsWith(QStringLiteral("begin "))) {
        const qsizetype lf = rest.indexOf(QLatin1Char('\n'));
        rest = lf < 0 ? QString() : rest.mid(lf + 1);
    }
    if (rest.endsWith(QStringLiteral("end\n")))
        rest.chop(7);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const auto six = [](QChar c) { return (c.unicode() - 32) & 63; };
    for (const QString& piece : rest.split(QLatin1Char('\n'))) {
        if (piece.isEmpty())
            continue;
        const int count = six(piece.at(0));
        QByteArray bytes;
        for (qsizetype k = 1; k + 4 <= piece.size(); k += 4) {
            const int c1 = six(piece.at(k)), c2 = six(piece.at(k + 1)), c3 = six(piece.at(k + 2)),
                      c4 = six(piece.at(k + 3));
            bytes += char((c1 << 2) | (c2 >> 4));
            bytes += char(((c2 & 15) << 4) | (c3 >> 2));
            bytes += char(((c3 & 3) << 6) | c4);
        }
        file.write(bytes.left(count));
    }
}

} // namespace nw
