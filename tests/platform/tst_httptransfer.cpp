#include "platform/HttpTransfer.h"
#include "platform/LocalWait.h"
#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

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
        const QByteArray bytes = nw::test::randomBytes(size);
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

    void bodyFramings_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces"); // sent with pauses between them
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("content length, extra bytes ignored")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", "loEXTRA"} << QByteArray("hello");
        QTest::newRow("chunked, split inside size and data")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhe", "llo\r\n1", "0;x=y\r\n",
                                 QByteArray(16, 'a') + "\r\n0\r\n\r\n"}
            << QByteArray("hello") + QByteArray(16, 'a');
        QTest::newRow("ends when the server closes") << QList<QByteArray>{"HTTP/1.0 200 OK\r\n\r\nall of it"}
                                                     << QByteArray("all of it");
        QTest::newRow("header split across packets")
            << QList<QByteArray>{"HTTP/1.1 206 Part", "ial Content\r\nContent-Length: 2\r\n", "\r\nok"} << QByteArray("ok");
    }
    void bodyFramings()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, body);
        QList<ScriptedPeer::Step> script{ScriptedPeer::readUntil("\r\n\r\n")};
        for (const QByteArray& piece : pieces)
            script << ScriptedPeer::send(piece) << ScriptedPeer::pause(30);
        script << ScriptedPeer::close();
        ScriptedPeer peer(script);
        HttpTransfer http;
        http.execute(QStringLiteral("http://%1/x?q=a%20b").arg(peer.endpoint()));
        waitForHeaders(http);
        const QByteArray all = pieces.join();
        const QString statusLine = QString::fromLatin1(all.left(all.indexOf('\r') + 2));
        QVERIFY(http.responseHeaders().startsWith(statusLine));
        int largest = 0;
        QCOMPARE(readBody(http, &largest), body);
        QVERIFY(peer.lines().at(0).startsWith("GET /x?q=a%20b HTTP/1.1\r\nHost: 127.0.0.1:"));
    }

    // Nothing to read from a refused or silent server: the header is a bare line end. A refusal ends the
    // wait at once; only silence waits for the inactivity bound.
    void noAnswerGivesBareLineEnd_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("refused") << false;
        QTest::newRow("silent") << true;
    }
    void noAnswerGivesBareLineEnd()
    {
        QFETCH(bool, listening);
        ScriptedPeer peer({ScriptedPeer::hold()});
        HttpTransfer http;
        if (listening)
            http.setInactivityTimeout(300);
        http.execute(QStringLiteral("http://127.0.0.1:%1/x").arg(listening ? peer.port() : ScriptedPeer::closedPort()));
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
};

NW_TEST_CLASS(TstHttpTransfer)
#include "tst_httptransfer.moc"
