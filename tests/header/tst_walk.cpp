#include "header/HostUtils.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/SourceWalk.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

namespace {

// Reverse names from a table of "IP NAME" entries, counting the look-ups made.
class CountingResolver : public TableResolver {
public:
    explicit CountingResolver(const QStringList& names)
    {
        for (const QString& entry : names)
            add(entry.section(u' ', 0, 0), entry.section(u' ', 1, 1));
    }
    int lookUps = 0;
    QString nameOf(const QByteArray& address) override
    {
        ++lookUps;
        return TableResolver::nameOf(address);
    }
};

const QString kStamp = u"Mon, 01 Jan 2001 12:%1:00 +0000"_s;

QString hop(const QString& from, const QString& ip, const QString& by, int minute)
{
    const QString sender = ip.isEmpty() ? from : u"%1 (%1 [%2])"_s.arg(from, ip);
    return u"Received: from %1\r\n\tby %2 with SMTP; %3\r\n"_s.arg(sender, by,
                                                                   kStamp.arg(minute, 2, 10, QLatin1Char('0')));
}

} // namespace

// Finding where a message came from: the name service, the plain walk and the walk past the own hops.
class TstWalk : public QObject {
    Q_OBJECT

private slots:
    // `fails` says which step of the name service fails; every message has the program's title, OK and `icon`.
    void reverseLookUpAndItsMessages_data()
    {
        columns<QString, QString, QString, QStringList, PromptIcon>("ip", "fails", "name", "messages", "icon");
        const QString invalid = u"String passed is an invalid IP."_s;
        const QString cleanup = u"Windows Sockets error occurred in Cleanup."_s;
        const PromptIcon exclamation = PromptIcon::Exclamation;
        row("known address", "192.0.2.1", "", "a.example", QStringList(), exclamation);
        row("empty text", "", "", "", QStringList{invalid}, exclamation);
        row("a name", "mail.example", "", "", QStringList{invalid}, exclamation);
        row("name service does not start", "192.0.2.1", "start", "", QStringList{u"Sockets failed to initialize."_s},
            PromptIcon::Critical);
        row("release fails after an answer", "192.0.2.1", "stop", "a.example", QStringList{cleanup}, exclamation);
        row("release fails after an invalid text", "", "stop", "", QStringList{invalid, cleanup}, exclamation);
    }
    void reverseLookUpAndItsMessages()
    {
        const auto [ip, fails, name, messages, icon] =
            fetch<QString, QString, QString, QStringList, PromptIcon>("ip", "fails", "name", "messages", "icon");
        Sandbox box;
        CountingResolver resolver({u"192.0.2.1 a.example"_s});
        resolver.failStart = fails == u"start"_s;
        resolver.failStop = fails == u"stop"_s;
        QCOMPARE(GetHostNameFromIP(resolver, ip), name);
        QCOMPARE(box.prompts().texts(), messages);
        for (const Prompt& p : box.prompts().shown())
            QCOMPARE(std::tuple(p.title, p.buttons, p.icon), std::tuple(u"Nettlewright"_s, PromptButtons::Ok, icon));
    }

