#include "SmtpRig.h"
#include "app/Settings.h"
#include "mail/SmtpSettings.h"
#include "platform/Keychain.h"
#include "platform/SettingsStore.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

namespace {

using Mode = SmtpSecurity::Mode;

const QString kUser = u"reporter"_s;
const QString kPassword = u"s3cret-pa55"_s;

QStringList serverOptions(const QString& security, const TestCertificate& cert, const QString& mechanisms = {})
{
    QStringList options{u"--security"_s, security};
    if (security != u"none"_s)
        options << u"--cert"_s << cert.certPath() << u"--key"_s << cert.keyPath();
    if (!mechanisms.isEmpty())
        options << u"--user"_s << kUser << u"--password"_s << kPassword << u"--mechanisms"_s << mechanisms;
    return options;
}

// A message with a line "." in its body, through a server started with `options`.
void send(SMTP& smtp, SmtpSink& sink, const QStringList& options, const SmtpSecurity& security)
{
    QVERIFY2(sink.start(options), qPrintable(sink.error()));
    smtp.setSecurity(security);
    address(smtp, sink.port());
    smtp.Subject = u"Spam from 192.0.2.7"_s;
    smtp.Body = u"line one\r\n.\r\nline three"_s;
}

} // namespace

// Sends through aiosmtpd speaking STARTTLS or TLS from the first byte and requiring a login.
class TstSmtpSecurity : public QObject {
    Q_OBJECT

