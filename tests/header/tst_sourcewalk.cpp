#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/SourceWalk.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using nw::test::row;
using nw::test::Sandbox;

// Headers as the mail servers of each family write them. The recipient's own servers sit in 203.0.113.0/24
// or private space, senders in 198.51.100.0/24 and 2001:db8::/32, the sender's own clients in 192.0.2.0/24.
class TstSourceWalk : public QObject {
    Q_OBJECT

private slots:
    void findsTheSource_data()
    {
        QTest::addColumn<QString>("file"); // in headers/
        QTest::addColumn<QString>("ownHosts");
        QTest::addColumn<QString>("designed"); // the designed walk's answer, which the mode must not change
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("hostName");
        row("postfix behind amavis, sender authenticated at its own server", "postfix-behind-amavis.eml", "",
            "127.0.0.1", "198.51.100.7", "mta.sender.example");
        row("exim boundary with a greeting literal, dovecot lmtp delivery", "exim-greeting-literal-lmtp.eml", "",
            "203.0.113.30", "198.51.100.44", "");
        row("exim with port and greeting, spamassassin on the same host", "exim-port-and-greeting.eml", "", "127.0.0.1",
            "198.51.100.45", "");
        row("exim handing back to itself on a public address", "exim-back-to-itself.eml", "", "203.0.113.31",
            "198.51.100.46", "");
        row("sendmail relay with a private address, forged reverse name", "sendmail-private-relay.eml", "", "10.0.0.5",
            "198.51.100.77", "");
        row("qmail, greeting naming the recipient's host", "qmail-greeting-recipient-host.eml", "", "198.51.100.88",
            "198.51.100.88", "");
        row("exchange on the premises, internal relays private", "exchange-on-premises.eml", "", "10.20.0.12",
            "198.51.100.90", "");
        row("exchange edge on a public address, listed", "exchange-public-edge.eml", "203.0.113.40", "203.0.113.40",
            "198.51.100.90", "");
        row("microsoft 365: internal hops on public IPv6 of one network", "microsoft-365-ipv6.eml", "", "",
            "198.51.100.91", "");
        row("sender's exchange records its own public address below the boundary",
            "senders-exchange-below-boundary.eml", "", "198.51.100.7", "198.51.100.7", "mta.sender.example");
        row("large webmail provider's MX, sender on IPv6", "webmail-mx-ipv6-sender.eml", "", "", "2001:db8:77::25",
            "mail.promo.example");
        row("webmail provider: a customer's authenticated submission is the source",
            "webmail-authenticated-customer.eml", "", "198.51.100.140", "198.51.100.140", "");
        row("webmail: private hop, then the sender's browser", "webmail-browser.eml", "", "10.217.150.12",
            "198.51.100.130", "");
        row("webmail MX: address first, greeting in a comment", "webmail-mx-address-first.eml", "", "10.217.151.75",
            "198.51.100.131", "");
        row("fetchmail: the walk starts again below the fetch", "fetchmail.eml", "", "127.0.0.1", "198.51.100.120", "");
        row("fetchmail over IMAP", "fetchmail-imap.eml", "", "127.0.0.1", "198.51.100.120", "");
        row("qmail, an address literal as the greeting", "qmail-helo-literal.eml", "", "198.51.100.89", "198.51.100.89",
            "");
        row("content filter handing back on a public address", "content-filter-public.eml", "", "203.0.113.50",
            "198.51.100.150", "");
        row("courier, client as an IPv4-mapped address", "courier-ipv4-mapped.eml", "", "198.51.100.160",
            "198.51.100.160", "");
        row("postfix, IPv6 client, public relay named by prefix", "postfix-ipv6-prefix-relay.eml", "3fff::/20", "",
            "2001:db8:100::1", "");
        row("postfix relay named in the list by its domain", "postfix-relay-by-domain.eml", "example.com",
            "203.0.113.60", "198.51.100.170", "");
        // Only the name the recording host found in the name service counts: greetings are the client's
        // own claim, and spam often greets with the recipient's host name.
        row("postfix: greeting names the recording host, no reverse name", "postfix-greeting-recording-host.eml",
            "mail.example.com", "198.51.100.180", "198.51.100.180", "");
        row("sendmail: a listed reverse name that may be forged", "sendmail-listed-forged-name.eml",
            "relay.example.com", "198.51.100.181", "198.51.100.181", "");
        row("sendmail without a reverse name: the greeting before the address", "sendmail-no-reverse-name.eml",
            "mail.example.com", "198.51.100.183", "198.51.100.183", "");
        row("exchange: the greeting is the recording host's name", "exchange-greeting-recording-host.eml",
            "mail.example.com", "198.51.100.182", "198.51.100.182", "");
        row("the whole chain inside: a local user's submission", "whole-chain-inside.eml", "", "192.168.1.30", "", "");
    }
    void findsTheSource()
    {
        QFETCH(QString, file);
        QFETCH(QString, ownHosts);
        QFETCH(QString, designed);
        QFETCH(QString, source);
        QFETCH(QString, hostName);
        Sandbox box;
        const QString path = QStringLiteral(NW_HEADERS_DIR "/") + file;
        StringSink view;
        LoadMessageHeader(path, view);
        TableResolver resolver;
        resolver.add(QStringLiteral("198.51.100.7"), QStringLiteral("mta.sender.example"));
        resolver.add(QStringLiteral("2001:db8:77::25"), QStringLiteral("mail.promo.example"));

        SourceRules rules;
        rules.ownHosts = OwnHosts::parse(ownHosts);
        HeaderAnalysis analysis;
        QVERIFY(analyzeMessage(resolver, view.text(), path, rules, analysis));
        QCOMPARE(analysis.ip, designed);

        rules.skipOwnHops = true;
        analysis = HeaderAnalysis();
        QVERIFY(analyzeMessage(resolver, view.text(), path, rules, analysis));
        QCOMPARE(analysis.ip, source);
        QCOMPARE(analysis.hostName, hostName);
        QCOMPARE(analysis.ipHostName, hostName);
        if (!source.isEmpty()) {
            // The other fields describe the chosen hop.
            QVERIFY2(analysis.receivedLine.startsWith(QLatin1String("Received: ")) &&
                         analysis.receivedLine.contains(source, Qt::CaseInsensitive),
                     qPrintable(analysis.receivedLine));
            QVERIFY(!analysis.timeStamp.isEmpty());
            QVERIFY2(analysis.receivedLine.simplified().contains(analysis.timeStamp.simplified()),
                     qPrintable(analysis.timeStamp));
        }
        // When the file has gone since it was loaded, the loaded text serves.
        analysis = HeaderAnalysis();
        QVERIFY(analyzeMessage(resolver, view.text(), box.path(QStringLiteral("gone.eml")), rules, analysis));
        QCOMPARE(analysis.ip, source);
        QVERIFY(box.prompts().texts().isEmpty());
    }

