#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/SourceWalk.h"
#include "platform/Resolver.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using nw::test::Sandbox;

// Headers as the mail servers of each family write them. The recipient's own servers sit in 203.0.113.0/24
// or private space, senders in 198.51.100.0/24 and 2001:db8::/32, the sender's own clients in 192.0.2.0/24.
class TstSourceWalk : public QObject {
    Q_OBJECT

private slots:
    void findsTheSource_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("ownHosts");
        QTest::addColumn<QString>("designed"); // the designed walk's answer, which the mode must not change
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("hostName");

        QTest::newRow("postfix behind amavis, sender authenticated at its own server") << R"(Return-Path: <bulk@sender.example>
Delivered-To: user@example.com
Received: from localhost (localhost [127.0.0.1])
	by mail.example.com (Postfix) with ESMTP id 4F1A2B3C4D
	for <user@example.com>; Mon, 6 Mar 2023 10:00:05 +0000 (UTC)
X-Virus-Scanned: Debian amavisd-new at mail.example.com
Received: from mail.example.com ([127.0.0.1])
	by localhost (mail.example.com [127.0.0.1]) (amavisd-new, port 10024)
	with ESMTP id aBcDeFgHiJkL for <user@example.com>;
	Mon, 6 Mar 2023 10:00:04 +0000 (UTC)
Received: from mta.sender.example (mta.sender.example [198.51.100.7])
	(using TLSv1.3 with cipher TLS_AES_256_GCM_SHA384 (256/256 bits)
	 key-exchange X25519 server-signature RSA-PSS (2048 bits) server-digest SHA256)
	(No client certificate requested)
	by mail.example.com (Postfix) with ESMTPS id 1A2B3C4D5E
	for <user@example.com>; Mon, 6 Mar 2023 10:00:03 +0000 (UTC)
Received: from [192.168.10.5] (dsl.isp.example [192.0.2.77])
	(Authenticated sender: bulk@sender.example)
	by mta.sender.example (Postfix) with ESMTPSA id 9Z8Y7X
	for <user@example.com>; Mon, 6 Mar 2023 10:00:01 +0000 (UTC)
From: bulk@sender.example
)" << "" << "127.0.0.1" << "198.51.100.7" << "mta.sender.example";

        QTest::newRow("exim boundary with a greeting literal, dovecot lmtp delivery") << R"(Received: from mx.example.org ([203.0.113.30])
	by imap.example.org with LMTPS
	id 3kE9Lq1xB2Q5HwAA0J78UA
	(envelope-from <promo@bulk.example>)
	for <user@example.org>; Tue, 07 Mar 2023 11:12:14 +0100
Received: from [198.51.100.44] (helo=[10.1.1.9])
	by mx.example.org with esmtp (Exim 4.96)
	(envelope-from <promo@bulk.example>)
	id 1pZxYw-0003Ab-2C
	for user@example.org; Tue, 07 Mar 2023 11:12:13 +0100
)" << "" << "203.0.113.30" << "198.51.100.44" << "";

        QTest::newRow("exim with port and greeting, spamassassin on the same host") << R"(Received: from localhost ([127.0.0.1] helo=mx.example.org)
	by mx.example.org with esmtp (Exim 4.96)
	(envelope-from <a@bulk.example>)
	id 1pZxZa-0003Ac-0B
	for user@example.org; Tue, 07 Mar 2023 11:20:02 +0100
Received: from mail.bulk.example ([198.51.100.45]:40112 helo=mx.example.org)
	by mx.example.org with esmtps  (TLS1.3) tls TLS_AES_256_GCM_SHA384
	(Exim 4.96)
	(envelope-from <a@bulk.example>)
	id 1pZxZ9-0003Ab-3D
	for user@example.org; Tue, 07 Mar 2023 11:20:01 +0100
)" << "" << "127.0.0.1" << "198.51.100.45" << "";

        QTest::newRow("exim handing back to itself on a public address") << R"(Received: from mx.example.org ([203.0.113.31])
	by mx.example.org with esmtp (Exim 4.96)
	(envelope-from <a@bulk.example>)
	id 1pZy00-0003Ad-1A
	for user@example.org; Tue, 07 Mar 2023 11:30:02 +0100
