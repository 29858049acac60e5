#include "header/OriginatingIP.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::row;
using nw::test::Sandbox;

namespace {

// Reverse names from a table, counting the look-ups the walk makes.
class CountingResolver : public TableResolver {
public:
    int lookUps = 0;
    QString nameOf(const QByteArray& address) override
    {
        ++lookUps;
        return TableResolver::nameOf(address);
    }
};

QString hop(const QString& from, const QString& ip, const QString& by, int minute = 0)
{
    const QString sender = ip.isEmpty() ? from : QStringLiteral("%1 (%1 [%2])").arg(from, ip);
    return QStringLiteral("Received: from %1\r\n\tby %2 with SMTP; Mon, 01 Jan 2001 12:%3:00 +0000\r\n")
        .arg(sender, by)
        .arg(minute, 2, 10, QLatin1Char('0'));
}

const QString kStamp = QStringLiteral("Mon, 01 Jan 2001 12:%1:00 +0000");

} // namespace

class TstOriginatingIP : public QObject {
    Q_OBJECT

private slots:
    void walksTheHops_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QStringList>("names"); // "IP NAME" reverse entries
        QTest::addColumn<QString>("ip");
        QTest::addColumn<int>("chosen"); // the hop whose line and stamp the analysis gets
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<int>("lookUps");
        QTest::addColumn<QStringList>("messages");
        const QString a1 = hop(u"a.example"_s, u"192.0.2.1"_s, u"mx.example"_s, 1);
        const QString b2 = hop(u"b.example"_s, u"192.0.2.2"_s, u"a.example"_s, 2);
        const QStringList both = {u"192.0.2.1 a.example"_s, u"192.0.2.2 b.example"_s};

