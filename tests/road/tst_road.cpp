#include "app/Settings.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "mail/Complaint.h"
#include "platform/AppPaths.h"
#include "road/Monitor.h"
#include "support/Cli.h"
#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/RoadRig.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace nw;
using nw::test::ScriptedPeer;

namespace {

// 192.0.2.0/24 has a registry; 198.51.100.0/24 has none. Names under .test go to the registry's server,
// names under .zero to a server entry of "0" (none known).
const QByteArray kRanges("# road ranges 100\n192.0.2.0/24\twhois.first.test\n");
const QByteArray kServers("# road servers 100\nZero;ZERO;0;43\nAny;*;whois.first.test;43\n");
const QString kUser = QStringLiteral("me@home-isp.net");

QByteArray message(const char* ip)
{
    return QByteArray("Received: from relay.example.net (unknown [") + ip +
           "]) by mx.home.example with SMTP; Mon, 1 Jan 2024 10:00:00 +0000\r\n"
           "From: winner@lottery.example\r\nSubject: You won\r\n\r\nClaim your prize.\r\n";
}

// Two scripted WHOIS servers: the registry and the one it may refer to.
struct Peers {
    ScriptedPeer registry;
    ScriptedPeer second;
};

// A chain of referrals longer than a look-up may follow: whois.s1.test, whois.s2.test, ... all on one peer.
constexpr int kChain = 14;
QString chainServer(int n) { return QStringLiteral("whois.s%1.test").arg(n); }

QHash<QString, quint16> routes(quint16 registry, quint16 second)
{
    QHash<QString, quint16> to{{QStringLiteral("whois.first.test"), registry},
                               {QStringLiteral("whois.second.test"), second}};
    for (int n = 1; n <= kChain; ++n)
        to.insert(chainServer(n), registry);
    return to;
}

// The whole road on loopback; complaints go to `smtpPort` (none set when 0).
struct Rig : Peers, test::RoadRig {
    Rig(const QByteArray& registryAnswer, const QByteArray& secondAnswer, quint16 smtpPort, bool registryRefuses = false)
        : Peers{ScriptedPeer(ScriptedPeer::answer(registryAnswer)), ScriptedPeer(ScriptedPeer::answer(secondAnswer))},
          RoadRig(kRanges, kServers, routes(registryRefuses ? ScriptedPeer::closedPort() : registry.port(), second.port()))
    {
        state.userAddress = kUser;
        if (smtpPort != 0)
            state.smtpServer = QStringLiteral("127.0.0.1:%1").arg(smtpPort);
        road->whois.Whois1.setAnswerTimeout(10000);
    }

    // One monitor run, started minimised as at log-on, then the window opened again; false when it did not end.
    bool runMonitor()
    {
        Monitor monitor(state, *folder);
        monitor.resized(Monitor::WindowState::Minimized);
        const bool ended = QTest::qWaitFor([&] { return !monitor.running(); }, 30000);
        monitor.trayOpen();
        return ended;
    }

    // The requests the statistics service saw with `query`.
    static int requests(const QByteArray& query) { return int(test::NginxServer::accessLog().count(query)); }
    static int sentTo(const QString& abuse) { return requests("sent=" + QUrl::toPercentEncoding(abuse)); }
};

enum class Registry { Answers, Refuses, Silent, Resets, EndlessChain };
enum class Smtp { Accepts, Unset, Refuses };

} // namespace

class TstRoad : public test::RoadTestCase {
    Q_OBJECT

