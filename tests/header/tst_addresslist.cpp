#include "header/AddressList.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;

class TstAddressList : public QObject {
    Q_OBJECT

private slots:
    void extractsAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("unique");
        QTest::addColumn<QString>("list");
        QTest::newRow("comma and angle brackets")
            << "mail a@b.com, then <abuse@example.net> now" << true << "a@b.com\r\nabuse@example.net\r\n";
        QTest::newRow("sentence end is not taken") << "write to a@b.com." << true << "";
        QTest::newRow("INFO is not a domain") << "x@example.info" << true << "";
        QTest::newRow("numeric domain 239") << "x@239.1.1.1" << true << "x@239.1.1.1\r\n";
        QTest::newRow("numeric domain 240") << "x@240.1.1.1" << true << "";
        QTest::newRow("bracketed domain") << "x@[192.0.2.1]" << true << "";
        QTest::newRow("substring of earlier is left out") << "ab@c.com bb@c.com b@c.com" << true
                                                           << "ab@c.com\r\nbb@c.com\r\n";
        QTest::newRow("duplicates kept when not unique") << "a@c.com a@c.com" << false << "a@c.com\r\na@c.com\r\n";
        QTest::newRow("double at sign inside candidate") << "a@@b.com" << true << "";
        QTest::newRow("tab and CRLF delimit") << "\tnoc@x.de\r\n" << true << "noc@x.de\r\n";
        QTest::newRow("empty labels allowed") << "a@b..com" << true << "a@b..com\r\n";
        QTest::newRow("no at sign") << "nothing here" << true << "";
        QTest::newRow("a megabyte of at signs is passed over at once")
            << QString(1 << 20, QLatin1Char('@')) + QStringLiteral(" abuse@example.com") << true
            << "abuse@example.com\r\n";
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
        QTest::newRow("plain") << "abuse@example.com" << true;
        QTest::newRow("leading space") << " abuse@example.com" << false;
        QTest::newRow("trailing space") << "abuse@example.com " << false;
        QTest::newRow("starts with at") << "@example.com" << false;
        QTest::newRow("no at") << "example.com" << false;
        QTest::newRow("blank") << "   " << false;
        QTest::newRow("lower-case tld is upper-cased") << "a@b.uk" << true;
        QTest::newRow("dot-com with empty first label") << "a@.com" << true;
        QTest::newRow("empty last label") << "a@b.com." << false;
        QTest::newRow("four numeric parts above 255") << "a@1.2.3.256" << false;
        QTest::newRow("three numeric parts fall to tld test") << "a@1.2.3" << false;
        QTest::newRow("plus forbidden") << "a+b@c.com" << false;
        QTest::newRow("ampersand allowed") << "a&b@c.com" << true;
        QTest::newRow("NUL, BEL and BS") << QStringLiteral("postmaster\u0000\u0007\u0008@evil.net") << false;
        QTest::newRow("DEL in the domain") << QStringLiteral("abuse@ev\u007fil.net") << false;
        QTest::newRow("unit separator") << QStringLiteral("abuse\u001f@evil.net") << false;
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
        QTest::newRow("empty") << "" << "";
        QTest::newRow("spam before abuse") << "noc@x.com\r\nnospam@x.com\r\nabuse@x.com\r\n" << "nospam@x.com";
        QTest::newRow("case-insensitive abuse") << "a@x.com\r\nABUSE@x.com\r\n" << "ABUSE@x.com";
        QTest::newRow("admin in second pass") << "noc@x.com\r\nnetadmin@x.com\r\n" << "netadmin@x.com";
        QTest::newRow("third pass skips registry") << "hostmaster@ripe.net\r\nnoc@x.com\r\n" << "noc@x.com";
        QTest::newRow("only registry mailboxes") << "hostmaster@ripe.net\r\nhostmaster@arin.net\r\n" << "";
        QTest::newRow("registry abuse taken in first pass") << "hostmaster@ripe.net\r\nabuse@iana.org\r\n"
                                                            << "abuse@iana.org";
        QTest::newRow("exclusion is case-sensitive") << "Hostmaster@ripe.net\r\n" << "Hostmaster@ripe.net";
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
