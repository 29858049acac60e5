#include "app/Settings.h"
#include "errors/RuntimeError.h"
#include "mail/Complaint.h"
#include "mail/SendMail.h"
#include "mail/SmtpSettings.h"
#include "platform/Keychain.h"
#include "platform/Resolver.h"
#include "platform/SettingsStore.h"
#include "support/Cli.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/Test.h"
#include "support/TestCertificate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

// Sends me@example.org's message to abuse@example.net via loopback; events: its Status and Error texts, in order.
struct Client : SMTP {
    explicit Client(quint16 port)
    {
        Server = u"127.0.0.1"_s;
        Port = QString::number(port);
        MailFrom = u"me@example.org"_s;
        MailTo = u"abuse@example.net"_s;
        // A server out of step with the client fails the test in seconds, not after the minutes real servers get.
        replyTimeoutMs = dataEndTimeoutMs = 10000;
        connect(this, &SMTP::Status, this, [this](const QString& t) { events << u"Status: "_s + t; });
        connect(this, &SMTP::Error, this, [this](const QString& t) { events << u"Error: "_s + t; });
    }
    QStringList events;
};

const QString kUser = u"reporter"_s, kPassword = u"s3cret-pa55"_s;

using P = ScriptedPeer;
using Script = QList<ScriptedPeer::Step>;

// Greets with the first reply, answers each line read with the next (in two pieces 20 ms apart), then plays `end`.
Script answers(const QList<QByteArray>& replies, const Script& end = {P::hold()})
{
    Script s;
    for (const QByteArray& reply : replies)
        s << P::readLine() << P::send(reply.left(1)) << P::pause(20) << P::send(reply.mid(1));
    return s.mid(1) + end;
}

const QString kReview = u"Please review the message.  The message did not send!"_s;
const QString kNoSubject = u"[question] You didn't enter the message subject. \r\nWould you like to send it anyway?"_s;
const QString kNoText = u"[question] You didn't enter the message text. \r\nWould you like to send it anyway?"_s;

// The letter: %1 to %4 the analysis, %5 the header text, %6 the local address, %7 - %8 the whois address and server.
const char* const kLetter = R"(Hello,
I have received this unsolicited email message that appears to have originated
or passed through an IP address or Domain under your control.

This may indicate that you or your client is:
       a) involved in unprincipled and undesired email activity
       b) operating an unsecured mail or proxy server which has been compromised
       c) operating a system which may be infected with a virus or trojan.

Please take the necessary steps to stop this type of unsolicited email from
cluttering my inbox.

** Abuse Team ** please see bottom of message for further information regarding this analysis.


-----------------
IP Address: %1
Hostname:   %2
Time Stamp: %3

Suspect Received Line: 
%4

-----------------

--- EMAIL HEADER ---

%5

--- ATTENTION ABUSE ---
This Internet email header analysis was produced automatically by Nettlewright 2.
Every attempt has been made to ensure a correct analysis of header information.  However
if it has been manipulated, mangled or deliberately forged, this accuracy cannot be
guaranteed and we apologize for the inconvience this may cause you and/or
your abuse response team.  It is our intent to help you remove spam from the Internet
NOT add to it.

* INCORRECT HEADER ANALYSIS*
     If this email has originated outside of your IP range and is an inaccurate analysis,
     please forward entire email to analysis@nettlewright.org for further investigation
     and a possible fix in new versions of Nettlewright.
* INCORRECT EMAIL ADDRESS *
     Your address was obtained by querying the Whois database or registrar.
     If this is not the appropriate address to report these violations,
     please consider updating the Whois database with a valid abuse contact.
* ABUSE TOOLS *
     We produce a range of tools to help Internet Abuse teams quickly identify and
     deal with AUP violators.  If you would like tools customized to your procedures,
     please contact us at sales@nettlewright.org or visit http://www.nettlewright.org/isp/


<-diagnostic info->
Nettlewright 2.0.1
-04194304 - 1 - 5120
%6
%7 - %8)";

// What the user types into the window; a valid message unless a row says otherwise.
struct Fields {
    QString to = u"abuse@example.com"_s, server = u"127.0.0.1"_s, from = u"me@example.org"_s, subject = u"Spam"_s,
            text = u"line one\nline two"_s;
};

} // namespace

Q_DECLARE_METATYPE(Fields)