    TestCertificate m_cert;

private slots:
    void initTestCase()
    {
        const QString problem = m_cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void secureSendDeliversTheDesignedBytes_data()
    {
        // mechanisms: offered by the server; empty: no login
        columns<QString, QString, QString>("security", "mechanisms", "expectedAuth");
        row("starttls, PLAIN preferred", u"starttls"_s, u"PLAIN,LOGIN"_s, u"PLAIN"_s);
        row("starttls, only LOGIN offered", u"starttls"_s, u"LOGIN"_s, u"LOGIN"_s);
        row("tls from the start, PLAIN", u"tls"_s, u"PLAIN"_s, u"PLAIN"_s);
        row("starttls without a login", u"starttls"_s, QString(), QString());
    }
    void secureSendDeliversTheDesignedBytes()
    {
        const auto [security, mechanisms, expectedAuth] =
            fetch<QString, QString, QString>("security", "mechanisms", "expectedAuth");
        SmtpSink sink;
        SMTP smtp;
        send(smtp, sink, serverOptions(security, m_cert, mechanisms),
             {{},
              securityModeFromText(security),
              mechanisms.isEmpty() ? QString() : kUser,
              kPassword,
              m_cert.certificates()});
        EventLog log(smtp);
        QVERIFY2(smtp.SendMail(), qPrintable(smtp.Log));
        QVERIFY2(log.errors().isEmpty(), qPrintable(log.errors().join(u'\n')));
        QCOMPARE(sink.messages().size(), 1);
        // The same bytes as without security.
        QCOMPARE(maskStamps(sink.messages().first().data),
                 kMaskedStamps + QByteArray("From:me@example.org\r\nTo:abuse@example.net\r\nSubject:Spam from "
                                            "192.0.2.7\r\nX-Mailer:  <powered by WrenSMTP (1.0)>\r\n\r\nline "
                                            "one\r\n.\r\nline three\r\n\r\n\r\n"));
        QCOMPARE(sink.messages().first().helo, u"127.0.0.1"_s);
        QCOMPARE(sink.authAttempts(),
                 expectedAuth.isEmpty() ? QStringList() : QStringList{expectedAuth + u' ' + kUser + u" ok"_s});
        // Neither the password nor an encoding of it reaches the log.
        const QString plainBlob =
            QString::fromLatin1(QByteArray('\0' + kUser.toUtf8() + '\0' + kPassword.toUtf8()).toBase64());
        for (const QString& secret : {kPassword, QString::fromLatin1(kPassword.toUtf8().toBase64()), plainBlob})
            QVERIFY2(!smtp.Log.contains(secret), qPrintable(smtp.Log));
        QVERIFY(smtp.Log.contains(u"EHLO 127.0.0.1\r\n"_s) && !smtp.Log.contains(u"HELO "_s));
    }

    // Each way a secure send must stop, and that no credentials left the program before it did.
    void secureSendStops_data()
    {
        // error: the start of the clear error text; attempts: logins the server saw; logEnd: how the log ends
        columns<QStringList, int, QString, bool, QString, QStringList, QString>("server", "mode", "password", "trusted",
                                                                                "error", "attempts", "logEnd");
        const QString untrusted = u"The server's certificate could not be verified: "_s;
        const QStringList starttls = serverOptions(u"starttls"_s, m_cert, u"PLAIN,LOGIN"_s);
        row("wrong password: server's reply logged", starttls, int(Mode::StartTls), u"wrong"_s, true,
            u"The server did not accept the user name and password"_s, QStringList{u"PLAIN reporter bad"_s},
            u"535 5.7.8 Authentication credentials invalid\r\n"_s);
        row("untrusted certificate, starttls: no login sent", starttls, int(Mode::StartTls), kPassword, false,
            untrusted, QStringList{}, u"220 Ready to start TLS\r\n"_s);
        row("untrusted certificate, tls from the start", serverOptions(u"tls"_s, m_cert, u"PLAIN,LOGIN"_s),
            int(Mode::Tls), kPassword, false, untrusted, QStringList{}, QString());
        row("security none with a user: password never sent in clear",
            serverOptions(u"none"_s, m_cert, u"PLAIN,LOGIN"_s), int(Mode::None), kPassword, true,
            u"The password is never sent over an unencrypted connection"_s, QStringList{}, QString());
        row("starttls asked of a server without it", serverOptions(u"none"_s, m_cert), int(Mode::StartTls), kPassword,
            true, u"Failed at server side"_s, QStringList{}, QString());
    }
    void secureSendStops()
    {
        const auto [server, mode, password, trusted, error, attempts, logEnd] =
            fetch<QStringList, int, QString, bool, QString, QStringList, QString>(
                "server", "mode", "password", "trusted", "error", "attempts", "logEnd");
        SmtpSink sink;
        SMTP smtp;
        send(smtp, sink, server,
             {{}, Mode(mode), kUser, password, trusted ? m_cert.certificates() : QList<QSslCertificate>()});
        EventLog log(smtp);
        QVERIFY(!smtp.SendMail());
        const QStringList shown = log.errors().filter(u"Error: "_s + error);
        QVERIFY2(!shown.isEmpty(), qPrintable(log.errors().join(u'\n')));
        QVERIFY(sink.messages().isEmpty());
        QCOMPARE(sink.authAttempts(), attempts);
        QVERIFY2(smtp.Log.endsWith(logEnd), qPrintable(smtp.Log));
        QVERIFY2(Mode(mode) != Mode::None || smtp.Log.isEmpty(), qPrintable(smtp.Log)); // not even connected
        QCOMPARE(smtp.MailFrom, u"me@example.org"_s);                                   // kept for a retry
        if (!trusted) {
            QVERIFY(!smtp.Log.contains(u"AUTH"_s));
            // The user can judge the certificate from the error text alone.
            const QString fingerprint = QString::fromLatin1(
                m_cert.certificates().first().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
            QVERIFY2(shown.first().contains(u"subject 127.0.0.1"_s) && shown.first().contains(fingerprint),
                     qPrintable(shown.first()));
        }
    }
};
NW_TEST_CLASS(TstSmtpSecurity)

// The stored settings and keychain as the senders read them.
class TstSmtpSettings : public QObject {
    Q_OBJECT

private slots:
    // Every send parses the server setting afresh: the port follows each change at once, and nothing of an
    // earlier send (its port, header names a failed send filled in) stays.
    void prepareSendFollowsTheSettings_data()
    {
        columns<QString, QString, QString>("server", "portSetting", "expected"); // expected: "host|port"
        row("host alone: 25", u"mail.example.org"_s, QString(), u"mail.example.org|25"_s);
        row("HOST:PORT", u"mail.example.org:2525"_s, QString(), u"mail.example.org|2525"_s);
        row("the Port setting wins", u"mail.example.org:2525"_s, u"587"_s, u"mail.example.org|587"_s);
        row("spaces around", u" mail.example.org:2525 "_s, QString(), u"mail.example.org|2525"_s);
        row("IPv6 literal and port", u"[2001:db8::1]:2525"_s, QString(), u"2001:db8::1|2525"_s);
        row("IPv6 literal alone", u"[2001:db8::1]"_s, QString(), u"2001:db8::1|25"_s);
        row("bare IPv6 address is all host", u"2001:db8::1"_s, QString(), u"2001:db8::1|25"_s);
    }
    void prepareSendFollowsTheSettings()
    {
        const auto [server, portSetting, expected] =
            fetch<QString, QString, QString>("server", "portSetting", "expected");
        SMTP smtp;
        prepareSend(smtp, u"old.example.org:2626"_s, {u"1111"_s});
        smtp.NameFrom = smtp.NameTo = smtp.BCC = u"old@example.org"_s; // a failed send's leftovers
        prepareSend(smtp, server, {portSetting});
        QCOMPARE(smtp.Server + u'|' + smtp.Port + smtp.NameFrom + smtp.NameTo + smtp.BCC, expected);
    }

    void readSmtpSecurity_data()
    {
        // stored: port, security, user; "-" leaves a value unset. expected: port|mode|user|password
        columns<QStringList, QString>("stored", "expected");
        row("nothing stored: the plain dialogue", QStringList{u"-"_s, u"-"_s, u"-"_s}, u"|none||"_s);
        row("submission port with starttls and login", QStringList{u"587"_s, u"starttls"_s, kUser},
            u"587|starttls|reporter|s3cret-pa55"_s);
        row("read without regard to case or spaces", QStringList{u" 465 "_s, u" TLS "_s, u" reporter "_s},
            u"465|tls|reporter|s3cret-pa55"_s);
        row("unknown security reads as none", QStringList{u"-"_s, u"ssl3"_s, u"-"_s}, u"|none||"_s);
        row("a user with no password stored", QStringList{u"-"_s, u"tls"_s, u"someone-else"_s},
            u"|tls|someone-else|"_s);
    }
    void readSmtpSecurity()
    {
        const auto [stored, expected] = fetch<QStringList, QString>("stored", "expected");
        Sandbox sandbox;
        SettingsStore store;
        const Setting* names[] = {&settings::SmtpPort, &settings::SmtpSecurityMode, &settings::SmtpUser};
        for (int i = 0; i < 3; ++i)
            if (stored.at(i) != u"-"_s)
                saveSetting(store, *names[i], stored.at(i));
        MemoryKeychain keychain;
        keychain.write(smtpPasswordKey(kUser), kPassword);
        const SmtpSecurity s = nw::readSmtpSecurity(store, keychain);
        QCOMPARE((QStringList{s.port, securityModeText(s.mode), s.user, s.password}).join(u'|'), expected);
        QCOMPARE(securityModeFromText(securityModeText(s.mode)), s.mode);
    }

    // A password the keychain could store replaces the one kept for this run.
    void storedPasswordReplacesTheOneKeptForThisRun()
    {
        MemoryKeychain system;
        SessionKeychain session(system);
        const QString key = smtpPasswordKey(kUser);
        session.keepForThisRun(key, u"old"_s);
        QString read;
        QVERIFY(session.write(key, kPassword) && session.read(key, read));
        QCOMPARE(read, kPassword);
    }
};
NW_TEST_CLASS(TstSmtpSettings)

#include "tst_smtpsecurity.moc"
