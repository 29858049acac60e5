#include "SmtpRig.h"
#include "app/Settings.h"
#include "mail/SMTP.h"
#include "mail/SmtpSettings.h"
#include "platform/Keychain.h"
#include "platform/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::SmtpSink;

namespace {

using Mode = SmtpSecurity::Mode;

const QString kUser = u"reporter"_s;
const QString kPassword = u"s3cret-pa55"_s;

QStringList serverOptions(const QString& security, const nw::test::TestCertificate& cert,
                          const QString& mechanisms = {})
{
    QStringList options{u"--security"_s, security};
    if (security != u"none"_s)
        options << u"--cert"_s << cert.certPath() << u"--key"_s << cert.keyPath();
    if (!mechanisms.isEmpty())
        options << u"--user"_s << kUser << u"--password"_s << kPassword << u"--mechanisms"_s << mechanisms;
    return options;
}

// The message every send here carries, with a line "." in its body.
void address(SMTP& smtp, quint16 port)
{
    nw::test::address(smtp, port);
    smtp.Subject = u"Spam from 192.0.2.7"_s;
    smtp.Body = u"line one\r\n.\r\nline three"_s;
}

// What the server must store for the message `address` sets up: the same bytes as without security.
const QByteArray kDesignedData = QByteArray(nw::test::kMaskedStamps) +
                                 "From:me@example.org\r\nTo:abuse@example.net\r\nSubject:Spam from 192.0.2.7\r\n"
                                 "X-Mailer:  <powered by WrenSMTP (1.0)>\r\n\r\nline one\r\n.\r\nline three\r\n"
                                 "\r\n\r\n";

} // namespace

// Sends through aiosmtpd speaking STARTTLS or TLS from the first byte and requiring a login.
class TstSmtpSecurity : public QObject {
    Q_OBJECT