    // `chosen` is the hop whose line and stamp the analysis gets, 0 for none: then nothing is touched.
    // `result` is "ip|hostName|look-ups|messages".
    void walksTheHops_data()
    {
        columns<QString, QString, int, QString>("header", "names", "chosen", "result");
        const QString a1 = hop(u"a.example"_s, u"192.0.2.1"_s, u"mx.example"_s, 1);
        const QString b2 = hop(u"b.example"_s, u"192.0.2.2"_s, u"a.example"_s, 2);
        const QString both = u"192.0.2.1 a.example,192.0.2.2 b.example"_s;
        const QString noAddress = hop(u"localhost"_s, QString(), u"mx.example"_s, 1);
        row("b: one line, name matches, last hop", a1, both, 1, "192.0.2.1|a.example|1|");
        row("b: one line, name differs, blamed on itself", a1, u"192.0.2.1 other.example"_s, 1,
            "192.0.2.1|other.example|1|");
        row("b: one line, no reverse name", a1, QString(), 1, "192.0.2.1||1|");
        row("b: consistent chain reaches the last hop", a1 + b2, both, 2, "192.0.2.2|b.example|2|");
        row("b: mismatch at hop 2 blames hop 1", a1 + b2, u"192.0.2.1 a.example,192.0.2.2 x.example"_s, 1,
            "192.0.2.1|a.example|2|");
        row("b: sender not the next line's recorder stops there",
            a1 + hop(u"b.example"_s, u"192.0.2.2"_s, u"elsewhere.example"_s, 2), both, 1, "192.0.2.1|a.example|1|");
        row("a: empty sender at hop 1 is looked up and chosen",
            u"Received: from [192.0.2.9] by mx.example with SMTP; Mon, 01 Jan 2001 12:09:00 +0000\r\n"_s,
            u"192.0.2.9 dyn.example"_s, 9, "192.0.2.9|dyn.example|1|");
        row("a: empty sender at hop 2 chooses hop 1",
            a1 + u"Received: from [192.0.2.9] by a.example; Mon, 01 Jan 2001 12:09:00 +0000\r\n"_s, both, 1,
            "192.0.2.1|a.example|1|");
        row("a: no sender and no address asks about an empty address",
            u"Received: from  by mx.example; Mon, 01 Jan 2001 12:07:00 +0000\r\n"_s, both, 7,
            "||0|String passed is an invalid IP.");
        row("c: first hop without address, hop 2 chosen unseen", noAddress + b2, both, 2, "192.0.2.2||0|");
        row("c: single hop without address", noAddress, both, 1, "||0|");
        row("c: address-less last hop leaves the hop above", a1 + hop(u"localhost"_s, QString(), u"a.example"_s, 2),
            both, 1, "192.0.2.1|a.example|1|");
        row("c: mismatch after an address-less hop blames it and yields nothing",
            a1 + hop(u"a.example"_s, QString(), u"a.example"_s, 2) + hop(u"c.example"_s, u"192.0.2.3"_s, u"x"_s, 3),
            both, 2, "||2|");
        row("a Received-by line takes a hop's place",
            a1 + u"Received: (qmail 1 invoked by uid 2); Mon, 01 Jan 2001 12:05:00 +0000\r\n"_s + b2, both, 1,
            "192.0.2.1|a.example|1|");
        row("no lines", "", both, 0, "0|old|0|");
        row("Received: by only", "Received: by mx.example; Mon, 01 Jan 2001\r\n", both, 0, "0|old|0|");
    }
    void walksTheHops()
    {
        const auto [header, names, chosen, result] =
            fetch<QString, QString, int, QString>("header", "names", "chosen", "result");
        Sandbox box;
        CountingResolver resolver(names.split(u',', Qt::SkipEmptyParts));
        HeaderAnalysis analysis{u"old"_s, u"old"_s, u"old"_s, u"old"_s, u"old"_s};
        const QString ip = OriginatingIP(resolver, header, analysis);
        QCOMPARE(
            QStringList({ip, analysis.hostName, QString::number(resolver.lookUps), box.prompts().texts().join(u';')})
                .join(u'|'),
            result);
        const QString stamp = chosen ? kStamp.arg(chosen, 2, 10, QLatin1Char('0')) : u"old"_s;
        QCOMPARE(analysis.timeStamp, stamp);
        QVERIFY2(analysis.receivedLine.startsWith(chosen ? u"Received: "_s : stamp) &&
                     analysis.receivedLine.contains(stamp),
                 qPrintable(analysis.receivedLine));
        QCOMPARE(analysis.ip + analysis.ipHostName, u"oldold"_s); // the caller stores the result
    }

    // Forward look-ups: addresses come back as text, zero bytes as one digit and high bytes unsigned; an unknown
    // name gives nothing, no name this machine. The drop folder's analysis: not a full header sets nothing, an
    // address gets its reverse name, without one (or with the overflow's "0") the old name stays. Files: names
    // are trimmed, wildcards match, hidden files and folders do not count.
    void lookUpsAndFiles()
    {
        Sandbox box;
        box.writeFile(u"message.eml"_s, "x");
        box.writeFile(u".hidden"_s, "x");
        QDir(box.programFolder()).mkdir(u"folder"_s);
        QString exist;
        for (const QString& path : {u"%F/message.eml"_s, u"  %F/message.eml  "_s, u"%F/missing.eml"_s, u"%F/.hidden"_s,
                                    u"%F/folder"_s, u"%F/folder/"_s, u"%F/*.eml"_s, u"   "_s})
            exist += FileExists(QString(path).replace(u"%F"_s, box.programFolder())) ? u'1' : u'0';
        QCOMPARE(exist, u"11000010"_s);
        CountingResolver resolver({u"10.0.0.1 zero.example"_s, u"255.255.255.254 high.example"_s,
                                   u"127.0.0.1 localhost"_s, u"192.0.2.1 a.example"_s});
        QStringList found;
        for (const QString& name : {u"zero.example"_s, u"high.example"_s, u"nowhere.example"_s, QString()})
            found << GetIPFromHostName(resolver, name);
        for (const QString& header :
             {u"Subject: hello\r\n"_s, u"Received: from [192.0.2.1] by mx.example; Mon\r\n"_s,
              u"Received: from localhost by mx.example; Mon\r\n"_s, QString(32766, u' ') + u"Received: from x"_s}) {
            HeaderAnalysis analysis{u"old"_s, {}, {}, {}, u"old"_s};
            const bool full = analyzeHeader(resolver, header, analysis);
            found << u"%1|%2|%3"_s.arg(full).arg(analysis.ip, analysis.ipHostName);
        }
        QCOMPARE(found, QStringList({u"10.0.0.1"_s, u"255.255.255.254"_s, QString(), u"127.0.0.1"_s, u"0|old|old"_s,
                                     u"1|192.0.2.1|a.example"_s, u"1||old"_s, u"1|0|old"_s}));
        QCOMPARE(box.prompts().texts(), QStringList{u"Error 6: Overflow"_s}); // the overflow's alone
    }

