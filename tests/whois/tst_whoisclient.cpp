#include "errors/RuntimeError.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"
#include "whois/WhoIs.h"
#include "whois/WhoisLookup.h"

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace nw;
using namespace nw::test;
using Script = QList<ScriptedPeer::Step>;
using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(Script)

namespace {
// Two ranges, four name patterns; the first server is asked for 192.0.2.0/24, referrals go to the others.
const QByteArray kRanges("# test ranges 100\n192.0.2.0/24\twhois.first.test\n10.0.0.0/8\twhois.first.test\tn +\n");
const QByteArray kServers("# test servers 100\nJapan;JP;whois.jp.test;\nInterNIC;COM;whois.internic.net;\n"
                          "Second;test;whois.second.test;4343;SECOND\nAny;*;whois.first.test;\n");
const QString kAddress = u"192.0.2.1"_s;
const QString kFirst = u"whois.first.test"_s, kSecond = u"whois.second.test"_s;

const auto done = &WhoIs::doneText;
const auto connectionError = &WhoIs::connectionErrorText;

// A sandbox with the test tables and a client whose server names lead to two loopback peers playing `first`
// and `second`; an empty script stands for a server that refuses the connection.
struct Rig {
    Sandbox box;
    ScriptedPeer a, b;
    std::unique_ptr<WhoIs> whois;
    QStringList statuses, chain;

    explicit Rig(const Script& first = {}, const Script& second = {}) : a(first), b(second)
    {
        box.writeFile(u"whois.rir"_s, kRanges);
        box.writeFile(u"whois.srv"_s, kServers);
        EndpointRouter router;
        for (const char* name : {"whois.first.test", "whois.jp.test", "whois.internic.net"})
            router.add(QLatin1String(name), u"127.0.0.1"_s, first.isEmpty() ? ScriptedPeer::closedPort() : a.port());
        for (const char* name : {"whois.second.test", "whois.other.test"})
            router.add(QLatin1String(name), u"127.0.0.1"_s, second.isEmpty() ? ScriptedPeer::closedPort() : b.port());
        whois = std::make_unique<WhoIs>(router);
        whois->setReferralDelay(10);
        whois->setAnswerTimeout(10000);
        QObject::connect(whois.get(), &WhoIs::Status, whois.get(), [this](const QString& text) { statuses << text; });
        QObject::connect(whois.get(), &WhoIs::serverAsked, whois.get(),
                         [this](const QString& server, int port) { chain << u"%1:%2"_s.arg(server).arg(port); });
    }
    QString results() const { return whois->Results().toString(); }
    void ask(const QString& address)
    {
        whois->setAddress(address);
        whois->Query();
    }
};

// A peer that answers the query line with `chunks`, each followed by `between`, then closes.
Script chunked(const Chunks& chunks, const ScriptedPeer::Step& between)
{
    Script script{ScriptedPeer::readLine()};
    for (const QByteArray& chunk : chunks)
        script << ScriptedPeer::send(chunk) << between;
    return script << ScriptedPeer::close();
}
} // namespace

class TstWhoisClient : public QObject {
    Q_OBJECT

private slots:
    // Chunks arrive one at a time: the peer sends the next only after the client took the last.
    void answerChunks_data()
    {
        columns<Chunks, QString, QStringList>("chunks", "results", "statuses");
        row("bare LF stored as CR LF, CR LF as CR CR LF", Chunks{"one\ntwo\r\n"}, "one\r\ntwo\r\r\n",
            QStringList{done()});
        row("every chunk raises Done", Chunks{"part one\n", "part two\n"}, "part one\r\npart two\r\n",
            QStringList{done(), done()});
        row("blank chunk kept, no event", Chunks{"   ", "text\n"}, "   text\r\n", QStringList{done()});
        row("key split across chunks is no referral", Chunks{"Whois Ser", "ver: whois.second.test\n"},
            "Whois Server: whois.second.test\r\n", QStringList{done(), done()});
        // The name's chunk arrives while the referral waits; the empty name then fails to connect.
        row("name after the key's chunk: empty server asked", Chunks{"Whois Server:", " whois.second.test\n"},
            "Whois Server: whois.second.test\r\n", QStringList{done(), connectionError()});
    }
    void answerChunks()
    {
        const auto [chunks, results, statuses] = fetch<Chunks, QString, QStringList>("chunks", "results", "statuses");
        Rig rig(chunked(chunks, ScriptedPeer::waitRelease()));
        rig.whois->setReferralDelay(1000); // long enough for the peer's next chunk to come first
        rig.ask(kAddress);
        for (qsizetype i = 0; i < chunks.size(); ++i) {
            const qsizetype before = rig.results().size();
            QTRY_VERIFY(rig.results().size() > before);
            rig.a.release();
        }
        QTRY_COMPARE(rig.statuses, statuses);
        QCOMPARE(rig.results(), results);
    }

