#include "errors/RuntimeError.h"
#include "platform/AppPaths.h"
#include "support/Cli.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"
#include "whois/WhoIs.h"
#include "whois/WhoisLookup.h"
#include "whois/WhoisTables.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

using Script = QList<ScriptedPeer::Step>;
using Chunks = QList<QByteArray>;
Q_DECLARE_METATYPE(Script)

namespace {
// Two ranges, four name patterns; the first server is asked for 192.0.2.0/24, referrals go to the others.
const QByteArray kRanges("# test ranges 100\n192.0.2.0/24\twhois.first.test\n10.0.0.0/8\twhois.first.test\tn +\n");
const QByteArray kServers("# test servers 100\nJapan;JP;whois.jp.test;\nInterNIC;COM;whois.internic.net;\n"
                          "Second;test;whois.second.test;4343;SECOND\nAny;*;whois.first.test;\n");
const QString kAddress = u"192.0.2.1"_s;

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
        QObject::connect(whois.get(), &WhoIs::Status, whois.get(), [this](const QString& text) { statuses << text; });
        QObject::connect(whois.get(), &WhoIs::serverAsked, whois.get(),
                         [this](const QString& server, int port) { chain << u"%1:%2"_s.arg(server).arg(port); });
    }
    QString results() const { return whois->Results().toString(); }
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

class TstWhois : public QObject {
    Q_OBJECT

private slots:
    // Referrals are followed until the chain ends; a refused, closed, reset or silent server ends the look-up with
    // what came before. Held chunks are sent one at a time, each after the client took the last.
    void chains_data()
    {
        columns<Script, Script, QString, QString, QStringList>("first", "second", "results", "chain", "statuses");
        const auto answer = &ScriptedPeer::answer;
        const auto held = [](const Chunks& chunks) { return chunked(chunks, ScriptedPeer::waitRelease()); };
        const auto then = [](const ScriptedPeer::Step& step) { return Script{ScriptedPeer::readLine(), step}; };
        const Script refuses;
        const QString a = u"whois.first.test:43"_s, ab = a + u" whois.second.test:4343"_s,
                      referral = u"Whois Server: whois.second.test"_s;
        const QStringList ok{WhoIs::doneText()}, failed{WhoIs::connectionErrorText()}, twice = ok + ok;
        row("referral followed, answers in order", answer("Registrar WHOIS Server: whois.second.test\n"),
            answer("abuse@b.example\n"), "Registrar WHOIS Server: whois.second.test\r\nabuse@b.example\r\n", ab, ok);
        row("server not in the table keeps port 43", answer("Whois Server:  whois.other.test\trest\n"),
            answer("answer\n"), "Whois Server:  whois.other.test\trest\r\nanswer\r\n", a + u" whois.other.test:43"_s,
            ok);
        row("self-referral ends the chain", answer("whois server: WHOIS.First.Test\n"), refuses,
            "whois server: WHOIS.First.Test\r\n", a, ok);
        row("cycle back to an asked server ends the chain", answer(referral.toLatin1() + '\n'),
            answer("Whois Server: whois.first.test\n"), referral + u"\r\nWhois Server: whois.first.test\r\n"_s, ab, ok);
        row("refuses the connection", refuses, refuses, "", a, failed);
        row("closes without answering", then(ScriptedPeer::close()), refuses, "", a, failed);
        row("resets the connection", then(ScriptedPeer::reset()), refuses, "", a, failed);
        row("referred server stays silent", answer(referral.toLatin1() + '\n'), then(ScriptedPeer::hold()),
            referral + u"\r\n"_s, ab, failed);
        row("bare LF stored as CR LF, CR LF as CR CR LF", held({"one\ntwo\r\n"}), refuses, "one\r\ntwo\r\r\n", a, ok);
        row("every chunk raises Done", held({"part one\n", "part two\n"}), refuses, "part one\r\npart two\r\n", a,
            twice);
        row("blank chunk kept, no event", held({"   ", "text\n"}), refuses, "   text\r\n", a, ok);
        row("key split across chunks is no referral", held({"Whois Ser", "ver: whois.second.test\n"}), refuses,
            "Whois Server: whois.second.test\r\n", a, twice);
        // The name's chunk arrives while the referral waits; the empty name then fails to connect.
        row("name after the key's chunk: empty server asked", held({"Whois Server:", " whois.second.test\n"}), refuses,
            "Whois Server: whois.second.test\r\n", a + u" :43"_s, ok + failed);
    }
    void chains()
    {
        const auto [first, second, results, chain, statuses] =
            fetch<Script, Script, QString, QString, QStringList>("first", "second", "results", "chain", "statuses");
        Rig rig(first, second);
        const bool held = first.value(2).kind == ScriptedPeer::Step::WaitRelease;
        rig.whois->setReferralDelay(held ? 1000 : 10); // long enough for a held chunk to come first
        rig.whois->setAnswerTimeout(second.value(1).kind == ScriptedPeer::Step::Hold ? 300 : 600000);
        rig.whois->setAddress(kAddress);
        rig.whois->Query();
        for (qsizetype i = 0, seen = 0; held && i < first.size() / 2 - 1; ++i, seen = rig.results().size()) {
            QTRY_VERIFY(rig.results().size() > seen);
            rig.a.release();
        }
        QTRY_COMPARE_WITH_TIMEOUT(rig.statuses, statuses, 10000);
        QCOMPARE(rig.results(), results);
        QCOMPARE(rig.chain.join(u' '), chain);
    }

