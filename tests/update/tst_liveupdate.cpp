#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"
#include "update/LiveUpdate.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace nw;
using namespace nw::test;

namespace {

class RecordingView : public DownloadView {
public:
    QStringList statuses, captions, timeLefts;
    void setStatus(const QString& t) override { statuses << t; }
    void setSource(const QString&) override {}
    void setDestination(const QString&) override {}
    void setTimeLeft(const QString& t) override { timeLefts << t; }
    void setRate(const QString&) override {}
    void setProgress(qint64, qint64) override {}
    void setCaption(const QString& t) override { captions << t; }
    void startAnimation() override {}
    void stopAnimation() override {}
    void showCentred() override {}
};

QByteArray httpHead(const QByteArray& status, qint64 length, const QByteArray& extra = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n" + extra + "\r\n";
}

// A download into a sandboxed program folder, with no catalog and nothing to open.
struct DownloadRig {
    Sandbox box;
    RecordingView view;
    LiveUpdate update{view, QString(), box.programFolder(), [](const QString&) {}};
};

// The resume tests cut a file of kSize bytes at kCut; the client asks again 4096 bytes before the cut.
constexpr int kSize = 100000;
constexpr int kCut = 60000;
constexpr int kResumeFrom = kCut - 4096;

QStringList allFiles(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

} // namespace

class TstLiveUpdate : public QObject {
    Q_OBJECT

private slots:
    void localVersionsComeFromTheTables_data()
    {
        QTest::addColumn<QByteArray>("rir");
        QTest::addColumn<QString>("version");
        QTest::newRow("comment first line") << QByteArray("# ranges 104\r\n1.0.0.0\t...\r\n") << "104";
        QTest::newRow("LF file") << QByteArray("# ranges 7a9\n") << "7a9";
        QTest::newRow("no comment first line") << QByteArray("1.0.0.0\t1.255.255.255\r\n") << "";
        QTest::newRow("missing file") << QByteArray() << "";
    }
    void localVersionsComeFromTheTables()
    {
        QFETCH(QByteArray, rir);
        QFETCH(QString, version);
        Sandbox box;
        if (!rir.isEmpty())
            box.writeFile(QStringLiteral("whois.rir"), rir);
        const UpdateList list = LiveUpdate::BuildUpdateList();
        QCOMPARE(list.size(), 16);
        QCOMPARE(list.at(0), std::make_pair(QStringLiteral("nettlewright.exe"), QStringLiteral("201")));
        QCOMPARE(list.at(1), std::make_pair(QStringLiteral("whois.rir"), version));
        QCOMPARE(list.at(2).first, QStringLiteral("whois.srv"));
        QVERIFY(list.at(3).first.isEmpty());
    }

    void versionsCompare_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<bool>("current");
        QTest::newRow("same number") << "104" << "104" << true;
        QTest::newRow("leading zeros") << "099" << "99" << true;
        QTest::newRow("more digits is newer") << "999" << "1000" << false;
        QTest::newRow("fewer digits is older") << "1000" << "999" << true;
        QTest::newRow("dotted, part by part") << "2.9" << "2.10" << false;
        QTest::newRow("missing part is zero") << "2.0" << "2" << true;
        QTest::newRow("not digits: text order") << "7b0" << "7a9" << true;
        QTest::newRow("one side not digits: text order") << "99" << "100a" << true;
        QTest::newRow("empty local is older") << "" << "1" << false;
    }
    void versionsCompare()
    {
        QFETCH(QString, local);
        QFETCH(QString, offered);
        QFETCH(bool, current);
        QCOMPARE(LiveUpdate::versionIsCurrent(local, offered), current);
    }

