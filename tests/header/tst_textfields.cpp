#include "header/AddressList.h"
#include "header/IpAddress.h"
#include "header/ReceivedLines.h"
#include "header/SourceWalk.h"
#include "header/Text.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

class TstTextFields : public QObject {
    Q_OBJECT

private slots:
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
        row("semicolon ends the part when there is no by", "from host.example (192.0.2.9); Mon",
            "host.example|192.0.2.9||Mon");
        row("end of line ends it, less two characters", "from host.example [192.0.2.5]", "192.0.2.|||");
        row("second bracket holds the address", "from [10.0.0.1] (helo [192.0.2.5]) by mx", "10.0.0.1|192.0.2.5||");
        row("third bracket when the second holds none", "from h.example [192.0.2.1] [unknown] [192.0.2.9] by mx",
            "192.0.2.1|192.0.2.9||");
        row("unclosed bracket falls back to the whole part", "from h.example [192.0.2.1 by mx",
            "h.example|192.0.2.1||");
        row("eight-character address inside text is not found", "from h.example (10.0.0.1) by mx", "10.0.0.1|||");
        row("last name-like word wins, address word skipped",
            "from unknown (HELO shop.example) (198.51.100.61)\r\n  by mx", "shop.example|198.51.100.61||");
        row("no dotted word: the first word", "from unknown (HELO shop) (198.51.100.61) by mx",
            "unknown|198.51.100.61||");
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
        row("stamp from the first weekday initial", "from a by b; 1 Oct 2001 12:34:56 -0500",
            "a|||t 2001 12:34:56 -0500");
        row("stamp ends at the line break", "from a by b; Tue, 2 Jan 2001 10:00:00 +0000\r\nX: y",
            "a|||Tue, 2 Jan 2001 10:00:00 +0000");
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

