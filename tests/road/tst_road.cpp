#include "RoadWorld.h"
#include "app/Settings.h"
#include "road/Monitor.h"
#include "support/Cli.h"
#include "support/NginxServer.h"
#include "support/RoadRig.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"

#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// 192.0.2.0/24 has a registry, 203.0.113.0/24 one that cannot be reached, 198.51.100.0/24 none. Names under
// .test go to the registry's server, names under .zero to a server entry of "0" (none known).
const QByteArray kRanges("# road ranges 100\n192.0.2.0/24\twhois.first.test\n203.0.113.0/24\twhois.closed.test\n");
const QByteArray kServers("# road servers 100\nZero;ZERO;0;43\nAny;*;whois.first.test;43\n");
const QString kRejected = u"The SMTP Server has rejected your connection."_s;

struct Peers {
    ScriptedPeer registry, second;
};

QHash<QString, quint16> routes(quint16 registry, quint16 second)
{
    QHash<QString, quint16> to{{u"whois.first.test"_s, registry}, {u"whois.second.test"_s, second}};
    to.insert(u"whois.closed.test"_s, ScriptedPeer::closedPort());
    for (int n = 1; n <= kChain; ++n)
        to.insert(chainServer(n), registry);
    return to;
}

// The whole road on loopback; complaints go to `smtpPort` (none set when 0).
struct Rig : Peers, RoadRig {
    Rig(const QByteArray& registryAnswer, quint16 smtpPort, const QByteArray& secondAnswer = {})
        : Peers{ScriptedPeer(ScriptedPeer::answer(registryAnswer)), ScriptedPeer(ScriptedPeer::answer(secondAnswer))},
          RoadRig(kRanges, kServers, routes(registry.port(), second.port()))
    {
        state.userAddress = kUser;
        if (smtpPort != 0)
            state.smtpServer = u"127.0.0.1:%1"_s.arg(smtpPort);
        road->whois.Whois1.setAnswerTimeout(10000);
        road->complaint.yields = 10;
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
    static int requests(const QByteArray& query) { return int(NginxServer::accessLog().count(query)); }
};

enum Registry { Answers, Resets, EndlessChain };

} // namespace

class TstRoad : public RoadTestCase {
    Q_OBJECT

private slots:
    // One run over five messages; the last one's top hop is the user's own filter: with the mode on, it reaches
    // the registry by the IPv4 address in its 6to4 address; off, the walk stops at the filter and it is given up.
    void monitorRunReportsEveryMessage_data()
    {
        columns<QString>("copyEmailAndSkipOwnHops");
        row("abuse team only; own hops not looked past", u"0"_s);
        row("blind copy to the user; own hops looked past", u"1"_s);
    }
    void monitorRunReportsEveryMessage()
    {
        const auto [mode] = fetch<QString>("copyEmailAndSkipOwnHops");
        const bool ownHops = mode == u"1"_s;
        const QString abuse = u"abuse@one-isp.net"_s;
        Rig rig("NetRange: 192.0.2.0 - 192.0.2.255\nWhois Server: whois.second.test\n", m_sink.port(),
                "OrgAbuseEmail: " + abuse.toLatin1() + "\n");
        rig.registry.setScriptFor(1, ScriptedPeer::answer("OrgAbuseEmail: " + abuse.toLatin1() + "\n"));
        saveSetting(rig.store, settings::CopyEmail, mode);
        saveSetting(rig.store, settings::SkipOwnHops, mode);
        rig.drop(u"0-unreachable.eml"_s, spam("203.0.113.9"));
        rig.drop(u"a-good.eml"_s, spam("192.0.2.1"));
        rig.drop(u"b-no-header.txt"_s, "Just some text, no header at all.\r\n");
        rig.drop(u"c-no-registry.eml"_s, spam("198.51.100.7"));
        rig.drop(u"d-own.eml"_s, "Received: from localhost (localhost [127.0.0.1])\r\n\tby mx.home.example (Postfix) "
                                 "with ESMTP id 1A; Mon, 1 Jan 2024 10:00:02 +0000\r\n" +
                                     spam("IPv6:2002:c000:202::1"));
        const qsizetype before = m_sink.messages().size();

        QVERIFY(rig.runMonitor());

        QCOMPARE(rig.files(), QStringList{u"0-unreachable.eml"_s});
        QCOMPARE(rig.registry.lines(), (QList<QByteArray>{"192.0.2.1\r\n", "192.0.2.2\r\n"}.first(ownHops ? 2 : 1)));
        const auto messages = m_sink.messages().mid(before);
        QCOMPARE(messages.size(), ownHops ? 2 : 1);
        const auto& mail = messages.first();
        QCOMPARE(QStringList(mail.rcptTos) << mail.mailFrom,
                 (ownHops ? QStringList{abuse, kUser, kUser} : QStringList{abuse, kUser}));
        QVERIFY(maskStamps(mail.data).startsWith(kMaskedStamps + ("From:Nettlewright<" + kUser.toLatin1()) +
                                                 ">\r\nTo:" + abuse.toLatin1() +
                                                 "\r\nSubject:SPAM Report from 192.0.2.1 / \r\n"));
        if (ownHops)
            QVERIFY(messages.last().data.contains("\r\nSubject:SPAM Report from 2002:c000:202::1 / \r\n"));
        // The complaint quotes the header and names the address and the server the look-up asked.
        for (const char* part : {"\r\nIP Address: 192.0.2.1\r\n", "\r\nFrom: winner@lottery.example\r\n",
                                 "\r\n192.0.2.1 - whois.first.test"})
            QVERIFY2(mail.data.contains(part), part);
        QTRY_VERIFY(Rig::requests("IP1=198.51.100.7") >= 1);
        if (!ownHops)
            QTRY_VERIFY(Rig::requests("IP1=127.0.0.1") >= 1);
    }