Received: from [198.51.100.46] (port=40222 helo=mail.bulk.example)
	by mx.example.org with esmtp (Exim 4.96)
	(envelope-from <a@bulk.example>)
	id 1pZxZz-0003Ac-0C
	for user@example.org; Tue, 07 Mar 2023 11:30:01 +0100
)" << "" << "203.0.113.31" << "198.51.100.46" << "";

        QTest::newRow("sendmail relay with a private address, forged reverse name") << R"(Received: from relay.example.com (relay.example.com [10.0.0.5])
	by host.example.com (8.15.2/8.15.2) with ESMTP id 32AB1234009876
	for <user@example.com>; Wed, 8 Mar 2023 08:30:02 GMT
Received: from spam.example (dyn-77.isp.example [198.51.100.77] (may be forged))
	by relay.example.com (8.15.2/8.15.2) with ESMTP id 32AB1233009875
	for <user@example.com>; Wed, 8 Mar 2023 08:30:01 GMT
)" << "" << "10.0.0.5" << "198.51.100.77" << "";

        QTest::newRow("qmail, greeting naming the recipient's host") << R"(Received: (qmail 12345 invoked from network); 8 Mar 2023 09:00:01 -0000
Received: from unknown (HELO mail.example.net) (198.51.100.88)
  by mail.example.net with SMTP; 8 Mar 2023 09:00:01 -0000
)" << "" << "198.51.100.88" << "198.51.100.88" << "";

        QTest::newRow("exchange on the premises, internal relays private") << R"(Received: from EXCH02.corp.example.com (10.20.0.12) by EXCH01.corp.example.com
 (10.20.0.11) with Microsoft SMTP Server (version=TLS1_2,
 cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.1.2507.21 via Mailbox
 Transport; Thu, 9 Mar 2023 08:00:03 +0000
Received: from edge.corp.example.com (10.20.0.40) by EXCH02.corp.example.com
 (10.20.0.12) with Microsoft SMTP Server id 15.1.2507.21; Thu, 9 Mar 2023
 08:00:02 +0000
Received: from mail.promo.example (198.51.100.90) by edge.corp.example.com
 (203.0.113.40) with Microsoft SMTP Server id 15.1.2507.21; Thu, 9 Mar 2023
 08:00:01 +0000
)" << "" << "10.20.0.12" << "198.51.100.90" << "";

        QTest::newRow("exchange edge on a public address, listed") << R"(Received: from edge.corp.example.com (203.0.113.40) by EXCH02.corp.example.com
 (10.20.0.12) with Microsoft SMTP Server id 15.1.2507.21; Thu, 9 Mar 2023
 08:00:02 +0000
Received: from mail.promo.example (198.51.100.90) by edge.corp.example.com
 (203.0.113.40) with Microsoft SMTP Server id 15.1.2507.21; Thu, 9 Mar 2023
 08:00:01 +0000
)" << "203.0.113.40" << "203.0.113.40" << "198.51.100.90" << "";

        QTest::newRow("microsoft 365: internal hops on public IPv6 of one network") << R"(Received: from DM6PR11MB4187.namprd11.prod.outlook.example (2001:db8:5:1d8::23) by
 SJ0PR11MB5021.namprd11.prod.outlook.example with HTTPS; Fri, 10 Mar 2023 07:00:04
 +0000