        const QStringList none;
        row("b: one line, name matches, last hop", a1, both, "192.0.2.1", 1, "a.example", 1, none);
        row("b: one line, name differs, blamed on itself", a1, QStringList{u"192.0.2.1 other.example"_s}, "192.0.2.1",
            1, "other.example", 1, none);
        row("b: one line, no reverse name", a1, none, "192.0.2.1", 1, "", 1, none);
        row("b: consistent chain reaches the last hop", a1 + b2, both, "192.0.2.2", 2, "b.example", 2, none);
        row("b: mismatch at hop 2 blames hop 1", a1 + b2,
            QStringList{u"192.0.2.1 a.example"_s, u"192.0.2.2 x.example"_s}, "192.0.2.1", 1, "a.example", 2, none);
        row("b: sender not the next line's recorder stops there",
            a1 + hop(u"b.example"_s, u"192.0.2.2"_s, u"elsewhere.example"_s, 2), both, "192.0.2.1", 1, "a.example", 1,
            none);
        row("a: empty sender at hop 1 is looked up and chosen",
            u"Received: from [192.0.2.9] by mx.example with SMTP; Mon, 01 Jan 2001 12:09:00 +0000\r\n"_s,
            QStringList{u"192.0.2.9 dyn.example"_s}, "192.0.2.9", 9, "dyn.example", 1, none);
        row("a: empty sender at hop 2 chooses hop 1",
            a1 + u"Received: from [192.0.2.9] by a.example; Mon, 01 Jan 2001 12:09:00 +0000\r\n"_s, both, "192.0.2.1",
            1, "a.example", 1, none);
        row("a: no sender and no address asks about an empty address",
            u"Received: from  by mx.example; Mon, 01 Jan 2001 12:07:00 +0000\r\n"_s, both, "", 7, "", 0,
            QStringList{u"String passed is an invalid IP."_s});
        row("c: first hop without address, hop 2 chosen unseen",
            hop(u"localhost"_s, QString(), u"mx.example"_s, 1) + b2, both, "192.0.2.2", 2, "", 0, none);
        row("c: single hop without address", hop(u"localhost"_s, QString(), u"mx"_s, 1), both, "", 1, "", 0, none);
        row("c: address-less last hop leaves the hop above", a1 + hop(u"localhost"_s, QString(), u"a.example"_s, 2),
            both, "192.0.2.1", 1, "a.example", 1, none);
        row("c: mismatch after an address-less hop blames it and yields nothing",
            a1 + hop(u"a.example"_s, QString(), u"a.example"_s, 2) + hop(u"c.example"_s, u"192.0.2.3"_s, u"x"_s, 3),
            both, "", 2, "", 2, none);
        row("a Received-by line takes a hop's place",
            a1 + u"Received: (qmail 1 invoked by uid 2); Mon, 01 Jan 2001 12:05:00 +0000\r\n"_s + b2, both, "192.0.2.1",
            1, "a.example", 1, none);
    }
    void walksTheHops()
    {
        QFETCH(QString, header);
        QFETCH(QStringList, names);
        QFETCH(QString, ip);
        QFETCH(int, chosen);
        QFETCH(QString, hostName);
        QFETCH(int, lookUps);
        QFETCH(QStringList, messages);
        Sandbox box;
        CountingResolver resolver;
        for (const QString& entry : names)
            resolver.add(entry.section(QLatin1Char(' '), 0, 0), entry.section(QLatin1Char(' '), 1, 1));
        HeaderAnalysis analysis;
        QCOMPARE(OriginatingIP(resolver, header, analysis), ip);
        QCOMPARE(analysis.hostName, hostName);
        QCOMPARE(analysis.timeStamp, kStamp.arg(chosen, 2, 10, QLatin1Char('0')));
        QVERIFY2(analysis.receivedLine.startsWith(QLatin1String("Received: ")) &&
                     analysis.receivedLine.contains(kStamp.arg(chosen, 2, 10, QLatin1Char('0'))),
                 qPrintable(analysis.receivedLine));
        QCOMPARE(resolver.lookUps, lookUps);
        QCOMPARE(box.prompts().texts(), messages);
        QVERIFY(analysis.ip.isEmpty()); // the caller stores the result
    }

    void noReceivedFromLeavesTheAnalysis_data()
    {
        QTest::addColumn<QString>("header");
        row("empty", "");
        row("Received: by only", "Received: by mx.example; Mon, 01 Jan 2001\r\n");
    }
    void noReceivedFromLeavesTheAnalysis()
    {
        QFETCH(QString, header);
        Sandbox box;
        TableResolver resolver;
        const HeaderAnalysis before{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                                    QStringLiteral("5")};
        HeaderAnalysis analysis = before;
        QCOMPARE(OriginatingIP(resolver, header, analysis), QStringLiteral("0"));
        QCOMPARE(analysis, before);
    }

    void analysesLikeTheDropFolder_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<bool>("full");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("ipHostName");
        row("not a full header: nothing set", "Subject: hello\r\n", false, "old", "old");
        row("an address gets its reverse name", "Received: from [192.0.2.1] by mx.example; Mon\r\n", true, "192.0.2.1",
            "a.example");
        row("no usable address: reverse name kept", "Received: from localhost by mx.example; Mon\r\n", true, "", "old");
    }
    void analysesLikeTheDropFolder()
    {
        QFETCH(QString, header);
        QFETCH(bool, full);
        QFETCH(QString, ip);
        QFETCH(QString, ipHostName);
        Sandbox box;
        TableResolver resolver;
        resolver.add(QStringLiteral("192.0.2.1"), QStringLiteral("a.example"));
        HeaderAnalysis analysis;
        analysis.ip = analysis.ipHostName = QStringLiteral("old");
        QCOMPARE(analyzeHeader(resolver, header, analysis), full);
        QCOMPARE(analysis.ip, ip);
        QCOMPARE(analysis.ipHostName, ipHostName);
    }
};

NW_TEST_CLASS(TstOriginatingIP)
#include "tst_originatingip.moc"