    void endlessAnswerIsCapped()
    {
        Rig rig({ScriptedPeer::readLine(), ScriptedPeer::flood(QByteArray(1000, 'x') + '\n', 64 << 20)});
        rig.whois->setAnswerCap(200 * 1024);
        rig.whois->setAddress(kAddress);
        rig.whois->Query();
        QTRY_COMPARE_WITH_TIMEOUT(rig.results().size(), 200 * 1024, 20000);
        QTRY_COMPARE(rig.a.disconnections(), 1); // the client stopped reading
        rig.statuses.removeDuplicates();
        QCOMPARE(rig.statuses, QStringList{WhoIs::doneText()});
    }

    // A client selects by the address its server and query; while running, the design-time properties refuse
    // writes and keep their values (a fresh client shows them), the others take theirs.
    void serverSelection_data()
    {
        // expected: Server|Port|Domain|Mask|Range|TLD|CmdPrefix|Handle; no server: the address is unmatched
        columns<QString, QString, QString>("previous", "address", "expected");
        const QString inSlash24 = u"whois.first.test|43|192.0.2.1|-256|192.0.2.0/24|0||0"_s;
        row("fresh client", "", "", "0|0|0|0|0|0|0|0");
        row("address in a /24", "", kAddress, inSlash24);
        row("address in a /8: mask as signed number", "", "10.9.8.7",
            "whois.first.test|43|10.9.8.7|-16777216|10.0.0.0/8|0|n +|0");
        row("address in no block", kAddress, "198.51.100.1", "|0||||0||0");
        row("all-zero address hits the first built-in", "", "0.0.0.0", "whois.arin.net|43|0.0.0.0|-1||0|n +|0");
        row("an empty address changes nothing", kAddress, "", inSlash24);
        row("name in a listed zone", "", "host.example.test", "whois.second.test|4343|example.test|0|0|TEST||SECOND");
        row("name matched by the star only", "", "example.org", "whois.first.test|43|example.org|0|0|*||");
    }
    void serverSelection()
    {
        const auto [previous, address, expected] = fetch<QString, QString, QString>("previous", "address", "expected");
        Rig rig;
        WhoIs& w = *rig.whois;
        const auto error = [](const std::function<void()>& write) {
            try {
                write();
            } catch (const RuntimeError& e) {
                return e.number();
            }
            return 0;
        };
        QCOMPARE(error([&] { w.setPort(80); }), 382);
        for (auto set : {&WhoIs::setDomain, &WhoIs::setRange, &WhoIs::setMask, &WhoIs::setCmdPrefix,
                         &WhoIs::setCmdSuffix, &WhoIs::setDescription, &WhoIs::setHandle})
            QCOMPARE(error([&] { (w.*set)(u"x"_s); }), 382);
        w.setAddress(previous);
        w.setAddress(address);
        QCOMPARE((QStringList{w.Server(), QString::number(w.Port()), w.Domain(), w.Mask(), w.Range(), w.TLD(),
                              w.CmdPrefix(), w.Handle()}),
                 expected.split(u'|'));
        QCOMPARE(rig.statuses, expected.startsWith(u'|') ? QStringList{WhoIs::unmatchedText()} : QStringList{});
        w.setServer(u"s"_s);
        w.setTLD(u"t"_s);
        w.setUserMode(false);
        w.setPort(4343);
        QCOMPARE(w.Server() + w.TLD() + QString::number(w.Port()), u"st4343"_s);
    }

