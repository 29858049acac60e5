#include "header/ReceivedLines.h"
#include "support/Rows.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using nw::test::row;

class TstReceivedLines : public QObject {
    Q_OBJECT

private slots:
    void splitsTheFromPart_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fromHost");
        QTest::addColumn<QString>("ip");
        row("name in parentheses before a bracketed address",
            "Received: from mail.example (mail.example [192.0.2.10]) by mx.example with SMTP; Mon", "mail.example",
            "192.0.2.10");
        row("bare bracketed address has no host", "Received: from [192.0.2.10] by mx.example", "", "192.0.2.10");
        row("by inside a host name ends the part early",
            "Received: from relay.lobby.example (relay.lobby.example [192.0.2.7]) by mx", "relay.lo", "");
        row("by before from: no from part", "Received: by mx.example from x.example [192.0.2.1]", "", "");
        row("no from at all: cut from the fifth character", "Received: by mx.example", "ived:", "");
        row("semicolon ends the part when there is no by", "Received: from host.example (192.0.2.9); Mon",
            "host.example", "192.0.2.9");
        row("end of line ends it, less two characters", "Received: from host.example [192.0.2.5]", "192.0.2.", "");
        row("second bracket holds the address", "Received: from [10.0.0.1] (helo [192.0.2.5]) by mx", "10.0.0.1",
            "192.0.2.5");
        row("third bracket when the second holds none",
            "Received: from h.example [192.0.2.1] [unknown] [192.0.2.9] by mx", "192.0.2.1", "192.0.2.9");
        row("unclosed bracket falls back to the whole part", "Received: from h.example [192.0.2.1 by mx", "h.example",
            "192.0.2.1");
        row("eight-character address inside text is not found", "Received: from h.example (10.0.0.1) by mx", "10.0.0.1",
            "");
        row("last name-like word wins, address word skipped",
            "Received: from unknown (HELO shop.example) (198.51.100.61)\r\n  by mx", "shop.example", "198.51.100.61");
        row("no dotted word: the first word", "Received: from unknown (HELO shop) (198.51.100.61) by mx", "unknown",
            "198.51.100.61");
        row("line breaks removed, tabs kept", "Received: from a.example\r\n\t(a.example [192.0.2.1])\r\n\tby mx",
            "a.example\ta.example", "192.0.2.1");
        row("the address is removed from the host", "Received: from 192.0.2.8.dsl.example by mx", ".dsl.example",
            "192.0.2.8");
        row("empty line", "", "", "");
    }
    void splitsTheFromPart()
    {
        QFETCH(QString, line);
        QFETCH(QString, fromHost);
        QFETCH(QString, ip);
        QCOMPARE(GetFromHost(line), fromHost);
        QCOMPARE(GetReceivedIP(line), ip);
        // The walk takes every line apart in one go; it must see what the four routines see.
        const ReceivedHop hop = splitReceivedLine(line);
        QCOMPARE(hop.line, line);
        QCOMPARE(hop.ip, GetReceivedIP(line));
        QCOMPARE(hop.fromHost, GetFromHost(line));
        QCOMPARE(hop.timeStamp, GetTimeStamp(line));
        QCOMPARE(hop.byHost, GetByHost(line));
        QVERIFY(hop.hostName.isEmpty());
    }

    void findsTheByHost_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("byHost");
        row("between by and with", "Received: from a by mx.example (Postfix) with SMTP; d", "mx.example (Postfix)");
        row("no by", "Received: from a with SMTP", "");
        row("no with", "Received: from a by mx.example; d", "");
        row("with before by", "Received: from withheld.example by mx.example", "");
        row("by inside a host name", "Received: from relay.lobby.example by mx with SMTP", ".example by mx");
        row("case-insensitive, cut from the original", "Received: from a BY MX.Example WITH x", "MX.Example");
    }
    void findsTheByHost()
    {
        QFETCH(QString, line);
        QFETCH(QString, byHost);
        QCOMPARE(GetByHost(line), byHost);
    }

    void cutsTheTimeStamp_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("stamp");
        row("cut to 31 characters", "Received: from a by b; Mon, 01 Jan 2001 12:34:56 +0000 (GMT)",
            "Mon, 01 Jan 2001 12:34:56 +0000");
        row("no weekday initial: empty", "Received: from a by b; 1 Jan 2001 12:34:56 -0500", "");
        row("starts at the first weekday initial", "Received: from a by b; 1 Oct 2001 12:34:56 -0500",
            "t 2001 12:34:56 -0500");
        row("no semicolon", "Received: from a by b", "");
        row("ends at the line break", "Received: from a by b; Tue, 2 Jan 2001 10:00:00 +0000\r\nX: y",
            "Tue, 2 Jan 2001 10:00:00 +0000");
        row("last physical line keeps its CR", "Received: from a\r\n by b; Tue, 2 Jan 2001\r", "Tue, 2 Jan 2001\r");
        row("line break right after the semicolon", "Received: from a by b;\r\n Mon, 1 Jan 2001", "");
        row("space and line break after the semicolon", "Received: from a by b; \r\n Mon, 1 Jan", "");
        row("character after the semicolon is skipped", "Received: from a by b;Mon, 01 Jan 2001", "");
        row("first semicolon counts", "Received: from a; b by c; Mon, 01 Jan", "Mon, 01 Jan");
    }
    void cutsTheTimeStamp()
    {
        QFETCH(QString, line);
        QFETCH(QString, stamp);
        QCOMPARE(GetTimeStamp(line), stamp);
    }

    void findsAnAddressInText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("ip");
        row("trailing dot removed", "x 192.0.2.100. y", "192.0.2.100");
        row("eight characters inside text: not found", "(10.0.0.1)", "");
        row("eight characters at the end: found", "[10.0.0.1", "10.0.0.1");
        row("nine characters inside text: found", "(192.0.2.1)", "192.0.2.1");
        row("trailing dots make it long enough", "a 10.0.0.1...b", "10.0.0.1");
        row("trailing dots kept at the end", "a 10.0.0.1...", "");
        row("a non-address run is passed over", "v 1.2.3.4.5 then 192.0.2.3 x", "192.0.2.3");
        row("the first address wins", "192.0.2.1 and 192.0.2.2", "192.0.2.1");
        row("short run inside, address at the end", "1.2.3.4 5.6.7.8", "5.6.7.8");
        row("a part above 255", "256.1.1.1 x", "");
        row("digits without dots", "123456789012 x", "");
    }
    void findsAnAddressInText()
    {
        QFETCH(QString, text);
        QFETCH(QString, ip);
        QCOMPARE(FindIPInText(text), ip);
    }

    void recognisesAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        row("shortest", "1.2.3.4", true);
        row("leading zeros", "001.002.003.004", true);
        row("highest", "255.255.255.255", true);
        row("too short", "1.2.3", false);
        row("five parts", "1.2.3.4.5", false);
        row("trailing dot is a fifth part", "1.2.3.4.", false);
        row("part above 255", "256.1.1.1", false);
        row("long part above 255", "1.2.3.99999999999999999999", false);
        row("empty part", "1..2.34", false);
        row("not a number", "a.b.c.d", false);
        row("three parts, long enough", "100.200.30", false);
        row("empty", "", false);
        row("the zero result", "0", false);
    }
    void recognisesAddresses()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(IsIPAddress(text), valid);
    }
};

NW_TEST_CLASS(TstReceivedLines)
#include "tst_receivedlines.moc"