Received: from BN9PR03CA0012.namprd03.prod.outlook.example (2001:db8:408:1::22)
 by DM6PR11MB4187.namprd11.prod.outlook.example (2001:db8:5:1d8::23) with
 Microsoft SMTP Server (version=TLS1_2,
 cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20.6178.19; Fri, 10 Mar
 2023 07:00:03 +0000
Received: from BN8NAM11FT061.eop-nam11.prod.protection.outlook.example
 (2001:db8:408:1:cafe::5) by BN9PR03CA0012.office365.example
 (2001:db8:408:1::22) with Microsoft SMTP Server (version=TLS1_2,
 cipher=TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384) id 15.20.6178.19 via Frontend
 Transport; Fri, 10 Mar 2023 07:00:03 +0000
Received: from mail.promo.example (198.51.100.91) by
 BN8NAM11FT061.mail.protection.outlook.example (10.13.177.100) with Microsoft SMTP
 Server id 15.20.6178.19 via Frontend Transport; Fri, 10 Mar 2023 07:00:02 +0000
)" << "" << "" << "198.51.100.91" << "";

        QTest::newRow("sender's exchange records its own public address below the boundary") << R"(Received: from mail.sender.example (mail.sender.example [198.51.100.7])
	by mx.example.com (Postfix) with ESMTPS id 2B3C4D5E6F
	for <user@example.com>; Fri, 10 Mar 2023 08:00:02 +0000 (UTC)
Received: from EX01.sender.example (10.0.0.5) by mail.sender.example
 (198.51.100.7) with Microsoft SMTP Server id 15.1.2507.21; Fri, 10 Mar 2023
 08:00:01 +0000
)" << "" << "198.51.100.7" << "198.51.100.7" << "mta.sender.example";

        QTest::newRow("large webmail provider's MX, sender on IPv6") << R"(Received: by 2002:a05:7300:5c1a:b0:e1:1234:5678 with SMTP id ab12csp1234567dyb;
        Sat, 11 Mar 2023 06:00:03 -0800 (PST)
X-Received: by 2002:a17:90a:1234:b0:23a:1234:5678 with SMTP id x1mr1234567pjb.12.1678543203;
        Sat, 11 Mar 2023 06:00:03 -0800 (PST)
ARC-Seal: i=1; a=rsa-sha256; t=1678543203; cv=none; d=mail.example; s=arc-20160816; b=AbCdEf
Received: from mail.promo.example (mail.promo.example. [2001:db8:77::25])
        by mx.mail.example with ESMTPS id q1-20020a17090a1234si1234567pjb.12.2023.03.11.06.00.02
        for <user@mail.example>
        (version=TLS1_3 cipher=TLS_AES_256_GCM_SHA384 bits=256/256);
        Sat, 11 Mar 2023 06:00:02 -0800 (PST)
)" << "" << "" << "2001:db8:77::25" << "mail.promo.example";

        QTest::newRow("webmail provider: a customer's authenticated submission is the source") << R"(Received: by 2002:a05:7300:5c1a:b0:e1:1234:5678 with SMTP id ab12csp7654321dyb;
        Sat, 11 Mar 2023 06:10:03 -0800 (PST)
Received: from [192.168.1.20] (dsl-9.isp.example. [198.51.100.140])
        by smtp.mail.example with ESMTPSA id c2sm1234567wrx.33.2023.03.11.06.10.02
        for <user@mail.example>
        (version=TLS1_3 cipher=TLS_AES_256_GCM_SHA384 bits=256/256);
        Sat, 11 Mar 2023 06:10:02 -0800 (PST)
)" << "" << "198.51.100.140" << "198.51.100.140" << "";

        QTest::newRow("webmail: private hop, then the sender's browser") << R"(Received: from 10.217.150.12
 by atlas320.free.mail.ne1.yahoo.example with HTTP; Mon, 13 Mar 2023 04:00:02 +0000
Received: from 198.51.100.130 by web.mail.yahoo.example with HTTP; Mon, 13 Mar 2023 04:00:01 +0000
)" << "" << "10.217.150.12" << "198.51.100.130" << "";

        QTest::newRow("webmail MX: address first, greeting in a comment") << R"(Received: from 10.217.151.75
 by atlas-production.v2-mail-prod1-gq1.omega.yahoo.example with HTTP; Mon, 13 Mar 2023 04:10:02 +0000