    // Under the monitor each message ends once, however its look-up fails: sent and deleted, or kept byte for byte,
    // one outcome line and no message box; a failure is told in the error log and the tray tip, not retried.
    void monitorEndsEveryMessageOnce_data()
    {
        // smtp: its port, 0 for none set; no outcome: taken on by another road; the last text told is also the tip
        columns<int, quint16, QString, int, QStringList>("registry", "smtp", "outcome", "lookUps", "told");
        const quint16 sink = m_sink.port();
        row("registry resets the connection: kept", +Resets, sink, u"kept"_s, 1, QStringList());
        row("endless referral chain: ten asked, then sent", +EndlessChain, sink, u"sent"_s, 10, QStringList());
        row("no SMTP server: kept, told", +Answers, quint16(0), u"kept"_s, 1,
            QStringList{ComplaintStage::noServerText()});
        row("SMTP server refuses: kept, told", +Answers, ScriptedPeer::closedPort(), u"kept"_s, 1,
            QStringList{kRejected, ComplaintStage::sendFailedText()});
        row("taken on by another road: left alone", +Answers, sink, QString(), 0, QStringList());
    }
    void monitorEndsEveryMessageOnce()
    {
        const auto [registry, smtp, outcome, lookUps, told] =
            fetch<int, quint16, QString, int, QStringList>("registry", "smtp", "outcome", "lookUps", "told");
        const QByteArray sentTo = "sent=abuse%40once-isp.net"; // what the statistics service is told of a complaint
        Rig rig("OrgAbuseEmail: abuse@once-isp.net\n", smtp);
        if (registry == Resets)
            rig.registry.setScriptFor(0, {ScriptedPeer::readLine(), ScriptedPeer::reset()});
        for (int n = 0; registry == EndlessChain && n < kChain; ++n)
            rig.registry.setScriptFor(n, ScriptedPeer::answer("OrgAbuseEmail: abuse@once-isp.net\nWhois Server: " +
                                                              chainServer(n + 1).toLatin1() + "\n"));
        const QByteArray bytes = spam("192.0.2.44");
        const QString path = rig.drop(u"once.eml"_s, bytes);
        MessageClaim other(path);
        if (outcome.isEmpty())
            QVERIFY(other.claim());
        const qsizetype before = m_sink.messages().size();
        const int sentBefore = Rig::requests(sentTo);
        QSignalSpy notices(&rig.state, &AppState::notice);

        QVERIFY(rig.runMonitor());

        const bool sent = outcome == u"sent"_s;
        QCOMPARE(m_sink.messages().size(), before + (sent ? 1 : 0));
        QCOMPARE(fileBytes(path), sent ? QByteArray() : bytes);
        QCOMPARE(Rig::outcomes(), outcome.isEmpty() ? QStringList() : QStringList{path + u'\t' + outcome});
        QCOMPARE(rig.registry.connections(), lookUps);
        for (const QString& text : told)
            QVERIFY(rig.box.errorLog().contains(text.toLatin1()));
        QCOMPARE(notices.size(), told.isEmpty() ? 0 : 1);
        if (!told.isEmpty())
            QCOMPARE(notices.first().first().toString(), told.last());
        QCOMPARE(rig.box.prompts().texts(), QStringList());
        QTRY_COMPARE(Rig::requests(sentTo), sentBefore + (sent ? 1 : 0));
    }

