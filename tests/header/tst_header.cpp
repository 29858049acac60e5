#include "header/AddressList.h"
#include "header/HostUtils.h"
#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "header/SourceWalk.h"
#include "header/Text.h"
#include "platform/Resolver.h"
#include "support/Test.h"

#include <QDir>
#include <QFile>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QString kMarker = u"\r\n<----MESSAGE TRUNCATED---->"_s;

// Keeps every pointer change, so a load that fails still shows it restored.
class RecordingSink : public StringSink {
public:
    QList<bool> busy;
    void setBusy(bool on) override { busy << on; }
};

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

const QByteArray kHop = hop(u"a.example"_s, u"192.0.2.1"_s, u"mx.example"_s, 1).toLatin1();

} // namespace

class TstHeader : public QObject {
    Q_OBJECT

private slots:
    // A `path` names a file that is not written; without one, `file` is the message's bytes.
    void loadsHeader_data()
    {
        columns<QString, QByteArray, QString, QString>("path", "file", "view", "failure");
        const auto bytes = [](const char* name, const QByteArray& file, const QString& view) {
            row(name, QString(), file, view, QString());
        };
        bytes("lines above Received: from are dropped", "X: 1\r\nReceived: from x\r\nS: s\r\n",
              u"Received: from x\r\nS: s\r\n"_s);
        bytes("LF ends become CR LF, the last one too", "Received: from x\n\nc", u"Received: from x\r\n\r\nc\r\n"_s);
        bytes("a CR alone or before CR LF ends no line", "Received: from a\rb\r\r\n", u"Received: from a\rb\r\r\n"_s);
        bytes("lower case starts no header", "X: 1\nreceived: from x\n", u"X: 1\r\nreceived: from x\r\n"_s);
        bytes("empty file", {}, {});
        static constexpr char nulAndHigh[] = "Received: from \0\xe9\xff x\n";
        bytes("NUL and high bytes pass unchanged", QByteArray(nulAndHigh, sizeof nulAndHigh - 1),
              u"Received: from \0\u00e9\u00ff x\r\n"_s);
        bytes("1300 bytes with LF ends make 1301 characters", "Received: from " + QByteArray(1284, 'a') + "\n",
              u"Received: from "_s + QString(1284, u'a') + u"\r"_s + kMarker);
        bytes("1300 characters shown unchanged, counted from the header, not the file",
              QByteArray(5000, 'p') + "Received: from " + QByteArray(1283, 'a') + "\r\n",
              u"Received: from "_s + QString(1283, u'a') + u"\r\n"_s);
        bytes("text without a header is cut too", QByteArray(2000, 'z'), QString(1300, u'z') + kMarker);
        // The first received line's position is 16-bit: beyond 32,767 the load overflows, keeping what it read.
        const auto firstAt = [](const char* name, const QByteArray& before, bool overflows) {
            const QByteArray file = before + "Received: from x by y\n";
            const QString top = QString::fromLatin1(file.left(kHeaderReadLimit).replace("\n", "\r\n"));
            row(name, QString(), file, overflows ? top : u"Received: from x by y\r\n"_s,
                overflows ? u"Overflow"_s : QString());
        };
        firstAt("position 32767", QByteArray(32766, 'x'), false);
        firstAt("position 32768", QByteArray(32767, 'x'), true);
        // Each bare LF gains a CR, moving the position on: 10922 lines of "x\n" put it at 32767.
        firstAt("bare LFs counted: 32767", QByteArray("x\n").repeated(10922), false);
        firstAt("a bare LF first in the file: 32768", "\n" + QByteArray("x\n").repeated(10921) + "xx", true);
        // Only the top of the file is held; the rest is searched in pieces, across their seams.
        firstAt("beyond what is held, across a seam", QByteArray(kHeaderReadLimit - 5, 'x'), true);
        row("missing", u"missing.eml"_s, QByteArray(), QString(), u"File not found"_s);
        // Opening one for reading would wait for a writer for ever.
        row("a FIFO", u"fifo.eml"_s, QByteArray(), QString(), u"Not a regular file"_s);
    }
    void loadsHeader()
    {
        const auto [path, file, view, failure] =
            fetch<QString, QByteArray, QString, QString>("path", "file", "view", "failure");
        Sandbox box;
        QVERIFY(mkfifo(QFile::encodeName(box.path(u"fifo.eml"_s)).constData(), 0600) == 0);
        RecordingSink sink;
        sink.setText(u"previous message"_s);
        LoadMessageHeader(path.isEmpty() ? box.writeFile(u"m.eml"_s, file) : QDir(box.programFolder()).filePath(path),
                          sink);
        QCOMPARE(sink.text(), view);
        QCOMPARE(box.prompts().texts(), failure.isEmpty() ? QStringList() : QStringList{failure});
        for (const Prompt& p : box.prompts().shown())
            QCOMPARE(std::tuple(p.title, p.icon), std::tuple(u"Nettlewright"_s, PromptIcon::None));
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
    }

