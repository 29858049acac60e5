#include "platform/HttpTransfer.h"
#include "platform/LocalWait.h"
#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/ScriptedPeer.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"

#include <QTest>

using namespace nw;
using nw::test::NginxServer;
using nw::test::ScriptedPeer;
using nw::test::TestCertificate;

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

    TestCertificate m_cert;

private slots:
    void initTestCase()
    {
        const QString problem = m_cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void init()
    {
        QString why;
        if (!NginxServer::available(&why))
            QFAIL(qPrintable(why));
    }

    void readsHeaderAndBody()
    {
        const QByteArray bytes = nw::test::randomBytes(100000);
        HttpTransfer http;
        http.execute(NginxServer::put(QStringLiteral("file.bin"), bytes));
        waitForHeaders(http);
        QVERIFY(http.responseHeaders().startsWith(QStringLiteral("HTTP/1.1 200 ")));
        QCOMPARE(http.responseHeader(QStringLiteral("Content-Length")), QString::number(bytes.size()));
        QCOMPARE(http.remoteHost(), QStringLiteral("127.0.0.1"));
        int largest = 0;
        QCOMPARE(readBody(http, &largest), bytes);
        QVERIFY(largest <= 1024);
    }

    void bodyFramings_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces"); // sent with pauses between them, then a close
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<bool>("complete");
        QTest::newRow("content length, extra bytes ignored")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", "loEXTRA"} << QByteArray("hello")
            << qint64(5) << true;
        QTest::newRow("chunked, split inside size and data")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhe", "llo\r\n1", "0;x=y\r\n",
                                 QByteArray(16, 'a') + "\r\n0\r\n\r\n"}
            << QByteArray("hello") + QByteArray(16, 'a') << qint64(-1) << true;
        QTest::newRow("chunked wins over a length")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"}
            << QByteArray("ok") << qint64(-1) << true;
        QTest::newRow("ends when the server closes") << QList<QByteArray>{"HTTP/1.0 200 OK\r\n\r\nall of it"}
                                                     << QByteArray("all of it") << qint64(-1) << true;
        QTest::newRow("header split across packets")
            << QList<QByteArray>{"HTTP/1.1 206 Part", "ial Content\r\nContent-Length: 2\r\n", "\r\nok"} << QByteArray("ok")
            << qint64(2) << true;
        QTest::newRow("closed before the length")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"} << QByteArray("abc") << qint64(10)
            << false;
        QTest::newRow("closed before the last chunk")
            << QList<QByteArray>{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n"} << QByteArray("abc")
            << qint64(-1) << false;
    }
    void bodyFramings()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, body);
        QFETCH(qint64, length);
        QFETCH(bool, complete);
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
        QCOMPARE(http.contentLength(), length);
        int largest = 0;
        QCOMPARE(readBody(http, &largest), body);
        QCOMPARE(http.bodyComplete(), complete);
        QVERIFY(http.failure().isEmpty());
        QVERIFY(peer.lines().at(0).startsWith("GET /x?q=a%20b HTTP/1.1\r\nHost: 127.0.0.1:"));
    }

    // A server that never ends a line, or breaks the framing, ends the transfer with a reason after a few
    // KiB, whatever it goes on sending.
    void hostileAnswersFail_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("flood"); // repeated up to 16 MiB after the head
        QTest::addColumn<QString>("failure");
        const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QString longLine = QStringLiteral("The server sent a line longer than 8192 bytes.");
        QTest::newRow("status line without end") << QByteArray() << QByteArray(4096, 'H') << longLine;
        QTest::newRow("header line without end") << QByteArray("HTTP/1.1 200 OK\r\nX-A: ") << QByteArray(4096, 'a')
                                                 << longLine;
        QTest::newRow("endless header of short lines")
            << QByteArray("HTTP/1.1 200 OK\r\n") << QByteArray("X-A: b\r\n").repeated(512)
            << QStringLiteral("The server sent a header larger than 65536 bytes.");
        QTest::newRow("chunk-size line without end") << chunked + "5\r\nhello\r\n" << QByteArray(4096, '1') << longLine;
        QTest::newRow("invalid chunk size") << chunked + "5\r\nhello\r\nzz\r\n" << QByteArray()
                                            << QStringLiteral("The server sent an invalid chunk size.");
        QTest::newRow("chunk longer than its size")
            << chunked + "2\r\nabc\r\n" << QByteArray()
            << QStringLiteral("The server sent a chunk that does not end where its size says.");
        QTest::newRow("invalid length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 12abc\r\n\r\n")
                                        << QByteArray() << QStringLiteral("The server sent an invalid Content-Length.");
    }
    void hostileAnswersFail()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, flood);
        QFETCH(QString, failure);
        QList<ScriptedPeer::Step> script{ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(head)};
        if (!flood.isEmpty())
            script << ScriptedPeer::flood(flood, 16 << 20);
        script << ScriptedPeer::hold();
        ScriptedPeer peer(script);
        HttpTransfer http;
        http.setInactivityTimeout(5000);
        http.execute(QStringLiteral("http://%1/x").arg(peer.endpoint()));
        waitForHeaders(http);
        int largest = 0;
        readBody(http, &largest);
        QCOMPARE(http.failure(), failure);
        QVERIFY(!http.bodyComplete());
        QTRY_COMPARE(peer.disconnections(), 1);
    }

    // A statistics request keeps nothing of the answer: the connection ends with its header, however
    // much body the server has to send.
    void fetchEndsWithTheHeader()
    {
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n"),
                           ScriptedPeer::flood(QByteArray(65536, 'x'), 256 << 20), ScriptedPeer::hold()});
        HttpTransfer http;
        http.fetch(QStringLiteral("http://%1/nwstats/stats.asp?sent=a@b").arg(peer.endpoint()));
        QTRY_COMPARE_WITH_TIMEOUT(peer.disconnections(), 1, 10000);
        QCOMPARE(peer.lines().size(), 1);
    }

    // A certificate that is not trusted ends the transfer with the reason, before the request is sent.
    void untrustedCertificateEndsTheTransfer()
    {
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecret"), ScriptedPeer::hold()});
        peer.useTls(m_cert.serverConfiguration());
        HttpTransfer http;
        http.execute(QStringLiteral("https://127.0.0.1:%1/file").arg(peer.port()));
        waitForHeaders(http);
        QCOMPARE(http.responseHeaders(), QStringLiteral("\r\n"));
        QVERIFY2(http.failure().startsWith(QStringLiteral("The server's certificate could not be verified: ")),
                 qPrintable(http.failure()));
        QVERIFY(http.failure().contains(QStringLiteral("SHA-256 fingerprint")));
        QVERIFY(peer.lines().isEmpty());
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
};

NW_TEST_CLASS(TstHttpTransfer)
#include "tst_httptransfer.moc"
