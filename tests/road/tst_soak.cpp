// The monitor over 500 messages with every server on loopback, some of them misbehaving, and list clicks while
// messages are in process. Every message must end where its fate puts it, in one outcome (kept ones once per run
// that tried them), no complaint may arrive twice, memory must level off, and the program must still answer.

#include "RoadWorld.h"
#include "app/Settings.h"
#include "road/Monitor.h"
#include "support/RoadRig.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"

#include <QFile>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <random>

#include <unistd.h>

using P = ScriptedPeer;

namespace {

enum class Fate { Sent, Deleted, Kept };
enum Smtp { Sink, Refused, Silent, Rejecting, CutInData, EndlessGreeting, DropsQuit };

// A kind of message: its originating network and first host there (none: no header at all), whether that
// address has a reverse name, which SMTP server takes its complaint, and what must become of it.
struct Kind {
    const char *name, *network;
    int count, firstHost;
    bool hostName;
    Smtp smtp;
    Fate fate;
};

// The blocks of the range table below; 198.51.100.0/24 has no registry.
const Kind kKinds[] = {
    {"reported", "192.0.2.", 247, 0, false, Sink, Fate::Sent},
    {"referred to a second server", "192.0.2.", 40, 32, false, Sink, Fate::Sent},
    {"no mailbox for the address, one for its host name", "203.0.113.", 30, 0, true, Sink, Fate::Sent},
    {"endless answer that names a mailbox", "192.0.2.", 10, 192, false, Sink, Fate::Sent},
    {"connection cut after the mailbox", "192.0.2.", 20, 224, false, Sink, Fate::Sent},
    {"no header", nullptr, 30, 0, false, Sink, Fate::Deleted},
    {"no registry", "198.51.100.", 30, 0, false, Sink, Fate::Deleted},
    {"silent WHOIS server", "192.0.2.", 5, 64, false, Sink, Fate::Kept},
    {"referred to a silent server", "203.0.113.", 3, 32, false, Sink, Fate::Kept},
    {"WHOIS connection refused", "203.0.113.", 5, 64, false, Sink, Fate::Kept},
    {"endless referral chain", "203.0.113.", 5, 96, false, Sink, Fate::Sent},
    {"no reply to QUIT after the data was accepted", "192.0.2.", 5, 0, false, DropsQuit, Fate::Sent},
    {"connection cut before any mailbox", "192.0.2.", 15, 96, false, Sink, Fate::Deleted},
    {"binary garbage answer", "192.0.2.", 15, 128, false, Sink, Fate::Deleted},
    {"endless answer without a mailbox", "192.0.2.", 10, 160, false, Sink, Fate::Deleted},
    {"SMTP connection refused", "192.0.2.", 8, 0, false, Refused, Fate::Kept},
    {"silent SMTP server", "192.0.2.", 5, 0, false, Silent, Fate::Kept},
    {"recipient refused", "192.0.2.", 7, 0, false, Rejecting, Fate::Kept},
    {"SMTP connection cut in the data", "192.0.2.", 5, 0, false, CutInData, Fate::Kept},
    {"endless SMTP greeting", "192.0.2.", 5, 0, false, EndlessGreeting, Fate::Kept},
};

// One /27 block each, in order: 192.0.2.0/27 on, then 203.0.113.0/27 on. Host names are looked up at the
// server for their domain.
const char* const kBlocks[] = {"good",    "refer",    "silent",  "cut",       "garbage", "filler",
                               "endless", "cutafter", "nomatch", "refsilent", "refused", "chain1"};
const QByteArray kServers("# soak servers 100\nAny;*;whois.named.test;43\n");

qint64 residentBytes()
{
    QFile statm(u"/proc/self/statm"_s);
    return statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(1).toLongLong() * sysconf(_SC_PAGESIZE)
                                           : -1;
}

struct Message {
    const Kind* kind;
    QString path;
    QByteArray bytes, token;
};

} // namespace

