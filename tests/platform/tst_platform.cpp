#include "platform/EndpointRouter.h"
#include "platform/LocalWait.h"
#include "platform/Resolver.h"
#include "platform/SingleInstance.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

using namespace nw;

class TstPlatform : public QObject {
    Q_OBJECT

private slots:
    void localWaitEndsOnConditionOrBound()
    {
        bool done = false;
        QTimer trigger;
        trigger.setSingleShot(true);
        connect(&trigger, &QTimer::timeout, this, [&] { done = true; });
        LocalWait wait([&] { return done; });
        wait.wakeOn(&trigger, &QTimer::timeout);
        trigger.start(10);
        QVERIFY(wait.run(5000));

        LocalWait never([] { return false; });
        QVERIFY(!never.run(20));
    }

    void endpointRouterReadsRoutes_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("host"); // where WHOIS.Example.net:43 goes; empty: the route is refused
        QTest::addColumn<int>("port");
        QTest::newRow("name compared without case") << "whois.example.NET=127.0.0.1:4343" << "127.0.0.1" << 4343;
        QTest::newRow("host with colons") << "whois.example.net=::1:4343" << "::1" << 4343;
        QTest::newRow("other names go to themselves") << "whois.other.net=127.0.0.1:4343" << "WHOIS.Example.net" << 43;
        QTest::newRow("no name") << "=127.0.0.1:4343" << "" << 0;
        QTest::newRow("no host") << "whois.example.net=:4343" << "" << 0;
        QTest::newRow("no port") << "whois.example.net=127.0.0.1" << "" << 0;
        QTest::newRow("port 0") << "whois.example.net=127.0.0.1:0" << "" << 0;
        QTest::newRow("port beyond 65535") << "whois.example.net=127.0.0.1:65536" << "" << 0;
    }
    void endpointRouterReadsRoutes()
    {
        QFETCH(QString, route);
        QFETCH(QString, host);
        QFETCH(int, port);
        EndpointRouter router;
        QString error;
        QCOMPARE(router.addRoute(route, &error), !host.isEmpty());
        QCOMPARE(error.isEmpty(), !host.isEmpty());
        if (host.isEmpty())
            return;
        const auto endpoint = router.endpointFor(QStringLiteral("WHOIS.Example.net"), 43);
        QCOMPARE(endpoint.host, host);
        QCOMPARE(int(endpoint.port), port);
    }

    void tableResolverReadsItsFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("valid");
        QTest::newRow("names and comments") << QByteArray("# test table\n192.0.2.1 a.example\n\n127.0.0.1 localhost\n")
                                            << true;
        QTest::newRow("missing name") << QByteArray("192.0.2.1\n") << false;
        QTest::newRow("not an address") << QByteArray("192.0.2 a.example\n") << false;
    }
    void tableResolverReadsItsFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, valid);
        test::Sandbox box;
        QString error;
        auto table = TableResolver::fromFile(box.writeFile(QStringLiteral("hosts"), file), &error);
        QCOMPARE(bool(table), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (!valid)
            return;
        QCOMPARE(table->nameOf(dottedToBytes(QStringLiteral("192.0.2.1"))), QStringLiteral("a.example"));
        QCOMPARE(table->addressOf(QStringLiteral("A.example")), dottedToBytes(QStringLiteral("192.0.2.1")));
        QCOMPARE(table->addressOf(QString()), dottedToBytes(QStringLiteral("127.0.0.1")));
        QVERIFY(table->nameOf(dottedToBytes(QStringLiteral("192.0.2.2"))).isEmpty());
    }

    // Two copies of the program would both report every message: a later start hands over to the first.
    void aSecondStartCallsTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path());
        QVERIFY(first.claim());
        QSignalSpy called(&first, &SingleInstance::called);
        SingleInstance second(dir.path());
        QVERIFY(!second.claim());
        QVERIFY(second.callFirst());
        QVERIFY(called.wait());
    }
};

NW_TEST_CLASS(TstPlatform)
#include "tst_platform.moc"