Received: from 198.51.100.131 (EHLO mail.promo.example)
  by 10.217.151.75 with SMTPs; Mon, 13 Mar 2023 04:10:01 +0000
)" << "" << "10.217.151.75" << "198.51.100.131" << "";

        QTest::newRow("fetchmail: the walk starts again below the fetch") << R"(Received: from desktop.home.example (localhost [127.0.0.1])
	by desktop.home.example (Postfix) with ESMTP id 0A1B2C3D
	for <me@localhost>; Sun, 12 Mar 2023 05:00:10 +0000 (GMT)
Received: from pop.isp.example [203.0.113.110]
	by desktop.home.example with POP3 (fetchmail-6.4.37)
	for <me@localhost> (single-drop); Sun, 12 Mar 2023 05:00:09 +0000 (GMT)
Received: from mx1.isp.example (mx1.isp.example [10.8.0.2])
	by store.isp.example (Postfix) with ESMTP id 5E6F7A8B
	for <me@isp.example>; Sun, 12 Mar 2023 04:59:02 +0000 (GMT)
Received: from promo.example (promo.example [198.51.100.120])
	by mx1.isp.example (Postfix) with ESMTP id 1C2D3E4F
	for <me@isp.example>; Sun, 12 Mar 2023 04:59:01 +0000 (GMT)
)" << "" << "127.0.0.1" << "198.51.100.120" << "";

        QTest::newRow("content filter handing back on a public address") << R"(Received: from mail.example.com (mail.example.com [203.0.113.50])
	by mail.example.com (Postfix) with ESMTP id 7D8E9F
	for <user@example.com>; Mon, 6 Mar 2023 12:00:02 +0000
Received: from promo.example (unknown [198.51.100.150])
	by mail.example.com (Postfix) with ESMTP id 6C7D8E
	for <user@example.com>; Mon, 6 Mar 2023 12:00:01 +0000
)" << "" << "203.0.113.50" << "198.51.100.150" << "";

        QTest::newRow("courier, client as an IPv4-mapped address") << R"(Received: from promo.example (promo.example [::ffff:198.51.100.160])
  (AUTH: LOGIN promo, TLS: TLSv1.2,256bits,ECDHE-RSA-AES256-GCM-SHA384)
  by mail.example.com with ESMTPSA; Mon, 06 Mar 2023 13:00:01 +0000
)" << "" << "198.51.100.160" << "198.51.100.160" << "";

        QTest::newRow("postfix, IPv6 client, public relay named by prefix") << R"(Received: from relay.example.com (relay.example.com [IPv6:3fff:0:1::25])
	by mail.example.com (Postfix) with ESMTPS id 8E9F0A
	for <user@example.com>; Mon, 6 Mar 2023 14:00:02 +0000
Received: from promo.example (unknown [IPv6:2001:db8:100::1])
	by relay.example.com (Postfix) with ESMTP id 7D8E9F
	for <user@example.com>; Mon, 6 Mar 2023 14:00:01 +0000
)" << "3fff::/20" << "" << "2001:db8:100::1" << "";

        QTest::newRow("postfix relay named in the list by its domain") << R"(Received: from relay.example.com (relay.example.com [203.0.113.60])
	by mail.example.com (Postfix) with ESMTPS id 9F0A1B
	for <user@example.com>; Mon, 6 Mar 2023 16:00:02 +0000
