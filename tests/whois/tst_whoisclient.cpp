#include "errors/RuntimeError.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"
#include "whois/WhoIs.h"
#include "whois/WhoisLookup.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace nw;
using nw::test::ScriptedPeer;
using Script = QList<ScriptedPeer::Step>;
Q_DECLARE_METATYPE(Script)

namespace {
// Two ranges, four name patterns; the first server is asked for 192.0.2.0/24, referrals go to the others.
const QByteArray kRanges("# test ranges 100\n192.0.2.0/24\twhois.first.test\n10.0.0.0/8\twhois.first.test\tn +\n");
const QByteArray kServers("# test servers 100\nJapan;JP;whois.jp.test;\nInterNIC;COM;whois.internic.net;\n"
                          "Second;TEST;whois.second.test;4343;SECOND\nAny;*;whois.first.test;\n");
const QString kAddress = QStringLiteral("192.0.2.1");

const auto done = &WhoIs::doneText;
const auto connectionError = &WhoIs::connectionErrorText;

// A sandbox with the test tables and a client whose server names lead to loopback peers.
struct Rig {
    test::Sandbox box;
    std::unique_ptr<WhoIs> whois;
    std::unique_ptr<QSignalSpy> status;
    QStringList chain;

    explicit Rig(const QList<std::pair<QString, quint16>>& routes)
    {
        box.writeFile(QStringLiteral("whois.rir"), kRanges);
        box.writeFile(QStringLiteral("whois.srv"), kServers);
        EndpointRouter router;
        for (const auto& [name, port] : routes)
            router.add(name, QStringLiteral("127.0.0.1"), port);
        whois = std::make_unique<WhoIs>(router);
        whois->setReferralDelay(10);
        whois->setAnswerTimeout(10000);
        status = std::make_unique<QSignalSpy>(whois.get(), &WhoIs::Status);
        QObject::connect(whois.get(), &WhoIs::serverAsked, whois.get(), [this](const QString& server, int port) {
            chain << QStringLiteral("%1:%2").arg(server).arg(port);
        });
    }
    QStringList statuses() const
    {
        QStringList out;
        for (const auto& args : *status)
            out << args.first().toString();
        return out;
    }
    QString results() const { return whois->Results().toString(); }
    void ask(const QString& address)
    {
        whois->setAddress(address);
        whois->Query();
    }
};
} // namespace

