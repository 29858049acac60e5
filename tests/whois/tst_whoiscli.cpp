#include "support/Cli.h"
#include "support/Rows.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"
#include "whois/WhoIs.h"

using namespace Qt::StringLiterals;
using namespace nw::test;

// The command-line tool run as a user runs it, with the shipped tables beside it and every server it
// would ask routed to loopback peers.
class TstWhoisCli : public QObject {
    Q_OBJECT

private slots:
    void whoisCommand_data()
    {
        // %A and %B stand for the two peers' ports, %C for a closed one; lastLine is stdout's last line.
        columns<QStringList, QByteArray, int, QStringList, QString>("args", "registryAnswer", "exitCode", "stdoutHas",
                                                                    "lastLine");
        const QStringList routes{u"--route"_s, u"whois.arin.net=127.0.0.1:%A"_s,
                                 u"--route"_s, u"WHOIS.example.NET=127.0.0.1:%B"_s,
                                 u"--delay"_s, u"100"_s};
        row("referral followed, abuse address chosen", routes + QStringList{u"8.8.8.8"_s},
            QByteArray("ReferralServer\nWhois Server: whois.example.net\n"), 0,
            QStringList{u"Servers asked: whois.arin.net:43 -> whois.example.net:43"_s, u"noc@example.net"_s,
                        u"Whois Server: whois.example.net"_s},
            "abuse@example.net");
        row("no address: empty last line", routes + QStringList{u"8.8.4.4"_s}, QByteArray("NetName: X\n"), 2,
            QStringList{u"NetName: X"_s}, "");
        row("no registry for the address", routes + QStringList{u"10.1.2.3"_s}, QByteArray(), 1, QStringList{},
            "Servers asked: ");
        row("refused connection", QStringList{u"--route"_s, u"whois.ripe.net=127.0.0.1:%C"_s, u"193.0.6.139"_s},
            QByteArray(), 1, QStringList{}, "Servers asked: whois.ripe.net:43");
        row("select only", QStringList{u"--select-only"_s, u"8.8.8.8"_s, u"10.1.2.3"_s, u"www.example.co.uk"_s},
            QByteArray(), 2,
            QStringList{u"8.8.8.8\twhois.arin.net\t43\t8.8.8.8"_s, u"10.1.2.3\t"_s + nw::WhoIs::unmatchedText()},
            "www.example.co.uk\twhois.nic.uk\t43\texample.co.uk");
        row("IPv6 address asked at its registry", routes + QStringList{u"2600:1f18::1"_s},
            QByteArray("OrgAbuseEmail: abuse@example.net\n"), 0, QStringList{u"Servers asked: whois.arin.net:43"_s},
            "abuse@example.net");
        row("select only, IPv6: registry space, 6to4 by its IPv4 address",
            QStringList{u"--select-only"_s, u"2a00:1450:4001::1"_s, u"::ffff:41.1.2.3"_s, u"2002:808:808::1"_s},
            QByteArray(), 0,
            QStringList{u"2a00:1450:4001::1\twhois.ripe.net\t43\t2a00:1450:4001::1"_s,
                        u"::ffff:41.1.2.3\twhois.afrinic.net\t43\t41.1.2.3"_s},
            "2002:808:808::1\twhois.arin.net\t43\t8.8.8.8");
        row("malformed route: a usage error", QStringList{u"--route"_s, u"whois.arin.net"_s, u"8.8.8.8"_s},
            QByteArray(), 2, QStringList{}, "");
    }
    void whoisCommand()
    {
        auto [args, registryAnswer, exitCode, stdoutHas, lastLine] =
            fetch<QStringList, QByteArray, int, QStringList, QString>("args", "registryAnswer", "exitCode", "stdoutHas",
                                                                      "lastLine");
        ScriptedPeer registry(ScriptedPeer::answer(registryAnswer));
        ScriptedPeer registrar(ScriptedPeer::answer("tech: noc@example.net\nabuse: abuse@example.net\n"));
        for (QString& arg : args)
            arg.replace(u"%A"_s, QString::number(registry.port()))
                .replace(u"%B"_s, QString::number(registrar.port()))
                .replace(u"%C"_s, QString::number(ScriptedPeer::closedPort()));
        const CliRun cli = runCli(QStringList{u"whois"_s} + args);
        const QString out = QString::fromLocal8Bit(cli.out);
        QCOMPARE(cli.exitCode, exitCode);
        for (const QString& text : stdoutHas)
            QVERIFY2(out.contains(text), qPrintable(out));
        QVERIFY2(out.endsWith(u'\n') || out.isEmpty(), qPrintable(out));
        QCOMPARE(out.isEmpty() ? QString() : out.chopped(1).section(u'\n', -1), lastLine);
        // Failures say why on stderr; a chosen address needs no message.
        if (exitCode != 2)
            QCOMPARE(cli.err.isEmpty(), exitCode == 0);
    }
};

NW_TEST_CLASS(TstWhoisCli)
#include "tst_whoiscli.moc"