class TstSoak : public RoadTestCase {
    Q_OBJECT

private slots:
    void everyMessageIsAccountedFor()
    {
        std::deque<P> peers; // where they stay put
        QHash<QString, quint16> whoisPorts;
        const auto peer = [&](const QList<P::Step>& script) { return &peers.emplace_back(script); };
        constexpr qint64 endless = 3 * 1024 * 1024; // three times what the client keeps of an answer
        // Bytes of every value but '@' (counted on from it, round to just below it), so that no mailbox is in them.
        QByteArray garbage;
        for (std::mt19937 random(7); garbage.size() < 4096;)
            garbage += char(random() % 255 + '@' + 1);
        const auto serve = [&](const QString& name, const QList<P::Step>& script) {
            whoisPorts.insert(name, peer(script)->port());
        };
        // Slower than the evaluation delay, as real servers often are.
        serve(u"whois.good.test"_s,
              {P::readLine(), P::pause(100),
               P::send("NetRange: 192.0.2.0 - 192.0.2.31\nOrgAbuseEmail: abuse@good-isp.net\n"), P::close()});
        serve(u"whois.refer.test"_s, P::answer("NetRange: 192.0.2.32 - 192.0.2.63\nWhois Server: whois.second.test\n"));
        serve(u"whois.second.test"_s, P::answer("OrgAbuseEmail: abuse@second-isp.net\n"));
        serve(u"whois.silent.test"_s, {P::readLine(), P::hold()});
        serve(u"whois.cut.test"_s,
              {P::readLine(), P::send("% Partial record\nNetRange: 192.0.2.96 - "), P::pause(20), P::reset()});
        serve(u"whois.garbage.test"_s, P::answer(garbage));
        serve(u"whois.filler.test"_s,
              {P::readLine(), P::flood("% filler without any mailbox, line after line\n", endless), P::close()});
        serve(u"whois.endless.test"_s,
              {P::readLine(), P::flood("OrgAbuseEmail: abuse@endless-isp.net\n", endless), P::close()});
        serve(u"whois.cutafter.test"_s,
              {P::readLine(), P::send("OrgAbuseEmail: abuse@cut-isp.net\nNetRange: 192.0.2.224 - "), P::pause(20),
               P::reset()});
        serve(u"whois.nomatch.test"_s, P::answer("No match found.\n"));
        serve(u"whois.named.test"_s, P::answer("OrgAbuseEmail: abuse@named-isp.net\n"));
        serve(u"whois.refsilent.test"_s, P::answer("Whois Server: whois.silent.test\n"));
        whoisPorts.insert(u"whois.refused.test"_s, P::closedPort());
        for (int n = 1; n <= kChain; ++n)
            serve(chainServer(n), P::answer("OrgAbuseEmail: abuse@chain-isp.net\nWhois Server: " +
                                            chainServer(n + 1).toLatin1() + "\n"));
        // Never asked while the bound holds; if it broke, the name must not reach a real resolver.
        whoisPorts.insert(chainServer(kChain + 1), P::closedPort());
        QStringList smtpServers{u"127.0.0.1:%1"_s.arg(m_sink.port()), u"127.0.0.1:%1"_s.arg(P::closedPort())};
        // The scripted SMTP servers, in the order of `Smtp` from `Silent` on.
        const auto reply = [](const char* text) { return QList<P::Step>{P::readLine(), P::send(text)}; };
        const QList<P::Step> untilData = QList<P::Step>{P::send("220 soak\r\n")} + reply("250 hello\r\n") +
                                         reply("250 sender ok\r\n") + reply("250 recipient ok\r\n") +
                                         reply("354 go on\r\n") + QList<P::Step>{P::readUntil("\r\n.\r\n")};
        for (const QList<P::Step>& script :
             {QList<P::Step>{P::hold()},
              untilData.first(5) + reply("550 no such mailbox\r\n") + QList<P::Step>{P::hold()},
              untilData + QList<P::Step>{P::reset()},
              QList<P::Step>{P::flood("220-an endless greeting\r\n", 512 * 1024), P::hold()},
              untilData + QList<P::Step>{P::send("250 queued\r\n"), P::readLine(), P::close()}})
            smtpServers << peer(script)->endpoint();

        QByteArray ranges("# soak ranges 100\n");
        for (int i = 0; i < 12; ++i)
            ranges += (i < 8 ? "192.0.2." : "203.0.113.") + QByteArray::number(i % 8 * 32) + "/27\twhois." +
                      kBlocks[i] + ".test\n";
        RoadRig rig(ranges, kServers, whoisPorts);
        rig.state.userAddress = kUser;
        saveSetting(rig.store, settings::CopyEmail, u"0"_s);
        // Short bounds: a silent server costs this much each time, and the run has to end within minutes.
        rig.road->whois.Whois1.setAnswerTimeout(1000);
        rig.road->complaint.smtp.replyTimeoutMs = 2000;
        rig.road->complaint.smtp.dataEndTimeoutMs = 2000;
        rig.road->complaint.yields = 10;

        // The kinds interleaved, the same way on every run.
        QList<const Kind*> order;
        for (const Kind& kind : kKinds)
            order.insert(order.size(), kind.count, &kind);
        std::shuffle(order.begin(), order.end(), std::mt19937(2024));
        QList<Message> messages;
        QHash<QString, Smtp> smtpOf;
        for (int n = 0; n < order.size(); ++n) {
            const Kind& kind = *order.at(n);
            const QByteArray ip = kind.network + QByteArray::number(kind.firstHost + 1 + n % 30);
            const QByteArray hostName =
                kind.hostName ? "relay" + QByteArray::number(n % 30) + ".named.test" : QByteArray();
            if (kind.hostName)
                rig.resolver.add(QString::fromLatin1(ip), QString::fromLatin1(hostName));
            const QByteArray token = u"soak-token-%1-end"_s.arg(n, 3, 10, QLatin1Char('0')).toLatin1();
            const QByteArray bytes = kind.network ? spam(ip, token, hostName)
                                                  : "Pasted from the web mail, no header at all: " + token + "\r\n";
            messages << Message{&kind, rig.drop(u"spam-%1.eml"_s.arg(n, 3, 10, QLatin1Char('0')), bytes), bytes, token};
            smtpOf.insert(messages.last().path, kind.smtp);
        }
        // The user's server changes with the message: the complaint goes wherever this message's kind says.
        connect(&rig.road->complaint, &ComplaintStage::fieldsChanged, this,
                [&] { rig.state.smtpServer = smtpServers.at(smtpOf.value(rig.road->messageInProcess(), Sink)); });
        // A user clicking about in the list while messages are in process; resident memory after every hundred
        // messages done with (retries of kept ones count too).
        std::mt19937 clicks(11);
        QList<qint64> rss;
        int finished = 0;
        connect(&rig.state, &AppState::busyProcessingChanged, this, [&](bool busy) {
            if (!busy && ++finished % 100 == 0)
                rss << residentBytes();
            if (busy)
                QTimer::singleShot(0, this, [&] {
                    if (const QStringList files = rig.folder->listFiles(); !files.isEmpty())
                        rig.folder->select(files.at(int(clicks() % files.size())));
                });
        });

        Monitor monitor(rig.state, *rig.folder);
        monitor.tmrActivate.setInterval(10);
        // The first run happens inside; later ones every 59 ticks try the kept messages again.
        monitor.resized(Monitor::WindowState::Minimized);
        // Not settling in time still goes on to the accounting below, which tells which messages are astray.
        const bool settledInTime = QTest::qWaitFor(
            [&] {
                return std::all_of(messages.cbegin(), messages.cend(), [](const Message& m) {
                    return m.kind->fate == Fate::Kept || !QFile::exists(m.path);
                });
            },
            240000);
        rss << residentBytes();

        // Still answering: a fresh message goes the whole road.
        const QString fresh = rig.drop(u"fresh.eml"_s, spam("192.0.2.5", "soak-token-fresh-end"));
        const bool freshTaken = QTest::qWaitFor([&] { return !QFile::exists(fresh); }, 60000);
        monitor.trayOpen();
        QTRY_VERIFY_WITH_TIMEOUT(!monitor.running(), 60000);

        // Each message as "complaints|file|outcomes": sent once and gone, nothing to report and gone, or kept byte
        // for byte with only "kept" outcomes.
        QByteArray sinkData = peers.back().received(); // the server that drops QUIT, and every one the sink took
        for (const auto& mail : m_sink.messages())
            sinkData += mail.data;
        const QStringList log = RoadRig::outcomes();
        QSet<QString> wrong; // kinds with messages not where they belong
        for (const Message& m : messages) {
            QStringList ends = log.filter(m.path).replaceInStrings(m.path + u'\t', QString());
            if (m.kind->fate == Fate::Kept)
                ends.removeDuplicates();
            const QString found = u"%1|%2|%3"_s.arg(sinkData.count(m.token))
                                      .arg(!QFile::exists(m.path)         ? u"gone"_s
                                           : fileBytes(m.path) == m.bytes ? u"kept"_s
                                                                          : u"changed"_s,
                                           ends.join(u','));
            const QString due =
                QStringList{u"1|gone|sent"_s, u"0|gone|nothing to report"_s, u"0|kept|kept"_s}.at(int(m.kind->fate));
            if (found != due) {
                wrong << QString::fromLatin1(m.kind->name);
                qWarning("%s (%s): %s", m.token.constData(), m.kind->name, qPrintable(found));
            }
        }
        QVERIFY2(wrong.isEmpty(),
                 qPrintable(u"messages not accounted for: "_s + QStringList(wrong.values()).join(u", "_s)));
        QVERIFY2(settledInTime, "the messages were not settled within four minutes");
        // Memory must level off once every kind has come by. What stays per message by design is the SMTP
        // transcript, about 5 KB a complaint (2 MB over the last 400 messages here); 8 MB, 20 KB a message, leaves
        // room for the allocator and still catches a read buffer kept per connection.
        QVERIFY2(rss.size() >= 2 && rss.first() > 0 && rss.last() - rss.first() < 8 * 1024 * 1024,
                 qPrintable(u"memory grew from %1 to %2 bytes"_s.arg(rss.first()).arg(rss.last())));
        QVERIFY2(freshTaken, "a message dropped afterwards was not taken up within a minute");
        QCOMPARE(sinkData.count("soak-token-fresh-end"), 1);
        QCOMPARE(rig.files().size(), std::count_if(messages.cbegin(), messages.cend(),
                                                   [](const Message& m) { return m.kind->fate == Fate::Kept; }));
        QCOMPARE(rig.box.prompts().texts(), QStringList());
    }
};

NW_TEST_CLASS(TstSoak)
#include "tst_soak.moc"