    quint16 smtpPort(Smtp smtp) const
    {
        return smtp == Smtp::Accepts ? m_sink.port() : smtp == Smtp::Refuses ? ScriptedPeer::closedPort() : 0;
    }

private slots:
    void monitorRunReportsEveryMessage_data()
    {
        QTest::addColumn<QString>("copyEmail");
        QTest::addColumn<QString>("abuse");
        QTest::addColumn<QStringList>("recipients");
        QTest::newRow("abuse team only") << QStringLiteral("0") << QStringLiteral("abuse@one-isp.net")
                                         << QStringList{QStringLiteral("abuse@one-isp.net")};
        QTest::newRow("blind copy to the user") << QStringLiteral("1") << QStringLiteral("abuse@two-isp.net")
                                                << QStringList{QStringLiteral("abuse@two-isp.net"), kUser};
    }
    void monitorRunReportsEveryMessage()
    {
        QFETCH(QString, copyEmail);
        QFETCH(QString, abuse);
        QFETCH(QStringList, recipients);
        // The registry refers to the second server, which names the abuse mailbox.
        Rig rig("NetRange: 192.0.2.0 - 192.0.2.255\nWhois Server: whois.second.test\n",
                "OrgAbuseEmail: " + abuse.toLatin1() + "\n", m_sink.port());
        saveSetting(rig.store, settings::CopyEmail, copyEmail);
        rig.drop(QStringLiteral("a-good.eml"), message("192.0.2.1"));
        rig.drop(QStringLiteral("b-no-header.txt"), "Just some text, no header at all.\r\n");
        rig.drop(QStringLiteral("c-no-registry.eml"), message("198.51.100.7"));
        StringSink expectedHeader;
        LoadMessageHeader(AppPaths::join(rig.state.junkChuteFolder(), QStringLiteral("a-good.eml")), expectedHeader);
        const qsizetype before = m_sink.messages().size();
        const int sentBefore = Rig::sentTo(abuse);

        QVERIFY(rig.runMonitor());

        QCOMPARE(rig.files(), QStringList());
        QCOMPARE(rig.registry.connections(), 1);
        QCOMPARE(rig.second.connections(), 1);
        const auto messages = m_sink.messages();
        QCOMPARE(messages.size(), before + 1);
        const auto& mail = messages.last();
        QCOMPARE(mail.mailFrom, kUser);
        QCOMPARE(mail.rcptTos, recipients);
        QVERIFY(nw::test::maskStamps(mail.data).startsWith(
            nw::test::kMaskedStamps + ("From:Nettlewright<" + kUser.toLatin1()) + ">\r\nTo:" + abuse.toLatin1() +
            "\r\nSubject:SPAM Report from 192.0.2.1 / \r\n"));
        // The body is the complaint for this analysis, with the address and server the look-up used.
        HeaderAnalysis analysis;
        QVERIFY(analyzeHeader(rig.resolver, expectedHeader.text(), analysis));
        const QString body =
            CreateComplaint(complaintInputs(analysis, expectedHeader.text(), QStringLiteral("192.0.2.1"),
                                            QStringLiteral("whois.first.test"), rig.resolver));
        QVERIFY(body.endsWith(QStringLiteral("192.0.2.1 - whois.first.test")));
        // A time stamp cut with its CR leaves a bare CR, which the client sends as a line end.
        QVERIFY(
            mail.data.contains(QString(body).replace(QStringLiteral("\r\r\n"), QStringLiteral("\r\n\r\n")).toLatin1()));
        QTRY_COMPARE(Rig::sentTo(abuse), sentBefore + 1);
        QTRY_VERIFY(Rig::requests("IP1=198.51.100.7") >= 1);
        QVERIFY(!rig.state.busyProcessing());
    }