    void catalogRunDownloadsWhatIsNewer()
    {
        QString why;
        QVERIFY2(NginxServer::available(&why), qPrintable(why));
        Sandbox box;
        box.writeFile(QStringLiteral("whois.rir"), "# ranges 104\r\n");
        box.writeFile(QStringLiteral("whois.srv"), "# servers 999\r\n");
        const QByteArray newRir = "# ranges 105\r\n" + randomBytes(5000);
        const QByteArray newSrv = "# servers 1000\r\n";
        const QByteArray help = randomBytes(3000);
        NginxServer::put(QStringLiteral("liveupdate/rir-105"), newRir);
        NginxServer::put(QStringLiteral("liveupdate/srv-1000"), newSrv);
        NginxServer::put(QStringLiteral("liveupdate/help.htm"), help);
        NginxServer::put(QStringLiteral("liveupdate/extra.txt"), "extra");
        NginxServer::put(QStringLiteral("liveupdate/evil"), "evil");
        NginxServer::put(QStringLiteral("liveupdate/Nettlewright.upd"),
                         "rir-105,whois.rir,app,105,no,no,Range table\r\n"
                         "rir-105,whois.rir,APP,104,no,no,Same version\r\n"
                         "srv-1000,whois.srv,app,1000,no,no,Numbers: 1000 is newer than 999\r\n"
                         "help.htm,help.htm,docs,1,no,yes,Help pages\r\n"
                         "extra.txt,extra.txt,app,1,yes,yes,Extra tools\r\n"
                         "absent.bin,absent.bin,app,1,no,no,Missing on the server\r\n"
                         "evil,../evil.txt,app,1,no,yes,Parent in the name\r\n"
                         "evil,evil.txt,..,1,no,yes,Parent folder\r\n"
                         "evil,evil.txt,/tmp,1,no,yes,Absolute folder\r\n"
                         "evil,evil.txt,C:\\Windows,1,no,yes,Drive letter\r\n"
                         "evil,evil.txt,system,1,no,yes,System folder\r\n"
                         "evil,too,few,fields\r\n");
        RecordingView view;
        QStringList opened;
        LiveUpdate update(view, NginxServer::baseUrl() + QStringLiteral("/liveupdate/"), box.programFolder(),
                          [&](const QString& path) { opened << path; });
        // Every question is answered with its default (Yes for "Download Update?"), except the one we
        // script: decline the extra tools.
        int asked = 0;
        class DecliningPrompts : public RecordingPrompts {
        public:
            int* asked;
            PromptAnswer ask(const Prompt& p) override
            {
                RecordingPrompts::ask(p);
                if (p.title == QLatin1String("Download Update")) {
                    ++*asked;
                    return PromptAnswer::No;
                }
                return PromptAnswer::Ok;
            }
        } prompts;
        prompts.asked = &asked;
        ScopedPrompts scope(prompts);
        QSignalSpy finished(&update, &LiveUpdate::finished);
        update.run();
        QCOMPARE(finished.count(), 1);

        QCOMPARE(fileBytes(box.path(QStringLiteral("whois.rir"))), newRir);
        QCOMPARE(fileBytes(box.path(QStringLiteral("whois.srv"))), newSrv);
        QCOMPARE(fileBytes(box.path(QStringLiteral("docs/help.htm"))), help);
        QCOMPARE(asked, 1);
        QCOMPARE(prompts.shown().first().text, QStringLiteral("Extra tools\r\nDownload Update?"));
        // Over plain HTTP nothing is opened.
        QCOMPARE(opened, QStringList());
        // Nothing outside the program folder, no catalog, open list or partial file left behind.
        QCOMPARE(allFiles(box.programFolder()),
                 (QStringList{QStringLiteral("docs/help.htm"), QStringLiteral("whois.rir"), QStringLiteral("whois.srv")}));
        QVERIFY(!QFile::exists(box.programFolder() + QStringLiteral("/../evil.txt")));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/evil.txt")));
        int refused = 0;
        for (const Prompt& p : prompts.shown())
            if (p.text.startsWith(QLatin1String("The update catalog has a line that cannot be followed safely")))
                ++refused;
        QCOMPARE(refused, 6);
    }

