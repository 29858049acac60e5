#include "support/NginxServer.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"
#include "support/TestCertificate.h"
#include "update/LiveUpdate.h"
#include "update/UpdateFormat.h"
#include "update/frmLiveUpdate.h"

#include <QDirIterator>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

namespace {
// A file of kSize bytes whose first answer is cut after kCut; the client asks again 4096 bytes before the cut.
constexpr int kSize = 100000, kCut = 60000, kResumeFrom = kCut - 4096;

QByteArray httpHead(const QByteArray& status, qint64 length, const QByteArray& extra = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n" + extra + "\r\n";
}

// A run against the update folder at `base`, in a sandboxed program folder, recording what it opens and shows.
struct Rig : DownloadView {
    Sandbox box;
    QStringList opened, statuses, captions, timeLefts;
    LiveUpdate update;
    explicit Rig(const QString& base = QString())
        : update{*this, base, box.programFolder(), [this](const QString& path) { opened << path; }}
    {
    }
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
    QStringList files() const
    {
        QStringList files;
        for (QDirIterator it(box.programFolder(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
             it.hasNext();)
            files << it.next().mid(box.programFolder().size() + 1);
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
} // namespace

class TstLiveUpdate : public QObject {
    Q_OBJECT

private slots:
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
        for (const auto& [name, bytes] : {std::pair{"rir-105", newRir},
                                          {"srv-1000", newSrv},
                                          {"help.htm", help},
                                          {"extra.txt", QByteArray("extra")},
                                          {"evil", QByteArray("evil")}})
            NginxServer::put(u"liveupdate/"_s + QLatin1String(name), bytes);
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
        // Over plain HTTP nothing is opened; nothing is left outside the program folder, nor a catalog or part.
        QCOMPARE(rig.opened + rig.files(), (QStringList{u"docs/help.htm"_s, u"whois.rir"_s, u"whois.srv"_s}));
        QVERIFY(!QFile::exists(box.programFolder() + u"/../evil.txt"_s) && !QFile::exists(u"/tmp/evil.txt"_s));
    }

    // Only a body that ended where its framing says is complete; anything else keeps the file it replaces, leaves
    // no part and shows one message at most, unless retried: then the download resumes or starts again.
    void downloads_data()
    {
        // answers: one per connection, none: refused; holds: held until the idle bound, not closed; file: the
        // target after; progress: the last caption|the end of the last time left
        columns<QList<QByteArray>, bool, QByteArray, QByteArray, QString, QString, QString>(
            "answers", "holds", "old", "file", "titles", "text", "progress");
        const QByteArray body(1025, 'b'), chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        const QByteArray none, old = "# old table 104\r\n", big = randomBytes(kSize);
        const QString unknown = u"1 KB of whois.rir Completed|Unknown (1 KB copied, size unknown)"_s;
        const QString incomplete = u"Download Incomplete"_s, error = u"Error Downloading File"_s;
        const QString unable = incomplete + u"|Unable to Resume Download"_s;
        const QString reset = u"The connection with the server was reset.\r\rClick \"Retry\" to resume"_s;
        const QString whole = u"100% of whois.rir Completed|(98 KB of 98 KB copied)"_s;
        const QByteArray cut = httpHead("206 Partial Content", kSize) + big.left(kCut),
                         all = httpHead("200 OK", kSize) + big;
        const auto range = [&](int first, int total) { // total 0: no Content-Range
            const QByteArray bytes = QByteArray::number(first) + '-' + QByteArray::number(kSize - 1);
            return httpHead("206 Partial Content", kSize - first,
                            total ? "Content-Range: bytes " + bytes + '/' + QByteArray::number(total) + "\r\n" : "") +
                   big.mid(first);
        };
        using A = QList<QByteArray>;
        row("last chunk of one byte completes", A{httpHead("200 OK", 1025) + body}, true, none, body, "", "", "");
        row("one byte short of the size asks", A{httpHead("200 OK", 1026) + body}, true, none, none, incomplete, "",
            "");
        row("cut replacement keeps the old table", A{httpHead("200 OK", 50000) + body}, false, old, old, incomplete, "",
            "");
        row("chunked", A{chunked + "401\r\n" + body + "\r\n0\r\n\r\n"}, false, none, body, "", "", unknown);
        row("chunked, cut before the last chunk", A{chunked + "401\r\n" + body + "\r\n"}, false, none, none, incomplete,
            "(Approximate time remaining: Unknown)", unknown);
        row("401", A{httpHead("401 Unauthorized", 0)}, false, old, old, "Unauthorized", "Authorization failed!", "");
        row("204", A{httpHead("204 No Content", 0)}, false, none, none, "No Content", "Nothing to download!", "");
        row("500", A{httpHead("500 Internal Server Error", 0)}, false, none, none, error,
            "The server returned the following response:\r\rHTTP/1.1 500 Internal Server Error", "");
        row("404 is silent", A{httpHead("404 Not Found", 0)}, false, none, none, "", "", "");
        row("endless chunk-size line", A{chunked + QByteArray(9000, '1')}, false, none, none, error,
            "The download failed:\r\rThe server sent a line longer than 8192 bytes.", "");
        row("refused connection", A{}, false, none, none, "Cannot Establish Connection", "", "");
        row("resumed 4096 bytes early", A{cut, range(kResumeFrom, kSize)}, false, none, big, incomplete, reset, whole);
        row("server ignores the range", A{cut, all}, false, none, big, unable, reset, whole);
        row("range starts elsewhere", A{cut, range(kResumeFrom - 1000, kSize), all}, false, none, big, unable, reset,
            whole);
        row("partial answer without a range", A{cut, range(kResumeFrom, 0), all}, false, none, big, unable, reset,
            whole);
        row("range of another size", A{cut, range(kResumeFrom, 2 * kSize), all}, false, none, big, unable, reset,
            whole);
    }
    void downloads()
    {
        const auto [answers, holds, old, file, titles, text, progress] =
            fetch<QList<QByteArray>, bool, QByteArray, QByteArray, QString, QString, QString>(
                "answers", "holds", "old", "file", "titles", "text", "progress");
        Rig rig;
        ScriptedPeer peer({});
        for (int i = 0; i < answers.size(); ++i)
            peer.setScriptFor(i, {ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(answers.at(i)),
                                  ScriptedPeer::pause(100), holds ? ScriptedPeer::hold() : ScriptedPeer::close()});
        // A broken download is retried and, where the range does not fit, started again; anything else cancelled.
        rig.box.prompts().setNextAnswers(answers.size() > 1 ? QList{PromptAnswer::Retry, PromptAnswer::Yes}
                                                            : QList{PromptAnswer::Cancel});
        rig.update.transfer().setInactivityTimeout(500);
        const QString target = rig.box.path(u"whois.rir"_s);
        if (!old.isEmpty())
            rig.box.writeFile(u"whois.rir"_s, old);
        const quint16 port = answers.isEmpty() ? ScriptedPeer::closedPort() : peer.port();
        QCOMPARE(rig.update.DownloadFile(u"http://127.0.0.1:%1/whois.rir"_s.arg(port), target, {}, {}), file != old);
        QCOMPARE(fileBytes(target), file);
        QCOMPARE(rig.files(), file.isEmpty() ? QStringList() : QStringList{u"whois.rir"_s});
        QCOMPARE(rig.titles().join(u'|'), titles);
        if (!titles.isEmpty())
            QVERIFY2(rig.box.prompts().texts().at(0).contains(text), qPrintable(rig.box.prompts().texts().at(0)));
        // Asked from the start; once retried, from kResumeFrom; where that range does not fit, from the start again.
        const QList<QByteArray> asked{"0-", QByteArray::number(kResumeFrom) + '-', "0-"};
        QCOMPARE(peer.lines().size(), answers.size());
        for (qsizetype i = 0; i < answers.size(); ++i)
            QVERIFY(peer.lines().at(i).contains("Range: bytes=" + asked.at(i) + "\r\n"));
        QCOMPARE(rig.statuses.contains(u"Resuming download..."_s), answers.size() > 1);
        if (file != old)
            QCOMPARE(rig.statuses.last(), u"Download completed!"_s);
        if (!progress.isEmpty())
            QCOMPARE(rig.captions.last() + u'|' + rig.timeLefts.last().right(progress.section(u'|', 1).size()),
                     progress);
    }

    // Over https the catalog and its files come through verified TLS, and only then is a file opened.
    void httpsUpdateOpensWhatItFetched()
    {
        TestCertificate cert;
        QCOMPARE(cert.make(), QString());
        const QList<QByteArray> bodies{"tool.bin,tool.bin,app,1,no,yes,Tool\r\n", randomBytes(5000)}; // catalog, file
        ScriptedPeer peer({});
        peer.useTls(cert.serverConfiguration());
        for (int i = 0; i < 2; ++i)
            peer.setScriptFor(i, {ScriptedPeer::readUntil("\r\n\r\n"),
                                  ScriptedPeer::send(httpHead("200 OK", bodies[i].size()) + bodies[i]),
                                  ScriptedPeer::close()});
        Rig rig(u"https://127.0.0.1:%1/liveupdate/"_s.arg(peer.port()));
        rig.update.transfer().addCaCertificates(cert.certificates());
        rig.update.run();
        const QString path = rig.box.path(u"tool.bin"_s);
        QCOMPARE(fileBytes(path), bodies[1]);
        QCOMPARE(rig.opened + rig.box.prompts().texts(), QStringList{path}); // and no message
    }

    // The texts the download window shows, the local versions, and whether an offered version is no newer.
    void formats_data()
    {
        columns<QString, QString>("text", "expected");
        const auto listed = [](const QByteArray& rir) { // the update list beside a range table of this text
            Sandbox box;
            if (!rir.isEmpty())
                box.writeFile(u"whois.rir"_s, rir);
            QString text = QString::number(LiveUpdate::BuildUpdateList().size());
            for (const auto& [name, version] : LiveUpdate::BuildUpdateList().mid(0, 4))
                text += u' ' + name + u'=' + version;
            return text;
        };
        const auto with = [](const char* rir) {
            return u"16 nettlewright.exe=201 whois.rir=%1 whois.srv= ="_s.arg(QLatin1String(rir));
        };
        row("comment first line", listed("# ranges 104\r\n1.0.0.0\t...\r\n"), with("104"));
        row("LF file", listed("# ranges 7a9\n"), with("7a9"));
        row("no comment first line", listed("1.0.0.0\t1.255.255.255\r\n"), with(""));
        row("missing file", listed({}), with(""));
        const auto fitsIn = [](qsizetype width) {
            return [width](const QString& text) { return text.size() <= width; };
        };
        const auto current = [](const char* local, const char* offered) {
            return LiveUpdate::versionIsCurrent(QLatin1String(local), QLatin1String(offered)) ? u"current"_s
                                                                                              : u"older"_s;
        };
        row("leading zeros of the local version", current("0099", "100"), "older");
        row("leading zeros of the offered version", current("100", "0099"), "current");
        row("more digits is newer", current("999", "1000"), "older");
        row("dotted, part by part", current("2.9", "2.10"), "older");
        row("missing part is zero", current("2.0", "2"), "current");
        row("not digits: text order", current("7b0", "7a9"), "current");
        row("one side not digits: text order", current("99", "100a"), "current");
        row("empty local is older", current("", "1"), "older");
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
        QCOMPARE(QDir(box.programFolder()).entryList(QDir::Files | QDir::Hidden) + box.prompts().texts(),
                 QStringList());
    }
};

NW_TEST_CLASS(TstLiveUpdate)
#include "tst_liveupdate.moc"
