#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"
#include "update/LiveUpdate.h"
#include "update/UpdateFormat.h"
#include "update/frmLiveUpdate.h"

#include <QDirIterator>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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

// A run against the update folder at `base`, in a sandboxed program folder, recording what it opens.
struct Rig {
    Sandbox box;
    RecordingView view;
    QStringList opened;
    LiveUpdate update;
    explicit Rig(const QString& base = QString())
        : update{view, base, box.programFolder(), [this](const QString& path) { opened << path; }}
    {
    }
    // Every file under the program folder, sorted.
    QStringList files() const
    {
        QStringList files;
        QDirIterator it(box.programFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(box.programFolder()).relativeFilePath(it.next());
        files.sort();
        return files;
    }
    QStringList titles()
    {
        QStringList titles;
        for (const Prompt& p : box.prompts().shown())
            titles << p.title;
        return titles;
    }
};

// The resume tests cut a file of kSize bytes at kCut; the client asks again 4096 bytes before the cut.
constexpr int kSize = 100000;
constexpr int kCut = 60000;
constexpr int kResumeFrom = kCut - 4096;

// The first `width` characters fit a label.
std::function<bool(const QString&)> fitsIn(qsizetype width)
{
    return [width](const QString& text) { return text.size() <= width; };
}
} // namespace

class TstLiveUpdate : public QObject {
    Q_OBJECT

private slots:
    void localVersionsComeFromTheTables_data()
    {
        columns<QByteArray, QString>("rir", "version");
        row("comment first line", QByteArray("# ranges 104\r\n1.0.0.0\t...\r\n"), "104");
        row("LF file", QByteArray("# ranges 7a9\n"), "7a9");
        row("no comment first line", QByteArray("1.0.0.0\t1.255.255.255\r\n"), "");
        row("missing file", QByteArray(), "");
    }
    void localVersionsComeFromTheTables()
    {
        const auto [rir, version] = fetch<QByteArray, QString>("rir", "version");
        Sandbox box;
        if (!rir.isEmpty())
            box.writeFile(u"whois.rir"_s, rir);
        const UpdateList list = LiveUpdate::BuildUpdateList();
        QCOMPARE(list.size(), 16);
        QCOMPARE(list.mid(0, 4),
                 (UpdateList{
                     {u"nettlewright.exe"_s, u"201"_s}, {u"whois.rir"_s, version}, {u"whois.srv"_s, QString()}, {}}));
    }

    void versionsCompare_data()
    {
        columns<QString, QString, bool>("local", "offered", "current");
        row("leading zeros of the local version", "0099", "100", false);
        row("leading zeros of the offered version", "100", "0099", true);
        row("more digits is newer", "999", "1000", false);
        row("fewer digits is older", "1000", "999", true);
        row("dotted, part by part", "2.9", "2.10", false);
        row("missing part is zero", "2.0", "2", true);
        row("not digits: text order", "7b0", "7a9", true);
        row("one side not digits: text order", "99", "100a", true);
        row("empty local is older", "", "1", false);
    }
    void versionsCompare()
    {
        const auto [local, offered, current] = fetch<QString, QString, bool>("local", "offered", "current");
        QCOMPARE(LiveUpdate::versionIsCurrent(local, offered), current);
    }

