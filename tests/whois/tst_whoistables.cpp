#include "platform/AppPaths.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"
#include "whois/WhoIs.h"
#include "whois/WhoisTables.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;
using namespace nw;
using namespace nw::test;

namespace {
// Loads the table the file name stands for, the way the client does.
void load(WhoisTables& tables, const QString& name)
{
    if (name == u"whois.srv"_s)
        tables.LoadTldTable();
    else if (name == u"whois.rir"_s)
        tables.LoadRirTable();
    else
        tables.LoadRir6Table();
}
} // namespace

class TstWhoisTables : public QObject {
    Q_OBJECT

private slots:
    void dottedForms_data()
    {
        columns<QString, bool, quint32>("text", "dottedQuad", "value");
        row("four octets, top bit set", "255.255.255.254", true, 0xFFFFFFFEu);
        row("short text is no quad, trailing octets count 0", "1.2.3", false, 0x01020300u);
        row("one part stands for a /8", "10", false, 0x0A000000u);
        row("five parts, fifth ignored by the value", "1.2.3.4.5", false, 0x01020304u);
        row("octet above 255", "1.2.3.256", false, 0u);
        row("letters", "a.b.c.d", false, 0u);
        row("empty fourth part", "10.20.30.", false, 0u);
        row("minus sign rejected", "1.2.3.-4", false, 0u);
        row("many leading zeros", "001.002.003.000000004", true, 0x01020304u);
        row("all zero is a quad of value 0", "0.0.0.0", true, 0u);
    }
    void dottedForms()
    {
        const auto [text, dottedQuad, value] = fetch<QString, bool, quint32>("text", "dottedQuad", "value");
        QCOMPARE(IsDottedQuad(text), dottedQuad);
        QCOMPARE(DottedToLong(text), value);
    }

    void matchLabels_data()
    {
        columns<QString, QString, bool>("name", "pattern", "match");
        row("case ignored", "MAIL.Example.Co.Uk", "co.uk", true);
        row("differs in second label", "example.ac.uk", "CO.UK", false);
        row("star inside a pattern", "x.gov.za", "*.ZA", true);
        row("pattern longer than the name", "uk", "CO.UK", true);
        row("suffix of a label is no match", "example.dcom", "COM", false);
    }
    void matchLabels()
    {
        const auto [name, pattern, match] = fetch<QString, QString, bool>("name", "pattern", "match");
        QCOMPARE(MatchLabels(name, pattern), match);
    }

    // A corrupt table is refused whole, with the file, the reason and the offending line; layout A quotes
    // the line on a line of its own.
    void corruptTables_data()
    {
        columns<QString, QString, QString, int, bool>("name", "file", "reason", "line", "layoutA");
        const QString fields = u"Missing Fields"_s, range = u"malformed IP Address Range"_s;
        const QString mask = u"malformed IP Address Mask"_s, base = u"malformed IP Address Base"_s;
        const QString rir = u"whois.rir"_s, rir6 = u"whois6.rir"_s, srv = u"whois.srv"_s;
        row("empty line, comments counted", rir, "# v 100\n1.0.0.0/8\tw.a.net\n\n2.0.0.0/8\tw.b.net\n", fields, 3,
            true);
        row("no slash, CR LF file", rir, "# c\r\n1.0.0.0\tw.a.net\r\n", range, 2, false);
        row("server without a dot", rir, "62.0.0.0/8\twhoisserver\n", u"invalid WHOIS server"_s, 1, true);
        row("two slashes", rir, "1.0.0.0/8/9\tw.a.net\n", range, 1, true);
        row("prefix 0", rir, "1.0.0.0/0\tw.a.net\n", mask, 1, false);
        row("prefix 32", rir, "1.0.0.0/32\tw.a.net\n", mask, 1, false);
        row("prefix not a number", rir, "1.0.0.0/8a\tw.a.net\n", mask, 1, false);
        row("base 0.0.0.0", rir, "0.0.0.0/8\tw.a.net\n", base, 1, false);
        row("bad last line without line end", rir, "1.0.0.0/8\tw.a.net\n# c\n2.0.0.0/8\tw.b.net\nx/8\tw.c.net", base, 4,
            false);
        row("IPv6: prefix 129", rir6, "2001:200::/129\tw.a.net\n", mask, 1, false);
        row("IPv6: an IPv4 base", rir6, "1.0.0.0/8\tw.a.net\n", base, 1, false);
        row("IPv6: not an address", rir6, "2001:zz::/32\tw.a.net\n", base, 1, false);
        row("servers: three fields", srv, "d;COM;w.a.net;43\nd;NET;w.b.net\n", fields, 2, true);
        row("servers: negative port", srv, "d;COM;w.a.net;-43\n", u"Invalid Port Number"_s, 1, true);
    }
    void corruptTables()
    {
        const auto [name, file, reason, line, layoutA] =
            fetch<QString, QString, QString, int, bool>("name", "file", "reason", "line", "layoutA");
        Sandbox box;
        const QString path = box.writeFile(name, file.toLatin1());
        WhoisTables tables;
        load(tables, name);
        QVERIFY(tables.rirTable().isEmpty() && tables.rir6Table().isEmpty() && tables.tldTable().isEmpty());
        QCOMPARE(box.prompts().shown().size(), 1);
        const Prompt& shown = box.prompts().shown().first();
        const QString quoted = u'"' + QString(file.split(u'\n').at(line - 1)).remove(u'\r') + u'"';
        QCOMPARE(shown.text, path + u" is corrupt ("_s + reason + u").\r\nError occured in Line "_s +
                                 QString::number(line) +
                                 (layoutA ? u"\r\n"_s + quoted + u"\r\n"_s : quoted + u"\r\n\r\n"_s) +
                                 u"Please replace file or reinstall program."_s);
        QCOMPARE(shown.title, name == u"whois.srv"_s ? u"Error"_s : u"Registry Info Error"_s);
        QCOMPARE(shown.icon, PromptIcon::Exclamation);
    }

