// The monitor over 500 generated messages with every server on loopback, some of them misbehaving, and list
// clicks while messages are in process. Every message must end where its designed fate puts it, in one outcome
// (kept ones once per run that tried them), no complaint may arrive twice, memory must level off, and the
// program must still answer.
// Takes minutes: it carries the CTest label "soak" and is left out of the default run.

#include "app/Settings.h"
#include "errors/ErrorHandler.h"
#include "road/Monitor.h"
#include "support/Files.h"
#include "support/RoadRig.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <random>

#include <unistd.h>

using namespace nw;
using nw::test::ScriptedPeer;

namespace {

enum class Fate { Sent, Deleted, Kept };
enum class Smtp { Sink, Refused, Silent, Rejecting, CutInData, EndlessGreeting, DropsQuit };

// A kind of message: where its originating address lies (none: no header at all), whether that address has a
// reverse name, which SMTP server takes its complaint, and what must become of it.
struct Kind {
    const char* name;
    int count;
    const char* network;
    int firstHost;
    bool hostName;
    Smtp smtp;
    Fate fate;
};

// The blocks of the range table below; 198.51.100.0/24 has no registry.
const Kind kKinds[] = {
    {"reported", 247, "192.0.2.", 0, false, Smtp::Sink, Fate::Sent},
    {"referred to a second server", 40, "192.0.2.", 32, false, Smtp::Sink, Fate::Sent},
    {"no mailbox for the address, one for its host name", 30, "203.0.113.", 0, true, Smtp::Sink, Fate::Sent},
    {"endless answer that names a mailbox", 10, "192.0.2.", 192, false, Smtp::Sink, Fate::Sent},
    {"connection cut after the mailbox", 20, "192.0.2.", 224, false, Smtp::Sink, Fate::Sent},
    {"no header", 30, nullptr, 0, false, Smtp::Sink, Fate::Deleted},
    {"no registry", 30, "198.51.100.", 0, false, Smtp::Sink, Fate::Deleted},
    {"silent WHOIS server", 5, "192.0.2.", 64, false, Smtp::Sink, Fate::Kept},
    {"referred to a silent server", 3, "203.0.113.", 32, false, Smtp::Sink, Fate::Kept},
    {"WHOIS connection refused", 5, "203.0.113.", 64, false, Smtp::Sink, Fate::Kept},
    {"endless referral chain", 5, "203.0.113.", 96, false, Smtp::Sink, Fate::Sent},
    {"no reply to QUIT after the data was accepted", 5, "192.0.2.", 0, false, Smtp::DropsQuit, Fate::Sent},
    {"connection cut before any mailbox", 15, "192.0.2.", 96, false, Smtp::Sink, Fate::Deleted},
    {"binary garbage answer", 15, "192.0.2.", 128, false, Smtp::Sink, Fate::Deleted},
    {"endless answer without a mailbox", 10, "192.0.2.", 160, false, Smtp::Sink, Fate::Deleted},
    {"SMTP connection refused", 8, "192.0.2.", 0, false, Smtp::Refused, Fate::Kept},
    {"silent SMTP server", 5, "192.0.2.", 0, false, Smtp::Silent, Fate::Kept},
    {"recipient refused", 7, "192.0.2.", 0, false, Smtp::Rejecting, Fate::Kept},
    {"SMTP connection cut in the data", 5, "192.0.2.", 0, false, Smtp::CutInData, Fate::Kept},
    {"endless SMTP greeting", 5, "192.0.2.", 0, false, Smtp::EndlessGreeting, Fate::Kept},
};
constexpr int kMessages = 500;

const QByteArray kRanges("# soak ranges 100\n"
                         "192.0.2.0/27\twhois.good.test\n"
                         "192.0.2.32/27\twhois.refer.test\n"
                         "192.0.2.64/27\twhois.silent.test\n"
                         "192.0.2.96/27\twhois.cut.test\n"
                         "192.0.2.128/27\twhois.garbage.test\n"
                         "192.0.2.160/27\twhois.filler.test\n"
                         "192.0.2.192/27\twhois.endless.test\n"
                         "192.0.2.224/27\twhois.cutafter.test\n"
                         "203.0.113.0/27\twhois.nomatch.test\n"
                         "203.0.113.32/27\twhois.refsilent.test\n"
                         "203.0.113.64/27\twhois.refused.test\n"
                         "203.0.113.96/27\twhois.chain1.test\n");
// The endless referral chain: whois.chainN.test names whois.chainN+1.test, further than a look-up may follow.
constexpr int kChain = 14;
// Host names are looked up at the server for their domain.
const QByteArray kServers("# soak servers 100\nAny;*;whois.named.test;43\n");
const QString kUser = QStringLiteral("me@home-isp.net");

QList<ScriptedPeer::Step> cutAfter(const QByteArray& partial)
{
    return {ScriptedPeer::readLine(), ScriptedPeer::send(partial), ScriptedPeer::pause(20), ScriptedPeer::reset()};
}

// Bytes of every value but '@', so that no mailbox can appear in them.
QByteArray garbage(int size)
{
    std::mt19937 random(7);
    QByteArray bytes;
    while (bytes.size() < size) {
        const char c = char(random() & 0xff);
        if (c != '@')
            bytes += c;
    }
    return bytes;
}

QHash<QString, QList<ScriptedPeer::Step>> whoisScripts()
{
    using P = ScriptedPeer;
    constexpr qint64 endless = 3 * 1024 * 1024; // three times what the client keeps of an answer
    return {
        // Slower than the evaluation delay, as real servers often are.
        {QStringLiteral("whois.good.test"),
         {P::readLine(), P::pause(100),
          P::send("NetRange: 192.0.2.0 - 192.0.2.31\nOrgAbuseEmail: abuse@good-isp.net\n"), P::close()}},
        {QStringLiteral("whois.refer.test"), P::answer("NetRange: 192.0.2.32 - 192.0.2.63\nWhois Server: "
                                                       "whois.second.test\n")},
        {QStringLiteral("whois.second.test"), P::answer("OrgAbuseEmail: abuse@second-isp.net\n")},
        {QStringLiteral("whois.silent.test"), {P::readLine(), P::hold()}},
        {QStringLiteral("whois.cut.test"), cutAfter("% Partial record\nNetRange: 192.0.2.96 - ")},
        {QStringLiteral("whois.garbage.test"), P::answer(garbage(4096))},
        {QStringLiteral("whois.filler.test"),
         {P::readLine(), P::flood("% filler without any mailbox, line after line\n", endless), P::close()}},
        {QStringLiteral("whois.endless.test"),
         {P::readLine(), P::flood("OrgAbuseEmail: abuse@endless-isp.net\n", endless), P::close()}},
        {QStringLiteral("whois.cutafter.test"), cutAfter("OrgAbuseEmail: abuse@cut-isp.net\nNetRange: 192.0.2.224 - ")},
        {QStringLiteral("whois.nomatch.test"), P::answer("No match found.\n")},
        {QStringLiteral("whois.named.test"), P::answer("OrgAbuseEmail: abuse@named-isp.net\n")},
        {QStringLiteral("whois.refsilent.test"), P::answer("Whois Server: whois.silent.test\n")},
    };
}

QString chainServer(int n) { return QStringLiteral("whois.chain%1.test").arg(n); }

QList<ScriptedPeer::Step> smtpScript(Smtp smtp)
{
    using P = ScriptedPeer;
    const auto reply = [](const char* text) { return QList<P::Step>{P::readLine(), P::send(text)}; };
    const QList<P::Step> untilRcpt =
        QList<P::Step>{P::send("220 soak\r\n")} + reply("250 hello\r\n") + reply("250 sender ok\r\n");
    switch (smtp) {
    case Smtp::Silent:
        return {P::hold()};
    case Smtp::Rejecting:
        return untilRcpt + reply("550 no such mailbox\r\n") + QList<P::Step>{P::hold()};
    case Smtp::CutInData:
        return untilRcpt + reply("250 recipient ok\r\n") + reply("354 go on\r\n") +
               QList<P::Step>{P::readUntil("\r\n.\r\n"), P::reset()};
    case Smtp::EndlessGreeting:
        return {P::flood("220-an endless greeting\r\n", 512 * 1024), P::hold()};
    case Smtp::DropsQuit:
        return untilRcpt + reply("250 recipient ok\r\n") + reply("354 go on\r\n") +
               QList<P::Step>{P::readUntil("\r\n.\r\n"), P::send("250 queued\r\n"), P::readLine(), P::close()};
    case Smtp::Sink:
    case Smtp::Refused:
        break;
    }
    return {};
}

struct Message {
    const Kind* kind;
    QString path;
    QByteArray bytes;
    QByteArray token;
};

QByteArray spam(const Kind& kind, const QByteArray& ip, const QByteArray& hostName, const QByteArray& token)
{
    if (!kind.network)
        return "Pasted from the web mail, no header at all: " + token + "\r\n";
    const QByteArray from = kind.hostName ? hostName + " (" + hostName : QByteArray("relay.example.net (unknown");
    // The body's Latin-1 letters check that a kept file is left byte for byte as it came.
    return "Received: from " + from + " [" + ip +
           "]) by mx.home.example with SMTP; Mon, 1 Jan 2024 10:00:00 +0000\r\nMessage-ID: <" + token +
           "@lottery.example>\r\nFrom: winner@lottery.example\r\nSubject: You won\r\n\r\nClaim your pr\xe9mio, "
           "\xfc\x62\x65rall.\r\n";
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024 * 1024);
}

} // namespace