    void catalogRunDownloadsWhatIsNewer()
    {
        QString why;
        QVERIFY2(NginxServer::available(&why), qPrintable(why));
        Rig rig(NginxServer::baseUrl() + u"/liveupdate/"_s);
        Sandbox& box = rig.box;
        box.writeFile(u"whois.rir"_s, "# ranges 104\r\n");
        box.writeFile(u"whois.srv"_s, "# servers 999\r\n");
        const QByteArray newRir = "# ranges 105\r\n" + randomBytes(5000), newSrv = "# servers 1000\r\n";
        const QByteArray help = randomBytes(3000);
        NginxServer::put(u"liveupdate/rir-105"_s, newRir);
        NginxServer::put(u"liveupdate/srv-1000"_s, newSrv);
        NginxServer::put(u"liveupdate/help.htm"_s, help);
        NginxServer::put(u"liveupdate/extra.txt"_s, "extra");
        NginxServer::put(u"liveupdate/evil"_s, "evil");
        NginxServer::put(u"liveupdate/Nettlewright.upd"_s,
                         "rir-105,whois.rir,app,105,no,no,Range table\r\n"
                         "rir-105,whois.rir,APP,104,no,no,Same version\r\n"
                         "srv-1000,whois.srv,app,1000,no,no,1000 is newer than 999\r\n"
                         "help.htm,help.htm,docs,1,no,yes,Help pages\r\n"
                         "extra.txt,extra.txt,app,1,yes,yes,Extra tools\r\n"
                         "absent.bin,absent.bin,app,1,no,no,Missing on the server\r\n"
                         "evil,../evil.txt,app,1,no,yes,Parent in the name\r\n"
                         "evil,evil.txt,..,1,no,yes,Parent folder\r\n"
                         "evil,evil.txt,/tmp,1,no,yes,Absolute folder\r\n"
                         "evil,evil.txt,C:\\Windows,1,no,yes,Drive letter\r\n"
                         "evil,evil.txt,system,1,no,yes,System folder\r\n"
                         "evil,too,few,fields\r\n");
        // The one question asked, whether to download the extra tools, is declined.
        box.prompts().setNextAnswers({PromptAnswer::No});
        QSignalSpy finished(&rig.update, &LiveUpdate::finished);
        rig.update.run();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(fileBytes(box.path(u"whois.rir"_s)) + fileBytes(box.path(u"whois.srv"_s)) +
                     fileBytes(box.path(u"docs/help.htm"_s)),
                 newRir + newSrv + help);
        QCOMPARE(rig.titles(), QStringList{u"Download Update"_s} + QStringList(6, u"Checking Updates"_s));
        QCOMPARE(box.prompts().shown().first().text, u"Extra tools\r\nDownload Update?"_s);
        // Over plain HTTP nothing is opened, and nothing is left outside the program folder, nor a catalog,
        // open list or partial file in it.
        QCOMPARE(rig.opened, QStringList());
        QCOMPARE(rig.files(), (QStringList{u"docs/help.htm"_s, u"whois.rir"_s, u"whois.srv"_s}));
        QVERIFY(!QFile::exists(box.programFolder() + u"/../evil.txt"_s) && !QFile::exists(u"/tmp/evil.txt"_s));
    }