class TstWhoisClient : public QObject {
    Q_OBJECT

private slots:
    // Chunks arrive one at a time: the peer sends the next only after the client took the last.
    void answerChunks_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QStringList>("statuses");
        using Chunks = QList<QByteArray>;
        QTest::newRow("bare LF stored as CR LF") << Chunks{"one\ntwo\n"} << "one\r\ntwo\r\n" << QStringList{done()};
        QTest::newRow("CR LF stored as CR CR LF") << Chunks{"a\r\nb\r\n"} << "a\r\r\nb\r\r\n" << QStringList{done()};
        QTest::newRow("every chunk raises Done")
            << Chunks{"part one\n", "part two\n", "part three\n"} << "part one\r\npart two\r\npart three\r\n"
            << QStringList{done(), done(), done()};
        QTest::newRow("blank chunk kept, no event") << Chunks{"   ", "text\n"} << "   text\r\n" << QStringList{done()};
        QTest::newRow("key split across chunks is no referral")
            << Chunks{"Whois Ser", "ver: whois.second.test\n"} << "Whois Server: whois.second.test\r\n"
            << QStringList{done(), done()};
        // The name's chunk arrives while the referral waits; the empty name then fails to connect.
        QTest::newRow("name after the key's chunk: empty server asked")
            << Chunks{"Whois Server:", " whois.second.test\n"} << "Whois Server: whois.second.test\r\n"
            << QStringList{done(), connectionError()};
    }
    void answerChunks()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QString, results);
        QFETCH(QStringList, statuses);
        Script script{ScriptedPeer::readLine()};
        for (const QByteArray& chunk : chunks)
            script << ScriptedPeer::send(chunk) << ScriptedPeer::waitRelease();
        script << ScriptedPeer::close();
        ScriptedPeer peer(script);
        Rig rig({{QStringLiteral("whois.first.test"), peer.port()}});
        rig.whois->setReferralDelay(1000); // long enough for the peer's next chunk to come first
        rig.ask(kAddress);
        for (int i = 0; i < chunks.size(); ++i) {
            const qsizetype before = rig.results().size();
            QTRY_VERIFY(rig.results().size() > before);
            peer.release();
        }
        QTRY_COMPARE(rig.statuses(), statuses);
        QCOMPARE(rig.results(), results);
        QCOMPARE(peer.lines(), QList<QByteArray>{"192.0.2.1\r\n"});
    }

    void referralChains_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("results");
        QTest::addColumn<QStringList>("chain");
        QTest::addColumn<int>("secondConnections");
        QTest::newRow("referral followed, answers in order")
            << QByteArray("Registrar WHOIS Server: whois.second.test\n") << QByteArray("abuse@b.example\n")
            << "Registrar WHOIS Server: whois.second.test\r\nabuse@b.example\r\n"
            << QStringList{u"whois.first.test:43"_s, u"whois.second.test:4343"_s} << 1;
        QTest::newRow("server not in the table keeps port 43")
            << QByteArray("Whois Server:  whois.other.test\trest\n") << QByteArray("answer\n")
            << "Whois Server:  whois.other.test\trest\r\nanswer\r\n"
            << QStringList{u"whois.first.test:43"_s, u"whois.other.test:43"_s} << 1;
        QTest::newRow("self-referral ends the chain")
            << QByteArray("whois server: WHOIS.First.Test\n") << QByteArray() << "whois server: WHOIS.First.Test\r\n"
            << QStringList{u"whois.first.test:43"_s} << 0;
        QTest::newRow("cycle back to an asked server ends the chain")
            << QByteArray("Whois Server: whois.second.test\n") << QByteArray("Whois Server: whois.first.test\n")
            << "Whois Server: whois.second.test\r\nWhois Server: whois.first.test\r\n"
            << QStringList{u"whois.first.test:43"_s, u"whois.second.test:4343"_s} << 1;
    }
    void referralChains()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, results);
        QFETCH(QStringList, chain);
        QFETCH(int, secondConnections);
        ScriptedPeer a(ScriptedPeer::answer(first));
        ScriptedPeer b(ScriptedPeer::answer(second));
        Rig rig({{QStringLiteral("whois.first.test"), a.port()},
                 {QStringLiteral("whois.second.test"), b.port()},
                 {QStringLiteral("whois.other.test"), b.port()}});
        rig.ask(kAddress);
        QVERIFY(rig.status->wait(10000));
        QCOMPARE(rig.statuses(), QStringList{done()});
        QCOMPARE(rig.results(), results);
        QCOMPARE(rig.chain, chain);
        QCOMPARE(a.connections(), 1);
        QCOMPARE(b.connections(), secondConnections);
        if (secondConnections)
            QCOMPARE(b.lines(), QList<QByteArray>{"192.0.2.1\r\n"});
    }

    // `bound` is the silence bound: a closed or refused connection must end the look-up long before it.
    void failures_data()
    {
        QTest::addColumn<Script>("first"); // empty: the server refuses the connection
        QTest::addColumn<Script>("second");
        QTest::addColumn<int>("bound");
        QTest::addColumn<QString>("results");
        const Script referral = ScriptedPeer::answer("Whois Server: whois.second.test\n");
        const Script silent{ScriptedPeer::readLine(), ScriptedPeer::hold()};
        const Script closes{ScriptedPeer::readLine(), ScriptedPeer::close()};
        const Script resets{ScriptedPeer::readLine(), ScriptedPeer::reset()};
        const int never = 600000;
        const QString referralText = QStringLiteral("Whois Server: whois.second.test\r\n");
        QTest::newRow("refuses the connection") << Script{} << Script{} << never << "";
        QTest::newRow("accepts and stays silent") << silent << Script{} << 300 << "";
        QTest::newRow("closes without answering") << closes << Script{} << never << "";
        QTest::newRow("resets the connection") << resets << Script{} << never << "";
        QTest::newRow("referred server refuses") << referral << Script{} << never << referralText;
        QTest::newRow("referred server stays silent") << referral << silent << 300 << referralText;
    }
    void failures()
    {
        QFETCH(Script, first);
        QFETCH(Script, second);
        QFETCH(int, bound);
        QFETCH(QString, results);
        ScriptedPeer a(first);
        ScriptedPeer b(second);
        Rig rig({{QStringLiteral("whois.first.test"), first.isEmpty() ? ScriptedPeer::closedPort() : a.port()},
                 {QStringLiteral("whois.second.test"), second.isEmpty() ? ScriptedPeer::closedPort() : b.port()}});
        rig.whois->setAnswerTimeout(bound);
        rig.ask(kAddress);
        QVERIFY(rig.status->wait(10000));
        QCOMPARE(rig.statuses(), QStringList{connectionError()});
        QCOMPARE(rig.results(), results);
    }

    void endlessAnswerIsCapped()
    {
        ScriptedPeer peer({ScriptedPeer::readLine(), ScriptedPeer::flood(QByteArray(1000, 'x') + '\n', 64 << 20)});
        Rig rig({{QStringLiteral("whois.first.test"), peer.port()}});
        const qsizetype cap = 200 * 1024;
        rig.whois->setAnswerCap(cap);
        rig.ask(kAddress);
        QTRY_COMPARE_WITH_TIMEOUT(rig.results().size(), cap, 20000);
        QTRY_COMPARE(peer.disconnections(), 1); // the client stopped reading
        QCOMPARE(rig.statuses().last(), done());
        QCOMPARE(rig.statuses().count(done()), rig.status->size());
    }

    void queryLine_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("address as written") << kAddress << QByteArray("192.0.2.1\r\n");
        QTest::newRow("Japanese name asks for English") << "www.example.jp" << QByteArray("example.jp /e\r\n");
        QTest::newRow("InterNIC asked for the domain") << "mail.example.com" << QByteArray("domain example.com\r\n");
        QTest::newRow("other names as the registered name") << "a.b.example.test" << QByteArray("example.test\r\n");
    }
    void queryLine()
    {
        QFETCH(QString, address);
        QFETCH(QByteArray, line);
        ScriptedPeer peer(ScriptedPeer::answer("ok\n"));
        QList<std::pair<QString, quint16>> routes;
        for (const char* name : {"whois.first.test", "whois.second.test", "whois.jp.test", "whois.internic.net"})
            routes.append({QLatin1String(name), peer.port()});
        Rig rig(routes);
        rig.ask(address);
        QVERIFY(rig.status->wait(10000));
        QCOMPARE(peer.lines(), QList<QByteArray>{line});
    }

    void serverSelection_data()
    {
        QTest::addColumn<QString>("previous"); // set first
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected"); // Server|Port|Domain|Mask|Range|TLD|CmdPrefix|Handle
        QTest::addColumn<bool>("unmatched");
        const QString inSlash24 = QStringLiteral("whois.first.test|43|192.0.2.1|-256|192.0.2.0/24|0||0");
        QTest::newRow("address in a /24") << "" << kAddress << inSlash24 << false;
        QTest::newRow("address in a /8: mask as signed number")
            << "" << "10.9.8.7" << "whois.first.test|43|10.9.8.7|-16777216|10.0.0.0/8|0|n +|0" << false;
        QTest::newRow("address in no block") << kAddress << "198.51.100.1" << "|0||||0||0" << true;
        QTest::newRow("all-zero address hits the first built-in")
            << "" << "0.0.0.0" << "whois.arin.net|43|0.0.0.0|-1||0|n +|0" << false;
        QTest::newRow("an empty address changes nothing") << kAddress << "" << inSlash24 << false;
        QTest::newRow("name in a listed zone")
            << "" << "host.example.test" << "whois.second.test|4343|example.test|0|0|TEST||SECOND" << false;
        QTest::newRow("name matched by the star only")
            << "" << "example.org" << "whois.first.test|43|example.org|0|0|*||" << false;
    }
    void serverSelection()
    {
        QFETCH(QString, previous);
        QFETCH(QString, address);
        QFETCH(QString, expected);
        QFETCH(bool, unmatched);
        Rig rig({});
        rig.whois->setAddress(previous);
        rig.whois->setAddress(address);
        const WhoIs& w = *rig.whois;
        QCOMPARE((QStringList{w.Server(), QString::number(w.Port()), w.Domain(), w.Mask(), w.Range(), w.TLD(),
                              w.CmdPrefix(), w.Handle()}),
                 expected.split(QLatin1Char('|')));
        QCOMPARE(rig.statuses(), unmatched ? QStringList{WhoIs::unmatchedText()} : QStringList{});
        QCOMPARE(w.Address(), address);
        if (!address.isEmpty())
            QCOMPARE(rig.whois->WhoisServer(address), expected.section(QLatin1Char('|'), 0, 0));
    }

    void designTimePropertiesRefuseWritesWhileRunning()
    {
        Rig rig({});
        WhoIs& w = *rig.whois;
        const QList<std::function<void()>> designTime{
            [&] { w.setPort(80); }, [&] { w.setDomain(u"x"_s); }, [&] { w.setRange(u"x"_s); },
            [&] { w.setMask(u"x"_s); }, [&] { w.setCmdPrefix(u"x"_s); }, [&] { w.setCmdSuffix(u"x"_s); },
            [&] { w.setDescription(u"x"_s); }, [&] { w.setHandle(u"x"_s); }};
        for (const auto& write : designTime) {
            try {
                write();
                QFAIL("a design-time property was written while running");
            } catch (const RuntimeError& e) {
                QCOMPARE(e.number(), 382);
            }
        }
        QCOMPARE((QStringList{QString::number(w.Port()), w.Domain(), w.Range(), w.Mask(), w.CmdPrefix(), w.CmdSuffix(),
                              w.Description(), w.Handle()}),
                 QStringList(8, QStringLiteral("0")));
        QCOMPARE(w.Results(), QVariant(0));
        w.setServer(QStringLiteral("s"));
        w.setTLD(QStringLiteral("t"));
        QCOMPARE(w.Server() + w.TLD(), QStringLiteral("st"));
        w.setUserMode(false);
        w.setPort(4343);
        QCOMPARE(w.Port(), 4343);
    }

    // A look-up chooses from the whole answer, or says why it could not.
    void lookUps_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QList<QByteArray>>("chunks"); // empty: the server refuses the connection
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("chosen"); // or the failure's message
        using R = WhoisLookup::Result;
        QTest::newRow("abuse mailbox chosen over the first address")
            << kAddress << QList<QByteArray>{"tech: noc@example.org\n", "abuse: abuse@example.org\n"} << int(R::Chosen)
            << "abuse@example.org";
        QTest::newRow("registry mailboxes only")
            << kAddress << QList<QByteArray>{"hostmaster@ripe.net\n"} << int(R::NoneChosen) << "";
        QTest::newRow("no address at all")
            << kAddress << QList<QByteArray>{"no contacts\n"} << int(R::NoneChosen) << "";
        QTest::newRow("no registry") << "198.51.100.1" << QList<QByteArray>{} << int(R::Failed)
                                     << WhoIs::unmatchedText();
        QTest::newRow("connection refused") << kAddress << QList<QByteArray>{} << int(R::Failed)
                                            << WhoIs::connectionErrorText();
    }
    void lookUps()
    {
        QFETCH(QString, address);
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(int, result);
        QFETCH(QString, chosen);
        Script script{ScriptedPeer::readLine()};
        for (const QByteArray& chunk : chunks)
            script << ScriptedPeer::send(chunk) << ScriptedPeer::pause(50);
        script << ScriptedPeer::close();
        ScriptedPeer peer(script);
        Rig rig({{QStringLiteral("whois.first.test"), chunks.isEmpty() ? ScriptedPeer::closedPort() : peer.port()}});
        WhoisLookup lookup(*rig.whois);
        // Longer than the pauses between chunks: the evaluation sees the whole answer.
        lookup.setEvaluationDelay(500);
        const auto outcome = lookup.run(address);
        QCOMPARE(int(outcome.result), result);
        QCOMPARE(result == int(WhoisLookup::Result::Failed) ? outcome.message : outcome.address, chosen);
        if (chunks.isEmpty())
            return;
        QCOMPARE(outcome.results, rig.results());
        QCOMPARE(outcome.chain, QStringList{u"whois.first.test:43"_s});
    }
};

NW_TEST_CLASS(TstWhoisClient)
#include "tst_whoisclient.moc"