    // "full|count|line n": whether a text is a full header, how many received lines it has and the n-th one.
    void countsAndCutsReceivedLines_data()
    {
        columns<QString, int, QString>("text", "n", "result");
        const QString three = u"Received: from a by b; date\r\nReceived: from c by d; date\r\nFrom: x\r\n"_s;
        row("first line keeps its CR", three, 1, "1|2|Received: from a by b; date\r");
        row("last line ends before From:", three, 2, "1|2|Received: from c by d; date\r");
        row("fewer lines than n", three, 3, "1|2|");
        row("n of zero", three, 0, "1|2|");
        row("line break after from: counted, not full", "Received: from\r\na", 1, "0|1|Received: from\r");
        row("adjacent occurrences", "RECEIVED: FROMRECEIVED: FROM ", 2, "1|2|RECEIVED: FRO");
        row("no space after the colon", "Received:from a", 1, "0|0|");
        row("occurrence at 32766", QString(32765, u' ') + u"Received: from x"_s, 1, "1|1|Received: from");
        row("32767 overflows the next search", QString(32766, u' ') + u"Received: from x"_s, 1, "1|0|Received: from");
        row("Message-ID first", "Received: from a\r\nMessage-Id: <1>\r\nFrom: z\r\n", 1, "1|1|Received: from a\r");
        row("From: first", "Received: from a\r\nX: y\r\nfrom: z\r\nMessage-ID: <1>\r\n", 1,
            "1|1|Received: from a\r\nX: y\r");
        row("neither: the end less two characters, trimmed", "Received: from a   xy", 1, "1|1|Received: from a");
        row("Received: by lines are lines too, but not counted", "Received: by x; d\r\nReceived: from y by z; d\r\n", 1,
            "1|1|Received: by x; d\r");
        row("Received: without a space does not end a line", "Received: from a\r\nReceived:from b\r\n", 1,
            "1|1|Received: from a\r\nReceived:from b");
        row("from: inside the line itself ends it", "Received: from: spoof\r\n", 1, "0|1|Received:");
    }
    void countsAndCutsReceivedLines()
    {
        const auto [text, n, result] = fetch<QString, int, QString>("text", "n", "result");
        Sandbox box;
        const bool full = IsFullHeader(text);
        const int count = ReceivedLineCount(text);
        QCOMPARE(u"%1|%2|"_s.arg(full).arg(count) + GetReceivedLine(text, n), result);
        // A full header with no line counted is the overflow, and it is logged.
        const QByteArray log = box.errorLog();
        QCOMPARE(log.contains("Description: Overflow") && log.contains("\t1 - RECEIVEDLINECOUNT"), full && count == 0);
    }

