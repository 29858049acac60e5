#include "platform/AppPaths.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"
#include "whois/WhoIs.h"
#include "whois/WhoisTables.h"

#include <QCoreApplication>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace nw;

namespace {
enum Layout { A, B };

// A corrupt-line message as the user reads it, in either layout.
QString corrupt(const QString& path, const QString& reason, int line, const QString& text, Layout layout)
{
    QString head = path + QStringLiteral(" is corrupt (") + reason + QStringLiteral(").\r\nError occured in Line ") +
                   QString::number(line);
    const QString quoted = QLatin1Char('"') + text + QLatin1Char('"');
    head +=
        layout == A ? QStringLiteral("\r\n") + quoted + QStringLiteral("\r\n") : quoted + QStringLiteral("\r\n\r\n");
    return head + QStringLiteral("Please replace file or reinstall program.");
}

// Where the build puts the executables and the tables beside them.
QString shippedFolder()
{
    return qEnvironmentVariable("NW_DATA_DIR", QCoreApplication::applicationDirPath());
}

const QStringList kRegistries{QStringLiteral("whois.arin.net"), QStringLiteral("whois.ripe.net"),
                              QStringLiteral("whois.apnic.net"), QStringLiteral("whois.lacnic.net"),
                              QStringLiteral("whois.afrinic.net")};
} // namespace