// Against Debian's aiosmtpd (what a real server receives) and scripted peers (replies it will not give on demand).
class TstMail : public QObject {
    Q_OBJECT

    SmtpSink m_sink;
    TestCertificate m_cert;

private slots:
    // Strict like many submission servers: bare envelope addresses and a message without Date are refused.
    void initTestCase()
    {
        QCOMPARE(m_cert.make(), QString());
        QVERIFY2(m_sink.start({u"--strict"_s}), qPrintable(m_sink.error()));
    }

    // Every header a complaint can carry and a body with all that must change on the wire arrive as sent.
    void messageArrivesAsSent()
    {
        QTemporaryDir dir;
        Client smtp(m_sink.port());
        smtp.CCC = u"c@example.org"_s;
        smtp.BCC = u"b@example.org"_s;
        smtp.Subject = u"Hi\r\nBcc: victim@example.com"_s;
        smtp.Body =
            QString::fromLatin1(QByteArrayLiteral("a\nb\rc\r\n\n.\r\n..\r\n. x\r\nfrom a\0b caf\xe9 \xff\r\n."));
        smtp.XMailer = u"M"_s;
        smtp.XHeader = u"X-Report: 1"_s;
        smtp.Attachment = dir.filePath(u"evidence.bin"_s);
        // Dots and line ends inside the file, too; whole lines of 45 bytes: an empty line ends them.
        const QByteArray bytes = ".\n.\r\n" + randomBytes(45 * 23 - 5);
        QVERIFY(writeBytes(smtp.Attachment, bytes));
        QSignalSpy sentData(&smtp, &SMTP::SentData);
        QVERIFY(smtp.SendMail());
        // Table lines, each once, without their CR LF (none after the last); the log ends in QUIT and the farewell.
        QStringList sent;
        for (int i : {0, 4, 16, 18})
            sent << sentData.value(i).value(0).toString();
        QCOMPARE(sent.join(u'|') + smtp.Log.right(15),
                 u"HELO 127.0.0.1|RCPT TO:<b@example.org>|\r\n.|QUIT\r\n221 Bye\r\n"_s);

        const QByteArray data = maskStamps(m_sink.messages().last().data);
        const QByteArray head = "X-Report: 1\r\n" + QByteArray(kMaskedStamps) +
                                "From:me@example.org\r\nTo:abuse@example.net\r\nCc:c@example.org\r\n"
                                "Subject:Hi Bcc: victim@example.com\r\nX-Mailer: M <powered by WrenSMTP (1.0)>\r\n\r\n"
                                "a\r\nb\r\nc\r\n\r\n.\r\n..\r\n. x\r\nfrom a^@b caf\xe9 \xff\r\n.\r\n\r\n";
        QCOMPARE(data.left(head.size()), head);
        const qsizetype end = data.indexOf("\r\n \r\n`\r\nend\r\n\r\n\r\n\r\n");
        QVERIFY(data.mid(head.size()).startsWith("begin 664 evidence.bin\r\n") && end + 19 == data.size());
        const QString decoded = dir.filePath(u"decoded.bin"_s);
        QVERIFY(writeBytes(decoded, QByteArray(2000, 'x'))); // a longer file is cut
        SMTP::UUDecodeToFile(QString::fromLatin1(data.mid(head.size(), end + 13 - head.size())), decoded);
        QCOMPARE(fileBytes(decoded), bytes);
    }