    void literalForms_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("address"); // "" when it is none
        row("Sendmail's and Postfix's IPv6 tag", "[IPv6:2001:db8::1]", "2001:db8::1");
        row("bracketed, upper case", "[2001:DB8::1]", "2001:db8::1");
        row("uncompressed", "2001:db8:0:0:0:0:0:1", "2001:db8::1");
        row("zone suffix", "fe80::1%eth0", "fe80::1");
        row("IPv6 with a port after the bracket", "[2001:db8::1]:25", "2001:db8::1");
        row("IPv4 with a port after the bracket", "[192.0.2.1]:54321", "192.0.2.1");
        row("IPv4 with a port", "192.0.2.1:25", "192.0.2.1");
        row("qmail's identified client", "user@198.51.100.7", "198.51.100.7");
        row("IPv4-mapped, tagged", "[IPv6:::ffff:192.0.2.1]", "192.0.2.1");
        row("IPv4-mapped", "::ffff:192.0.2.1", "192.0.2.1");
        row("three parts", "192.0.2", "");
        row("unclosed bracket", "[192.0.2.1", "");
        row("a name", "mail.example.com", "");
        row("not hexadecimal", "2001:db8::zz", "");
        row("a server version", "15.20.6178.19", "");
    }
    void literalForms()
    {
        QFETCH(QString, literal);
        QFETCH(QString, address);
        const auto parsed = addressFromLiteral(literal);
        QCOMPARE(parsed ? addressText(*parsed) : QString(), address);
    }

    void ownHosts_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("probe"); // an address, or a host name
        QTest::addColumn<bool>("own");
        QTest::addColumn<QStringList>("bad");
        const QStringList none;
        row("name, case and final dot ignored", "mail.example.com", "MAIL.example.com.", true, none);
        row("a name stands for the hosts below it", "example.com", "mx1.example.com", true, none);
        row("but not for a name that merely ends alike", "example.com", "badexample.com", false, none);
        row("IPv4 prefix, inside", "203.0.113.0/24", "203.0.113.9", true, none);
        row("IPv4 prefix, outside", "203.0.113.0/24", "203.0.114.1", false, none);
        row("IPv6 prefix among commas", "3fff::/20,2001:db8::25", "3fff:0:1::1", true, none);
        row("IPv6 address alone", "3fff::/20, 2001:db8::25", "2001:db8::26", false, none);
        row("bad entries left out and named", "10.0.0.0/33 foo/bar\tmx.example.com", "mx.example.com", true,
            QStringList{QStringLiteral("10.0.0.0/33"), QStringLiteral("foo/bar")});
    }
    void ownHosts()
    {
        QFETCH(QString, list);
        QFETCH(QString, probe);
        QFETCH(bool, own);
        QFETCH(QStringList, bad);
        QStringList rejected;
        const OwnHosts hosts = OwnHosts::parse(list, &rejected);
        const auto address = addressFromLiteral(probe);
        QCOMPARE(address ? hosts.containsAddress(*address) : hosts.containsName(probe), own);
        QCOMPARE(rejected, bad);
    }
};

NW_TEST_CLASS(TstSourceWalk)

#include "tst_sourcewalk.moc"