    // What each routine reads from a text: "ip" finds an IPv4 address (one is what it keeps whole), "literal"
    // the address a received line writes, in canonical form; "list" and "unique list" extract mail addresses,
    // "address" validates one, "pick" chooses a complaint address; "own hosts" reads "LIST > PROBE" and says
    // whether the address or name PROBE is in the list, and which entries it left out. Empty: none.
    void readsAddresses_data()
    {
        columns<QString, QString, QString>("routine", "text", "result");
        row("trailing dot removed", "ip", "x 192.0.2.100. y", "192.0.2.100");
        row("eight characters inside text: not found", "ip", "(10.0.0.1)", "");
        row("eight characters at the end: found", "ip", "[10.0.0.1", "10.0.0.1");
        row("nine characters inside text: found", "ip", "(192.0.2.1)", "192.0.2.1");
        row("trailing dots make it long enough", "ip", "a 10.0.0.1...b", "10.0.0.1");
        row("trailing dots kept at the end", "ip", "a 10.0.0.1...", "");
        row("a non-address run is passed over", "ip", "v 1.2.3.4.5 then 192.0.2.3 x", "192.0.2.3");
        row("the first address wins", "ip", "192.0.2.1 and 192.0.2.2", "192.0.2.1");
        row("short run inside, address at the end", "ip", "1.2.3.4 5.6.7.8", "5.6.7.8");
        row("shortest", "ip", "1.2.3.4", "1.2.3.4");
        row("leading zeros", "ip", "001.002.003.004", "001.002.003.004");
        row("highest", "ip", "255.255.255.255", "255.255.255.255");
        row("too short", "ip", "1.2.3", "");
        row("trailing dot is a fifth part", "ip", "1.2.3.4.", "");
        row("part above 255", "ip", "256.1.1.1", "");
        row("long part above 255", "ip", "1.2.3.99999999999999999999", "");
        row("empty part", "ip", "1..2.34", "");
        row("not a number", "ip", "a.b.c.d", "");
        row("three parts, long enough", "ip", "100.200.30", "");
        row("comma and angle brackets", "unique list", "mail a@b.com, then <abuse@example.net> now",
            "a@b.com\r\nabuse@example.net\r\n");
        row("INFO is not a domain", "unique list", "x@example.info", "");
        row("numeric domain 239", "unique list", "x@239.1.1.1", "x@239.1.1.1\r\n");
        row("numeric domain 240", "unique list", "x@240.1.1.1", "");
        row("bracketed domain", "unique list", "x@[192.0.2.1]", "");
        row("substring of earlier is left out", "unique list", "ab@c.com bb@c.com b@c.com", "ab@c.com\r\nbb@c.com\r\n");
        row("duplicates kept when not unique", "list", "a@c.com a@c.com", "a@c.com\r\na@c.com\r\n");
        row("double at sign inside candidate", "unique list", "a@@b.com", "");
        row("tab and CRLF delimit", "unique list", "\tnoc@x.de\r\n", "noc@x.de\r\n");
        row("empty labels allowed", "unique list", "a@b..com", "a@b..com\r\n");
        row("a megabyte of at signs is passed over at once", "unique list",
            QString(1 << 20, u'@') + u" abuse@example.com"_s, "abuse@example.com\r\n");
        row("plain", "address", "abuse@example.com", "valid");
        row("starts with at", "address", "@example.com", "invalid");
        row("no at", "address", "example.com", "invalid");
        row("lower-case tld is upper-cased", "address", "a@b.uk", "valid");
        row("empty last label", "address", "a@b.com.", "invalid");
        row("four numeric parts above 255", "address", "a@1.2.3.256", "invalid");
        row("three numeric parts fall to tld test", "address", "a@1.2.3", "invalid");
        row("plus forbidden", "address", "a+b@c.com", "invalid");
        row("ampersand allowed", "address", "a&b@c.com", "valid");
        row("NUL, BEL and BS", "address", u"postmaster\u0000\u0007\u0008@evil.net"_s, "invalid");
        row("DEL in the domain", "address", u"abuse@ev\u007fil.net"_s, "invalid");
        row("unit separator", "address", u"abuse\u001f@evil.net"_s, "invalid");
        row("Sendmail's and Postfix's IPv6 tag", "literal", "[IPv6:2001:db8::1]", "2001:db8::1");
        row("bracketed, upper case", "literal", "[2001:DB8::1]", "2001:db8::1");
        row("uncompressed", "literal", "2001:db8:0:0:0:0:0:1", "2001:db8::1");
        row("zone suffix", "literal", "fe80::1%eth0", "fe80::1");
        row("IPv6 with a port after the bracket", "literal", "[2001:db8::1]:25", "2001:db8::1");
        row("IPv4 with a port after the bracket", "literal", "[192.0.2.1]:54321", "192.0.2.1");
        row("IPv4 with a port", "literal", "192.0.2.1:25", "192.0.2.1");
        row("qmail's identified client", "literal", "user@198.51.100.7", "198.51.100.7");
        row("IPv4-mapped, tagged", "literal", "[IPv6:::ffff:192.0.2.1]", "192.0.2.1");
        row("IPv4-mapped", "literal", "::ffff:192.0.2.1", "192.0.2.1");
        row("three parts", "literal", "192.0.2", "");
        row("unclosed bracket", "literal", "[192.0.2.1", "");
        row("a name", "literal", "mail.example.com", "");
        row("not hexadecimal", "literal", "2001:db8::zz", "");
        row("a server version", "literal", "15.20.6178.19", "");
        row("name, case and final dot ignored", "own hosts", "mail.example.com > MAIL.example.com.", "own");
        row("a name stands for the hosts below it", "own hosts", "example.com > mx1.example.com", "own");
        row("but not for a name that merely ends alike", "own hosts", "example.com > badexample.com", "other");
        row("IPv4 prefix, inside", "own hosts", "203.0.113.0/24 > 203.0.113.9", "own");
        row("IPv4 prefix, outside", "own hosts", "203.0.113.0/24 > 203.0.114.1", "other");
        row("IPv6 prefix among commas", "own hosts", "3fff::/20,2001:db8::25 > 3fff:0:1::1", "own");
        row("IPv6 address alone", "own hosts", "3fff::/20, 2001:db8::25 > 2001:db8::26", "other");
        row("bad entries left out and named", "own hosts", "10.0.0.0/33 foo/bar\tmx.example.com > mx.example.com",
            "own 10.0.0.0/33 foo/bar");
        row("spam before abuse", "pick", "noc@x.com\r\nnospam@x.com\r\nabuse@x.com\r\n", "nospam@x.com");
        row("case-insensitive abuse", "pick", "a@x.com\r\nABUSE@x.com\r\n", "ABUSE@x.com");
        row("admin in second pass", "pick", "noc@x.com\r\nnetadmin@x.com\r\n", "netadmin@x.com");
        row("third pass skips registry", "pick", "hostmaster@ripe.net\r\nnoc@x.com\r\n", "noc@x.com");
        row("registry abuse taken in first pass", "pick", "hostmaster@ripe.net\r\nabuse@iana.org\r\n",
            "abuse@iana.org");
        row("exclusion is case-sensitive", "pick", "Hostmaster@ripe.net\r\n", "Hostmaster@ripe.net");
    }
    void readsAddresses()
    {
        const auto [routine, text, result] = fetch<QString, QString, QString>("routine", "text", "result");
        Sandbox box;
        QString read;
        if (routine == u"ip"_s) {
            QCOMPARE(IsIPAddress(text), result == text);
            read = FindIPInText(text);
        } else if (routine == u"literal"_s) {
            const auto address = addressFromLiteral(text);
            read = address ? addressText(*address) : QString();
        } else if (routine == u"own hosts"_s) {
            QStringList bad;
            const OwnHosts hosts = OwnHosts::parse(text.section(u" > "_s, 0, 0), &bad);
            const QString probe = text.section(u" > "_s, 1);
            const auto address = addressFromLiteral(probe);
            const bool own = address ? hosts.containsAddress(*address) : hosts.containsName(probe);
            read = (QStringList{own ? u"own"_s : u"other"_s} + bad).join(u' ');
        } else if (routine == u"address"_s) {
            read = IsValidEmailAddress(text) ? u"valid"_s : u"invalid"_s;
        } else if (routine == u"pick"_s) {
            read = PickAbuseAddress(text);
        } else {
            read = GetEmailListFromText(text, routine == u"unique list"_s);
        }
        QCOMPARE(read, result);
    }
};

NW_TEST_CLASS(TstTextFields)
#include "tst_textfields.moc"