    // The send command as users run it: exit status, each status once, then the dialogue.
    void sendCommand_data()
    {
        columns<QString, bool, int, QStringList>("server", "withBody", "exitCode", "lines");
        row("sent: events, then the dialogue", u"127.0.0.1:%1"_s.arg(m_sink.port()), true, 0,
            QStringList{u"Status: Preparing"_s, u"Status: Connected"_s, u"Status: Idle"_s, u"--- Log ---"_s,
                        u"RCPT TO:<abuse@example.com>\r"_s, u"..\r"_s, u"221 Bye\r"_s});
        row("refused", u"127.0.0.1:%1"_s.arg(ScriptedPeer::closedPort()), true, 1,
            QStringList{u"Error: Couldn't connect to server"_s, u"--- Log ---"_s});
        row("no body file: a usage error", u"127.0.0.1"_s, false, 2, QStringList{});
    }
    void sendCommand()
    {
        const auto [server, withBody, exitCode, lines] =
            fetch<QString, bool, int, QStringList>("server", "withBody", "exitCode", "lines");
        QTemporaryDir dir;
        const QString body = dir.filePath(u"body.txt"_s);
        QVERIFY(writeBytes(body, "first\r\n.\r\ncaf\xe9\r\n"));
        QStringList args{u"send"_s, u"--server"_s,          server,         u"--from"_s, u"me@example.org"_s,
                         u"--to"_s, u"abuse@example.com"_s, u"--subject"_s, u"Check"_s};
        if (withBody)
            args << u"--body-file"_s << body;
        const auto before = m_sink.messages().size();
        const CliRun run = runCli(args);
        QCOMPARE(run.exitCode, exitCode);
        const QStringList out = QString::fromLatin1(run.out).split(u'\n');
        for (const QString& line : lines)
            QVERIFY2(out.contains(line), qPrintable(line + u" missing in:\n"_s + out.join(u'\n')));
        QCOMPARE(out.filter(u"Status: "_s).removeDuplicates(), 0);
        const auto arrived = m_sink.messages().mid(before); // once, with the body as it was
        QCOMPARE(arrived.size() == 1 && arrived.first().data.endsWith("\r\n\r\nfirst\r\n.\r\ncaf\xe9\r\n\r\n\r\n\r\n"),
                 exitCode == 0);
    }
    // Sends that stop before any dialogue: the events in order, the port used and the address kept for another try.
    void stopsBeforeTheDialogue_data()
    {
        columns<QString, QString, QString>("setup", "events", "portAfter"); // setup: server|port|from|to|attachment
        const QString to = u"|me@example.org|abuse@example.net"_s, closed = QString::number(P::closedPort());
        const QString start = u"Status: Preparing|Status: Error|Error: "_s,
                      connecting = u"Status: Preparing|Status: Connecting|"_s,
                      tail = u"|Error: Couldn't connect to server|Status: Failed : Couldn't connect to server"_s;
        row("no server", u"|"_s + to, start + u"No SMTP server specified"_s, QString());
        row("no sender, port set to 25", u"127.0.0.1|||abuse@example.net"_s, start + u"Sender address not specified"_s,
            u"25"_s);
        row("no recipient", u"127.0.0.1||me@example.org|"_s, start + u"Receipient address not specified"_s, u"25"_s);
        row("refused", u"127.0.0.1|"_s + closed + to, connecting + u"Status: Error|Error: Connection refused"_s + tail,
            closed);
        row("port not a number", u"127.0.0.1|smtp"_s + to, connecting + u"Error: Connect failed"_s + tail, u"smtp"_s);
        // A closed port: had it tried to connect, the refusal would show among the events.
        row("unreadable attachment connects nowhere", u"127.0.0.1|"_s + closed + to + u"|/nonexistent/evidence.txt"_s,
            u"Status: Preparing|Status: Encoding attachment|Error: Send Failed"_s, closed);
    }
    void stopsBeforeTheDialogue()
    {
        const auto [setup, events, portAfter] = fetch<QString, QString, QString>("setup", "events", "portAfter");
        Client smtp(0);
        QString* const fields[] = {&smtp.Server, &smtp.Port, &smtp.MailFrom, &smtp.MailTo, &smtp.Attachment};
        for (int i = 0; i < 5; ++i)
            *fields[i] = setup.section(u'|', i, i);
        QVERIFY(!smtp.SendMail());
        QCOMPARE(smtp.events.join(u'|') + u" / "_s + smtp.Port + u'|' + smtp.MailTo,
                 events + u" / "_s + portAfter + u'|' + setup.section(u'|', 3, 3));
    }