    // One answer to a download: only a body that ended where its framing says is complete; anything else
    // leaves no partial file, keeps the file it was to replace and shows at most one message. Without a
    // length the progress says the size is unknown.
    void downloadEnds_data()
    {
        // answer: empty, the connection is refused; closes: or the server holds it until the idle bound;
        // old: what the target held before; text: contained in the message; timeLeft: the last progress text
        columns<QByteArray, bool, QByteArray, bool, QString, QString, QString>("answer", "closes", "old", "complete",
                                                                               "title", "text", "timeLeft");
        const QByteArray body(1025, 'b'), chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QByteArray none, old = "# old table 104\r\n";
        const QString unknown = u"Unknown (1 KB copied, size unknown)"_s, incomplete = u"Download Incomplete"_s;
        const QString error = u"Error Downloading File"_s, u = u"(Approximate time remaining: Unknown)"_s;
        row("last chunk of one byte completes", httpHead("200 OK", 1025) + body, false, none, true, "", "", "");
        row("one byte short of the size asks", httpHead("200 OK", 1026) + body, false, none, false, incomplete, "", "");
        row("cut replacement keeps the old table", httpHead("200 OK", 50000) + body, true, old, false, incomplete, "",
            "");
        row("chunked", chunked + "401\r\n" + body + "\r\n0\r\n\r\n", true, none, true, "", "", unknown);
        row("chunked, cut before the last chunk", chunked + "401\r\n" + body + "\r\n", true, none, false, incomplete, u,
            unknown);
        row("401", httpHead("401 Unauthorized", 0), true, old, false, "Unauthorized", "Authorization failed!", "");
        row("204", httpHead("204 No Content", 0), true, none, false, "No Content", "Nothing to download!", "");
        row("500", httpHead("500 Internal Server Error", 0), true, none, false, error,
            "The server returned the following response:\r\rHTTP/1.1 500 Internal Server Error", "");
        row("404 is silent", httpHead("404 Not Found", 0), true, none, false, "", "", "");
        row("endless chunk-size line", chunked + QByteArray(9000, '1'), true, none, false, error,
            "The download failed:\r\rThe server sent a line longer than 8192 bytes.", "");
        row("refused connection", QByteArray(), true, none, false, "Cannot Establish Connection", "", "");
    }
    void downloadEnds()
    {
        const auto [answer, closes, old, complete, title, text, timeLeft] =
            fetch<QByteArray, bool, QByteArray, bool, QString, QString, QString>("answer", "closes", "old", "complete",
                                                                                 "title", "text", "timeLeft");
        Rig rig;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(answer),
                           closes ? ScriptedPeer::close() : ScriptedPeer::hold()});
        rig.box.prompts().setNextAnswers({PromptAnswer::Cancel});
        rig.update.transfer().setInactivityTimeout(500);
        const QString target = rig.box.path(u"whois.rir"_s);
        if (!old.isEmpty())
            rig.box.writeFile(u"whois.rir"_s, old);
        const quint16 port = answer.isEmpty() ? ScriptedPeer::closedPort() : peer.port();
        QCOMPARE(rig.update.DownloadFile(u"http://127.0.0.1:%1/whois.rir"_s.arg(port), target, {}, {}), complete);
        QCOMPARE(rig.titles(), title.isEmpty() ? QStringList() : QStringList{title});
        if (!title.isEmpty())
            QVERIFY2(rig.box.prompts().shown().at(0).text.contains(text), qPrintable(rig.box.prompts().texts().at(0)));
        QCOMPARE(rig.files(), complete || !old.isEmpty() ? QStringList{u"whois.rir"_s} : QStringList());
        QCOMPARE(fileBytes(target), complete ? QByteArray(1025, 'b') : old);
        if (!answer.isEmpty())
            QVERIFY(peer.lines().at(0).contains("Range: bytes=0-\r\n"));
        if (!timeLeft.isEmpty())
            QCOMPARE(rig.view.timeLefts.last() + u' ' + rig.view.captions.last(),
                     timeLeft + u" 1 KB of whois.rir Completed"_s);
    }

    // The first connection breaks after kCut bytes; the resume request is answered by `second`, and a
    // request from the start, where one follows, with the whole file.
    void brokenDownloadResumes_data()
    {
        columns<QByteArray, int, QStringList>("second", "from", "titles"); // from: where the body sent after it starts
        const QStringList incomplete{u"Download Incomplete"_s},
            unable = incomplete + QStringList{u"Unable to Resume Download"_s};
        const auto range = [](int first, int total) {
            return httpHead("206 Partial Content", kSize - first,
                            "Content-Range: bytes " + QByteArray::number(first) + '-' + QByteArray::number(kSize - 1) +
                                '/' + QByteArray::number(total) + "\r\n");
        };
        row("resumed 4096 bytes early", range(kResumeFrom, kSize), kResumeFrom, incomplete);
        row("server ignores the range", httpHead("200 OK", kSize), 0, unable);
        row("range starts elsewhere", range(kResumeFrom - 1000, kSize), kResumeFrom - 1000, unable);
        row("partial answer without a range", httpHead("206 Partial Content", kSize - kResumeFrom), kResumeFrom,
            unable);
        row("range of another size", range(kResumeFrom, 2 * kSize), kResumeFrom, unable);
    }
    void brokenDownloadResumes()
    {
        const auto [second, from, titles] = fetch<QByteArray, int, QStringList>("second", "from", "titles");
        Rig rig;
        const QByteArray body = randomBytes(kSize);
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(httpHead("200 OK", kSize) + body),
                           ScriptedPeer::close()});
        peer.setScriptFor(0, {ScriptedPeer::readUntil("\r\n\r\n"),
                              ScriptedPeer::send(httpHead("206 Partial Content", kSize) + body.left(kCut)),
                              ScriptedPeer::pause(100), ScriptedPeer::close()});
        peer.setScriptFor(1, {ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(second + body.mid(from)),
                              ScriptedPeer::close()});
        rig.box.prompts().setNextAnswers({PromptAnswer::Retry, PromptAnswer::Yes});
        const QString target = rig.box.path(u"big.bin"_s);
        QVERIFY(rig.update.DownloadFile(u"http://%1/big.bin"_s.arg(peer.endpoint()), target, {}, {}));
        QCOMPARE(fileBytes(target), body);
        QCOMPARE(rig.titles(), titles);
        // A range that does not fit is asked for again from the start.
        QVERIFY(peer.lines().at(1).contains("Range: bytes=" + QByteArray::number(kResumeFrom) + "-\r\n"));
        const bool again = titles.size() > 1 && second.startsWith("HTTP/1.1 206");
        QCOMPARE(peer.connections(), again ? 3 : 2);
        if (again)
            QVERIFY(peer.lines().at(2).contains("Range: bytes=0-\r\n"));
        QVERIFY(rig.box.prompts().texts().at(0).startsWith(
            u"The connection with the server was reset.\r\rClick \"Retry\" to resume"_s));
        QVERIFY(rig.view.statuses.contains(u"Resuming download..."_s));
        QCOMPARE(QStringList({rig.view.statuses.last(), rig.view.captions.last(), rig.view.timeLefts.last().right(23)}),
                 QStringList({u"Download completed!"_s, u"100% of big.bin Completed"_s, u"(98 KB of 98 KB copied)"_s}));
    }

    // Over https the catalog and its files come through verified TLS, and only then is a file opened.
    void httpsUpdateOpensWhatItFetched()
    {
        TestCertificate cert;
        const QString problem = cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        const QByteArray catalog = "tool.bin,tool.bin,app,1,no,yes,Tool\r\n", tool = randomBytes(5000);
        ScriptedPeer peer({});
        peer.useTls(cert.serverConfiguration());
        int connection = 0;
        for (const QByteArray& body : {catalog, tool})
            peer.setScriptFor(connection++,
                              {ScriptedPeer::readUntil("\r\n\r\n"),
                               ScriptedPeer::send(httpHead("200 OK", body.size()) + body), ScriptedPeer::close()});
        Rig rig(u"https://127.0.0.1:%1/liveupdate/"_s.arg(peer.port()));
        rig.update.transfer().addCaCertificates(cert.certificates());
        rig.update.run();
        const QString path = rig.box.path(u"tool.bin"_s);
        QCOMPARE(fileBytes(path), tool);
        QCOMPARE(rig.opened, QStringList{path});
        QVERIFY(rig.box.prompts().shown().isEmpty());
    }

    // The texts the download window shows.
    void formats_data()
    {
        columns<QString, QString>("text", "expected");
        row("optional digits drop a zero whole part", formatNumber(0.5, u"###.0"_s), u".5"_s);
        row("required digit keeps it", formatNumber(0.5, u"###0.0"_s), u"0.5"_s);
        row("rounds half away from zero", formatNumber(2.25, u"###0.0"_s), u"2.3"_s);
        row("whole number", formatNumber(1023.6, u"###0"_s), u"1024"_s);
        row("percent", formatNumber(0.426, u"##0%"_s), u"43%"_s);
        row("padding", formatNumber(7.0, u"00"_s), u"07"_s);
        row("zero bytes", FormatFileSize(0.0), u"0 bytes"_s);
        row("bytes ignore the format", FormatFileSize(1023.0, u"###.0"_s), u"1023 bytes"_s);
        row("first kilobyte", FormatFileSize(1024.0), u"1 KB"_s);
        row("kilobytes with format", FormatFileSize(1536.0, u"###.0"_s), u"1.5 KB"_s);
        row("last kilobyte size", FormatFileSize(1048575.0), u"1024 KB"_s);
        row("megabytes", FormatFileSize(20.0 * 1048576), u"20.0 MB"_s);
        row("gigabytes", FormatFileSize(1073741824.0 * 1.25), u"1.3 GB"_s);
        row("fractional rate in bytes", FormatFileSize(512.5, u"###.0"_s), u"512.5 bytes"_s);
        row("seconds", FormatTime(42.4), u"42 sec"_s);
        row("just under a minute", FormatTime(59.0), u"59 sec"_s);
        row("one minute", FormatTime(60.0), u"1 min 0 sec"_s);
        row("minutes and seconds", FormatTime(187.0), u"3 min 7 sec"_s);
        row("hours and minutes", FormatTime(7500.0), u"2 hr 5 min"_s);
        row("no estimate yet", FormatTime(std::numeric_limits<double>::infinity()), u"0 sec"_s);
        row("fits", CompactLabelText(u"short.txt"_s, fitsIn(20)), u"short.txt"_s);
        row("shortened", CompactLabelText(u"abcdefghijklmnopqrstuvwxyz"_s, fitsIn(15)), u"abcdef...uvwxyz"_s);
        row("never below four a side", CompactLabelText(u"abcdefghijklmnopqrstuvwxyz"_s, fitsIn(3)), u"abcd...wxyz"_s);
        row("url file", ReturnFileOrFolder(u"http://h/liveupdate/whois.rir"_s, true, true), u"whois.rir"_s);
        row("url folder", ReturnFileOrFolder(u"http://h/liveupdate/whois.rir"_s, false, true),
            u"http://h/liveupdate/"_s);
        row("no separator", ReturnFileOrFolder(u"whois.rir"_s, true, false), u"whois.rir"_s);
    }
    void formats()
    {
        const auto [text, expected] = fetch<QString, QString>("text", "expected");
        QCOMPARE(text, expected);
    }

    // The window starts off screen, fetches the catalog and closes itself when the run ends, here by Esc
    // while the catalog's body is awaited; a cancelled download leaves nothing behind and asks nothing.
    void escapeCancelsARunningDownload()
    {
        Sandbox box;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"),
                           ScriptedPeer::hold()});
        QPointer<frmLiveUpdate> window =
            new frmLiveUpdate(u"http://%1/liveupdate/"_s.arg(peer.endpoint()), box.programFolder());
        QCOMPARE(window->tmrStartDownload.interval(), 500);
        QVERIFY(window->pos().x() < 0 && window->pos().y() < 0);
        window->tmrStartDownload.setInterval(0);
        // The download runs inside the window's own wait, so the key is pressed from a timer.
        QTimer esc;
        connect(&esc, &QTimer::timeout, this, [&] {
            if (window && window->isVisible() && window->findChildren<QLabel*>().first()->text() == u"Saving:"_s) {
                esc.stop();
                QTest::keyClick(window, Qt::Key_Escape);
            }
        });
        esc.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
        QVERIFY(!esc.isActive());
        QCOMPARE(peer.connections(), 1);
        QVERIFY(peer.lines().at(0).startsWith("GET /liveupdate/Nettlewright.upd "));
        QVERIFY(box.prompts().shown().isEmpty());
        QVERIFY(!QFile::exists(box.path(u"Nettlewright.upd"_s)) &&
                !QFile::exists(box.path(u"Nettlewright.upd.download"_s)));
    }
};

NW_TEST_CLASS(TstLiveUpdate)
#include "tst_liveupdate.moc"
