#include "platform/EndpointRouter.h"
#include "platform/HttpTransfer.h"
#include "platform/LocalWait.h"
#include "platform/Resolver.h"
#include "platform/SingleInstance.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"
#include "support/TestCertificate.h"

#include <QTemporaryDir>

using Pieces = QList<QByteArray>;

class TstPlatform : public QObject {
    Q_OBJECT

    TestCertificate m_cert;

private slots:
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
        row("comments, blank lines, tabs and runs of blanks apart, CR LF ends",
            QByteArray("# test table\n192.0.2.1\t \ta.example\r\n\n127.0.0.1  localhost\r\n"), true);
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

    // A later start calls the first, ending its wait; a wait whose condition never holds ends at its bound.
    void aSecondStartCallsTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path()), second(dir.path());
        QVERIFY(first.claim() && !second.claim());
        bool called = false;
        connect(&first, &SingleInstance::called, this, [&] { called = true; });
        LocalWait wait([&] { return called; });
        wait.wakeOn(&first, &SingleInstance::called);
        QVERIFY(second.callFirst() && wait.run(5000));
        QVERIFY(!LocalWait([] { return false; }).run(20));
    }

    void initTestCase() { QCOMPARE(m_cert.make(), QString()); }

    // Pieces come with pauses between them. A good answer ends with the server's close; one that never ends a line
    // or breaks the framing (`flood` repeated up to 16 MiB) ends the transfer with a reason, the server holding on.
    void answers_data()
    {
        // end: "complete", empty for a body cut short, or the failure
        columns<Pieces, QByteArray, QString, int, QString>("pieces", "flood", "body", "length", "end");
        using B = QByteArray;
        const B ok = "HTTP/1.1 200 OK\r\n", chunked = ok + "Transfer-Encoding: chunked\r\n\r\n", kilo(1000, 'k'), none;
        const QString longLine = u"The server sent a line longer than 8192 bytes."_s, complete = u"complete"_s;
        row("content length, extra bytes ignored", Pieces{ok + "Content-Length: 2000\r\n\r\n" + kilo, kilo + "EXTRA"},
            none, QString::fromLatin1(kilo + kilo), 2000, complete);
        row("chunked, split inside size and data",
            Pieces{chunked + "5\r\nhe", "llo\r\n1", "0;x=y\r\n", B(16, 'a') + "\r\n0\r\n\r\n"}, none,
            u"hello"_s + QString(16, u'a'), -1, complete);
        row("chunked wins over a length, even a malformed one",
            Pieces{ok + "Content-Length: 99, 99\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n"}, none, "ok",
            -1, complete);
        row("ends when the server closes", Pieces{"HTTP/1.0 200 OK\r\n\r\nall of it"}, none, "all of it", -1, complete);
        row("header split across packets",
            Pieces{"HTTP/1.1 206 Part", "ial Content\r\nContent-Length: 2\r\n", "\r\nok"}, none, "ok", 2, complete);
        row("closed before the length", Pieces{ok + "Content-Length: 10\r\n\r\nabc"}, none, "abc", 10, "");
        row("closed before the last chunk", Pieces{chunked + "3\r\nabc\r\n"}, none, "abc", -1, "");
        row("status line without end", Pieces{}, B(4096, 'H'), "", -1, longLine);
        row("endless header of short lines", Pieces{ok}, B("X-A: b\r\n").repeated(512), "", -1,
            "The server sent a header larger than 65536 bytes.");
        row("chunk-size line without end", Pieces{chunked + "5\r\nhello\r\n"}, B(4096, '1'), "hello", -1, longLine);
        row("invalid chunk size", Pieces{chunked + "5\r\nhello\r\nzz\r\n"}, none, "hello", -1,
            "The server sent an invalid chunk size.");
        row("chunk longer than its size", Pieces{chunked + "2\r\nabc\r\n"}, none, "ab", -1,
            "The server sent a chunk that does not end where its size says.");
        row("invalid length", Pieces{ok + "Content-Length: 12abc\r\n\r\n"}, none, "", -1,
            "The server sent an invalid Content-Length.");
    }
    void answers()
    {
        const auto [pieces, flood, body, length, end] =
            fetch<Pieces, QByteArray, QString, int, QString>("pieces", "flood", "body", "length", "end");
        const bool failed = !end.isEmpty() && end != u"complete"_s;
        QList<ScriptedPeer::Step> script{ScriptedPeer::readUntil("\r\n\r\n")};
        for (const QByteArray& piece : pieces)
            script << ScriptedPeer::send(piece) << ScriptedPeer::pause(30);
        if (!flood.isEmpty())
            script << ScriptedPeer::flood(flood, 16 << 20);
        script << (failed ? ScriptedPeer::hold() : ScriptedPeer::close());
        ScriptedPeer peer(script);
        HttpTransfer http;
        http.setInactivityTimeout(5000);
        http.execute(u"http://%1/x?q=a%20b"_s.arg(peer.endpoint()));
        QTRY_VERIFY_WITH_TIMEOUT(!http.stillExecuting(), 10000); // until the header is there
        if (!failed)
            QVERIFY(http.responseHeaders().startsWith(QString::fromLatin1(pieces.join()).section(u'\n', 0, 0)) &&
                    http.remoteHost() == u"127.0.0.1"_s);
        QCOMPARE(http.contentLength(), qint64(length));
        QByteArray read; // as the callers read it, in pieces of at most 1 KiB
        for (QByteArray chunk = http.getChunk(1024); !chunk.isEmpty(); chunk = http.getChunk(1024)) {
            QVERIFY(chunk.size() <= 1024);
            read += chunk;
        }
        QCOMPARE(QString::fromLatin1(read), body);
        QCOMPARE(http.bodyComplete() ? u"complete"_s + http.failure() : http.failure(), end);
        QTRY_COMPARE(peer.disconnections(), 1);
        QVERIFY(peer.lines().at(0).startsWith("GET /x?q=a%20b HTTP/1.1\r\nHost: 127.0.0.1:"));
    }

    // A statistics request keeps nothing of the answer: the connection ends with its header, however long the body.
    void fetchEndsWithTheHeader()
    {
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n"),
                           ScriptedPeer::flood(QByteArray(65536, 'x'), 256 << 20), ScriptedPeer::hold()});
        HttpTransfer http;
        http.fetch(u"http://%1/nwstats/stats.asp?sent=a@b"_s.arg(peer.endpoint()));
        QTRY_COMPARE_WITH_TIMEOUT(peer.disconnections(), 1, 10000);
    }

    // Nothing to read from a refused, silent or untrusted server: the header is a bare line end; only silence waits
    // for the idle bound, and an untrusted certificate ends the transfer with the reason before the request.
    void noAnswerGivesBareLineEnd_data()
    {
        columns<int, QString>("server", "failure"); // server: 0 refuses, 1 is silent, 2 has an untrusted certificate
        row("refused", 0, QString());
        row("silent", 1, QString());
        row("untrusted certificate", 2, u"The server's certificate could not be verified: "_s);
    }
    void noAnswerGivesBareLineEnd()
    {
        const auto [server, failure] = fetch<int, QString>("server", "failure");
        ScriptedPeer peer(server == 1 ? QList<ScriptedPeer::Step>{ScriptedPeer::hold()}
                                      : QList<ScriptedPeer::Step>{ScriptedPeer::readUntil("\r\n\r\n"),
                                                                  ScriptedPeer::send("HTTP/1.1 200 OK\r\n\r\nsecret"),
                                                                  ScriptedPeer::hold()});
        if (server == 2)
            peer.useTls(m_cert.serverConfiguration());
        HttpTransfer http;
        http.setInactivityTimeout(server == 1 ? 300 : 10000);
        http.execute(u"%1://127.0.0.1:%2/x"_s.arg(server == 2 ? u"https"_s : u"http"_s)
                         .arg(server ? peer.port() : ScriptedPeer::closedPort()));
        QTRY_VERIFY_WITH_TIMEOUT(!http.stillExecuting(), 10000); // until the header is there
        QCOMPARE(http.responseHeaders(), u"\r\n"_s);
        QVERIFY(http.getChunk(1024).isEmpty());
        QVERIFY2(http.failure().startsWith(failure) &&
                     http.failure().contains(u"SHA-256 fingerprint"_s) == (server == 2),
                 qPrintable(http.failure()));
        QVERIFY(peer.lines().isEmpty());
    }
};

NW_TEST_CLASS(TstPlatform)
#include "tst_platform.moc"
