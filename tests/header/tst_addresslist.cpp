#include "header/AddressList.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::row;

class TstAddressList : public QObject {
    Q_OBJECT

private slots:
    void extractsAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("unique");
        QTest::addColumn<QString>("list");
        row("comma and angle brackets", "mail a@b.com, then <abuse@example.net> now", true,
            "a@b.com\r\nabuse@example.net\r\n");
        row("sentence end is not taken", "write to a@b.com.", true, "");
        row("INFO is not a domain", "x@example.info", true, "");
        row("numeric domain 239", "x@239.1.1.1", true, "x@239.1.1.1\r\n");
        row("numeric domain 240", "x@240.1.1.1", true, "");
        row("bracketed domain", "x@[192.0.2.1]", true, "");
        row("substring of earlier is left out", "ab@c.com bb@c.com b@c.com", true, "ab@c.com\r\nbb@c.com\r\n");
        row("duplicates kept when not unique", "a@c.com a@c.com", false, "a@c.com\r\na@c.com\r\n");
        row("double at sign inside candidate", "a@@b.com", true, "");
        row("tab and CRLF delimit", "\tnoc@x.de\r\n", true, "noc@x.de\r\n");
        row("empty labels allowed", "a@b..com", true, "a@b..com\r\n");
        row("no at sign", "nothing here", true, "");
        row("a megabyte of at signs is passed over at once", QString(1 << 20, u'@') + u" abuse@example.com"_s, true,
            "abuse@example.com\r\n");
    }
    void extractsAddresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, unique);
        QFETCH(QString, list);
        test::Sandbox box;
        QCOMPARE(GetEmailListFromText(text, unique), list);
    }

    void validatesAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        row("plain", "abuse@example.com", true);
        row("leading space", " abuse@example.com", false);
        row("trailing space", "abuse@example.com ", false);
        row("starts with at", "@example.com", false);
        row("no at", "example.com", false);
        row("blank", "   ", false);
        row("lower-case tld is upper-cased", "a@b.uk", true);
        row("dot-com with empty first label", "a@.com", true);
        row("empty last label", "a@b.com.", false);
        row("four numeric parts above 255", "a@1.2.3.256", false);
        row("three numeric parts fall to tld test", "a@1.2.3", false);
        row("plus forbidden", "a+b@c.com", false);
        row("ampersand allowed", "a&b@c.com", true);
        row("NUL, BEL and BS", QStringLiteral("postmaster\u0000\u0007\u0008@evil.net"), false);
        row("DEL in the domain", QStringLiteral("abuse@ev\u007fil.net"), false);
        row("unit separator", QStringLiteral("abuse\u001f@evil.net"), false);
    }
    void validatesAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        test::Sandbox box;
        QCOMPARE(IsValidEmailAddress(address), valid);
    }

    void picksAbuseAddress_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("picked");
        row("empty", "", "");
        row("spam before abuse", "noc@x.com\r\nnospam@x.com\r\nabuse@x.com\r\n", "nospam@x.com");
        row("case-insensitive abuse", "a@x.com\r\nABUSE@x.com\r\n", "ABUSE@x.com");
        row("admin in second pass", "noc@x.com\r\nnetadmin@x.com\r\n", "netadmin@x.com");
        row("third pass skips registry", "hostmaster@ripe.net\r\nnoc@x.com\r\n", "noc@x.com");
        row("only registry mailboxes", "hostmaster@ripe.net\r\nhostmaster@arin.net\r\n", "");
        row("registry abuse taken in first pass", "hostmaster@ripe.net\r\nabuse@iana.org\r\n", "abuse@iana.org");
        row("exclusion is case-sensitive", "Hostmaster@ripe.net\r\n", "Hostmaster@ripe.net");
    }
    void picksAbuseAddress()
    {
        QFETCH(QString, list);
        QFETCH(QString, picked);
        QCOMPARE(PickAbuseAddress(list), picked);
    }
};

NW_TEST_CLASS(TstAddressList)
#include "tst_addresslist.moc"