    void serverAnswersBecomeMessages_data()
    {
        QTest::addColumn<QByteArray>("answer"); // empty: the connection is refused
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("401") << httpHead("401 Unauthorized", 0) << "Unauthorized" << "Authorization failed!";
        QTest::newRow("204") << httpHead("204 No Content", 0) << "No Content" << "Nothing to download!";
        QTest::newRow("500") << httpHead("500 Internal Server Error", 0) << "Error Downloading File"
                             << "The server returned the following response:\r\rHTTP/1.1 500 Internal Server Error";
        QTest::newRow("404 is silent") << httpHead("404 Not Found", 0) << "" << "";
        QTest::newRow("endless chunk-size line")
            << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + QByteArray(9000, '1')
            << "Error Downloading File" << "The download failed:\r\rThe server sent a line longer than 8192 bytes.";
        QTest::newRow("refused connection") << QByteArray() << "Cannot Establish Connection" << "";
    }
    void serverAnswersBecomeMessages()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, title);
        QFETCH(QString, text);
        DownloadRig rig;
        Sandbox& box = rig.box;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(answer), ScriptedPeer::close()});
        const QString target = box.path(QStringLiteral("file.bin"));
        const quint16 port = answer.isEmpty() ? ScriptedPeer::closedPort() : peer.port();
        QVERIFY(!rig.update.DownloadFile(QStringLiteral("http://127.0.0.1:%1/file.bin").arg(port), target, {}, {}));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(box.prompts().shown().size(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty())
            QCOMPARE(box.prompts().shown().at(0).title, title);
        if (!text.isEmpty())
            QCOMPARE(box.prompts().shown().at(0).text, text);
        if (!answer.isEmpty())
            QVERIFY(peer.lines().at(0).contains("Range: bytes=0-\r\n"));
    }

    // The first connection breaks after `cut` bytes; the resume request is answered by `second`, and a
    // request from the start, where one follows, with the whole file.
    void brokenDownloadResumes_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("from"); // where the body sent after `second` starts
        QTest::addColumn<QStringList>("titles");
        const QString incomplete = QStringLiteral("Download Incomplete");
        const QString unable = QStringLiteral("Unable to Resume Download");
        const auto range = [](int first, int total) {
            return httpHead("206 Partial Content", kSize - first,
                            "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(kSize - 1) +
                                '/' + QByteArray::number(total) + "\r\n");
        };
        QTest::newRow("resumed 4096 bytes early")
            << range(kResumeFrom, kSize) << kResumeFrom << QStringList{incomplete};
        QTest::newRow("server ignores the range") << httpHead("200 OK", kSize) << 0 << QStringList{incomplete, unable};
        QTest::newRow("range starts elsewhere")
            << range(kResumeFrom - 1000, kSize) << kResumeFrom - 1000 << QStringList{incomplete, unable};
        QTest::newRow("partial answer without a range")
            << httpHead("206 Partial Content", kSize - kResumeFrom) << kResumeFrom << QStringList{incomplete, unable};
        QTest::newRow("range of another size")
            << range(kResumeFrom, 2 * kSize) << kResumeFrom << QStringList{incomplete, unable};
    }
    void brokenDownloadResumes()
    {
        QFETCH(QByteArray, second);
        QFETCH(int, from);
        QFETCH(QStringList, titles);
        DownloadRig rig;
        Sandbox& box = rig.box;
        const QByteArray body = randomBytes(kSize);
        // A third request, from the start, gets the whole file.
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(httpHead("200 OK", kSize) + body),
                           ScriptedPeer::close()});
        peer.setScriptFor(0, {ScriptedPeer::readUntil("\r\n\r\n"),
                              ScriptedPeer::send(httpHead("206 Partial Content", kSize) + body.left(kCut)),
                              ScriptedPeer::pause(100), ScriptedPeer::close()});
        peer.setScriptFor(1, {ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(second + body.mid(from)),
                              ScriptedPeer::close()});
        box.prompts().setNextAnswers({PromptAnswer::Retry, PromptAnswer::Yes});
        const QString target = box.path(QStringLiteral("big.bin"));
        QVERIFY(rig.update.DownloadFile(QStringLiteral("http://%1/big.bin").arg(peer.endpoint()), target, {}, {}));
        QCOMPARE(fileBytes(target), body);
        // A range that does not fit is asked for again from the start.
        const bool again = titles.size() > 1 && second.startsWith("HTTP/1.1 206");
        QCOMPARE(peer.connections(), again ? 3 : 2);
        QVERIFY(peer.lines().at(1).contains("Range: bytes=" + QByteArray::number(kResumeFrom) + "-\r\n"));
        if (again)
            QVERIFY(peer.lines().at(2).contains("Range: bytes=0-\r\n"));
        QStringList shownTitles;
        for (const Prompt& p : box.prompts().shown())
            shownTitles << p.title;
        QCOMPARE(shownTitles, titles);
        QVERIFY(box.prompts().shown().at(0).text.startsWith(
            QStringLiteral("The connection with the server was reset.\r\rClick \"Retry\" to resume")));
        QVERIFY(rig.view.statuses.contains(QStringLiteral("Resuming download...")));
        QCOMPARE(rig.view.statuses.last(), QStringLiteral("Download completed!"));
        QCOMPARE(rig.view.captions.last(), QStringLiteral("100% of big.bin Completed"));
        QVERIFY(rig.view.timeLefts.last().endsWith(QStringLiteral("(98 KB of 98 KB copied)")));
    }

    // Over https the catalog and its files come through verified TLS, and only then is a file opened.
    void httpsUpdateOpensWhatItFetched()
    {
        TestCertificate cert;
        const QString problem = cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        Sandbox box;
        const QByteArray catalog = "tool.bin,tool.bin,app,1,no,yes,Tool\r\n";
        const QByteArray tool = randomBytes(5000);
        ScriptedPeer peer({});
        peer.useTls(cert.serverConfiguration());
        int connection = 0;
        for (const QByteArray& body : {catalog, tool})
            peer.setScriptFor(connection++, {ScriptedPeer::readUntil("\r\n\r\n"),
                                             ScriptedPeer::send(httpHead("200 OK", body.size()) + body),
                                             ScriptedPeer::close()});
        RecordingView view;
        QStringList opened;
        LiveUpdate update(view, QStringLiteral("https://127.0.0.1:%1/liveupdate/").arg(peer.port()), box.programFolder(),
                          [&](const QString& path) { opened << path; });
        update.transfer().addCaCertificates(cert.certificates());
        update.run();
        const QString path = box.path(QStringLiteral("tool.bin"));
        QCOMPARE(fileBytes(path), tool);
        QCOMPARE(opened, QStringList{path});
        QVERIFY(box.prompts().shown().isEmpty());
    }

    // Only a body that ended where its framing says is complete; a cut one leaves no partial file and
    // keeps the file it was to replace. Without a length the progress says the size is unknown.
    void downloadEnds_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("closes");    // or the server holds the connection until the idle bound
        QTest::addColumn<QByteArray>("old"); // what the target held before; empty: no file
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("timeLeft"); // the last progress text; empty: not checked
        const QByteArray body(1025, 'b'), chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QByteArray none, old = "# old table 104\r\n";
        const QString unknown = QStringLiteral("Unknown (1 KB copied, size unknown)");
        QTest::newRow("last chunk of one byte completes") << httpHead("200 OK", 1025) + body << false << none << true
                                                          << "";
        QTest::newRow("one byte short of the size asks") << httpHead("200 OK", 1026) + body << false << none << false
                                                         << "";
        QTest::newRow("cut replacement keeps the old table") << httpHead("200 OK", 50000) + body << true << old << false
                                                             << "";
        QTest::newRow("chunked") << chunked + "401\r\n" + body + "\r\n0\r\n\r\n" << true << none << true << unknown;
        QTest::newRow("chunked, cut before the last chunk") << chunked + "401\r\n" + body + "\r\n" << true << none
                                                            << false << unknown;
        QTest::newRow("up to the close") << "HTTP/1.0 200 OK\r\n\r\n" + body << true << none << true << unknown;
    }
    void downloadEnds()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, closes);
        QFETCH(QByteArray, old);
        QFETCH(bool, complete);
        QFETCH(QString, timeLeft);
        DownloadRig rig;
        Sandbox& box = rig.box;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(answer),
                           closes ? ScriptedPeer::close() : ScriptedPeer::hold()});
        box.prompts().setNextAnswers({PromptAnswer::Cancel});
        rig.update.transfer().setInactivityTimeout(500);
        const QString target = box.path(QStringLiteral("whois.rir"));
        if (!old.isEmpty())
            box.writeFile(QStringLiteral("whois.rir"), old);
        QCOMPARE(rig.update.DownloadFile(QStringLiteral("http://%1/whois.rir").arg(peer.endpoint()), target, {}, {}),
                 complete);
        QCOMPARE(box.prompts().shown().size(), complete ? 0 : 1);
        if (!complete)
            QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("Download Incomplete"));
        const QStringList left = complete || !old.isEmpty() ? QStringList{u"whois.rir"_s} : QStringList();
        QCOMPARE(allFiles(box.programFolder()), left);
        QCOMPARE(fileBytes(target), complete ? QByteArray(1025, 'b') : old);
        if (timeLeft.isEmpty())
            return;
        QCOMPARE(rig.view.timeLefts.last(), timeLeft);
        QCOMPARE(rig.view.captions.last(), QStringLiteral("1 KB of whois.rir Completed"));
        if (!complete)
            QVERIFY(box.prompts().shown().at(0).text.contains(QStringLiteral("(Approximate time remaining: Unknown)")));
    }
};

NW_TEST_CLASS(TstLiveUpdate)
#include "tst_liveupdate.moc"