    // A look-up asks in the query line its server wants and chooses from the whole answer, or says why not.
    void lookUps_data()
    {
        // line: the query line the server received; chosen: the address, or without an answer the failure
        columns<QString, Chunks, QString, QString>("address", "chunks", "line", "chosen");
        const Chunks ok{"ok\n"};
        row("abuse mailbox chosen over the first address", kAddress,
            Chunks{"tech: noc@example.org\n", "abuse: abuse@example.org\n"}, "192.0.2.1\r\n", "abuse@example.org");
        row("Japanese name asks for English", "www.example.jp", ok, "example.jp /e\r\n", "");
        row("InterNIC asked for the domain", "mail.example.com", ok, "domain example.com\r\n", "");
        row("no registry", "198.51.100.1", Chunks{}, "", WhoIs::unmatchedText());
        row("connection refused", kAddress, Chunks{}, "", WhoIs::connectionErrorText());
    }
    void lookUps()
    {
        using R = WhoisLookup::Result;
        const auto [address, chunks, line, chosen] =
            fetch<QString, Chunks, QString, QString>("address", "chunks", "line", "chosen");
        Rig rig(chunks.isEmpty() ? Script() : chunked(chunks, ScriptedPeer::pause(50)));
        WhoisLookup lookup(*rig.whois);
        // Longer than the pauses between chunks: the evaluation sees the whole answer.
        lookup.setEvaluationDelay(500);
        const auto outcome = lookup.run(address);
        QCOMPARE(outcome.result, chunks.isEmpty() ? R::Failed : chosen.isEmpty() ? R::NoneChosen : R::Chosen);
        QCOMPARE(chunks.isEmpty() ? outcome.message : outcome.address, chosen);
        QCOMPARE(QString::fromLatin1(rig.a.lines().join()), line);
    }

    // Dotted addresses: whether a quad, and the value; labels: whether a name matches a pattern.
    void forms_data()
    {
        columns<QString, QString>("text", "expected");
        const auto quad = [](const char* text) {
            const QString t = QLatin1String(text);
            return (IsDottedQuad(t) ? u"quad "_s : u"no "_s) + QString::number(DottedToLong(t), 16);
        };
        const auto labels = [](const char* name, const char* pattern) {
            return MatchLabels(QLatin1String(name), QLatin1String(pattern)) ? u"match"_s : u"no match"_s;
        };
        row("four octets, top bit set", quad("255.255.255.254"), "quad fffffffe");
        row("short text is no quad, trailing octets count 0", quad("1.2.3"), "no 1020300");
        row("five parts, fifth ignored by the value", quad("1.2.3.4.5"), "no 1020304");
        row("octet above 255", quad("1.2.3.256"), "no 0");
        row("letters", quad("a.b.c.d"), "no 0");
        row("empty fourth part", quad("10.20.30."), "no 0");
        row("minus sign rejected", quad("1.2.3.-4"), "no 0");
        row("many leading zeros", quad("001.002.003.000000004"), "quad 1020304");
        row("case ignored", labels("MAIL.Example.Co.Uk", "co.uk"), "match");
        row("differs in second label", labels("example.ac.uk", "CO.UK"), "no match");
        row("star inside a pattern", labels("x.gov.za", "*.ZA"), "match");
        row("pattern longer than the name", labels("uk", "CO.UK"), "match");
        row("suffix of a label is no match", labels("example.dcom", "COM"), "no match");
    }
    void forms()
    {
        const auto [text, expected] = fetch<QString, QString>("text", "expected");
        QCOMPARE(text, expected);
    }