    // By hand the message taken on is the one reported and the one deleted, whatever happens in the folder
    // between "Process" and "Send Message"; one given up for another is kept. A server that refuses loses nothing:
    // the file and the fields stay, the error dialog and a message box tell it.
    void byHandTheMessageInProcessStaysFixed_data()
    {
        // change: 0 a click on o.eml, 1 t.eml replaced, 2 o.eml processed instead, 3 o.eml's address typed instead
        columns<int, bool, QStringList>("change", "accepting", "outcomes");
        row("a click on another file: sent", 0, true, QStringList{u"t.eml\tsent"_s});
        row("the file replaced: kept as it is now", 1, true, QStringList{u"t.eml\tkept"_s});
        row("another one processed: the first kept", 2, true, QStringList{u"t.eml\tkept"_s, u"o.eml\tsent"_s});
        row("an address typed instead: the message kept", 3, true, QStringList{u"t.eml\tkept"_s});
        row("the server refuses: kept and told", 0, false, QStringList());
    }
    void byHandTheMessageInProcessStaysFixed()
    {
        const auto [change, accepting, outcomes] = fetch<int, bool, QStringList>("change", "accepting", "outcomes");
        const QString abuse = u"abuse@fixed-isp.net"_s;
        Rig rig("OrgAbuseEmail: abuse@fixed-isp.net\n", accepting ? m_sink.port() : ScriptedPeer::closedPort());
        const QByteArray mine = spam("192.0.2.5"), other = spam("192.0.2.6");
        const QString t = rig.drop(u"t.eml"_s, mine); // after o.eml in the list
        const QString o = rig.drop(u"o.eml"_s, other);
        const qsizetype before = m_sink.messages().size();
        rig.folder->select(u"t.eml"_s);
        rig.road->cmdProcess_Click();
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), abuse, 15000);
        QVERIFY(!rig.state.busyProcessing()); // the complaint waits for the user, who may look at other messages
        if (change == 1)
            QVERIFY(writeBytes(t, other));
        else
            rig.folder->select(u"o.eml"_s);
        if (change == 2)
            rig.road->cmdProcess_Click();
        if (change == 3) {
            rig.road->whois.newMessage();
            rig.road->whois.setText1(u"192.0.2.6"_s);
            rig.road->whois.Command1_Click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), abuse, 15000);
        QCOMPARE(rig.road->complaint.hlnkSendMessage_Click(), accepting);

        QCOMPARE(Rig::outcomes().replaceInStrings(rig.state.junkChuteFolder() + u'/', QString()), outcomes);
        const bool tSent = outcomes.contains(u"t.eml\tsent"_s), oSent = outcomes.contains(u"o.eml\tsent"_s);
        QCOMPARE(m_sink.messages().size(), before + (accepting ? 1 : 0));
        QVERIFY(!accepting || m_sink.messages().last().data.contains("Subject:SPAM Report from 192.0.2." +
                                                                     QByteArray(change == 2 ? "6 / " : "5 / ")));
        QCOMPARE(fileBytes(t), tSent ? QByteArray() : change == 1 ? other : mine);
        QCOMPARE(fileBytes(o), oSent ? QByteArray() : other);
        const QStringList prompts = rig.box.prompts().texts();
        QVERIFY2(accepting ? prompts.isEmpty()
                           : prompts.size() == 2 && prompts.at(0).contains(kRejected) &&
                                 prompts.at(1).contains(ComplaintStage::sendFailedText()),
                 qPrintable(prompts.join(u'\n')));
        QCOMPARE(rig.road->complaint.txtTo(), accepting ? QString() : abuse);
    }

    // Look-ups typed into the WHOIS window; the message the view shows is no part of them. The registry goes on
    // sending after an answer was judged (here: without end); that must not have the next look-up judged before
    // its slower answer is in.
    void lookUpByHand_data()
    {
        columns<QString, QString, int, QByteArray>("typed", "hostName", "lookUps", "request");
        row("no server known: IP1 instead of a query", u"host.zero"_s, QString(), 0, QByteArray("IP1=host.zero"));
        row("no address: by host name, then IP2", u"192.0.2.77"_s, u"relay77.first.test"_s, 2,
            QByteArray("IP2=relay77.first.test"));
        row("no address, no host name: IP2", u"192.0.2.78"_s, QString(), 1, QByteArray("IP2=192.0.2.78"));
    }
    void lookUpByHand()
    {
        const auto [typed, hostName, lookUps, request] =
            fetch<QString, QString, int, QByteArray>("typed", "hostName", "lookUps", "request");
        Rig rig("", 0);
        for (int n = 0; n < lookUps; ++n)
            rig.registry.setScriptFor(n, {ScriptedPeer::readLine(), ScriptedPeer::flood("% filler\n", 1024 * 1024)});
        rig.registry.setScriptFor(lookUps,
                                  {ScriptedPeer::readLine(), ScriptedPeer::pause(300),
                                   ScriptedPeer::send("OrgAbuseEmail: abuse@slow-isp.net\n"), ScriptedPeer::close()});
        const QString shown = rig.drop(u"shown.eml"_s, spam("192.0.2.1"));
        rig.state.setCurrentMessageFile(shown);
        const int before = Rig::requests(request);
        rig.state.headerAnalysis.ipHostName = hostName;
        for (const QString& lookUp : {typed, u"192.0.2.2"_s}) {
            rig.road->whois.newMessage();
            rig.road->whois.setText1(lookUp);
            rig.road->whois.Command1_Click();
            QTRY_COMPARE_WITH_TIMEOUT(Rig::requests(request), before + 1, 15000);
            rig.state.headerAnalysis.ipHostName.clear();
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.road->complaint.txtTo(), u"abuse@slow-isp.net"_s, 15000);
        QCOMPARE(std::tuple(QFile::exists(shown), rig.box.prompts().texts(), rig.registry.connections()),
                 std::tuple(true, QStringList(), lookUps + 1));
    }

    // The command-line road: the shipped tables send 192.0.2.0/24 to the server named "private". Accepted: sent,
    // then the file deleted; refused: the file kept, and the exit code says so.
    void reportCommandSends()
    {
        const QByteArray abuse = "abuse@cli-isp.net";
        ScriptedPeer peer(ScriptedPeer::answer("OrgAbuseEmail: " + abuse + "\n"));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(u"nettlewright"_s));
        const QString file = dir.filePath(u"spam.eml"_s);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, dir.path());
        for (const bool accepting : {true, false}) {
            const quint16 smtpPort = accepting ? m_sink.port() : ScriptedPeer::closedPort();
            QVERIFY(writeBytes(dir.filePath(u"nettlewright/nettlewright.conf"_s),
                               "[Setup]\nSMTP=127.0.0.1:" + QByteArray::number(smtpPort) +
                                   "\nReturnAddress=" + kUser.toLatin1() + "\n"));
            QVERIFY(writeBytes(file, spam("192.0.2.1")));
            const qsizetype before = m_sink.messages().size();
            const CliRun cli = runCli({u"report"_s, u"--no-dns"_s, u"--delay"_s, u"50"_s, u"--route"_s,
                                       u"private="_s + peer.endpoint(), u"--send"_s, file},
                                      {}, env);
            QCOMPARE(cli.exitCode, accepting ? 0 : 1);
            QVERIFY(cli.out.contains("To: " + abuse + "\nSubject: SPAM Report from 192.0.2.1 / \n"));
            QCOMPARE(QFile::exists(file), !accepting);
            QCOMPARE(m_sink.messages().size(), before + (accepting ? 1 : 0));
            if (accepting)
                QCOMPARE(m_sink.messages().last().rcptTos, QStringList{QString::fromLatin1(abuse)});
        }
    }
};

NW_TEST_CLASS(TstRoad)
#include "tst_road.moc"