class TstSoak : public test::RoadTestCase {
    Q_OBJECT

    // Every complaint the SMTP server took, one after another.
    QByteArray complaints() const
    {
        QByteArray all;
        for (const auto& mail : m_sink.messages())
            all += mail.data;
        return all;
    }

private slots:
    void everyMessageIsAccountedFor()
    {
        std::vector<std::unique_ptr<ScriptedPeer>> peers;
        QHash<QString, quint16> whoisPorts;
        const auto scripts = whoisScripts();
        for (auto it = scripts.cbegin(); it != scripts.cend(); ++it) {
            peers.push_back(std::make_unique<ScriptedPeer>(it.value()));
            whoisPorts.insert(it.key(), peers.back()->port());
        }
        whoisPorts.insert(QStringLiteral("whois.refused.test"), ScriptedPeer::closedPort());
        QList<ScriptedPeer*> chain;
        for (int n = 1; n <= kChain; ++n) {
            peers.push_back(std::make_unique<ScriptedPeer>(ScriptedPeer::answer(
                "OrgAbuseEmail: abuse@chain-isp.net\nWhois Server: " + chainServer(n + 1).toLatin1() + "\n")));
            whoisPorts.insert(chainServer(n), peers.back()->port());
            chain << peers.back().get();
        }
        // Never asked while the bound holds; if it broke, the name must not reach a real resolver.
        whoisPorts.insert(chainServer(kChain + 1), ScriptedPeer::closedPort());
        QMap<Smtp, QString> smtpServers{
            {Smtp::Sink, QStringLiteral("127.0.0.1:%1").arg(m_sink.port())},
            {Smtp::Refused, QStringLiteral("127.0.0.1:%1").arg(ScriptedPeer::closedPort())}};
        ScriptedPeer* dropsQuit = nullptr;
        for (Smtp s : {Smtp::Silent, Smtp::Rejecting, Smtp::CutInData, Smtp::EndlessGreeting, Smtp::DropsQuit}) {
            peers.push_back(std::make_unique<ScriptedPeer>(smtpScript(s)));
            smtpServers.insert(s, peers.back()->endpoint());
            dropsQuit = peers.back().get();
        }

        test::RoadRig rig(kRanges, kServers, whoisPorts);
        rig.state.userAddress = kUser;
        saveSetting(rig.store, settings::CopyEmail, QStringLiteral("0"));
        // Short bounds: a silent server costs this much each time, and the run has to end within minutes.
        rig.road->whois.Whois1.setAnswerTimeout(1000);
        rig.road->complaint.smtp.replyTimeoutMs = 2000;
        rig.road->complaint.smtp.dataEndTimeoutMs = 2000;
        rig.road->complaint.yields = 10;

        // The kinds interleaved, the same way on every run.
        QList<const Kind*> order;
        for (const Kind& kind : kKinds)
            for (int i = 0; i < kind.count; ++i)
                order << &kind;
        QCOMPARE(order.size(), kMessages);
        std::shuffle(order.begin(), order.end(), std::mt19937(2024));
        QList<Message> messages;
        QHash<QString, Smtp> smtpOf;
        for (int n = 0; n < kMessages; ++n) {
            const Kind& kind = *order.at(n);
            const QByteArray ip = QByteArray(kind.network) + QByteArray::number(kind.firstHost + 1 + n % 30);
            const QByteArray hostName = "relay" + QByteArray::number(n % 30) + ".named.test";
            if (kind.hostName)
                rig.resolver.add(QString::fromLatin1(ip), QString::fromLatin1(hostName));
            const QByteArray token = QStringLiteral("soak-token-%1-end").arg(n, 3, 10, QLatin1Char('0')).toLatin1();
            Message m{&kind, {}, spam(kind, ip, hostName, token), token};
            m.path = rig.drop(QStringLiteral("spam-%1.eml").arg(n, 3, 10, QLatin1Char('0')), m.bytes);
            smtpOf.insert(m.path, kind.smtp);
            messages << m;
        }
        // The user's server changes with the message: the complaint goes wherever this message's kind says.
        connect(&rig.road->complaint, &ComplaintStage::fieldsChanged, this, [&] {
            rig.state.smtpServer = smtpServers.value(smtpOf.value(rig.road->messageInProcess(), Smtp::Sink));
        });
        // A user clicking about in the list while messages are in process.
        std::mt19937 clicks(11);
        connect(&rig.state, &AppState::busyProcessingChanged, this, [&](bool busy) {
            if (busy)
                QTimer::singleShot(0, this, [&] {
                    const QStringList files = rig.folder->listFiles();
                    if (!files.isEmpty())
                        rig.folder->select(files.at(int(clicks() % files.size())));
                });
        });

        // Resident memory after every hundred messages done with (retries of kept ones count too).
        QList<qint64> rss;
        int finished = 0;
        connect(&rig.state, &AppState::busyProcessingChanged, this, [&](bool busy) {
            if (!busy && ++finished % 100 == 0)
                rss << residentBytes();
        });
        const auto settled = [&] {
            for (const Message& m : messages)
                if (m.kind->fate != Fate::Kept && QFile::exists(m.path))
                    return false;
            return true;
        };

        QElapsedTimer clock;
        clock.start();
        Monitor monitor(rig.state, *rig.folder);
        monitor.tmrActivate.setInterval(10);
        // The first run happens inside; later ones every 59 ticks try the kept messages again.
        monitor.resized(Monitor::WindowState::Minimized);
        // Not settling in time still goes on to the accounting below, which tells which messages are astray.
        const bool settledInTime = QTest::qWaitFor(settled, 240000);
        const qint64 soakMs = clock.elapsed();
        rss << residentBytes();

        // Still answering: a zero timer fires at once, and a fresh message goes the whole road.
        QElapsedTimer latency;
        latency.start();
        qint64 zeroTimerMs = -1;
        QTimer::singleShot(0, this, [&] { zeroTimerMs = latency.elapsed(); });
        const bool timerFired = QTest::qWaitFor([&] { return zeroTimerMs >= 0; }, 5000);
        const QByteArray freshToken("soak-token-fresh-end");
        const QString fresh =
            rig.drop(QStringLiteral("fresh.eml"), spam(kKinds[0], "192.0.2.5", QByteArray(), freshToken));
        const bool freshTaken = QTest::qWaitFor([&] { return !QFile::exists(fresh); }, 60000);
        const qsizetype freshComplaints = complaints().count(freshToken);

        monitor.trayOpen();
        QTRY_VERIFY_WITH_TIMEOUT(!monitor.running(), 60000);
        QStringList rssText;
        for (qint64 bytes : rss)
            rssText << QString::number(megabytes(bytes), 'f', 1);
        std::printf("soak: %d messages %s after %.1f s; RSS by hundreds and at the end (MB): %s; zero timer after %lld "
                    "ms\n",
                    kMessages, settledInTime ? "settled" : "NOT settled", double(soakMs) / 1000,
                    qPrintable(rssText.join(QStringLiteral(" "))), zeroTimerMs);

        const QByteArray sinkData = complaints() + dropsQuit->received();
        // The outcome log's kinds for each file, in order.
        QHash<QString, QStringList> outcomes;
        for (const QString& line : test::RoadRig::outcomes())
            outcomes[line.section(QLatin1Char('\t'), 0, 0)] << line.section(QLatin1Char('\t'), 1, 1);
        QHash<QString, int> wrong; // kind → messages not where they belong
        for (const Message& m : messages) {
            const int complaints = int(sinkData.count(m.token));
            const bool exists = QFile::exists(m.path);
            const QStringList ends = outcomes.value(m.path);
            bool right = false;
            switch (m.kind->fate) {
            case Fate::Sent:
                right = complaints == 1 && !exists && ends == QStringList{QStringLiteral("sent")};
                break;
            case Fate::Deleted:
                right = complaints == 0 && !exists && ends == QStringList{QStringLiteral("nothing to report")};
                break;
            case Fate::Kept:
                right = complaints == 0 && exists && nw::test::fileBytes(m.path) == m.bytes && !ends.isEmpty() &&
                        ends.count(QStringLiteral("kept")) == ends.size();
                break;
            }
            if (!right) {
                ++wrong[QString::fromLatin1(m.kind->name)];
                qWarning("%s (%s): %d complaint(s), file %s, outcomes %s", m.token.constData(), m.kind->name, complaints,
                         exists ? "kept" : "gone", qPrintable(ends.join(QStringLiteral(", "))));
            }
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("messages not accounted for: %1")
                                                 .arg(QStringList(wrong.keys()).join(QStringLiteral(", ")))));
        QVERIFY2(settledInTime, "the messages were not settled within four minutes");
        // Memory must level off once every kind has come by. What stays per message by design is the SMTP
        // transcript, about 5 KB a complaint (2 MB over the last 400 messages here); 8 MB, 20 KB a message, leaves
        // room for the allocator and still catches a read buffer kept per connection.
        QVERIFY(rss.size() >= 2 && rss.first() > 0);
        QVERIFY2(rss.last() - rss.first() < 8 * 1024 * 1024, "memory grew by more than 8 MB");
        QVERIFY2(timerFired && zeroTimerMs < 1000, "the event loop did not run a zero timer within a second");
        QVERIFY2(freshTaken, "a message dropped afterwards was not taken up within a minute");
        QCOMPARE(freshComplaints, 1);
        int kept = 0;
        for (const Kind& kind : kKinds)
            kept += kind.fate == Fate::Kept ? kind.count : 0;
        QCOMPARE(rig.files().size(), kept);
        QVERIFY(!rig.state.busyProcessing());
        // A look-up asks ten servers at most.
        for (int n = 11; n <= kChain; ++n)
            QCOMPARE(chain.at(n - 1)->connections(), 0);
        // Nobody is there to answer a dialog while the monitor runs.
        QCOMPARE(rig.box.prompts().texts(), QStringList());
    }
};

NW_TEST_CLASS(TstSoak)
#include "tst_soak.moc"