    // Under the monitor every message ends in exactly one outcome: sent and deleted, nothing to report and
    // deleted, or kept byte for byte; one line in the outcome log each, and never a message box. A failure is
    // told through the error log and the tray tip, and the message is not taken up again in the same run.
    void monitorEndsEveryMessageOnce_data()
    {
        QTest::addColumn<int>("registry");
        QTest::addColumn<int>("smtp");
        QTest::addColumn<bool>("claimedElsewhere");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("lookUps");
        QTest::addColumn<QStringList>("told"); // in the error log; the last one also in the tray tip
        const auto row = [](const char* name, Registry registry, Smtp smtp, const char* outcome, int lookUps,
                            const QStringList& told = {}, bool claimedElsewhere = false) {
            QTest::newRow(name) << int(registry) << int(smtp) << claimedElsewhere << QString::fromLatin1(outcome)
                                << lookUps << told;
        };
        row("accepted: sent and deleted", Registry::Answers, Smtp::Accepts, "sent", 1);
        row("registry refuses the connection: kept", Registry::Refuses, Smtp::Accepts, "kept", 0);
        row("registry stays silent: kept", Registry::Silent, Smtp::Accepts, "kept", 1);
        row("registry resets the connection: kept", Registry::Resets, Smtp::Accepts, "kept", 1);
        row("endless referral chain: ten servers asked, then reported", Registry::EndlessChain, Smtp::Accepts, "sent", 10);
        row("no SMTP server set: kept and told", Registry::Answers, Smtp::Unset, "kept", 1,
            {ComplaintStage::noServerText()});
        row("SMTP server refuses: kept and told", Registry::Answers, Smtp::Refuses, "kept", 1,
            {QStringLiteral("The SMTP Server has rejected your connection."), ComplaintStage::sendFailedText()});
        row("taken on by another road: left alone", Registry::Answers, Smtp::Accepts, "", 0, {}, true);
    }
    void monitorEndsEveryMessageOnce()
    {
        QFETCH(int, registry);
        QFETCH(int, smtp);
        QFETCH(bool, claimedElsewhere);
        QFETCH(QString, outcome);
        QFETCH(int, lookUps);
        QFETCH(QStringList, told);
        const Registry kind = Registry(registry);
        Rig rig("OrgAbuseEmail: abuse@once-isp.net\n", "", smtpPort(Smtp(smtp)), kind == Registry::Refuses);
        if (kind == Registry::Silent) {
            rig.registry.setScriptFor(0, {ScriptedPeer::readLine(), ScriptedPeer::hold()});
            rig.road->whois.Whois1.setAnswerTimeout(300);
        } else if (kind == Registry::Resets) {
            rig.registry.setScriptFor(0, {ScriptedPeer::readLine(), ScriptedPeer::reset()});
        } else if (kind == Registry::EndlessChain) {
            rig.registry.setScriptFor(0, ScriptedPeer::answer("Whois Server: " + chainServer(1).toLatin1() + "\n"));
            for (int n = 1; n < kChain; ++n)
                rig.registry.setScriptFor(n, ScriptedPeer::answer("OrgAbuseEmail: abuse@once-isp.net\nWhois Server: " +
                                                                  chainServer(n + 1).toLatin1() + "\n"));
        }
        const QByteArray bytes = message("192.0.2.44");
        const QString path = rig.drop(QStringLiteral("once.eml"), bytes);
        MessageClaim other(path);
        if (claimedElsewhere)
            QVERIFY(other.claim());
        const qsizetype before = m_sink.messages().size();
        const int sentBefore = Rig::sentTo(QStringLiteral("abuse@once-isp.net"));
        QSignalSpy notices(&rig.state, &AppState::notice);

        QVERIFY(rig.runMonitor());

        const bool sent = outcome == QLatin1String("sent");
        QCOMPARE(m_sink.messages().size(), before + (sent ? 1 : 0));
        QCOMPARE(QFile::exists(path), !sent);
        if (!sent)
            QCOMPARE(test::fileBytes(path), bytes);
        QCOMPARE(Rig::outcomes(), outcome.isEmpty() ? QStringList() : QStringList{path + QLatin1Char('\t') + outcome});
        QCOMPARE(rig.registry.connections(), lookUps);
        for (const QString& text : told)
            QVERIFY(rig.box.errorLog().contains(text.toLatin1()));
        QCOMPARE(notices.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty()) {
            QCOMPARE(notices.first().first().toString(), told.last());
            QCOMPARE(rig.road->complaint.txtTo(), QStringLiteral("abuse@once-isp.net"));
        }
        QVERIFY(rig.box.prompts().texts().isEmpty());
        QVERIFY(!rig.state.busyProcessing());
        if (sent)
            QTRY_COMPARE(Rig::sentTo(QStringLiteral("abuse@once-isp.net")), sentBefore + 1);
        else
            QCOMPARE(Rig::sentTo(QStringLiteral("abuse@once-isp.net")), sentBefore);
    }