    // What a table finds: a range's server, or a server line's domain and port. A missing table is reported; a
    // corrupt one is refused whole, naming the file, the reason and the line (layout A quotes it on its own line).
    void tables_data()
    {
        // file: empty, missing; found: index|what it found; with no query, the refusal: reason|line|layout
        columns<QString, QString, QString, QString>("name", "file", "query", "found");
        const QString fields = u"Missing Fields|"_s, range = u"malformed IP Address Range|"_s;
        const QString mask = u"malformed IP Address Mask|"_s, base = u"malformed IP Address Base|"_s;
        const QString rir = u"whois.rir"_s, rir6 = u"whois6.rir"_s, srv = u"whois.srv"_s;
        const QString ukFirst = u"United Kingdom;UK;w.uk;\nUK companies;CO.UK;w.co.uk;\n"_s;
        const QString coUkFirst = u"UK companies;co.uk;w.co.uk;4343\nUnited Kingdom;UK;w.uk;\n"_s;
        row("empty line, comments counted", rir, "# v 100\n1.0.0.0/8\tw.a.net\n\n2.0.0.0/8\tw.b.net\n", "",
            fields + u"3|A"_s);
        row("no slash, CR LF file", rir, "# c\r\n1.0.0.0\tw.a.net\r\n", "", range + u"2|B"_s);
        row("server without a dot", rir, "62.0.0.0/8\twhoisserver\n", "", u"invalid WHOIS server|1|A"_s);
        row("two slashes", rir, "1.0.0.0/8/9\tw.a.net\n", "", range + u"1|A"_s);
        row("prefix 0", rir, "1.0.0.0/0\tw.a.net\n", "", mask + u"1|B"_s);
        row("prefix 32", rir, "1.0.0.0/32\tw.a.net\n", "", mask + u"1|B"_s);
        row("prefix not a number", rir, "1.0.0.0/8a\tw.a.net\n", "", mask + u"1|B"_s);
        row("base 0.0.0.0", rir, "0.0.0.0/8\tw.a.net\n", "", base + u"1|B"_s);
        row("bad last line without line end", rir, "1.0.0.0/8\tw.a.net\n# c\n2.0.0.0/8\tw.b.net\nx/8\tw.c.net", "",
            base + u"4|B"_s);
        row("IPv6: prefix 129", rir6, "2001:200::/129\tw.a.net\n", "", mask + u"1|B"_s);
        row("IPv6: an IPv4 base", rir6, "1.0.0.0/8\tw.a.net\n", "", base + u"1|B"_s);
        row("IPv6: not an address", rir6, "2001:zz::/32\tw.a.net\n", "", base + u"1|B"_s);
        row("servers: three fields", srv, "d;COM;w.a.net;43\nd;NET;w.b.net\n", "", fields + u"2|A"_s);
        row("servers: negative port", srv, "d;COM;w.a.net;-43\n", "", u"Invalid Port Number|1|A"_s);
        row("missing ranges", rir, "", "0.0.0.0", "-1");
        row("missing servers", srv, "", "example.com", "-1");
        row("comments only: all-zero address hits the first built-in", rir, "# only\n", "0.0.0.0", "0|whois.arin.net");
        row("comments only: real address unmatched", rir, "# only\n", "8.8.8.8", "-1");
        row("short range 10/8", rir, "10/8\tw.a.net\n", "10.200.3.4", "6|w.a.net");
        row("earlier overlapping block wins", rir, "10.0.0.0/8\tw.a.net\n10.1.0.0/16\tw.b.net\n", "10.1.2.3",
            "6|w.a.net");
        row("only the last line's block", rir, "1.0.0.0/8\tw.a.net\n2.0.0.0/8\tw.b.net\n3.0.0.0/8\tw.c.net", "3.9.9.9",
            "8|w.c.net");
        row("base with host bits matches nothing", rir, "10.1.0.0/8\tw.a.net\n", "10.1.2.3", "-1");
        row("private server accepted", rir, "62.0.0.0/8\tprivate\n", "62.1.1.1", "6|private");
        row("high addresses compare unsigned", rir, "128.0.0.0/1\tw.a.net\n", "200.1.2.3", "6|w.a.net");
        row("just outside a /31", rir, "1.2.3.4/31\tw.a.net\n", "1.2.3.6", "-1");
        row("star with empty port matches all", srv, "Any;*;w.any;\nCom;COM;w.com;\n", "example.com",
            "0|example.com|43");
        row("two-label pattern listed first", srv, coUkFirst, "www.shop.example.co.uk", "0|example.co.uk|4343");
        row("one-label parent listed first", srv, ukFirst, "www.shop.example.co.uk", "0|co.uk|43");
        row("no match falls back to the first line", srv, coUkFirst, "mail.example.org", "0|example.org|4343");
        row("one-label name", srv, coUkFirst, "localhost", "0|localhost|4343");
        row("port beyond 65535 keeps 0", srv, "d;COM;w.com;70000\n", "a.com", "0|a.com|0");
        row("comments only", srv, "# none\n", "example.com", "-1");
    }
    void tables()
    {
        const auto [name, file, query, found] =
            fetch<QString, QString, QString, QString>("name", "file", "query", "found");
        Sandbox box;
        const QString path = file.isEmpty() ? box.path(name) : box.writeFile(name, file.toLatin1());
        WhoisTables tables;
        const bool srv = name == u"whois.srv"_s;
        (tables.*(srv                      ? &WhoisTables::LoadTldTable
                  : name == u"whois.rir"_s ? &WhoisTables::LoadRirTable
                                           : &WhoisTables::LoadRir6Table))();
        const QList<Prompt> shown = box.prompts().shown();
        QCOMPARE(shown.size(), int(file.isEmpty() || query.isEmpty()));
        for (const Prompt& p : shown)
            QCOMPARE(p.title + u'|' + QString::number(int(p.icon)),
                     (srv ? u"Error|"_s : u"Registry Info Error|"_s) + QString::number(int(PromptIcon::Exclamation)));
        if (file.isEmpty())
            QVERIFY2(shown.first().text.startsWith(u"Cannot Open "_s + path + u"\r\nError: 2 ("_s) &&
                         shown.first().text.endsWith(u')'),
                     qPrintable(shown.first().text));
        if (!query.isEmpty()) {
            QString domain;
            const int index = srv ? tables.FindTldEntry(query, &domain) : tables.FindRirEntry(query);
            QCOMPARE(index < 0 ? QString::number(index)
                     : srv     ? u"%1|%2|%3"_s.arg(index).arg(domain).arg(tables.tldTable().at(index).port)
                               : u"%1|%2"_s.arg(index).arg(tables.rirTable().at(index).server),
                     found);
            return;
        }
        const QStringList why = found.split(u'|'); // reason, line, layout
        QVERIFY(tables.rirTable().isEmpty() && tables.rir6Table().isEmpty() && tables.tldTable().isEmpty());
        const QString quoted = u'"' + QString(file.split(u'\n').at(why.at(1).toInt() - 1)).remove(u'\r') + u'"';
        QCOMPARE(shown.first().text,
                 path + u" is corrupt ("_s + why.at(0) + u").\r\nError occured in Line "_s + why.at(1) +
                     (why.at(2) == u"A"_s ? u"\r\n"_s + quoted + u"\r\n"_s : quoted + u"\r\n\r\n"_s) +
                     u"Please replace file or reinstall program."_s);
    }

