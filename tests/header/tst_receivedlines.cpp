#include "header/ReceivedLines.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;

class TstReceivedLines : public QObject {
    Q_OBJECT

private slots:
    void splitsTheFromPart_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("fromHost");
        QTest::addColumn<QString>("ip");
        QTest::newRow("name in parentheses before a bracketed address")
            << "Received: from mail.example (mail.example [192.0.2.10]) by mx.example with SMTP; Mon"
            << "mail.example"
            << "192.0.2.10";
        QTest::newRow("bare bracketed address has no host") << "Received: from [192.0.2.10] by mx.example"
                                                            << ""
                                                            << "192.0.2.10";
        QTest::newRow("by inside a host name ends the part early")
            << "Received: from relay.lobby.example (relay.lobby.example [192.0.2.7]) by mx"
            << "relay.lo"
            << "";
        QTest::newRow("by before from: no from part") << "Received: by mx.example from x.example [192.0.2.1]"
                                                      << ""
                                                      << "";
        QTest::newRow("no from at all: cut from the fifth character") << "Received: by mx.example"
                                                                      << "ived:"
                                                                      << "";
        QTest::newRow("semicolon ends the part when there is no by") << "Received: from host.example (192.0.2.9); Mon"
                                                                     << "host.example"
                                                                     << "192.0.2.9";
        QTest::newRow("end of line ends it, less two characters") << "Received: from host.example [192.0.2.5]"
                                                                  << "192.0.2."
                                                                  << "";
        QTest::newRow("second bracket holds the address") << "Received: from [10.0.0.1] (helo [192.0.2.5]) by mx"
                                                          << "10.0.0.1"
                                                          << "192.0.2.5";
        QTest::newRow("third bracket when the second holds none")
            << "Received: from h.example [192.0.2.1] [unknown] [192.0.2.9] by mx"
            << "192.0.2.1"
            << "192.0.2.9";
        QTest::newRow("unclosed bracket falls back to the whole part") << "Received: from h.example [192.0.2.1 by mx"
                                                                       << "h.example"
                                                                       << "192.0.2.1";
        QTest::newRow("eight-character address inside text is not found") << "Received: from h.example (10.0.0.1) by mx"
                                                                          << "10.0.0.1"
                                                                          << "";
        QTest::newRow("last name-like word wins, address word skipped")
            << "Received: from unknown (HELO shop.example) (198.51.100.61)\r\n  by mx"
            << "shop.example"
            << "198.51.100.61";
        QTest::newRow("no dotted word: the first word") << "Received: from unknown (HELO shop) (198.51.100.61) by mx"
                                                        << "unknown"
                                                        << "198.51.100.61";
        QTest::newRow("line breaks removed, tabs kept")
            << "Received: from a.example\r\n\t(a.example [192.0.2.1])\r\n\tby mx"
            << "a.example\ta.example"
            << "192.0.2.1";
        QTest::newRow("the address is removed from the host") << "Received: from 192.0.2.8.dsl.example by mx"
                                                              << ".dsl.example"
                                                              << "192.0.2.8";
        QTest::newRow("empty line") << ""
                                    << ""
                                    << "";
    }
    void splitsTheFromPart()
    {
        QFETCH(QString, line);
        QFETCH(QString, fromHost);
        QFETCH(QString, ip);
        QCOMPARE(GetFromHost(line), fromHost);
        QCOMPARE(GetReceivedIP(line), ip);
    }

    // The walk takes every line apart in one go; it must see what the four routines see.
    void splitAgreesWithTheRoutines_data() { splitsTheFromPart_data(); }
    void splitAgreesWithTheRoutines()
    {
        QFETCH(QString, line);
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
        QTest::newRow("between by and with") << "Received: from a by mx.example (Postfix) with SMTP; d"
                                             << "mx.example (Postfix)";
        QTest::newRow("no by") << "Received: from a with SMTP"
                               << "";
        QTest::newRow("no with") << "Received: from a by mx.example; d"
                                 << "";
        QTest::newRow("with before by") << "Received: from withheld.example by mx.example"
                                        << "";
        QTest::newRow("by inside a host name") << "Received: from relay.lobby.example by mx with SMTP"
                                               << ".example by mx";
        QTest::newRow("case-insensitive, cut from the original") << "Received: from a BY MX.Example WITH x"
                                                                 << "MX.Example";
        QTest::newRow("empty line") << ""
                                    << "";
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
        QTest::newRow("cut to 31 characters") << "Received: from a by b; Mon, 01 Jan 2001 12:34:56 +0000 (GMT)"
                                              << "Mon, 01 Jan 2001 12:34:56 +0000";
        QTest::newRow("no weekday initial: empty") << "Received: from a by b; 1 Jan 2001 12:34:56 -0500"
                                                   << "";
        QTest::newRow("starts at the first weekday initial") << "Received: from a by b; 1 Oct 2001 12:34:56 -0500"
                                                             << "t 2001 12:34:56 -0500";
        QTest::newRow("no semicolon") << "Received: from a by b"
                                      << "";
        QTest::newRow("ends at the line break") << "Received: from a by b; Tue, 2 Jan 2001 10:00:00 +0000\r\nX: y"
                                                << "Tue, 2 Jan 2001 10:00:00 +0000";
        QTest::newRow("last physical line keeps its CR") << "Received: from a\r\n by b; Tue, 2 Jan 2001\r"
                                                         << "Tue, 2 Jan 2001\r";
        QTest::newRow("line break right after the semicolon") << "Received: from a by b;\r\n Mon, 1 Jan 2001"
                                                              << "";
        QTest::newRow("space and line break after the semicolon") << "Received: from a by b; \r\n Mon, 1 Jan"
                                                                  << "";
        QTest::newRow("character after the semicolon is skipped") << "Received: from a by b;Mon, 01 Jan 2001"
                                                                  << "";
        QTest::newRow("first semicolon counts") << "Received: from a; b by c; Mon, 01 Jan"
                                                << "Mon, 01 Jan";
        QTest::newRow("empty line") << ""
                                    << "";
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
        QTest::newRow("trailing dot removed") << "x 192.0.2.100. y"
                                              << "192.0.2.100";
        QTest::newRow("eight characters inside text: not found") << "(10.0.0.1)"
                                                                 << "";
        QTest::newRow("eight characters at the end: found") << "[10.0.0.1"
                                                            << "10.0.0.1";
        QTest::newRow("nine characters inside text: found") << "(192.0.2.1)"
                                                            << "192.0.2.1";
        QTest::newRow("trailing dots make it long enough") << "a 10.0.0.1...b"
                                                           << "10.0.0.1";
        QTest::newRow("trailing dots kept at the end") << "a 10.0.0.1..."
                                                       << "";
        QTest::newRow("a non-address run is passed over") << "v 1.2.3.4.5 then 192.0.2.3 x"
                                                          << "192.0.2.3";
        QTest::newRow("the first address wins") << "192.0.2.1 and 192.0.2.2"
                                                << "192.0.2.1";
        QTest::newRow("short run inside, address at the end") << "1.2.3.4 5.6.7.8"
                                                              << "5.6.7.8";
        QTest::newRow("a part above 255") << "256.1.1.1 x"
                                          << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("digits without dots") << "123456789012 x"
                                             << "";
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
        QTest::newRow("shortest") << "1.2.3.4" << true;
        QTest::newRow("leading zeros") << "001.002.003.004" << true;
        QTest::newRow("highest") << "255.255.255.255" << true;
        QTest::newRow("too short") << "1.2.3" << false;
        QTest::newRow("five parts") << "1.2.3.4.5" << false;
        QTest::newRow("trailing dot is a fifth part") << "1.2.3.4." << false;
        QTest::newRow("part above 255") << "256.1.1.1" << false;
        QTest::newRow("long part above 255") << "1.2.3.99999999999999999999" << false;
        QTest::newRow("empty part") << "1..2.34" << false;
        QTest::newRow("not a number") << "a.b.c.d" << false;
        QTest::newRow("three parts, long enough") << "100.200.30" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("the zero result") << "0" << false;
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