    // Replies in pieces and in every form are read whole. Once the data's end took a 250 the message is sent, whatever
    // the QUIT meets; before that a refusal, silence or loss fails the send, and nothing later piles up in the log.
    void dialogue_data()
    {
        columns<Script, int, bool, QString>("script", "timeoutMs", "sent", "logEnd");
        const QByteArray hi("220 hi\r\n"), hello("250 hello\r\n");
        // Date, Message-ID, From, To, Subject, X-Mailer, blank, body, blank, the data's end
        const auto accepted = [](const QByteArray& greeting, const QByteArray& heloReply, const Script& ending) {
            return answers({greeting, heloReply, "250 ok\r\n", "250 ok\r\n", "354 go\r\n"},
                           (Script(11, P::readLine()) << P::send("250 queued\r\n")) + ending);
        };
        const Script quit{P::readLine(), P::send("221 bye\r\n"), P::close()};
        row("multi-line replies, bare LF ends", accepted("220-first\r\n220 hi\n", "250-a\n250 hello\r\n", quit), 10000,
            true, u"221 bye\r\n"_s);
        row("closed with the 250", accepted(hi, hello, {P::close()}), 10000, true, u"QUIT\r\n"_s);
        row("QUIT never answered", accepted(hi, hello, {P::readLine(), P::hold()}), 10000, true, u"QUIT\r\n"_s);
        row("550 to RCPT: no DATA", answers({hi, hello, "250 ok\r\n", "550 no such user\r\n"}), 600000, false,
            u"RCPT TO:<abuse@example.net>\r\n550 no such user\r\n"_s);
        row("bad greeting", answers({"554 go away\r\n"}), 600000, false, u"554 go away\r\n"_s);
        row("multi-line reply judged by its final line",
            answers({hi, "250-hello\r\n"}, {P::pause(30), P::send("550 but no\r\n"), P::hold()}), 600000, false,
            u"250-hello\r\n550 but no\r\n"_s);
        row("silence after connect", answers({}), 300, false, QString());
        row("silence after the data's end",
            answers({hi, "250 a\r\n", "250 b\r\n", "250 c\r\n", "354 d\r\n"}, {P::readUntil("\r\n.\r\n"), P::hold()}),
            300, false, QString());
        row("reset mid-dialogue", answers({hi}, {P::readLine(), P::reset()}), 600000, false, QString());
        row("endless greeting", Script{P::flood("220-an endless greeting\r\n", 4 << 20), P::readLine(), P::close()},
            10000, false, QString());
    }
    void dialogue()
    {
        const auto [script, timeoutMs, sent, logEnd] =
            fetch<Script, int, bool, QString>("script", "timeoutMs", "sent", "logEnd");
        ScriptedPeer peer(script);
        QSignalSpy finished(&peer, &ScriptedPeer::scriptFinished);
        Client smtp(peer.port());
        smtp.replyTimeoutMs = smtp.dataEndTimeoutMs = timeoutMs;
        smtp.quitTimeoutMs = 200;
        QSignalSpy completed(&smtp, &SMTP::MailCompleted);
        // A send started while one runs is refused and goes nowhere.
        QString inner;
        connect(&smtp, &SMTP::Connected, this,
                [&](const QString&, qint32 port) { inner = u"%1 %2"_s.arg(port).arg(smtp.SendMail()); });
        QCOMPARE(smtp.SendMail(), sent);
        if (script.last().kind != P::Step::Hold)
            QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 30000);
        QVERIFY2(smtp.Log.endsWith(logEnd) && smtp.Log.size() < 512 * 1024, qPrintable(smtp.Log.right(200)));
        // Nothing went out after a step the server refused.
        QVERIFY(completed.count() == int(sent) && peer.connections() == 1 &&
                (sent || peer.received() == peer.lines().join()));
        // Once sent, only the server, port, mailer and log are kept; a failed send keeps the message.
        const QString failed = u"Error: Failed at server side. Check the SMTP.Log property for more details"_s;
        QStringList end =
            sent ? QStringList{u"Status: Closing SMTP connection"_s, u"Status: Idle"_s, u"Error: Send Failed"_s}
                 : QStringList{u"Status: Error"_s, failed, failed};
        end << u"%1 0|127.0.0.1:%1 "_s.arg(peer.port()) + (sent ? QString() : u"abuse@example.net"_s);
        QCOMPARE(smtp.events.mid(smtp.events.size() - 2)
                     << smtp.events.filter(u"Error: "_s).last()
                     << inner + u'|' + smtp.Server + u':' + smtp.Port + u' ' + smtp.MailTo,
                 end);
    }

    // Each send reads the server setting, settings and keychain afresh; of an earlier send only the mailer stays.
    void prepareSendFollowsTheSettings_data()
    {
        // stored: port|security|user; expected: host|port|mode|user|password
        columns<QString, QString, QString>("server", "stored", "expected");
        row("host alone: 25, the plain dialogue", u"mail.example.org"_s, u"||"_s, u"mail.example.org|25|none||"_s);
        row("the Port setting wins; spaces and case do not count", u" mail.example.org:2525 "_s,
            u" 465 | TLS | reporter "_s, u"mail.example.org|465|tls|reporter|s3cret-pa55"_s);
        row("IPv6 and port; unknown security", u"[2001:db8::1]:2525"_s, u"|ssl3|"_s, u"2001:db8::1|2525|none||"_s);
        row("bare IPv6 address is all host; a user with no password stored", u"2001:db8::1"_s, u"|tls|someone-else"_s,
            u"2001:db8::1|25|tls|someone-else|"_s);
    }
    void prepareSendFollowsTheSettings()
    {
        const auto [server, stored, expected] = fetch<QString, QString, QString>("server", "stored", "expected");
        Sandbox sandbox;
        SettingsStore store;
        const Setting* names[] = {&settings::SmtpPort, &settings::SmtpSecurityMode, &settings::SmtpUser};
        for (int i = 0; i < 3; ++i)
            saveSetting(store, *names[i], stored.section(u'|', i, i));
        // A password the keychain could store replaces the one kept for this run.
        MemoryKeychain system;
        SessionKeychain keychain(system);
        keychain.keepForThisRun(smtpPasswordKey(kUser), u"old"_s);
        QVERIFY(keychain.write(smtpPasswordKey(kUser), kPassword));
        SMTP smtp;
        prepareSend(smtp, u"old.example.org:2626"_s, {.port = u"1111"_s});
        QString* const message[] = {&smtp.Attachment, &smtp.BCC,     &smtp.Body,     &smtp.CCC,
                                    &smtp.MailFrom,   &smtp.MailTo,  &smtp.NameFrom, &smtp.NameTo,
                                    &smtp.Subject,    &smtp.XHeader, &smtp.XMailer};
        for (QString* field : message)
            *field = u"M"_s; // a failed send's leftovers, and the mailer
        prepareSend(smtp, server, nw::readSmtpSecurity(store, keychain));
        const SmtpSecurity& s = smtp.security();
        QStringList state{smtp.Server, smtp.Port, securityModeText(s.mode), s.user, s.password, {}};
        for (QString* field : message)
            state.last() += *field;
        QCOMPARE(state.join(u'|'), expected + u"|M"_s);
    }

    // STARTTLS or TLS from the first byte, with or without a login; where a send must stop, no credentials left.
    void secureSend_data()
    {
        // server: security and logins offered; password: empty for none; error: the error's start, empty: sent
        columns<QString, QString, QString, QString, QString>("server", "mode", "password", "error", "attempts");
        const QString untrusted = u"The server's certificate could not be verified: "_s;
        row("starttls, PLAIN preferred", u"starttls PLAIN,LOGIN"_s, u"starttls"_s, kPassword, QString(),
            u"PLAIN reporter ok"_s);
        row("starttls, only LOGIN", u"starttls LOGIN"_s, u"starttls"_s, kPassword, QString(), u"LOGIN reporter ok"_s);
        row("tls from the start, PLAIN", u"tls PLAIN"_s, u"tls"_s, kPassword, QString(), u"PLAIN reporter ok"_s);
        row("starttls without a login", u"starttls"_s, u"starttls"_s, QString(), QString(), QString());
        row("wrong password", u"starttls PLAIN,LOGIN"_s, u"starttls"_s, u"wrong"_s,
            u"The server did not accept the user name and password"_s, u"PLAIN reporter bad"_s);
        row("untrusted certificate, starttls: no login sent", u"starttls PLAIN,LOGIN"_s, u"starttls"_s, kPassword,
            untrusted, QString());
        row("untrusted certificate, tls", u"tls PLAIN,LOGIN"_s, u"tls"_s, kPassword, untrusted, QString());
        row("security none with a user: password never sent in clear", u"none PLAIN,LOGIN"_s, u"none"_s, kPassword,
            u"The password is never sent over an unencrypted connection"_s, QString());
        row("starttls asked, not offered", u"none"_s, u"starttls"_s, kPassword, u"Failed at server side"_s, QString());
    }
    void secureSend()
    {
        const auto [server, mode, password, error, attempts] =
            fetch<QString, QString, QString, QString, QString>("server", "mode", "password", "error", "attempts");
        const QStringList offer = server.split(u' ');
        QStringList options{u"--security"_s,   offer.first(), u"--cert"_s,
                            m_cert.certPath(), u"--key"_s,    m_cert.keyPath()};
        if (offer.size() > 1)
            options << u"--user"_s << kUser << u"--password"_s << kPassword << u"--mechanisms"_s << offer.last();
        SmtpSink sink;
        QVERIFY2(sink.start(options), qPrintable(sink.error()));
        const bool trusted = !error.startsWith(u"The server's certificate"_s);
        Client smtp(sink.port());
        SmtpSecurity security{{}, securityModeFromText(mode), password.isEmpty() ? QString() : kUser, password, {}};
        if (trusted)
            security.extraCaCertificates = m_cert.certificates();
        smtp.setSecurity(security);
        QCOMPARE(smtp.SendMail(), error.isEmpty());
        QCOMPARE(sink.authAttempts().join(u','), attempts);
        // Neither the password nor an encoding of it reaches the log.
        const QByteArray secret = kPassword.toUtf8(), plain = '\0' + kUser.toUtf8() + '\0' + secret;
        for (const QByteArray& hidden : {secret, secret.toBase64(), plain.toBase64()})
            QVERIFY2(!smtp.Log.contains(QString::fromLatin1(hidden)), qPrintable(smtp.Log));
        const QString shown = smtp.events.filter(u"Error: "_s).join(u'\n');
        QVERIFY2(error.isEmpty() ? shown.isEmpty() : shown.contains(u"Error: "_s + error), qPrintable(shown));
        QVERIFY(!error.isEmpty() || (smtp.Log.contains(u"EHLO 127.0.0.1\r\n"_s) && !smtp.Log.contains(u"HELO "_s)));
        if (error.isEmpty())
            return;
        // The message kept for a retry; without security not even connected.
        QCOMPARE(smtp.MailFrom + u'|' + (mode == u"none"_s ? smtp.Log : QString()), u"me@example.org|"_s);
        // The user can judge a certificate from the error text alone.
        const QString fingerprint =
            QString::fromLatin1(m_cert.certificates().first().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
        QVERIFY2(trusted || (shown.contains(u"subject 127.0.0.1"_s) && shown.contains(fingerprint)), qPrintable(shown));
    }

    // The window shows the stored sender and blind copy; the questions decide whether what a row types goes, else
    // it stays. Then a valid message from another sender goes as typed, whatever the first left, and empties it.
    void sendFromTheWindow_data()
    {
        columns<Fields, QList<PromptAnswer>, QStringList, QByteArray>("fields", "answers", "shown", "subjectLine");
        using A = PromptAnswer;
        const QByteArray none; // nothing sent
        row("invalid To, No: nothing sent", Fields{.to = u"not an address"_s}, QList<A>{A::No},
            QStringList{u"The TO: email address appears to be invalid!\r\nSend it anyway?"_s, kReview, {}}, none);
        row("empty server: only the review message", Fields{.server = {}}, QList<A>{}, QStringList{kReview, {}}, none);
        row("blank sender", Fields{.from = u"  "_s}, QList<A>{},
            QStringList{u"[exclamation] Enter the sender e-mail address"_s, kReview, {}}, none);
        row("no subject, No", Fields{.subject = u" "_s}, QList<A>{A::No}, QStringList{kNoSubject, kReview, {}}, none);
        row("no subject, Yes: one space", Fields{.subject = {}}, QList<A>{A::Yes}, QStringList{kNoSubject, u"Idle"_s},
            QByteArray("Subject: "));
        row("blank text, No", Fields{.text = u"  "_s}, QList<A>{A::No}, QStringList{kNoText, kReview, {}}, none);
        row("nothing listens on that address: said once", Fields{.server = u"127.0.0.2"_s}, QList<A>{},
            QStringList{u"[critical] Error occured while sending...\r\n"_s, u"Failed : Couldn't connect to server"_s},
            none);
    }
    void sendFromTheWindow()
    {
        const auto [fields, answers, shown, subjectLine] =
            fetch<Fields, QList<PromptAnswer>, QStringList, QByteArray>("fields", "answers", "shown", "subjectLine");
        Sandbox box;
        SettingsStore store;
        store.save(u"tst"_s, u"EmailSettings"_s, u"From"_s, u"me@example.org"_s);
        store.save(u"tst"_s, u"EmailSettings"_s, u"BCC"_s, u"b@example.org"_s);
        box.prompts().setNextAnswers(answers);
        SendMail w(nullptr, u"tst"_s);
        const auto read = [&w](const QString& name) {
            try {
                return w.composer().readProperty(name);
            } catch (const RuntimeError& e) {
                return QString::number(e.number()) + u' ' + e.description();
            }
        };
        // Only the server reads back; the other properties are write-only.
        QCOMPARE((QStringList{read(u"Server"_s), read(u"MailTo"_s).left(4), w.txtFrom->text(), w.txtCC->text(),
                              w.txtBCC->text()}),
                 (QStringList{u"9999 No Server"_s, u"393 "_s, u"me@example.org"_s, {}, u"b@example.org"_s}));
        const auto send = [&](const Fields& f) {
            w.composer().setServer(f.server);
            w.composer().smtp().Port = QString::number(m_sink.port());
            w.txtTo->setText(f.to);
            w.txtFrom->setText(f.from);
            w.txtCC->setText(u"c@example.org"_s);
            w.txtBCC->setText(u"b@example.org"_s);
            w.txtSubject->setText(f.subject);
            w.txtMessage->setPlainText(f.text);
            QTest::mouseClick(w.cmdSend, Qt::LeftButton);
        };
        const auto before = m_sink.messages().size();
        send(fields);
        const char* const icons[] = {"", "[critical] ", "[question] ", "[exclamation] ", "[information] "};
        QStringList prompts;
        for (const Prompt& p : box.prompts().shown())
            prompts << QString::fromLatin1(icons[int(p.icon)]) + p.text;
        QCOMPARE(prompts << w.lblStatus->text(), shown);
        QCOMPARE(m_sink.messages().size(), before + (subjectLine.isEmpty() ? 0 : 1));
        if (subjectLine.isEmpty())
            QCOMPARE(w.txtTo->text() + w.txtFrom->text() + w.txtMessage->toPlainText(),
                     fields.to + fields.from + fields.text);
        else
            QVERIFY(m_sink.messages().last().data.contains("\r\n" + subjectLine + "\r\n"));

        box.prompts().clear();
        send(Fields{.from = u"other@example.org"_s});
        const auto m = m_sink.messages().last();
        QCOMPARE(m.rcptTos, (QStringList{u"abuse@example.com"_s, u"c@example.org"_s, u"b@example.org"_s}));
        QVERIFY(m.data.contains("From:other@example.org\r\nTo:abuse@example.com\r\nCc:c@example.org\r\nSubject:Spam\r\n"
                                "X-Mailer: Nettlewright <powered by WrenSMTP (1.0)>\r\n\r\nline one\r\nline two\r\n"));
        QCOMPARE(box.prompts().texts() << w.txtTo->text() + w.txtFrom->text() + w.txtCC->text() + w.txtBCC->text() +
                                              w.txtSubject->text() + w.txtMessage->toPlainText() + w.lblStatus->text(),
                 QStringList{u"Idle"_s});
    }

    // The letter byte for byte; built from the running process it carries the version and the local address.
    void textIsExact()
    {
        const HeaderAnalysis found{u"192.0.2.7"_s, u"mail.spam.example"_s, u"Tue, 3 Mar 2026 10:00:00 +0000"_s,
                                   u"from mail.spam.example ([192.0.2.7]) by mx.example\r"_s, u"mail.spam.example"_s};
        const QString header = u"Received: from mail.spam.example\r\nSubject: win\r\n"_s;
        const QString letter = QString::fromLatin1(kLetter).replace(u'\n', u"\r\n"_s);
        QCOMPARE(CreateComplaint({found, header, u"192.0.2.7"_s, u"whois.arin.net"_s, u"Nettlewright"_s, 2, 0, 1,
                                  4194304, 1, 5120, u"10.0.0.5"_s}),
                 letter.arg(found.ip, found.hostName, found.timeStamp, found.receivedLine, header, u"10.0.0.5"_s,
                            u"192.0.2.7"_s, u"whois.arin.net"_s));
        TableResolver resolver; // first without an answer for this machine
        QVERIFY(CreateComplaint(complaintInputs({}, {}, {}, {}, resolver)).endsWith(u"\r\n\r\n - "_s));
        resolver.add(u"10.1.2.3"_s, u"localhost"_s);
        const QString text = CreateComplaint(complaintInputs({}, u"h"_s, u"a"_s, u"s"_s, resolver));
        QVERIFY(text.contains(u"\r\nNettlewright 2.0.1\r\n-0"_s) && text.endsWith(u"\r\n10.1.2.3\r\na - s"_s));
    }
};
NW_TEST_CLASS(TstMail)

#include "tst_mail.moc"
