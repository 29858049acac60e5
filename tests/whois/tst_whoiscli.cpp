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
        // args: %R stands for routes to the two peers, %C for a closed port; stdoutHas: texts apart by |;
        // lastLine: stdout's last line
        columns<QString, QByteArray, int, QString, QString>("args", "registryAnswer", "exitCode", "stdoutHas",
                                                            "lastLine");
        row("referral followed, abuse address chosen", "%R 8.8.8.8",
            QByteArray("ReferralServer\nWhois Server: whois.example.net\n"), 0,
            "Servers asked: whois.arin.net:43 -> whois.example.net:43|noc@example.net|Whois Server: whois.example.net",
            "abuse@example.net");
        row("no address: empty last line", "%R 8.8.4.4", QByteArray("NetName: X\n"), 2, "NetName: X", "");
        row("no registry for the address", "%R 10.1.2.3", QByteArray(), 1, "", "Servers asked: ");
        row("refused connection", "--route whois.ripe.net=127.0.0.1:%C 193.0.6.139", QByteArray(), 1, "",
            "Servers asked: whois.ripe.net:43");
        row("select only", "--select-only 8.8.8.8 10.1.2.3 www.example.co.uk", QByteArray(), 2,
            u"8.8.8.8\twhois.arin.net\t43\t8.8.8.8|10.1.2.3\t"_s + nw::WhoIs::unmatchedText(),
            "www.example.co.uk\twhois.nic.uk\t43\texample.co.uk");
        row("IPv6 address asked at its registry", "%R 2600:1f18::1", QByteArray("OrgAbuseEmail: abuse@example.net\n"),
            0, "Servers asked: whois.arin.net:43", "abuse@example.net");
        row("select only, IPv6: registry space, IPv4 inside by that address",
            "--select-only 2a00:1450:4001::1 ::ffff:41.1.2.3 2002:808:808::1", QByteArray(), 0,
            "2a00:1450:4001::1\twhois.ripe.net\t43\t2a00:1450:4001::1|::ffff:41.1.2.3\twhois.afrinic.net\t43\t41.1.2.3",
            "2002:808:808::1\twhois.arin.net\t43\t8.8.8.8");
        row("malformed route: a usage error", "--route whois.arin.net 8.8.8.8", QByteArray(), 2, "", "");
    }
    void whoisCommand()
    {
        const auto [args, registryAnswer, exitCode, stdoutHas, lastLine] =
            fetch<QString, QByteArray, int, QString, QString>("args", "registryAnswer", "exitCode", "stdoutHas",
                                                              "lastLine");
        ScriptedPeer registry(ScriptedPeer::answer(registryAnswer));
        ScriptedPeer registrar(ScriptedPeer::answer("tech: noc@example.net\nabuse: abuse@example.net\n"));
        const QString routes =
            u"--route whois.arin.net=127.0.0.1:%1 --route WHOIS.example.NET=127.0.0.1:%2 --delay 100"_s;
        const CliRun cli =
            runCli(QStringList{u"whois"_s} + QString(args)
                                                 .replace(u"%R"_s, routes.arg(registry.port()).arg(registrar.port()))
                                                 .replace(u"%C"_s, QString::number(ScriptedPeer::closedPort()))
                                                 .split(u' '));
        const QString out = QString::fromLocal8Bit(cli.out);
        QCOMPARE(cli.exitCode, exitCode);
        for (const QString& text : stdoutHas.split(u'|', Qt::SkipEmptyParts))
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