    // Files no mail program saves: the analysis must not crash, hang or grow without bound, and still be right.
    void hostileFiles_data()
    {
        columns<QByteArray, qint64, bool, QString>("fill", "size", "overflow", "ip");
        constexpr qint64 large = 50 << 20;
        row("50 MB of LF lines, header at the start", kHop + QByteArray("spam body line\n").repeated(1 << 16), large,
            false, u"192.0.2.1"_s);
        row("50 MB without any line end or header", QByteArray("x"), large, false, QString());
        row("50 MB, header far inside: overflow, the top is kept", QByteArray("body\r\n").repeated(1 << 17) + kHop,
            large, true, QString());
        const QByteArray noise = randomBytes(1 << 20);
        const auto binary = [](const char* name, const QByteArray& bytes, const QString& ip) {
            row(name, bytes, qint64(bytes.size()), false, ip);
        };
        binary("random bytes after a header", kHop + noise, u"192.0.2.1"_s);
        binary("random bytes inside received lines",
               "Received: from " + noise.left(400) + "\r\nReceived: from [" + noise.mid(400, 400) + "] by x\r\n",
               QString());
        static constexpr char nulNames[] = "Received: from a\0.example (a\0.example [192.0.2.1])\r\n"
                                           "\tby mx\0.example with SMTP; Mon\0\r\n";
        binary("NUL bytes in names", QByteArray(nulNames, sizeof nulNames - 1), u"192.0.2.1"_s);
        // Only the first lines reach the walk; the first hop has no reverse name.
        QString many;
        for (int i = 1; i <= 10000; ++i)
            many += hop(u"h%1.example"_s.arg(i), u"192.0.2.%1"_s.arg(i % 250 + 1), u"h%1.example"_s.arg(i - 1), 0);
        binary("ten thousand received lines", many.toLatin1(), u"192.0.2.2"_s);
    }
    void hostileFiles()
    {
        const auto [fill, size, overflow, ip] =
            fetch<QByteArray, qint64, bool, QString>("fill", "size", "overflow", "ip");
        Sandbox box;
        QFile file(box.path(u"large.eml"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        // Written a megabyte at a time, so that the test itself holds little.
        const QByteArray block = fill.repeated(qMax<qsizetype>(1, (1 << 20) / fill.size()));
        for (qint64 written = 0; written < size;)
            written += file.write(block.left(qMin<qint64>(block.size(), size - written)));
        file.close();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const long before = usage.ru_maxrss; // in kilobytes
        StringSink view;
        LoadMessageHeader(file.fileName(), view);
        TableResolver resolver;
        HeaderAnalysis analysis;
        analyzeHeader(resolver, view.text(), analysis);
        QCOMPARE(view.text().size() > 1300 + kMarker.size(), overflow);
        QCOMPARE(box.prompts().texts().contains(u"Overflow"_s), overflow);
        QCOMPARE(analysis.ip, ip);
        getrusage(RUSAGE_SELF, &usage);
        QVERIFY2(usage.ru_maxrss - before < 5 << 10, qPrintable(QString::number(usage.ru_maxrss - before)));
    }

    // Each routine walks a line a bounded number of times: megabyte lines without a delimiter finish at once.
    void linesWithoutDelimiters()
    {
        for (const QString& fill : {u"a"_s, u"1.1."_s, u"["_s, u" "_s, u";"_s}) {
            const QString line = u"Received: from x"_s + fill.repeated((1 << 20) / fill.size());
            const ReceivedHop hop = splitReceivedLine(line);
            QVERIFY(hop.fromHost.size() <= line.size() && hop.byHost.isEmpty() && hop.timeStamp.size() <= 31);
            QVERIFY(hop.ip.isEmpty() || IsIPAddress(hop.ip));
            const QString cut = GetReceivedLine(line, 1);
            QVERIFY(cut.startsWith(u"Received: from"_s) && cut.size() <= line.size() - 2);
        }
    }

    // `chosen` is the hop whose line and stamp the analysis gets, 0 for none: then nothing is touched. `result`
    // is "ip|hostName|look-ups|messages"; a name "!start" or "!stop" fails that step of the name service.
    void walksTheHops_data()
    {
        columns<QString, QString, int, QString>("header", "names", "chosen", "result");
        const QString a1 = QString::fromLatin1(kHop);
        const QString b2 = hop(u"b.example"_s, u"192.0.2.2"_s, u"a.example"_s, 2);
        const QString both = u"192.0.2.1 a.example,192.0.2.2 b.example"_s;
        const QString noAddress = hop(u"localhost"_s, QString(), u"mx.example"_s, 1);
        row("b: one line, name differs, blamed on itself (the release fails)", a1, u"192.0.2.1 other.example,!stop"_s,
            1, "192.0.2.1|other.example|1|Windows Sockets error occurred in Cleanup.");
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
        row("a: no sender and no address asks about an empty address (the release fails)",
            u"Received: from  by mx.example; Mon, 01 Jan 2001 12:07:00 +0000\r\n"_s, both + u",!stop"_s, 7,
            "||0|String passed is an invalid IP.;Windows Sockets error occurred in Cleanup.");
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
        row("name service does not start", a1, u"!start"_s, 1, "192.0.2.1||0|Sockets failed to initialize.");
        // inet_addr reads the broadcast address as its error value.
        row("broadcast address", hop(u"b.example"_s, u"255.255.255.255"_s, u"mx.example"_s, 1), both, 1,
            "255.255.255.255||0|String passed is an invalid IP.");
        row("Received: by only", "Received: by mx.example; Mon, 01 Jan 2001\r\n", both, 0, "0|old|0|");
    }
    void walksTheHops()
    {
        const auto [header, names, chosen, result] =
            fetch<QString, QString, int, QString>("header", "names", "chosen", "result");
        Sandbox box;
        CountingResolver resolver(names.split(u',', Qt::SkipEmptyParts));
        resolver.failStart = names.contains(u"!start"_s);
        resolver.failStop = names.contains(u"!stop"_s);
        HeaderAnalysis analysis{u"old"_s, u"old"_s, u"old"_s, u"old"_s, u"old"_s};
        const QString stamp = chosen ? kStamp.arg(chosen, 2, 10, QLatin1Char('0')) : u"old"_s;
        // The caller stores the address and its name.
        QCOMPARE(QStringList({OriginatingIP(resolver, header, analysis), analysis.hostName,
                              QString::number(resolver.lookUps), box.prompts().texts().join(u';'), analysis.timeStamp,
                              analysis.ip + analysis.ipHostName})
                     .join(u'|'),
                 result + u'|' + stamp + u"|oldold"_s);
        QVERIFY(analysis.receivedLine.startsWith(chosen ? u"Received: "_s : stamp) &&
                analysis.receivedLine.contains(stamp));
        for (const Prompt& p : box.prompts().shown())
            QCOMPARE(std::tuple(p.title, p.buttons, p.icon),
                     std::tuple(u"Nettlewright"_s, PromptButtons::Ok,
                                p.text.startsWith(u"Sockets"_s) ? PromptIcon::Critical : PromptIcon::Exclamation));
    }

    // Forward look-ups: zero bytes read as one digit, high bytes unsigned; no name means this machine. Analysis:
    // not a full header sets nothing, an address gets its reverse name, without one (or with the overflow's "0")
    // the old name stays. Files: names are trimmed, wildcards match, hidden files and folders do not count.
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
            QCOMPARE(QStringList({plain.ip, a.ip, a.hostName, a.ipHostName}).join(u'|'),
                     result + u'|' + result.section(u'|', 2));
            QVERIFY(a.ip.isEmpty() ||
                    (a.receivedLine.startsWith(u"Received: "_s) && a.receivedLine.contains(a.ip, Qt::CaseInsensitive) &&
                     !a.timeStamp.isEmpty() && a.receivedLine.simplified().contains(a.timeStamp.simplified())));
        }
        QVERIFY(box.prompts().texts().isEmpty());
    }