    // Processing by hand: the message taken on is the one reported and the one deleted, whatever happens in
    // the folder between "Process" and "Send Message".
    void theMessageInProcessStaysFixed_data()
    {
        QTest::addColumn<bool>("replaced");
        QTest::newRow("a click on another file") << false;
        QTest::newRow("the file replaced: kept as it is now") << true;
    }
    void theMessageInProcessStaysFixed()
    {
        QFETCH(bool, replaced);
        Rig rig("OrgAbuseEmail: abuse@fixed-isp.net\n", "", m_sink.port());
        rig.road->complaint.yields = 10;
        const QString a = rig.drop(QStringLiteral("a.eml"), message("192.0.2.5"));
        const QByteArray other = message("192.0.2.6");
        const QString b = rig.drop(QStringLiteral("b.eml"), other);
        rig.folder->select(QStringLiteral("a.eml"));
        rig.road->cmdProcess_Click();
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), QStringLiteral("abuse@fixed-isp.net"), 15000);
        if (replaced)
            QVERIFY(test::writeBytes(a, other));
        else
            rig.folder->select(QStringLiteral("b.eml"));
        QVERIFY(rig.road->complaint.hlnkSendMessage_Click());

        QVERIFY(m_sink.messages().last().data.contains("Subject:SPAM Report from 192.0.2.5 / "));
        QCOMPARE(QFile::exists(a), replaced);
        if (replaced)
            QCOMPARE(test::fileBytes(a), other);
        QCOMPARE(test::fileBytes(b), other);
        QCOMPARE(Rig::outcomes(), QStringList{a + QLatin1String(replaced ? "\tkept" : "\tsent")});
    }

    // With the mode on, a message whose top hop is the user's own filter reaches the registry of the first
    // client outside (an IPv6 6to4 address, asked for by the IPv4 address it carries); with it off, the
    // designed walk stops at the filter and the message is given up.
    void ownHopsAreLookedPast_data()
    {
        QTest::addColumn<QString>("skipOwnHops");
        QTest::addColumn<bool>("reported");
        QTest::newRow("mode on: reported") << QStringLiteral("1") << true;
        QTest::newRow("mode off: given up at the filter") << QStringLiteral("0") << false;
    }
    void ownHopsAreLookedPast()
    {
        QFETCH(QString, skipOwnHops);
        QFETCH(bool, reported);
        Rig rig("OrgAbuseEmail: abuse@v6-isp.net\n", "", m_sink.port());
        saveSetting(rig.store, settings::SkipOwnHops, skipOwnHops);
        rig.drop(QStringLiteral("own.eml"),
                 "Received: from localhost (localhost [127.0.0.1])\r\n"
                 "\tby mx.home.example (Postfix) with ESMTP id 1A; Mon, 1 Jan 2024 10:00:02 +0000\r\n"
                 "Received: from relay.example.net (unknown [IPv6:2002:c000:201::1])\r\n"
                 "\tby mx.home.example (Postfix) with ESMTP id 0B; Mon, 1 Jan 2024 10:00:01 +0000\r\n"
                 "From: winner@lottery.example\r\nSubject: You won\r\n\r\nClaim your prize.\r\n");
        const qsizetype before = m_sink.messages().size();

        QVERIFY(rig.runMonitor());

        QCOMPARE(rig.files(), QStringList());
        QCOMPARE(m_sink.messages().size(), before + (reported ? 1 : 0));
        QCOMPARE(rig.registry.lines(), reported ? QList<QByteArray>{"192.0.2.1\r\n"} : QList<QByteArray>());
        if (reported) {
            const auto mail = m_sink.messages().last();
            QCOMPARE(mail.rcptTos, QStringList{QStringLiteral("abuse@v6-isp.net")});
            QVERIFY(mail.data.contains("\r\nSubject:SPAM Report from 2002:c000:201::1 / \r\n"));
        } else {
            QTRY_VERIFY(Rig::requests("IP1=127.0.0.1") >= 1);
        }
    }

    // By hand, a server that refuses the connection loses nothing: the file and the fields stay, the error dialog
    // and a message box tell it, and nobody counts the complaint as sent.
    void refusedServerKeepsTheMessage()
    {
        const QString abuse = QStringLiteral("abuse@refused.net");
        Rig rig("OrgAbuseEmail: " + abuse.toLatin1() + "\n", "", ScriptedPeer::closedPort());
        const QString path = rig.drop(QStringLiteral("good.eml"), message("192.0.2.9"));
        const int sentBefore = Rig::sentTo(abuse);

        rig.road->cmdProcess_Click();
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), abuse, 15000);
        QVERIFY(!rig.road->complaint.hlnkSendMessage_Click());
        const QStringList shown = rig.box.prompts().texts();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown.at(0).contains(QStringLiteral("The SMTP Server has rejected your connection.")));
        QCOMPARE(shown.at(1), ComplaintStage::sendFailedText());
        QVERIFY(!rig.road->complaint.txtBody().isEmpty());
        QVERIFY(QFile::exists(path));
        QCOMPARE(rig.road->complaint.txtTo(), abuse);
        QVERIFY(!rig.state.busyProcessing());
        QCOMPARE(Rig::sentTo(abuse), sentBefore);
    }

    // Look-ups typed into the WHOIS window.
    void lookUpByHand_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<int>("lookUps");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("no server known: IP1 instead of a query")
            << QStringLiteral("host.zero") << QString() << 0 << QByteArray("IP1=host.zero");
        QTest::newRow("no address: one look-up by host name, then IP2")
            << QStringLiteral("192.0.2.77") << QStringLiteral("relay77.first.test") << 2
            << QByteArray("IP2=relay77.first.test");
        QTest::newRow("no address and no host name: IP2 for the address")
            << QStringLiteral("192.0.2.78") << QString() << 1 << QByteArray("IP2=192.0.2.78");
    }
    void lookUpByHand()
    {
        QFETCH(QString, typed);
        QFETCH(QString, hostName);
        QFETCH(int, lookUps);
        QFETCH(QByteArray, request);
        Rig rig("No match found.\n", "", 0);
        // The message the view shows is no part of a look-up typed by hand.
        const QString shown = rig.drop(QStringLiteral("shown.eml"), message("192.0.2.1"));
        rig.state.setCurrentMessageFile(shown);
        const int before = Rig::requests(request);
        rig.state.headerAnalysis.ipHostName = hostName;
        rig.road->whois.newMessage();
        rig.road->whois.setText1(typed);
        rig.road->whois.Command1_Click();
        QTRY_COMPARE_WITH_TIMEOUT(Rig::requests(request), before + 1, 15000);
        QVERIFY(QFile::exists(shown));
        QVERIFY(rig.box.prompts().texts().isEmpty());
        QCOMPARE(rig.registry.connections(), lookUps);
        QVERIFY(!rig.state.busyProcessing());
    }

    // A server that goes on sending after its answer was judged (here: without end) must not have the next
    // look-up judged before that one's slower answer is in.
    void aJudgedAnswerLeavesTheNextLookUpAlone()
    {
        Rig rig("", "", 0);
        rig.registry.setScriptFor(0, {ScriptedPeer::readLine(), ScriptedPeer::flood("% filler\n", 1024 * 1024)});
        rig.registry.setScriptFor(1,
                                  {ScriptedPeer::readLine(), ScriptedPeer::pause(300),
                                   ScriptedPeer::send("OrgAbuseEmail: abuse@slow-isp.net\n"), ScriptedPeer::close()});
        rig.road->complaint.yields = 10;
        const int judged = Rig::requests("IP2=192.0.2.1");
        rig.road->whois.newMessage();
        rig.road->whois.setText1(QStringLiteral("192.0.2.1"));
        rig.road->whois.Command1_Click();
        // Judged: no address, no host name.
        QTRY_VERIFY(Rig::requests("IP2=192.0.2.1") > judged);
        rig.road->whois.newMessage();
        rig.road->whois.setText1(QStringLiteral("192.0.2.2"));
        rig.road->whois.Command1_Click();
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), QStringLiteral("abuse@slow-isp.net"), 15000);
        QVERIFY(rig.box.prompts().texts().isEmpty());
        QCOMPARE(rig.registry.connections(), 2);
    }

    // The command-line road: the shipped tables send 192.0.2.0/24 to the server named "private".
    void reportCommandSends_data()
    {
        QTest::addColumn<bool>("accepting");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("accepted: sent, then the file deleted") << true << 0;
        QTest::newRow("refused: the file kept") << false << 1;
    }
    void reportCommandSends()
    {
        QFETCH(bool, accepting);
        QFETCH(int, exitCode);
        const QByteArray abuse = accepting ? "abuse@cli-isp.net" : "abuse@cli-refused.net";
        ScriptedPeer peer(ScriptedPeer::answer("OrgAbuseEmail: " + abuse + "\n"));
        QTemporaryDir dir;
        QDir(dir.path()).mkpath(QStringLiteral("nettlewright"));
        const quint16 smtpPort = accepting ? m_sink.port() : ScriptedPeer::closedPort();
        QVERIFY(test::writeBytes(dir.filePath(QStringLiteral("nettlewright/nettlewright.conf")),
                                 "[Setup]\nSMTP=127.0.0.1:" + QByteArray::number(smtpPort) +
                                     "\nReturnAddress=" + kUser.toLatin1() + "\n"));
        const QString file = dir.filePath(QStringLiteral("spam.eml"));
        QVERIFY(test::writeBytes(file, message("192.0.2.1")));
        const qsizetype before = m_sink.messages().size();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        const test::CliRun cli = test::runCli(
            {QStringLiteral("report"), QStringLiteral("--no-dns"), QStringLiteral("--delay"), QStringLiteral("50"),
             QStringLiteral("--route"), QStringLiteral("private=") + peer.endpoint(), QStringLiteral("--send"), file},
            {}, env);
        QCOMPARE(cli.exitCode, exitCode);
        QVERIFY(cli.out.contains("To: " + abuse + "\n"));
        QVERIFY(cli.out.contains("Subject: SPAM Report from 192.0.2.1 / \n"));
        QCOMPARE(QFile::exists(file), !accepting);
        QCOMPARE(m_sink.messages().size(), before + (accepting ? 1 : 0));
        if (accepting)
            QCOMPARE(m_sink.messages().last().rcptTos, QStringList{QString::fromLatin1(abuse)});
    }
};

NW_TEST_CLASS(TstRoad)
#include "tst_road.moc"
