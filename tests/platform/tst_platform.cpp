#include "platform/EndpointRouter.h"
#include "platform/LocalWait.h"
#include "platform/Resolver.h"
#include "platform/SingleInstance.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace nw;
using namespace nw::test;

class TstPlatform : public QObject {
    Q_OBJECT

private slots:
    void localWaitEndsOnConditionOrBound()
    {
        bool done = false;
        QTimer trigger;
        connect(&trigger, &QTimer::timeout, this, [&] { done = true; });
        LocalWait wait([&] { return done; });
        wait.wakeOn(&trigger, &QTimer::timeout);
        trigger.start(10);
        QVERIFY(wait.run(5000));
        QVERIFY(!LocalWait([] { return false; }).run(20));
    }

    void endpointRouterReadsRoutes_data()
    {
        columns<QString, QString>("route", "endpoint"); // where WHOIS.Example.net:43 goes; empty: refused
        row("name compared without case", "whois.example.NET=127.0.0.1:4343", "127.0.0.1:4343");
        row("host with colons", "whois.example.net=::1:4343", "::1:4343");
        row("other names go to themselves", "whois.other.net=127.0.0.1:4343", "WHOIS.Example.net:43");
        row("no name", "=127.0.0.1:4343", "");
        row("no host", "whois.example.net=:4343", "");
        row("no port", "whois.example.net=127.0.0.1", "");
        row("port 0", "whois.example.net=127.0.0.1:0", "");
        row("port beyond 65535", "whois.example.net=127.0.0.1:65536", "");
    }
    void endpointRouterReadsRoutes()
    {
        const auto [route, expected] = fetch<QString, QString>("route", "endpoint");
        EndpointRouter router;
        QString error;
        QCOMPARE(router.addRoute(route, &error), !expected.isEmpty());
        QCOMPARE(error.isEmpty(), !expected.isEmpty());
        const auto endpoint = router.endpointFor(u"WHOIS.Example.net"_s, 43);
        if (!expected.isEmpty())
            QCOMPARE(u"%1:%2"_s.arg(endpoint.host).arg(endpoint.port), expected);
    }

    void tableResolverReadsItsFile_data()
    {
        columns<QByteArray, bool>("file", "valid");
        row("names and comments", QByteArray("# test table\n192.0.2.1 a.example\n\n127.0.0.1 localhost\n"), true);
        row("tabs and runs of blanks apart, CR LF ends",
            QByteArray("192.0.2.1\t \ta.example\r\n127.0.0.1  localhost\r\n"), true);
        row("missing name", QByteArray("192.0.2.1\n"), false);
        row("not an address", QByteArray("192.0.2 a.example\n"), false);
    }
    void tableResolverReadsItsFile()
    {
        const auto [file, valid] = fetch<QByteArray, bool>("file", "valid");
        Sandbox box;
        QString error;
        auto table = TableResolver::fromFile(box.writeFile(u"hosts"_s, file), &error);
        QCOMPARE(bool(table), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (!valid)
            return;
        const QByteArray a = dottedToBytes(u"192.0.2.1"_s);
        QCOMPARE(table->nameOf(a) + table->nameOf(dottedToBytes(u"192.0.2.2"_s)), u"a.example"_s);
        QCOMPARE(table->addressOf(u"A.example"_s) + table->addressOf(QString()), a + dottedToBytes(u"127.0.0.1"_s));
    }

    // Two copies of the program would both report every message: a later start hands over to the first.
    void aSecondStartCallsTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path()), second(dir.path());
        QVERIFY(first.claim());
        QSignalSpy called(&first, &SingleInstance::called);
        QVERIFY(!second.claim());
        QVERIFY(second.callFirst());
        QVERIFY(called.wait());
    }
};

NW_TEST_CLASS(TstPlatform)
#include "tst_platform.moc"