    // Headers as the mail servers of each family write them. The recipient's own servers sit in
    // 203.0.113.0/24 or private space, senders in 198.51.100.0/24 and 2001:db8::/32, the sender's own clients
    // in 192.0.2.0/24. `result` is "the plain walk's answer, which the mode must not change|source|name".
    void findsTheSource_data()
    {
        columns<QString, QString>("ownHosts", "result"); // the row's name is the message file in headers/
        row("postfix-behind-amavis.eml", "", "127.0.0.1|198.51.100.7|mta.sender.example");
        row("exim-greeting-literal-lmtp.eml", "", "203.0.113.30|198.51.100.44|");
        row("exim-port-and-greeting.eml", "", "127.0.0.1|198.51.100.45|");
        row("exim-back-to-itself.eml", "", "203.0.113.31|198.51.100.46|");
        row("sendmail-private-relay.eml", "", "10.0.0.5|198.51.100.77|");
        row("qmail-greeting-recipient-host.eml", "", "198.51.100.88|198.51.100.88|");
        row("exchange-on-premises.eml", "", "10.20.0.12|198.51.100.90|");
        row("exchange-public-edge.eml", "203.0.113.40", "203.0.113.40|198.51.100.90|");
        row("exchange-neighbouring-network.eml", "", "203.0.112.5|203.0.112.5|"); // the same /16, not /24
        row("microsoft-365-ipv6.eml", "", "|198.51.100.91|");
        row("senders-exchange-below-boundary.eml", "", "198.51.100.7|198.51.100.7|mta.sender.example");
        row("webmail-mx-ipv6-sender.eml", "", "|2001:db8:77::25|mail.promo.example");
        row("webmail-authenticated-customer.eml", "", "198.51.100.140|198.51.100.140|");
        row("webmail-browser.eml", "", "10.217.150.12|198.51.100.130|");
        row("webmail-mx-address-first.eml", "", "10.217.151.75|198.51.100.131|");
        row("fetchmail.eml", "", "127.0.0.1|198.51.100.120|");
        row("fetchmail-imap.eml", "", "127.0.0.1|198.51.100.120|");
        row("qmail-helo-literal.eml", "", "198.51.100.89|198.51.100.89|");
        row("content-filter-public.eml", "", "203.0.113.50|198.51.100.150|");
        row("courier-ipv4-mapped.eml", "", "198.51.100.160|198.51.100.160|");
        row("postfix-ipv6-prefix-relay.eml", "3fff::/20", "|2001:db8:100::1|");
        row("postfix-relay-by-domain.eml", "example.com", "203.0.113.60|198.51.100.170|");
        // Only the name the recording host found in the name service counts: greetings are the client's
        // own claim, and spam often greets with the recipient's host name.
        row("postfix-greeting-recording-host.eml", "mail.example.com", "198.51.100.180|198.51.100.180|");
        row("sendmail-listed-forged-name.eml", "relay.example.com", "198.51.100.181|198.51.100.181|");
        row("sendmail-no-reverse-name.eml", "mail.example.com", "198.51.100.183|198.51.100.183|");
        row("exchange-greeting-recording-host.eml", "mail.example.com", "198.51.100.182|198.51.100.182|");
        row("whole-chain-inside.eml", "", "192.168.1.30||");
    }
    void findsTheSource()
    {
        const auto [ownHosts, result] = fetch<QString, QString>("ownHosts", "result");
        Sandbox box;
        const QString path = QStringLiteral(NW_HEADERS_DIR "/") + QLatin1StringView(QTest::currentDataTag());
        StringSink view;
        LoadMessageHeader(path, view);
        CountingResolver resolver({u"198.51.100.7 mta.sender.example"_s, u"2001:db8:77::25 mail.promo.example"_s});
        SourceRules rules;
        rules.ownHosts = OwnHosts::parse(ownHosts);
        HeaderAnalysis plain;
        QVERIFY(analyzeMessage(resolver, view.text(), path, rules, plain));
        rules.skipOwnHops = true;
        // When the file has gone since it was loaded, the loaded text serves.
        for (const QString& from : {path, box.path(u"gone.eml"_s)}) {
            HeaderAnalysis a;
            QVERIFY(analyzeMessage(resolver, view.text(), from, rules, a));
            QCOMPARE(QStringList({plain.ip, a.ip, a.hostName}).join(u'|'), result);
            QCOMPARE(a.ipHostName, a.hostName);
            // The other fields describe the chosen hop.
            QVERIFY2(a.ip.isEmpty() || (a.receivedLine.startsWith(u"Received: "_s) &&
                                        a.receivedLine.contains(a.ip, Qt::CaseInsensitive) && !a.timeStamp.isEmpty() &&
                                        a.receivedLine.simplified().contains(a.timeStamp.simplified())),
                     qPrintable(a.receivedLine + u'|' + a.timeStamp));
        }
        QVERIFY(box.prompts().texts().isEmpty());
    }
};

NW_TEST_CLASS(TstWalk)
#include "tst_walk.moc"