    void missingFilesAreReported()
    {
        Sandbox box;
        WhoisTables tables;
        tables.LoadRirTable();
        tables.LoadTldTable();
        QCOMPARE(tables.FindRirEntry(u"0.0.0.0"_s), -1);
        QString domain;
        QCOMPARE(tables.FindTldEntry(u"example.com"_s, &domain), -1);
        const QStringList texts = box.prompts().texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(0).startsWith(u"Cannot Open "_s + box.path(u"whois.rir"_s) + u"\r\nError: 2 ("_s) &&
                     texts.at(0).endsWith(u')'),
                 qPrintable(texts.at(0)));
        QCOMPARE(box.prompts().shown().at(1).title, u"Error"_s);
    }

    // What a range or server table finds for a query: the range's server, or the server line's domain and port.
    void lookUps_data()
    {
        columns<QString, QString, QString, int, QString>("name", "file", "query", "index", "found");
        const QString rir = u"whois.rir"_s, srv = u"whois.srv"_s;
        const QString ukFirst = u"United Kingdom;UK;w.uk;\nUK companies;CO.UK;w.co.uk;\n"_s;
        const QString coUkFirst = u"UK companies;co.uk;w.co.uk;4343\nUnited Kingdom;UK;w.uk;\n"_s;
        row("comments only: all-zero address hits the first built-in", rir, "# only\n", "0.0.0.0", 0, "whois.arin.net");
        row("comments only: real address unmatched", rir, "# only\n", "8.8.8.8", -1, "");
        row("short range 10/8", rir, "10/8\tw.a.net\n", "10.200.3.4", 6, "w.a.net");
        row("earlier overlapping block wins", rir, "10.0.0.0/8\tw.a.net\n10.1.0.0/16\tw.b.net\n", "10.1.2.3", 6,
            "w.a.net");
        row("only the last line's block", rir, "1.0.0.0/8\tw.a.net\n2.0.0.0/8\tw.b.net\n3.0.0.0/8\tw.c.net", "3.9.9.9",
            8, "w.c.net");
        row("base with host bits matches nothing", rir, "10.1.0.0/8\tw.a.net\n", "10.1.2.3", -1, "");
        row("private server accepted", rir, "62.0.0.0/8\tprivate\n", "62.1.1.1", 6, "private");
        row("high addresses compare unsigned", rir, "128.0.0.0/1\tw.a.net\n", "200.1.2.3", 6, "w.a.net");
        row("just outside a /31", rir, "1.2.3.4/31\tw.a.net\n", "1.2.3.6", -1, "");
        row("star with empty port matches all", srv, "Any;*;w.any;\nCom;COM;w.com;\n", "example.com", 0,
            "example.com|43");
        row("two-label pattern listed first", srv, coUkFirst, "www.shop.example.co.uk", 0, "example.co.uk|4343");
        row("one-label parent listed first", srv, ukFirst, "www.shop.example.co.uk", 0, "co.uk|43");
        row("no match falls back to the first line", srv, coUkFirst, "mail.example.org", 0, "example.org|4343");
        row("one-label name", srv, coUkFirst, "localhost", 0, "localhost|4343");
        row("port beyond 65535 keeps 0", srv, "d;COM;w.com;70000\n", "a.com", 0, "a.com|0");
        row("comments only", srv, "# none\n", "example.com", -1, "");
    }
    void lookUps()
    {
        const auto [name, file, query, index, found] =
            fetch<QString, QString, QString, int, QString>("name", "file", "query", "index", "found");
        Sandbox box;
        box.writeFile(name, file.toLatin1());
        WhoisTables tables;
        load(tables, name);
        QVERIFY2(box.prompts().shown().isEmpty(), qPrintable(box.prompts().texts().join(u'\n')));
        QString domain;
        const bool rir = name == u"whois.rir"_s;
        QCOMPARE(rir ? tables.FindRirEntry(query) : tables.FindTldEntry(query, &domain), index);
        if (index >= 0)
            QCOMPARE(rir ? tables.rirTable().at(index).server
                         : domain + u'|' + QString::number(tables.tldTable().at(index).port),
                     found);
    }

    // The shipped tables load silently, every delegated /8 and the IPv6 blocks map to their registries, and no
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
                                    "2001:db8::1", "::ffff:41.1.2.3", "fd00::1", "host.example.invalid"})
            servers << whois.WhoisServer(QLatin1String(address));
        QCOMPARE(servers, (QStringList{u"private"_s, u"whois.arin.net"_s, u"whois.afrinic.net"_s, u"private"_s,
                                       u"whois.afrinic.net"_s, QString(), u"whois.iana.org"_s}));
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
};

NW_TEST_CLASS(TstWhoisTables)
#include "tst_whoistables.moc"