Received: from [192.0.2.8] (unknown [198.51.100.170])
	by relay.example.com (Postfix) with ESMTP id 8E9F0A
	for <user@example.com>; Mon, 6 Mar 2023 16:00:01 +0000
)" << "example.com" << "203.0.113.60" << "198.51.100.170" << "";

        // Only the name the recording host found in the name service counts: greetings are the client's
        // own claim, and spam often greets with the recipient's host name.
        QTest::newRow("postfix: greeting names the recording host, no reverse name") << R"(Received: from mail.example.com (unknown [198.51.100.180])
	by mail.example.com (Postfix) with ESMTP id 0A1B2C
	for <user@example.com>; Mon, 6 Mar 2023 17:00:01 +0000
)" << "mail.example.com" << "198.51.100.180" << "198.51.100.180" << "";
        QTest::newRow("sendmail: a listed reverse name that may be forged") << R"(Received: from relay (relay.example.com [198.51.100.181] (may be forged))
	by mail.example.com (8.15.2/8.15.2) with ESMTP id 32AB1235009877
	for <user@example.com>; Mon, 6 Mar 2023 17:00:00 GMT
)" << "relay.example.com" << "198.51.100.181" << "198.51.100.181" << "";
        QTest::newRow("sendmail without a reverse name: the greeting before the address") << R"(Received: from mail.example.com ([198.51.100.183])
	by mail.example.com (8.15.2/8.15.2) with ESMTP id 32AB1236009878
	for <user@example.com>; Mon, 6 Mar 2023 17:10:00 GMT
)" << "mail.example.com" << "198.51.100.183" << "198.51.100.183" << "";
        QTest::newRow("exchange: the greeting is the recording host's name") << R"(Received: from mail.example.com (198.51.100.182) by mail.example.com
 (203.0.113.70) with Microsoft SMTP Server id 15.1.2507.21; Mon, 6 Mar 2023
 16:59:59 +0000
)" << "mail.example.com" << "198.51.100.182" << "198.51.100.182" << "";

        QTest::newRow("the whole chain inside: a local user's submission") << R"(Received: by mail.example.com (Postfix, from userid 1000)
	id 3C4D5E; Mon, 6 Mar 2023 15:00:02 +0000 (UTC)