class TstWhoisTables : public QObject {
    Q_OBJECT

private slots:
    void dottedForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("dottedQuad");
        QTest::addColumn<quint32>("value");
        QTest::newRow("four octets") << "1.2.3.4" << true << 0x01020304u;
        QTest::newRow("top bit set") << "255.255.255.254" << true << 0xFFFFFFFEu;
        QTest::newRow("short text is no quad, trailing octets count 0") << "1.2.3" << false << 0x01020300u;
        QTest::newRow("three parts") << "10.20.30" << false << 0x0A141E00u;
        QTest::newRow("one part stands for a /8") << "10" << false << 0x0A000000u;
        QTest::newRow("five parts, fifth ignored by the value") << "1.2.3.4.5" << false << 0x01020304u;
        QTest::newRow("octet above 255") << "1.2.3.256" << false << 0u;
        QTest::newRow("letters") << "a.b.c.d" << false << 0u;
        QTest::newRow("empty fourth part") << "10.20.30." << false << 0u;
        QTest::newRow("minus sign rejected") << "1.2.3.-4" << false << 0u;
        QTest::newRow("many leading zeros") << "001.002.003.000000004" << true << 0x01020304u;
        QTest::newRow("all zero is a quad of value 0") << "0.0.0.0" << true << 0u;
    }
    void dottedForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, dottedQuad);
        QFETCH(quint32, value);
        QCOMPARE(IsDottedQuad(text), dottedQuad);
        QCOMPARE(DottedToLong(text), value);
    }

    void matchLabels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("last label") << "mail.example.com" << "COM" << true;
        QTest::newRow("case ignored") << "MAIL.Example.Co.Uk" << "co.uk" << true;
        QTest::newRow("differs in second label") << "example.ac.uk" << "CO.UK" << false;
        QTest::newRow("star matches any label") << "example.org" << "*" << true;
        QTest::newRow("star inside a pattern") << "x.gov.za" << "*.ZA" << true;
        QTest::newRow("pattern longer than the name") << "uk" << "CO.UK" << true;
        QTest::newRow("suffix of a label is no match") << "example.dcom" << "COM" << false;
    }
    void matchLabels()
    {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, match);
        QCOMPARE(MatchLabels(name, pattern), match);
    }

    // A corrupt table is refused whole, with the file, the reason and the offending line.
    void corruptTables_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("layout");
        const QString rir = QStringLiteral("whois.rir"), rir6 = QStringLiteral("whois6.rir"), srv = u"whois.srv"_s;
        const QString fields = QStringLiteral("Missing Fields"), range = QStringLiteral("malformed IP Address Range");
        const QString mask = QStringLiteral("malformed IP Address Mask"), base = u"malformed IP Address Base"_s;
        const QString server = QStringLiteral("invalid WHOIS server"), port = QStringLiteral("Invalid Port Number");
        const auto row = [](const char* name, const QString& table, const QByteArray& file, const QString& reason,
                            int line, Layout layout) {
            QTest::newRow(name) << table << file << reason << line << int(layout);
        };
        row("empty line, comments counted", rir, "# v 100\n1.0.0.0/8\tw.a.net\n\n2.0.0.0/8\tw.b.net\n", fields, 3, A);
        row("one field", rir, "1.0.0.0/8\n", fields, 1, A);
        row("no slash, CR LF file", rir, "# c\r\n1.0.0.0\tw.a.net\r\n", range, 2, B);
        row("server without a dot", rir, "62.0.0.0/8\twhoisserver\n", server, 1, A);
        row("two slashes", rir, "1.0.0.0/8/9\tw.a.net\n", range, 1, A);
        row("prefix 0", rir, "1.0.0.0/0\tw.a.net\n", mask, 1, B);
        row("prefix 32", rir, "1.0.0.0/32\tw.a.net\n", mask, 1, B);
        row("prefix not a number", rir, "1.0.0.0/8a\tw.a.net\n", mask, 1, B);
        row("base 0.0.0.0", rir, "0.0.0.0/8\tw.a.net\n", base, 1, B);
        row("bad last line without line end", rir, "1.0.0.0/8\tw.a.net\n# c\n2.0.0.0/8\tw.b.net\nx/8\tw.c.net", base, 4,
            B);
        row("IPv6: empty line, comments counted", rir6, "# v 100\n2001:200::/23\tw.a.net\n\n", fields, 3, A);
        row("IPv6: no slash", rir6, "2001:200::\tw.a.net\n", range, 1, B);
        row("IPv6: server without a dot", rir6, "2001:200::/23\twhoisserver\n", server, 1, A);
        row("IPv6: prefix 0", rir6, "2001:200::/0\tw.a.net\n", mask, 1, B);
        row("IPv6: prefix 129", rir6, "2001:200::/129\tw.a.net\n", mask, 1, B);
        row("IPv6: an IPv4 base", rir6, "1.0.0.0/8\tw.a.net\n", base, 1, B);
        row("IPv6: not an address", rir6, "2001:zz::/32\tw.a.net\n", base, 1, B);
        row("servers: three fields", srv, "d;COM;w.a.net;43\nd;NET;w.b.net\n", fields, 2, A);
        row("servers: empty line", srv, "# v 100\n\n", fields, 2, A);
        row("servers: port with letters", srv, "d;COM;w.a.net;4x3\n", port, 1, A);
        row("servers: negative port", srv, "d;COM;w.a.net;-43\n", port, 1, A);
    }
    void corruptTables()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QFETCH(int, line);
        QFETCH(int, layout);
        test::Sandbox box;
        const QString path = box.writeFile(name, file);
        WhoisTables tables;
        const bool servers = name == QLatin1String("whois.srv");
        if (servers)
            tables.LoadTldTable();
        else if (name == QLatin1String("whois.rir"))
            tables.LoadRirTable();
        else
            tables.LoadRir6Table();
        QVERIFY(tables.rirTable().isEmpty() && tables.rir6Table().isEmpty() && tables.tldTable().isEmpty());
        QCOMPARE(box.prompts().shown().size(), 1);
        const Prompt& shown = box.prompts().shown().first();
        QString text = QString::fromLatin1(file).split(QLatin1Char('\n')).at(line - 1);
        text.remove(QLatin1Char('\r'));
        QCOMPARE(shown.text, corrupt(path, reason, line, text, Layout(layout)));
        QCOMPARE(shown.title, servers ? QStringLiteral("Error") : QStringLiteral("Registry Info Error"));
        if (!servers)
            QCOMPARE(shown.icon, PromptIcon::Exclamation);
    }

    void missingFilesAreReported()
    {
        test::Sandbox box;
        WhoisTables tables;
        tables.LoadRirTable();
        tables.LoadTldTable();
        QVERIFY(tables.rirTable().isEmpty());
        QVERIFY(tables.tldTable().isEmpty());
        QCOMPARE(tables.FindRirEntry(QStringLiteral("0.0.0.0")), -1);
        QString domain;
        QCOMPARE(tables.FindTldEntry(QStringLiteral("example.com"), &domain), -1);
        const QStringList texts = box.prompts().texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY2(texts.at(0).startsWith(QStringLiteral("Cannot Open ") + box.path(QStringLiteral("whois.rir")) +
                                        QStringLiteral("\r\nError: 2 (")),
                 qPrintable(texts.at(0)));
        QVERIFY(texts.at(0).endsWith(QLatin1Char(')')));
        QCOMPARE(box.prompts().shown().at(1).title, QStringLiteral("Error"));
    }

    void rangeLookUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("server");
        QTest::newRow("comments only: all-zero address hits the first built-in")
            << QByteArray("# only comments\n") << "0.0.0.0" << 0 << "whois.arin.net";
        QTest::newRow("comments only: real address unmatched")
            << QByteArray("# only comments\n") << "8.8.8.8" << -1 << "";
        QTest::newRow("short range 10/8") << QByteArray("10/8\tw.a.net\n") << "10.200.3.4" << 6 << "w.a.net";
        QTest::newRow("earlier overlapping block wins")
            << QByteArray("10.0.0.0/8\tw.a.net\n10.1.0.0/16\tw.b.net\n") << "10.1.2.3" << 6 << "w.a.net";
        QTest::newRow("finer block listed first wins")
            << QByteArray("10.1.0.0/16\tw.b.net\n10.0.0.0/8\tw.a.net\n") << "10.1.2.3" << 6 << "w.b.net";
        QTest::newRow("only the last line's block")
            << QByteArray("1.0.0.0/8\tw.a.net\n2.0.0.0/8\tw.b.net\n3.0.0.0/8\tw.c.net") << "3.9.9.9" << 8 << "w.c.net";
        QTest::newRow("base with host bits matches nothing")
            << QByteArray("10.1.0.0/8\tw.a.net\n") << "10.1.2.3" << -1 << "";
        QTest::newRow("private server accepted") << QByteArray("62.0.0.0/8\tprivate\n") << "62.1.1.1" << 6 << "private";
        QTest::newRow("high addresses compare unsigned")
            << QByteArray("128.0.0.0/1\tw.a.net\n") << "200.1.2.3" << 6 << "w.a.net";
        QTest::newRow("just outside a /31") << QByteArray("1.2.3.4/31\tw.a.net\n") << "1.2.3.6" << -1 << "";
    }
    void rangeLookUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, address);
        QFETCH(int, index);
        QFETCH(QString, server);
        test::Sandbox box;
        box.writeFile(QStringLiteral("whois.rir"), file);
        WhoisTables tables;
        tables.LoadRirTable();
        QVERIFY2(box.prompts().shown().isEmpty(), qPrintable(box.prompts().texts().join(QLatin1Char('\n'))));
        QCOMPARE(tables.FindRirEntry(address), index);
        if (index >= 0)
            QCOMPARE(tables.rirTable().at(index).server, server);
    }

    void serverLookUp_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("domain");
        const QByteArray ukFirst("United Kingdom;UK;w.uk;\nUK companies;CO.UK;w.co.uk;\n");
        const QByteArray coUkFirst("UK companies;co.uk;w.co.uk;4343\nUnited Kingdom;UK;w.uk;\n");
        QTest::newRow("star with empty port matches all")
            << QByteArray("Any;*;w.any;\nCom;COM;w.com;\n") << "example.com" << 0 << 43 << "example.com";
        QTest::newRow("two-label pattern listed first")
            << coUkFirst << "www.shop.example.co.uk" << 0 << 4343 << "example.co.uk";
        QTest::newRow("one-label parent listed first") << ukFirst << "www.shop.example.co.uk" << 0 << 43 << "co.uk";
        QTest::newRow("no match falls back to the first line")
            << coUkFirst << "mail.example.org" << 0 << 4343 << "example.org";
        QTest::newRow("one-label name") << coUkFirst << "localhost" << 0 << 4343 << "localhost";
        QTest::newRow("port too large keeps 0")
            << QByteArray("d;COM;w.com;99999999999\n") << "a.com" << 0 << 0 << "a.com";
        QTest::newRow("comments only") << QByteArray("# none\n") << "example.com" << -1 << 0 << "";
    }
    void serverLookUp()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(int, port);
        QFETCH(QString, domain);
        test::Sandbox box;
        box.writeFile(QStringLiteral("whois.srv"), file);
        WhoisTables tables;
        tables.LoadTldTable();
        QVERIFY(box.prompts().shown().isEmpty());
        QString found;
        QCOMPARE(tables.FindTldEntry(name, &found), index);
        if (index < 0)
            return;
        QCOMPARE(found, domain);
        QCOMPARE(tables.tldTable().at(index).port, port);
        QCOMPARE(tables.tldTable().at(index).pattern, tables.tldTable().at(index).pattern.toUpper());
    }

    // The shipped tables load silently and every delegated address maps to its registry.
    void shippedTables_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("server");
        QTest::newRow("ARIN legacy") << "8.8.8.8" << "whois.arin.net";
        QTest::newRow("RIPE NCC allocated") << "193.0.6.139" << "whois.ripe.net";
        QTest::newRow("APNIC allocated") << "1.1.1.1" << "whois.apnic.net";
        QTest::newRow("LACNIC allocated") << "200.160.2.3" << "whois.lacnic.net";
        QTest::newRow("AFRINIC allocated") << "41.1.2.3" << "whois.afrinic.net";
        QTest::newRow("AFRINIC legacy") << "196.1.2.3" << "whois.afrinic.net";
        QTest::newRow("private block inside an ARIN /8") << "172.16.5.4" << "private";
        QTest::newRow("ARIN beside the private block") << "172.32.0.1" << "whois.arin.net";
        QTest::newRow("IPv6 ARIN") << "2600:1f18::1" << "whois.arin.net";
        QTest::newRow("IPv6 ARIN, early /23") << "2001:400::1" << "whois.arin.net";
        QTest::newRow("IPv6 RIPE NCC") << "2a00:1450:4001::1" << "whois.ripe.net";
        QTest::newRow("IPv6 APNIC") << "2400:cb00::1" << "whois.apnic.net";
        QTest::newRow("IPv6 LACNIC") << "2800:3f0:4001::1" << "whois.lacnic.net";
        QTest::newRow("IPv6 AFRINIC, last of its /12")
            << "2c0f:ffff:ffff:ffff:ffff:ffff:ffff:ffff" << "whois.afrinic.net";
        QTest::newRow("IPv6 documentation inside APNIC's /23") << "2001:db8::1" << "private";
        QTest::newRow("Teredo") << "2001:0:4136:e378::1" << "private";
        QTest::newRow("6to4 carries an ARIN address") << "2002:808:808::1" << "whois.arin.net";
        QTest::newRow("IPv4-mapped AFRINIC address") << "::ffff:41.1.2.3" << "whois.afrinic.net";
        QTest::newRow("IPv6 reserved by IANA") << "3000::1" << "";
        QTest::newRow("IPv6 unique local") << "fd00::1" << "";
    }
    void shippedTables()
    {
        QFETCH(QString, address);
        QFETCH(QString, server);
        test::Sandbox box;
        AppPaths::setProgramFolder(shippedFolder());
        WhoIs whois;
        QVERIFY2(box.prompts().shown().isEmpty(), qPrintable(box.prompts().texts().join(QLatin1Char('\n'))));
        QCOMPARE(whois.WhoisServer(address), server);
    }

    void shippedTablesCoverEveryDelegatedSlash8()
    {
        test::Sandbox box;
        AppPaths::setProgramFolder(shippedFolder());
        WhoisTables tables;
        tables.LoadRirTable();
        tables.LoadTldTable();
        QVERIFY(box.prompts().shown().isEmpty());
        // IANA reserves 0/8, 10/8, 127/8 and everything from 224/8 up; every other /8 is delegated.
        for (int first = 1; first < 256; ++first) {
            const int index = tables.FindRirEntry(QStringLiteral("%1.1.2.3").arg(first));
            const bool reserved = first == 10 || first == 127 || first >= 224;
            QVERIFY2(reserved ? index == -1 : index >= 6 && kRegistries.contains(tables.rirTable().at(index).server),
                     qPrintable(QString::number(first)));
        }
        // Names: the first line is the fallback, and second-level zones come before their parents.
        QString domain;
        const int fallback = tables.FindTldEntry(QStringLiteral("host.example.invalid"), &domain);
        QCOMPARE(fallback, 0);
        QCOMPARE(tables.tldTable().at(fallback).server, QStringLiteral("whois.iana.org"));
        const int company = tables.FindTldEntry(QStringLiteral("mail.example.co.uk"), &domain);
        QCOMPARE(domain, QStringLiteral("example.co.uk"));
        QCOMPARE(tables.tldTable().at(company).server, QStringLiteral("whois.nic.uk"));
        // No line is shadowed by an earlier one that matches every name it matches.
        const auto& table = tables.tldTable();
        for (int i = 0; i < table.size(); ++i)
            for (int j = i + 1; j < table.size(); ++j)
                QVERIFY2(table.at(j).pattern != table.at(i).pattern &&
                             !table.at(j).pattern.endsWith(QLatin1Char('.') + table.at(i).pattern),
                         qPrintable(table.at(j).pattern));
    }
};

NW_TEST_CLASS(TstWhoisTables)
#include "tst_whoistables.moc"