    // The shipped tables load silently, map every delegated /8 and the IPv6 blocks to their registries, and no
    // server line is shadowed by an earlier one that matches every name it matches.
    void shippedTables()
    {
        Sandbox box;
        AppPaths::setProgramFolder(qEnvironmentVariable("NW_DATA_DIR", QCoreApplication::applicationDirPath()));
        WhoIs whois;
        WhoisTables tables;
        tables.LoadTldTable();
        QVERIFY2(box.prompts().shown().isEmpty(), qPrintable(box.prompts().texts().join(u'\n')));
        QStringList servers;
        for (const char* address : {"172.16.5.4", "2001:400::1", "2c0f:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
                                    "2001:db8::1", "fd00::1", "host.example.invalid"})
            servers << whois.WhoisServer(QLatin1String(address));
        QCOMPARE(servers, (QStringList{u"private"_s, u"whois.arin.net"_s, u"whois.afrinic.net"_s, u"private"_s,
                                       QString(), u"whois.iana.org"_s}));
        const QStringList registries{u"whois.arin.net"_s, u"whois.ripe.net"_s, u"whois.apnic.net"_s,
                                     u"whois.lacnic.net"_s, u"whois.afrinic.net"_s};
        // IANA reserves 0/8, 10/8, 127/8 and everything from 224/8 up.
        for (int first = 1; first < 256; ++first)
            QVERIFY2(registries.contains(whois.WhoisServer(u"%1.1.2.3"_s.arg(first))) !=
                         (first == 10 || first == 127 || first >= 224),
                     qPrintable(QString::number(first)));
        const auto& table = tables.tldTable();
        for (int i = 0; i < table.size(); ++i)
            for (int j = i + 1; j < table.size(); ++j)
                QVERIFY2(table.at(j).pattern != table.at(i).pattern &&
                             !table.at(j).pattern.endsWith(u'.' + table.at(i).pattern),
                         qPrintable(table.at(j).pattern));
    }