    // Both searches jump between occurrences of one character of the needle; they must find what a plain
    // search finds, at every boundary, and the upper-case one also where case conversion leaves ASCII.
    void searchesFindWhatIndexOfFinds_data()
    {
        columns<QString, int, QString>("text", "start", "what");
        row("anchor inside the needle, match at the start", "ab:c", 1, "ab:");
        row("match begins before the start position", ":ab", 2, ":a");
        row("second anchor occurrence matches", "a:b:c", 1, ":c");
        row("anchor too close to the end", "xxfrom:", 1, "from: ");
        row("needle longer than the text", "by", 1, "by:");
        row("letters only", "lobby by", 4, "by");
        row("start at the last character", "a;b;", 4, ";");
        row("mixed case", "x received: From y", 1, "received: from");
        row("from a later start", "received: from received: from", 2, "received: from");
        row("dotless i upper-cases to I", u"Rece\u0131ved: from"_s, 1, "received: from");
        row("dotless i first in a needle of letters", u"x\u0131n"_s, 1, "in");
        row("sharp s stays", u"\u00DFreceived: from"_s, 1, "received: from");
        row("start beyond the text", "received: from", 20, "received: from");
    }
    void searchesFindWhatIndexOfFinds()
    {
        const auto [text, start, what] = fetch<QString, int, QString>("text", "start", "what");
        QCOMPARE(text::InStr(start, text, what), int(text.indexOf(what, start - 1)) + 1);
        const QByteArray upper = what.toUpper().toLatin1();
        QCOMPARE(text::InStrUpper(start, text, QLatin1StringView(upper)),
                 int(text::UCase(text).indexOf(QLatin1StringView(upper), start - 1)) + 1);
    }

