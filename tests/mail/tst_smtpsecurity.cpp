#include "app/Settings.h"
#include "mail/SMTP.h"
#include "mail/SmtpSettings.h"
#include "platform/Keychain.h"
#include "platform/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"
#include "support/UnavailableKeychain.h"

#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::SmtpSink;

namespace {

using Mode = SmtpSecurity::Mode;

const QString kUser = QStringLiteral("reporter");
const QString kPassword = QStringLiteral("s3cret-pa55");

QStringList serverOptions(const QString& security, const nw::test::TestCertificate& cert,
                          const QString& mechanisms = {})
{
    QStringList options{QStringLiteral("--security"), security};
    if (security != QStringLiteral("none"))
        options << QStringLiteral("--cert") << cert.certPath() << QStringLiteral("--key") << cert.keyPath();
    if (!mechanisms.isEmpty())
        options << QStringLiteral("--user") << kUser << QStringLiteral("--password") << kPassword
                << QStringLiteral("--mechanisms") << mechanisms;
    return options;
}

void address(SMTP& smtp, quint16 port)
{
    smtp.Server = QStringLiteral("127.0.0.1");
    smtp.Port = QString::number(port);
    smtp.MailFrom = QStringLiteral("me@example.org");
    smtp.MailTo = QStringLiteral("abuse@example.net");
    smtp.Subject = QStringLiteral("Spam from 192.0.2.7");
    smtp.Body = QStringLiteral("line one\r\n.\r\nline three");
}

// What the server must store for the message `address` sets up: the same bytes as without security.
const QByteArray kDesignedData = "From:me@example.org\r\nTo:abuse@example.net\r\nSubject:Spam from 192.0.2.7\r\n"
                                 "X-Mailer:  <powered by WrenSMTP (1.0)>\r\n\r\nline one\r\n.\r\nline three\r\n"
                                 "\r\n\r\n";

QStringList errorsOf(SMTP& smtp, const std::function<void()>& run)
{
    QStringList errors;
    const auto c = QObject::connect(&smtp, &SMTP::Error, [&errors](const QString& e) { errors << e; });
    run();
    QObject::disconnect(c);
    return errors;
}

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
        QTest::newRow("starttls, PLAIN preferred") << "starttls"
                                                   << "PLAIN,LOGIN"
                                                   << "PLAIN";
        QTest::newRow("starttls, only LOGIN offered") << "starttls"
                                                      << "LOGIN"
                                                      << "LOGIN";
        QTest::newRow("tls from the start, PLAIN") << "tls"
                                                   << "PLAIN"
                                                   << "PLAIN";
        QTest::newRow("tls from the start, only LOGIN") << "tls"
                                                        << "LOGIN"
                                                        << "LOGIN";
        QTest::newRow("starttls without a login") << "starttls"
                                                  << ""
                                                  << "";
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
        const QStringList errors = errorsOf(smtp, [&] { QVERIFY2(smtp.SendMail(), qPrintable(smtp.Log)); });
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));

        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().data, kDesignedData);
        QCOMPARE(messages.first().mailFrom, QStringLiteral("me@example.org"));
        QCOMPARE(messages.first().rcptTos, QStringList{QStringLiteral("abuse@example.net")});
        QCOMPARE(messages.first().helo, QStringLiteral("127.0.0.1"));
        QCOMPARE(sink.authAttempts(), expectedAuth.isEmpty()
                                          ? QStringList()
                                          : QStringList{expectedAuth + u' ' + kUser + QStringLiteral(" ok")});

        // Neither the password nor an encoding of it reaches the log.
        const QString plainBlob =
            QString::fromLatin1(QByteArray('\0' + kUser.toUtf8() + '\0' + kPassword.toUtf8()).toBase64());
        for (const QString& secret : {kPassword, QString::fromLatin1(kPassword.toUtf8().toBase64()), plainBlob})
            QVERIFY2(!smtp.Log.contains(secret), qPrintable(smtp.Log));
        if (expectedAuth == QStringLiteral("PLAIN"))
            QVERIFY(smtp.Log.contains(QStringLiteral("AUTH PLAIN ****\r\n")));
        QVERIFY(smtp.Log.contains(QStringLiteral("EHLO 127.0.0.1\r\n")));
        QVERIFY(!smtp.Log.contains(QStringLiteral("HELO ")));
    }

    void portFollowsTheSettings_data()
    {
        QTest::addColumn<QString>("hostPort"); // set by the host before the settings
        QTest::addColumn<QString>("earlier");  // the port of settings applied before
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("port");
        QTest::newRow("no port anywhere") << ""
                                          << ""
                                          << ""
                                          << "";
        QTest::newRow("the host's own port stays") << "2525"
                                                   << ""
                                                   << ""
                                                   << "2525";
        QTest::newRow("the settings' port wins") << "2525"
                                                 << ""
                                                 << "587"
                                                 << "587";
        QTest::newRow("a port cleared in the settings goes") << ""
                                                             << "587"
                                                             << ""
                                                             << "";
        QTest::newRow("a port changed in the settings follows") << ""
                                                                << "587"
                                                                << "465"
                                                                << "465";
    }
    void portFollowsTheSettings()
    {
        QFETCH(QString, hostPort);
        QFETCH(QString, earlier);
        QFETCH(QString, now);
        QFETCH(QString, port);
        SMTP smtp;
        SmtpSecurity s;
        s.port = earlier;
        smtp.setSecurity(s);
        if (!hostPort.isEmpty())
            smtp.Port = hostPort;
        s.port = now;
        smtp.setSecurity(s);
        QCOMPARE(smtp.Port, port);
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
        bool sent = true;
        const QStringList errors = errorsOf(smtp, [&] { sent = smtp.SendMail(); });
        QVERIFY(!sent);
        QVERIFY2(!errors.filter(error).isEmpty() && errors.filter(error).first().startsWith(error),
                 qPrintable(errors.join(u'\n')));
        QVERIFY(sink.messages().isEmpty());
        QCOMPARE(sink.authAttempts(), attempts);
        QVERIFY2(logEnd.isEmpty() || smtp.Log.endsWith(logEnd), qPrintable(smtp.Log));
        if (Mode(mode) == Mode::None)
            QVERIFY2(smtp.Log.isEmpty(), qPrintable(smtp.Log)); // not even connected
        QVERIFY(!smtp.Log.contains(password));
        if (!attempts.isEmpty() || !trusted)
            QCOMPARE(smtp.MailFrom, QStringLiteral("me@example.org")); // kept for a retry
        if (!trusted) {
            QVERIFY(!smtp.Log.contains(QStringLiteral("AUTH")));
            // The user can judge the certificate from the error text alone.
            const QString fingerprint = QString::fromLatin1(
                m_cert.certificates().first().digest(QCryptographicHash::Sha256).toHex(':').toUpper());
            const QString shown = errors.filter(error).first();
            QVERIFY2(shown.contains(QStringLiteral("subject 127.0.0.1")) && shown.contains(fingerprint),
                     qPrintable(shown));
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
        QTest::newRow("nothing stored: the plain dialogue")
            << QStringList{u"-"_s, u"-"_s, u"-"_s} << "" << int(Mode::None) << ""
            << "";
        QTest::newRow("submission port with starttls and login")
            << QStringList{u"587"_s, u"starttls"_s, kUser} << "587" << int(Mode::StartTls) << kUser << kPassword;
        QTest::newRow("security read without regard to case or spaces")
            << QStringList{u" 465 "_s, u" TLS "_s, u"-"_s} << "465" << int(Mode::Tls) << ""
            << "";
        QTest::newRow("unknown security reads as none")
            << QStringList{u"-"_s, u"ssl3"_s, u"-"_s} << "" << int(Mode::None) << ""
            << "";
        QTest::newRow("a user with no password stored")
            << QStringList{u"-"_s, u"tls"_s, u"someone-else"_s} << "" << int(Mode::Tls) << "someone-else"
            << "";
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
            if (stored.at(i) != QStringLiteral("-"))
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

    void passwordKeptForThisRunWhenTheKeychainIsMissing()
    {
        test::UnavailableKeychain missing;
        SessionKeychain session(missing);
        const QString key = smtpPasswordKey(kUser);
        QVERIFY(!session.write(key, kPassword));
        QCOMPARE(session.error(), missing.error());
        session.keepForThisRun(key, kPassword);
        QString read;
        QVERIFY(session.read(key, read));
        QCOMPARE(read, kPassword);

        MemoryKeychain system;
        SessionKeychain withSystem(system);
        withSystem.keepForThisRun(key, QStringLiteral("old"));
        QVERIFY(withSystem.write(key, kPassword));
        QVERIFY(withSystem.read(key, read));
        QCOMPARE(read, kPassword); // the stored one, not the one kept for this run
    }
};
NW_TEST_CLASS(TstSmtpSettings)

#include "tst_smtpsecurity.moc"