    // Referrals are followed and their chains end; a refused, closed, reset or silent server ends the
    // look-up with what came before; only silence waits for the bound on it.
    void chains_data()
    {
        columns<Script, Script, QString, QStringList, QString>("first", "second", "results", "chain", "status");
        const auto answer = &ScriptedPeer::answer;
        const Script silent{ScriptedPeer::readLine(), ScriptedPeer::hold()}, refuses;
        const QString a = kFirst + u":43"_s, b = kSecond + u":4343"_s, referral = u"Whois Server: whois.second.test"_s;
        row("referral followed, answers in order", answer("Registrar WHOIS Server: whois.second.test\n"),
            answer("abuse@b.example\n"), "Registrar WHOIS Server: whois.second.test\r\nabuse@b.example\r\n",
            QStringList{a, b}, done());
        row("server not in the table keeps port 43", answer("Whois Server:  whois.other.test\trest\n"),
            answer("answer\n"), "Whois Server:  whois.other.test\trest\r\nanswer\r\n",
            QStringList{a, u"whois.other.test:43"_s}, done());
        row("self-referral ends the chain", answer("whois server: WHOIS.First.Test\n"), refuses,
            "whois server: WHOIS.First.Test\r\n", QStringList{a}, done());
        row("cycle back to an asked server ends the chain", answer(referral.toLatin1() + '\n'),
            answer("Whois Server: whois.first.test\n"), referral + u"\r\nWhois Server: whois.first.test\r\n"_s,
            QStringList{a, b}, done());
        row("refuses the connection", refuses, refuses, "", QStringList{a}, connectionError());
        row("closes without answering", Script{ScriptedPeer::readLine(), ScriptedPeer::close()}, refuses, "",
            QStringList{a}, connectionError());
        row("resets the connection", Script{ScriptedPeer::readLine(), ScriptedPeer::reset()}, refuses, "",
            QStringList{a}, connectionError());
        row("referred server stays silent", answer(referral.toLatin1() + '\n'), silent, referral + u"\r\n"_s,
            QStringList{a, b}, connectionError());
    }
    void chains()
    {
        const auto [first, second, results, chain, status] =
            fetch<Script, Script, QString, QStringList, QString>("first", "second", "results", "chain", "status");
        Rig rig(first, second);
        rig.whois->setAnswerTimeout(second.value(1).kind == ScriptedPeer::Step::Hold ? 300 : 600000);
        rig.ask(kAddress);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.statuses.isEmpty(), 10000);
        QCOMPARE(rig.statuses, QStringList{status});
        QCOMPARE(rig.results(), results);
        QCOMPARE(rig.chain, chain);
    }

    void endlessAnswerIsCapped()
    {
        Rig rig({ScriptedPeer::readLine(), ScriptedPeer::flood(QByteArray(1000, 'x') + '\n', 64 << 20)});
        const qsizetype cap = 200 * 1024;
        rig.whois->setAnswerCap(cap);
        rig.ask(kAddress);
        QTRY_COMPARE_WITH_TIMEOUT(rig.results().size(), cap, 20000);
        QTRY_COMPARE(rig.a.disconnections(), 1); // the client stopped reading
        rig.statuses.removeDuplicates();
        QCOMPARE(rig.statuses, QStringList{done()});
    }

    void queryLine_data()
    {
        columns<QString, QByteArray>("address", "line");
        row("address as written", kAddress, QByteArray("192.0.2.1\r\n"));
        row("Japanese name asks for English", "www.example.jp", QByteArray("example.jp /e\r\n"));
        row("InterNIC asked for the domain", "mail.example.com", QByteArray("domain example.com\r\n"));
        row("other names as the registered name", "a.b.example.org", QByteArray("example.org\r\n"));
    }
    void queryLine()
    {
        const auto [address, line] = fetch<QString, QByteArray>("address", "line");
        Rig rig(ScriptedPeer::answer("ok\n"));
        rig.ask(address);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.statuses.isEmpty(), 10000);
        QCOMPARE(rig.a.lines(), QList<QByteArray>{line});
    }

    void serverSelection_data()
    {
        // expected: Server|Port|Domain|Mask|Range|TLD|CmdPrefix|Handle
        columns<QString, QString, QString, bool>("previous", "address", "expected", "unmatched");
        const QString inSlash24 = u"whois.first.test|43|192.0.2.1|-256|192.0.2.0/24|0||0"_s;
        row("address in a /24", "", kAddress, inSlash24, false);
        row("address in a /8: mask as signed number", "", "10.9.8.7",
            "whois.first.test|43|10.9.8.7|-16777216|10.0.0.0/8|0|n +|0", false);
        row("address in no block", kAddress, "198.51.100.1", "|0||||0||0", true);
        row("all-zero address hits the first built-in", "", "0.0.0.0", "whois.arin.net|43|0.0.0.0|-1||0|n +|0", false);
        row("an empty address changes nothing", kAddress, "", inSlash24, false);
        row("name in a listed zone", "", "host.example.test", "whois.second.test|4343|example.test|0|0|TEST||SECOND",
            false);
        row("name matched by the star only", "", "example.org", "whois.first.test|43|example.org|0|0|*||", false);
    }
    void serverSelection()
    {
        const auto [previous, address, expected, unmatched] =
            fetch<QString, QString, QString, bool>("previous", "address", "expected", "unmatched");
        Rig rig;
        rig.whois->setAddress(previous);
        rig.whois->setAddress(address);
        const WhoIs& w = *rig.whois;
        QCOMPARE((QStringList{w.Server(), QString::number(w.Port()), w.Domain(), w.Mask(), w.Range(), w.TLD(),
                              w.CmdPrefix(), w.Handle()}),
                 expected.split(u'|'));
        QCOMPARE(rig.statuses, unmatched ? QStringList{WhoIs::unmatchedText()} : QStringList{});
        if (!address.isEmpty())
            QCOMPARE(rig.whois->WhoisServer(address), expected.section(u'|', 0, 0));
    }

    void designTimePropertiesRefuseWritesWhileRunning()
    {
        Rig rig;
        WhoIs& w = *rig.whois;
        const QList<std::function<void()>> designTime{[&] { w.setPort(80); },
                                                      [&] { w.setDomain(u"x"_s); },
                                                      [&] { w.setRange(u"x"_s); },
                                                      [&] { w.setMask(u"x"_s); },
                                                      [&] { w.setCmdPrefix(u"x"_s); },
                                                      [&] { w.setCmdSuffix(u"x"_s); },
                                                      [&] { w.setDescription(u"x"_s); },
                                                      [&] { w.setHandle(u"x"_s); }};
        for (const auto& write : designTime) {
            try {
                write();
                QFAIL("a design-time property was written while running");
            } catch (const RuntimeError& e) {
                QCOMPARE(e.number(), 382);
            }
        }
        QCOMPARE((QStringList{QString::number(w.Port()), w.Domain(), w.Range(), w.Mask(), w.CmdPrefix(), w.CmdSuffix(),
                              w.Description(), w.Handle(), w.Results().toString()}),
                 QStringList(9, u"0"_s));
        w.setServer(u"s"_s);
        w.setTLD(u"t"_s);
        w.setUserMode(false);
        w.setPort(4343);
        QCOMPARE(w.Server() + w.TLD() + QString::number(w.Port()), u"st4343"_s);
    }

    // A look-up chooses from the whole answer, or says why it could not.
    void lookUps_data()
    {
        using R = WhoisLookup::Result;
        columns<QString, Chunks, int, QString>("address", "chunks", "result", "chosen"); // chosen: or the failure
        row("abuse mailbox chosen over the first address", kAddress,
            Chunks{"tech: noc@example.org\n", "abuse: abuse@example.org\n"}, int(R::Chosen), "abuse@example.org");
        row("registry mailboxes only", kAddress, Chunks{"hostmaster@ripe.net\n"}, int(R::NoneChosen), "");
        row("no registry", "198.51.100.1", Chunks{}, int(R::Failed), WhoIs::unmatchedText());
        row("connection refused", kAddress, Chunks{}, int(R::Failed), WhoIs::connectionErrorText());
    }
    void lookUps()
    {
        const auto [address, chunks, result, chosen] =
            fetch<QString, Chunks, int, QString>("address", "chunks", "result", "chosen");
        Rig rig(chunks.isEmpty() ? Script() : chunked(chunks, ScriptedPeer::pause(50)));
        WhoisLookup lookup(*rig.whois);
        // Longer than the pauses between chunks: the evaluation sees the whole answer.
        lookup.setEvaluationDelay(500);
        const auto outcome = lookup.run(address);
        QCOMPARE(int(outcome.result), result);
        QCOMPARE(result == int(WhoisLookup::Result::Failed) ? outcome.message : outcome.address, chosen);
        if (!chunks.isEmpty())
            QCOMPARE(outcome.results + outcome.chain.join(u' '), rig.results() + kFirst + u":43"_s);
    }
};

NW_TEST_CLASS(TstWhoisClient)
#include "tst_whoisclient.moc"