    // "from|ip|by|stamp": the four routines that take a received line apart, and the walk's one pass.
    void takesReceivedLinesApart_data()
    {
        columns<QString, QString>("line", "fields"); // the line after "Received: "
        row("name in parentheses before a bracketed address",
            "from mail.example (mail.example [192.0.2.10]) by mx with SMTP; Mon", "mail.example|192.0.2.10|mx|Mon");
        row("bare bracketed address has no host", "from [192.0.2.10] by mx.example", "|192.0.2.10||");
        row("by inside a host name ends the part early", "from relay.lobby.example [192.0.2.7] by mx with SMTP",
            "relay.lo||.example [192.0.2.7] by mx|");
        row("by before from: no from part", "by mx.example from x.example [192.0.2.1]", "|||");
        row("no from at all: cut from the fifth character", "by mx.example", "ived:|||");
        row("no by: the semicolon ends the part", "from host.example (192.0.2.9); Mon", "host.example|192.0.2.9||Mon");
        row("end of line ends it, less two characters", "from host.example [192.0.2.5]", "192.0.2.|||");
        row("second bracket holds the address", "from [10.0.0.1] (helo [192.0.2.5]) by mx", "10.0.0.1|192.0.2.5||");
        row("third bracket when the second holds none", "from h.example [192.0.2.1] [unknown] [192.0.2.9] by mx",
            "192.0.2.1|192.0.2.9||");
        row("unclosed bracket: the whole part", "from h.example [192.0.2.1 by mx", "h.example|192.0.2.1||");
        row("eight-character address inside text is not found", "from h.example (10.0.0.1) by mx", "10.0.0.1|||");
        row("last name-like word wins, address word skipped",
            "from unknown (HELO shop.example) (198.51.100.61)\r\n  by mx", "shop.example|198.51.100.61||");
        row("no dotted word: first word", "from unknown (HELO shop) (198.51.100.61) by mx", "unknown|198.51.100.61||");
        row("line breaks removed, tabs kept", "from a.example\r\n\t(a.example [192.0.2.1])\r\n\tby mx",
            "a.example\ta.example|192.0.2.1||");
        row("the address is removed from the host", "from 192.0.2.8.dsl.example by mx", ".dsl.example|192.0.2.8||");
        row("by between by and with", "from a by mx.example (Postfix) with SMTP; d", "a||mx.example (Postfix)|");
        row("with without by", "from a with SMTP", "a|||");
        row("with before by", "from withheld.example by mx.example", "withheld.example|||");
        row("by and with found case-insensitively", "from a BY MX.Example WITH x", "a||MX.Example|");
        row("stamp cut to 31 characters", "from a by b; Mon, 01 Jan 2001 12:34:56 +0000 (GMT)",
            "a|||Mon, 01 Jan 2001 12:34:56 +0000");
        row("stamp without a weekday initial", "from a by b; 1 Jan 2001 12:34:56 -0500", "a|||");
        row("stamp from a weekday initial", "from a by b; 1 Oct 2001 12:34:56 -0500", "a|||t 2001 12:34:56 -0500");
        row("stamp ends at the line break", "from a by b; Tue, 2 Jan 2001\r\nX: y", "a|||Tue, 2 Jan 2001");
        row("last physical line keeps its CR", "from a\r\n by b; Tue, 2 Jan 2001\r", "a|||Tue, 2 Jan 2001\r");
        row("line break right after the semicolon", "from a by b;\r\n Mon, 1 Jan 2001", "a|||");
        row("character after the semicolon is skipped", "from a by b;Mon, 01 Jan 2001", "a|||");
        row("first semicolon counts", "from a; b by c; Mon, 01 Jan", "a;|||Mon, 01 Jan");
    }
    void takesReceivedLinesApart()
    {
        const auto [rest, fields] = fetch<QString, QString>("line", "fields");
        const QString line = u"Received: "_s + rest;
        QCOMPARE(QStringList({GetFromHost(line), GetReceivedIP(line), GetByHost(line), GetTimeStamp(line)}).join(u'|'),
                 fields);
        const ReceivedHop hop = splitReceivedLine(line);
        QCOMPARE(QStringList({hop.fromHost, hop.ip, hop.byHost, hop.timeStamp, hop.line}).join(u'|'),
                 fields + u'|' + line);
    }