    nw::test::TestCertificate m_cert;

private slots:
    void initTestCase()
    {
        const QString problem = m_cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void secureSendDeliversTheDesignedBytes_data()
    {
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("mechanisms"); // offered by the server; empty: no login
        QTest::addColumn<QString>("expectedAuth");
        const QString starttls = u"starttls"_s, plain = u"PLAIN"_s, login = u"LOGIN"_s;
        QTest::newRow("starttls, PLAIN preferred") << starttls << u"PLAIN,LOGIN"_s << plain;
        QTest::newRow("starttls, only LOGIN offered") << starttls << login << login;
        QTest::newRow("tls from the start, PLAIN") << u"tls"_s << plain << plain;
        QTest::newRow("starttls without a login") << starttls << QString() << QString();
    }
    void secureSendDeliversTheDesignedBytes()
    {
        QFETCH(QString, security);
        QFETCH(QString, mechanisms);
        QFETCH(QString, expectedAuth);
        SmtpSink sink;
        QVERIFY2(sink.start(serverOptions(security, m_cert, mechanisms)), qPrintable(sink.error()));

        SMTP smtp;
        SmtpSecurity s;
        s.mode = securityModeFromText(security);
        s.user = mechanisms.isEmpty() ? QString() : kUser;
        s.password = kPassword;
        s.extraCaCertificates = m_cert.certificates();
        smtp.setSecurity(s);
        address(smtp, sink.port());
        nw::test::EventLog log(smtp);
        QVERIFY2(smtp.SendMail(), qPrintable(smtp.Log));
        QVERIFY2(log.errors().isEmpty(), qPrintable(log.errors().join(u'\n')));

        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(nw::test::maskStamps(messages.first().data), kDesignedData);
        QCOMPARE(messages.first().mailFrom, u"me@example.org"_s);
        QCOMPARE(messages.first().rcptTos, QStringList{u"abuse@example.net"_s});
        QCOMPARE(messages.first().helo, u"127.0.0.1"_s);
        QCOMPARE(sink.authAttempts(),
                 expectedAuth.isEmpty() ? QStringList() : QStringList{expectedAuth + u' ' + kUser + u" ok"_s});

        // Neither the password nor an encoding of it reaches the log.
        const QString plainBlob =
            QString::fromLatin1(QByteArray('\0' + kUser.toUtf8() + '\0' + kPassword.toUtf8()).toBase64());
        for (const QString& secret : {kPassword, QString::fromLatin1(kPassword.toUtf8().toBase64()), plainBlob})
            QVERIFY2(!smtp.Log.contains(secret), qPrintable(smtp.Log));
        if (expectedAuth == u"PLAIN"_s)
            QVERIFY(smtp.Log.contains(u"AUTH PLAIN ****\r\n"_s));
        QVERIFY(smtp.Log.contains(u"EHLO 127.0.0.1\r\n"_s));
        QVERIFY(!smtp.Log.contains(u"HELO "_s));
    }

    // Every send parses the server setting afresh: the port follows each change at once, and nothing of an
    // earlier message (header names filled in by a failed send) stays.
    void prepareSendFollowsTheSettings_data()
    {
        QTest::addColumn<QString>("earlier"); // server setting and Port setting of the send before
        QTest::addColumn<QString>("earlierPort");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("portSetting");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        const QString h = u"mail.example.org"_s, hp = u"mail.example.org:2525"_s;
        const QString v6 = u"2001:db8::1"_s, none, p25 = u"25"_s;
        QTest::newRow("host alone: 25") << none << none << h << none << h << p25;
        QTest::newRow("HOST:PORT") << none << none << hp << none << h << u"2525"_s;
        QTest::newRow("the Port setting wins") << none << none << hp << u"587"_s << h << u"587"_s;
        QTest::newRow("port taken off the server setting") << hp << none << h << none << h << p25;
        QTest::newRow("Port setting cleared") << h << u"587"_s << h << none << h << p25;
        QTest::newRow("spaces around") << none << none << u" mail.example.org:2525 "_s << none << h << u"2525"_s;
        QTest::newRow("IPv6 literal and port") << none << none << u"[2001:db8::1]:2525"_s << none << v6 << u"2525"_s;
        QTest::newRow("IPv6 literal alone") << none << none << u"[2001:db8::1]"_s << none << v6 << p25;
        QTest::newRow("bare IPv6 address is all host") << none << none << v6 << none << v6 << p25;
    }
    void prepareSendFollowsTheSettings()
    {
        QFETCH(QString, earlier);
        QFETCH(QString, earlierPort);
        QFETCH(QString, server);
        QFETCH(QString, portSetting);
        QFETCH(QString, host);
        QFETCH(QString, port);
        SMTP smtp;
        SmtpSecurity s;
        s.port = earlierPort;
        prepareSend(smtp, earlier, s);
        smtp.NameFrom = smtp.NameTo = smtp.BCC = u"old@example.org"_s; // a failed send's leftovers
        s.port = portSetting;
        prepareSend(smtp, server, s);
        QCOMPARE(smtp.Server, host);
        QCOMPARE(smtp.Port, port);
        QCOMPARE(smtp.NameFrom + smtp.NameTo + smtp.BCC, QString());
    }

    // Each way a secure send must stop, and that no credentials left the program before it did.
    void secureSendStops_data()
    {
        QTest::addColumn<QStringList>("server");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("error");        // the start of the clear error text
        QTest::addColumn<QStringList>("attempts"); // logins the server saw
        QTest::addColumn<QString>("logEnd");       // how the log ends
        QTest::newRow("wrong password: server's reply logged")
            << serverOptions(u"starttls"_s, m_cert, u"PLAIN,LOGIN"_s) << int(Mode::StartTls) << "wrong" << true
            << "The server did not accept the user name and password" << QStringList{u"PLAIN reporter bad"_s}
            << "535 5.7.8 Authentication credentials invalid\r\n";
        QTest::newRow("untrusted certificate, starttls: no login sent")
            << serverOptions(u"starttls"_s, m_cert, u"PLAIN,LOGIN"_s) << int(Mode::StartTls) << kPassword << false
            << "The server's certificate could not be verified: " << QStringList{} << "220 Ready to start TLS\r\n";
        QTest::newRow("untrusted certificate, tls from the start")
            << serverOptions(u"tls"_s, m_cert, u"PLAIN,LOGIN"_s) << int(Mode::Tls) << kPassword << false
            << "The server's certificate could not be verified: " << QStringList{} << "";
        QTest::newRow("security none with a user: password never sent in clear")
            << serverOptions(u"none"_s, m_cert, u"PLAIN,LOGIN"_s) << int(Mode::None) << kPassword << true
            << "The password is never sent over an unencrypted connection" << QStringList{} << "";
        QTest::newRow("starttls asked of a server without it")
            << serverOptions(u"none"_s, m_cert) << int(Mode::StartTls) << kPassword << true << "Failed at server side"
            << QStringList{} << "";
    }
    void secureSendStops()
    {
        QFETCH(QStringList, server);
        QFETCH(int, mode);
        QFETCH(QString, password);
        QFETCH(bool, trusted);
        QFETCH(QString, error);
        QFETCH(QStringList, attempts);
        QFETCH(QString, logEnd);
        SmtpSink sink;
        QVERIFY2(sink.start(server), qPrintable(sink.error()));

        SMTP smtp;
        SmtpSecurity s;
        s.mode = Mode(mode);
        s.user = kUser;
        s.password = password;
        if (trusted)
            s.extraCaCertificates = m_cert.certificates();
        smtp.setSecurity(s);
        address(smtp, sink.port());
        nw::test::EventLog log(smtp);
        QVERIFY(!smtp.SendMail());
        const QStringList shown = log.errors().filter(u"Error: "_s + error);
        QVERIFY2(!shown.isEmpty(), qPrintable(log.errors().join(u'\n')));
        QVERIFY(sink.messages().isEmpty());
        QCOMPARE(sink.authAttempts(), attempts);
        QVERIFY2(logEnd.isEmpty() || smtp.Log.endsWith(logEnd), qPrintable(smtp.Log));
        if (Mode(mode) == Mode::None)
            QVERIFY2(smtp.Log.isEmpty(), qPrintable(smtp.Log)); // not even connected
        QVERIFY(!smtp.Log.contains(password));
        if (!attempts.isEmpty() || !trusted)
            QCOMPARE(smtp.MailFrom, u"me@example.org"_s); // kept for a retry
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
    void readSmtpSecurity_data()
    {
        QTest::addColumn<QStringList>("stored"); // port, security, user; "-" leaves a value unset
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        const QString unset = u"-"_s, none;
        QTest::newRow("nothing stored: the plain dialogue")
            << QStringList{unset, unset, unset} << none << int(Mode::None) << none << none;
        QTest::newRow("submission port with starttls and login")
            << QStringList{u"587"_s, u"starttls"_s, kUser} << u"587"_s << int(Mode::StartTls) << kUser << kPassword;
        QTest::newRow("security read without regard to case or spaces")
            << QStringList{u" 465 "_s, u" TLS "_s, unset} << u"465"_s << int(Mode::Tls) << none << none;
        QTest::newRow("unknown security reads as none")
            << QStringList{unset, u"ssl3"_s, unset} << none << int(Mode::None) << none << none;
        QTest::newRow("a user with no password stored")
            << QStringList{unset, u"tls"_s, u"someone-else"_s} << none << int(Mode::Tls) << u"someone-else"_s << none;
    }
    void readSmtpSecurity()
    {
        QFETCH(QStringList, stored);
        QFETCH(QString, port);
        QFETCH(int, mode);
        QFETCH(QString, user);
        QFETCH(QString, password);
        nw::test::Sandbox sandbox;
        SettingsStore store;
        const Setting* names[] = {&settings::SmtpPort, &settings::SmtpSecurityMode, &settings::SmtpUser};
        for (int i = 0; i < 3; ++i)
            if (stored.at(i) != u"-"_s)
                saveSetting(store, *names[i], stored.at(i));
        MemoryKeychain keychain;
        keychain.write(smtpPasswordKey(kUser), kPassword);

        const SmtpSecurity s = nw::readSmtpSecurity(store, keychain);
        QCOMPARE(s.port, port);
        QCOMPARE(int(s.mode), mode);
        QCOMPARE(s.user, user);
        QCOMPARE(s.password, password);
        QCOMPARE(securityModeFromText(securityModeText(s.mode)), s.mode);
    }

    // A password the keychain could store replaces the one kept for this run.
    void storedPasswordReplacesTheOneKeptForThisRun()
    {
        MemoryKeychain system;
        SessionKeychain session(system);
        const QString key = smtpPasswordKey(kUser);
        session.keepForThisRun(key, u"old"_s);
        QVERIFY(session.write(key, kPassword));
        QString read;
        QVERIFY(session.read(key, read));
        QCOMPARE(read, kPassword);
    }
};
NW_TEST_CLASS(TstSmtpSettings)

#include "tst_smtpsecurity.moc"