Received: from [192.168.1.30] (laptop.lan [192.168.1.30])
	(Authenticated sender: user@example.com)
	by mail.example.com (Postfix) with ESMTPSA id 2B3C4D
	for <boss@example.com>; Mon, 6 Mar 2023 15:00:01 +0000 (UTC)
)" << "" << "192.168.1.30" << "" << "";
    }
    void findsTheSource()
    {
        QFETCH(QString, header);
        QFETCH(QString, ownHosts);
        QFETCH(QString, designed);
        QFETCH(QString, source);
        QFETCH(QString, hostName);
        Sandbox box;
        const QString path = box.writeFile(QStringLiteral("m.eml"), header.toLatin1());
        StringSink view;
        LoadMessageHeader(path, view);
        TableResolver resolver;
        resolver.add(QStringLiteral("198.51.100.7"), QStringLiteral("mta.sender.example"));
        resolver.add(QStringLiteral("2001:db8:77::25"), QStringLiteral("mail.promo.example"));

        SourceRules rules;
        rules.ownHosts = OwnHosts::parse(ownHosts);
        HeaderAnalysis analysis;
        QVERIFY(analyzeMessage(resolver, view.text(), path, rules, analysis));
        QCOMPARE(analysis.ip, designed);

        rules.skipOwnHops = true;
        analysis = HeaderAnalysis();
        QVERIFY(analyzeMessage(resolver, view.text(), path, rules, analysis));
        QCOMPARE(analysis.ip, source);
        QCOMPARE(analysis.hostName, hostName);
        QCOMPARE(analysis.ipHostName, hostName);
        if (!source.isEmpty()) {
            // The other fields describe the chosen hop.
            QVERIFY2(analysis.receivedLine.startsWith(QLatin1String("Received: ")) &&
                         analysis.receivedLine.contains(source, Qt::CaseInsensitive),
                     qPrintable(analysis.receivedLine));
            QVERIFY(!analysis.timeStamp.isEmpty());
            QVERIFY2(analysis.receivedLine.simplified().contains(analysis.timeStamp.simplified()),
                     qPrintable(analysis.timeStamp));
        }
        QVERIFY(box.prompts().texts().isEmpty());
    }

    void literalForms_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("address"); // "" when it is none
        QTest::newRow("Sendmail's and Postfix's IPv6 tag") << "[IPv6:2001:db8::1]" << "2001:db8::1";
        QTest::newRow("bracketed, upper case") << "[2001:DB8::1]" << "2001:db8::1";
        QTest::newRow("uncompressed") << "2001:db8:0:0:0:0:0:1" << "2001:db8::1";
        QTest::newRow("zone suffix") << "fe80::1%eth0" << "fe80::1";
        QTest::newRow("IPv6 with a port after the bracket") << "[2001:db8::1]:25" << "2001:db8::1";
        QTest::newRow("IPv4 with a port after the bracket") << "[192.0.2.1]:54321" << "192.0.2.1";
        QTest::newRow("IPv4 with a port") << "192.0.2.1:25" << "192.0.2.1";
        QTest::newRow("qmail's identified client") << "user@198.51.100.7" << "198.51.100.7";
        QTest::newRow("IPv4-mapped, tagged") << "[IPv6:::ffff:192.0.2.1]" << "192.0.2.1";
        QTest::newRow("IPv4-mapped") << "::ffff:192.0.2.1" << "192.0.2.1";
        QTest::newRow("three parts") << "192.0.2" << "";
        QTest::newRow("unclosed bracket") << "[192.0.2.1" << "";
        QTest::newRow("a name") << "mail.example.com" << "";
        QTest::newRow("not hexadecimal") << "2001:db8::zz" << "";
        QTest::newRow("a server version") << "15.20.6178.19" << "";
    }
    void literalForms()
    {
        QFETCH(QString, literal);
        QFETCH(QString, address);
        const auto parsed = addressFromLiteral(literal);
        QCOMPARE(parsed ? addressText(*parsed) : QString(), address);
    }

    void ownHosts_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("probe"); // an address, or a host name
        QTest::addColumn<bool>("own");
        QTest::addColumn<QStringList>("bad");
        QTest::newRow("name, case and final dot ignored") << "mail.example.com" << "MAIL.example.com." << true
                                                          << QStringList();
        QTest::newRow("a name stands for the hosts below it") << "example.com" << "mx1.example.com" << true
                                                              << QStringList();
        QTest::newRow("but not for a name that merely ends alike") << "example.com" << "badexample.com" << false
                                                                   << QStringList();
        QTest::newRow("IPv4 prefix, inside") << "203.0.113.0/24" << "203.0.113.9" << true << QStringList();
        QTest::newRow("IPv4 prefix, outside") << "203.0.113.0/24" << "203.0.114.1" << false << QStringList();
        QTest::newRow("IPv6 prefix among commas") << "3fff::/20,2001:db8::25" << "3fff:0:1::1" << true
                                                  << QStringList();
        QTest::newRow("IPv6 address alone") << "3fff::/20, 2001:db8::25" << "2001:db8::26" << false << QStringList();
        QTest::newRow("bad entries left out and named")
            << "10.0.0.0/33 foo/bar\tmx.example.com" << "mx.example.com" << true
            << QStringList{QStringLiteral("10.0.0.0/33"), QStringLiteral("foo/bar")};
    }
    void ownHosts()
    {
        QFETCH(QString, list);
        QFETCH(QString, probe);
        QFETCH(bool, own);
        QFETCH(QStringList, bad);
        QStringList rejected;
        const OwnHosts hosts = OwnHosts::parse(list, &rejected);
        const auto address = addressFromLiteral(probe);
        QCOMPARE(address ? hosts.containsAddress(*address) : hosts.containsName(probe), own);
        QCOMPARE(rejected, bad);
    }
};

NW_TEST_CLASS(TstSourceWalk)

#include "tst_sourcewalk.moc"