    // What each routine reads: "ip" finds an IPv4 address (one is what it keeps whole); "ips", "addresses" and
    // "literal" keep the valid IPv4, mail and received-line addresses among words (canonical); "list" and
    // "unique list" extract mail addresses, "pick" chooses one; "own hosts" reads "LIST > PROBES": for each
    // probe whether the list holds it, then the entries left out. Empty: none.
    void readsAddresses_data()
    {
        columns<QString, QString, QString>("routine", "text", "result");
        row("eight characters inside text: not found", "ip", "(10.0.0.1)", "");
        row("eight characters at the end: found", "ip", "[10.0.0.1", "10.0.0.1");
        row("trailing dots make it long enough", "ip", "a 10.0.0.1...b", "10.0.0.1");
        row("trailing dots kept at the end", "ip", "a 10.0.0.1...", "");
        row("a non-address run is passed over", "ip", "v 1.2.3.4.5 then 192.0.2.3 x", "192.0.2.3");
        row("the first address wins", "ip", "192.0.2.1 and 192.0.2.2", "192.0.2.1");
        row("too short, a fifth part, above 255, an empty part, no number, three parts", "ips",
            "1.2.3.4 001.002.003.004 255.255.255.255 1.2.3 1.2.3.4. 256.1.1.1 1.2.3.99999999999999999999 1..2.34 "
            "a.b.c.d 100.200.30",
            "1.2.3.4 001.002.003.004 255.255.255.255");
        row("delimiters: comma, angle brackets, tab, CR LF; empty labels; numeric domain 239", "unique list",
            "mail a@b.com, then <abuse@example.net>\tnoc@x.de\r\na@b..com x@239.1.1.1",
            "a@b.com\r\nabuse@example.net\r\nnoc@x.de\r\na@b..com\r\nx@239.1.1.1\r\n");
        row("INFO, 240, [literal], @@", "unique list", "x@example.info x@240.1.1.1 x@[192.0.2.1] a@@b.com", "");
        row("substring of earlier is left out", "unique list", "ab@c.com bb@c.com b@c.com", "ab@c.com\r\nbb@c.com\r\n");
        row("duplicates kept when not unique", "list", "a@c.com a@c.com", "a@c.com\r\na@c.com\r\n");
        row("a megabyte of at signs is passed over at once", "unique list",
            QString(1 << 20, u'@') + u" abuse@example.com"_s, "abuse@example.com\r\n");
        // Not valid: an at sign first or none, an empty last label, numeric parts above 255 or three, a plus, controls.
        row("plain, a lower-case tld, an ampersand", "addresses",
            u"abuse@example.com a@b.uk a&b@c.com @example.com example.com a@b.com. a@1.2.3.256 a@1.2.3 a+b@c.com "
            u"postmaster\u0000\u0007\u0008@evil.net abuse@ev\u007fil.net abuse\u001f@evil.net"_s,
            "abuse@example.com a@b.uk a&b@c.com");
        row("IPv6: a tag, brackets and upper case, uncompressed, a zone", "literal",
            "[IPv6:2001:db8::1] [2001:DB8::1] 2001:db8:0:0:0:0:0:1 fe80::1%eth0",
            "2001:db8::1 2001:db8::1 2001:db8::1 fe80::1");
        row("ports after brackets or an IPv4 address", "literal", "[2001:db8::1]:25 [192.0.2.1]:54321 192.0.2.1:25",
            "2001:db8::1 192.0.2.1 192.0.2.1");
        row("qmail's identified client, IPv4-mapped with and without a tag", "literal",
            "user@198.51.100.7 [IPv6:::ffff:192.0.2.1] ::ffff:192.0.2.1", "198.51.100.7 192.0.2.1 192.0.2.1");
        row("three parts, unclosed, a name, not hexadecimal, a server version", "literal",
            "192.0.2 [192.0.2.1 mail.example.com 2001:db8::zz 15.20.6178.19", "");
        row("name, case and final dot ignored", "own hosts", "mail.example.com > MAIL.example.com.", "own");
        row("names stand for the hosts below them, not ones that merely end alike; IPv4 prefixes", "own hosts",
            "example.com,192.0.2.0/24 > x.example.com badexample.com 192.0.2.9 192.0.3.1", "own other own other");
        row("IPv6 prefix and address", "own hosts", "3fff::/20, 2001:db8::25 > 3fff:0:1::1 2001:db8::26", "own other");
        row("bad entries left out and named", "own hosts", "10.0.0.0/33 foo/bar\tmx > mx", "own 10.0.0.0/33 foo/bar");
        row("spam before abuse, in any case", "pick", "noc@x.com\r\nnoSPAM@x.com\r\nabuse@x.com\r\n", "noSPAM@x.com");
        row("admin in second pass", "pick", "noc@x.com\r\nnetadmin@x.com\r\n", "netadmin@x.com");
        row("registry abuse taken first", "pick", "hostmaster@ripe.net\r\nabuse@iana.org\r\n", "abuse@iana.org");
        row("registry case-sensitive", "pick", "hostmaster@ripe.net\r\nHostmaster@ripe.net", "Hostmaster@ripe.net");
    }
    void readsAddresses()
    {
        const auto [routine, text, result] = fetch<QString, QString, QString>("routine", "text", "result");
        Sandbox box;
        QString read;
        QStringList kept; // the words the routine accepts, each taken alone
        if (routine == u"ip"_s) {
            QCOMPARE(IsIPAddress(text), result == text);
            read = FindIPInText(text);
        } else if (routine == u"ips"_s || routine == u"addresses"_s) {
            for (const QString& word : text.split(u' '))
                if (routine == u"ips"_s ? IsIPAddress(word) && FindIPInText(word) == word : IsValidEmailAddress(word))
                    kept << word;
        } else if (routine == u"literal"_s) {
            for (const QString& word : text.split(u' '))
                if (const auto address = addressFromLiteral(word))
                    kept << addressText(*address);
        } else if (routine == u"own hosts"_s) {
            QStringList bad;
            const OwnHosts hosts = OwnHosts::parse(text.section(u" > "_s, 0, 0), &bad);
            for (const QString& probe : text.section(u" > "_s, 1).split(u' ')) {
                const auto address = addressFromLiteral(probe);
                kept << ((address ? hosts.containsAddress(*address) : hosts.containsName(probe)) ? u"own"_s
                                                                                                 : u"other"_s);
            }
            kept += bad;
        } else if (routine == u"pick"_s) {
            read = PickAbuseAddress(text);
        } else {
            read = GetEmailListFromText(text, routine == u"unique list"_s);
        }
        QVERIFY(!kept.contains(QString())); // a word taken is never taken as nothing
        QCOMPARE(read + kept.join(u' '), result);
    }
};

NW_TEST_CLASS(TstHeader)
#include "tst_header.moc"
