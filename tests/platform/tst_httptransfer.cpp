#include "platform/HttpTransfer.h"
#include "platform/LocalWait.h"
#include "support/NginxServer.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

#include <QRandomGenerator>
#include <QTest>

using namespace nw;
using nw::test::NginxServer;
using nw::test::ScriptedPeer;

namespace {
// Waits, as the callers do, until the response header is there.
void waitForHeaders(HttpTransfer& http)
{
    LocalWait wait([&] { return !http.stillExecuting(); });
    wait.wakeOn(&http, &HttpTransfer::headersReceived);
    QVERIFY(wait.run(10000));
}

QByteArray readBody(HttpTransfer& http, int* largest)
{
    QByteArray body;
    *largest = 0;
    for (;;) {
        const QByteArray chunk = http.getChunk(1024);
        *largest = std::max(*largest, int(chunk.size()));
        body += chunk;
        if (chunk.isEmpty())
            return body;
    }
}
} // namespace

class TstHttpTransfer : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QString why;
        if (!NginxServer::available(&why))
            QFAIL(qPrintable(why));
    }

    void readsHeaderAndBody_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<qint64>("from"); // -1: no Range header
        QTest::addColumn<QString>("status");
        QTest::newRow("whole file") << 100000 << qint64(-1) << "200";
        QTest::newRow("range from the start") << 100000 << qint64(0) << "206";
        QTest::newRow("resumed from an offset") << 100000 << qint64(60000) << "206";
        QTest::newRow("one byte") << 1 << qint64(0) << "206";
    }
    void readsHeaderAndBody()
    {
        QFETCH(int, size);
        QFETCH(qint64, from);
        QFETCH(QString, status);
        QByteArray bytes(size, '\0');
        for (char& c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        const QString url = NginxServer::put(QStringLiteral("file.bin"), bytes);
        HttpTransfer http;
        http.execute(url, QStringLiteral("GET"), {},
                     from < 0 ? QString() : QStringLiteral("Range: bytes=%1-\r\n").arg(from));
        from = std::max<qint64>(from, 0);
        waitForHeaders(http);
        const QString header = http.responseHeaders();
        QCOMPARE(header.mid(9, 3), status);
        QVERIFY(header.startsWith(QStringLiteral("HTTP/1.1 ")));
        QCOMPARE(http.responseHeader(QStringLiteral("Content-Length")), QString::number(size - from));
        QCOMPARE(http.remoteHost(), QStringLiteral("127.0.0.1"));
        int largest = 0;
        QCOMPARE(readBody(http, &largest), bytes.mid(from));
        QVERIFY(largest <= 1024);
    }

    void missingFileIs404()
    {
        HttpTransfer http;
        http.execute(NginxServer::baseUrl() + QStringLiteral("/absent.upd"));
        waitForHeaders(http);
        QCOMPARE(http.responseHeaders().mid(9, 3), QStringLiteral("404"));
    }

    void refusedConnectionGivesBareLineEnd()
    {
        HttpTransfer http;
        http.execute(QStringLiteral("http://127.0.0.1:%1/x").arg(ScriptedPeer::closedPort()));
        waitForHeaders(http);
        QCOMPARE(http.responseHeaders(), QStringLiteral("\r\n"));
        QVERIFY(http.getChunk(1024).isEmpty());
    }

    void brokenBodyEndsTheReadLoop()
    {
        ScriptedPeer peer({ScriptedPeer::readLine(),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + QByteArray(3000, 'x')),
                           ScriptedPeer::pause(50), ScriptedPeer::reset()});
        HttpTransfer http;
        http.execute(QStringLiteral("http://%1/big").arg(peer.endpoint()));
        waitForHeaders(http);
        int largest = 0;
        const QByteArray body = readBody(http, &largest);
        QVERIFY(body.size() <= 3000);
    }

    void silentServerIsGivenUp()
    {
        ScriptedPeer peer({ScriptedPeer::hold()});
        HttpTransfer http;
        http.setInactivityTimeout(300);
        http.execute(QStringLiteral("http://%1/x").arg(peer.endpoint()));
        waitForHeaders(http);
        QCOMPARE(http.responseHeaders(), QStringLiteral("\r\n"));
    }

    void fetchReachesTheServer()
    {
        HttpTransfer http;
        http.fetch(NginxServer::baseUrl() + QStringLiteral("/nwstats/stats.asp?IP1=192.0.2.7"));
        QTRY_VERIFY_WITH_TIMEOUT(NginxServer::accessLog().contains("GET /nwstats/stats.asp?IP1=192.0.2.7 "), 10000);
    }
};

NW_TEST_CLASS(TstHttpTransfer)
#include "tst_httptransfer.moc"