    // The command-line tool as a user runs it, beside the shipped tables, every server routed to loopback peers.
    void whoisCommand_data()
    {
        // args: after routes to the two peers, %C stands for a closed port; stdoutHas: texts apart by |
        columns<QString, QString, int, QString, QString>("args", "registryAnswer", "exitCode", "stdoutHas", "lastLine");
        row("referral followed, abuse address chosen", "8.8.8.8", "ReferralServer\nWhois Server: whois.example.net\n",
            0,
            "Servers asked: whois.arin.net:43 -> whois.example.net:43|noc@example.net|Whois Server: whois.example.net",
            "abuse@example.net");
        row("registry mailboxes only: empty last line", "8.8.4.4", "NetName: X\nhostmaster@ripe.net\n", 2, "NetName: X",
            "");
        row("no registry for the address", "10.1.2.3", "", 1, "", "Servers asked: ");
        row("refused connection", "--route whois.ripe.net=127.0.0.1:%C 193.0.6.139", "", 1, "",
            "Servers asked: whois.ripe.net:43");
        row("select only", "--select-only 8.8.8.8 10.1.2.3 www.example.co.uk", "", 2,
            u"8.8.8.8\twhois.arin.net\t43\t8.8.8.8|10.1.2.3\t"_s + nw::WhoIs::unmatchedText(),
            "www.example.co.uk\twhois.nic.uk\t43\texample.co.uk");
        row("select only, IPv6: registry space, IPv4 inside by that address",
            "--select-only 2a00:1450:4001::1 ::ffff:41.1.2.3 2002:808:808::1", "", 0,
            "2a00:1450:4001::1\twhois.ripe.net\t43\t2a00:1450:4001::1|::ffff:41.1.2.3\twhois.afrinic.net\t43\t41.1.2.3",
            "2002:808:808::1\twhois.arin.net\t43\t8.8.8.8");
        row("malformed route: a usage error", "--route whois.arin.net 8.8.8.8", "", 2, "", "");
    }
    void whoisCommand()
    {
        const auto [args, registryAnswer, exitCode, stdoutHas, lastLine] =
            fetch<QString, QString, int, QString, QString>("args", "registryAnswer", "exitCode", "stdoutHas",
                                                           "lastLine");
        ScriptedPeer registry(ScriptedPeer::answer(registryAnswer.toLatin1()));
        ScriptedPeer registrar(ScriptedPeer::answer("tech: noc@example.net\nabuse: abuse@example.net\n"));
        const QString routes =
            u"whois --route whois.arin.net=127.0.0.1:%1 --route WHOIS.example.NET=127.0.0.1:%2 --delay 100 "_s;
        const CliRun cli = runCli((routes.arg(registry.port()).arg(registrar.port()) +
                                   QString(args).replace(u"%C"_s, QString::number(ScriptedPeer::closedPort())))
                                      .split(u' '));
        const QString out = QString::fromLocal8Bit(cli.out);
        QCOMPARE(cli.exitCode, exitCode);
        for (const QString& text : stdoutHas.split(u'|', Qt::SkipEmptyParts))
            QVERIFY2(out.contains(text), qPrintable(out));
        QCOMPARE(out.isEmpty() ? QString() : out.chopped(1).section(u'\n', -1), lastLine);
        // Failures say why on stderr; a chosen address needs no message.
        if (exitCode != 2)
            QCOMPARE(cli.err.isEmpty(), exitCode == 0);
    }
};

NW_TEST_CLASS(TstWhois)
#include "tst_whoisclient.moc"
