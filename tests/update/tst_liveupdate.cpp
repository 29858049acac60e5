#include "support/Files.h"
#include "support/NginxServer.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"
#include "update/LiveUpdate.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace nw;
using namespace nw::test;

namespace {

class RecordingView : public DownloadView {
public:
    QStringList statuses;
    QStringList captions;
    QStringList timeLefts;
    int shown = 0;
    void setStatus(const QString& t) override { statuses << t; }
    void setSource(const QString&) override {}
    void setDestination(const QString&) override {}
    void setTimeLeft(const QString& t) override { timeLefts << t; }
    void setRate(const QString&) override {}
    void setProgress(qint64, qint64) override {}
    void setCaption(const QString& t) override { captions << t; }
    void startAnimation() override {}
    void stopAnimation() override {}
    void showCentred() override { ++shown; }
};

QByteArray httpHead(const QByteArray& status, qint64 length, const QByteArray& extra = {})
{
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(length) + "\r\n" + extra + "\r\n";
}

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

    void catalogRunDownloadsWhatIsNewer()
    {
        QString why;
        QVERIFY2(NginxServer::available(&why), qPrintable(why));
        Sandbox box;
        box.writeFile(QStringLiteral("whois.rir"), "# ranges 104\r\n");
        box.writeFile(QStringLiteral("whois.srv"), "# servers 100\r\n");
        const QByteArray newRir = "# ranges 105\r\n" + randomBytes(5000);
        const QByteArray newSrv = "# servers 99\r\n";
        const QByteArray help = randomBytes(3000);
        NginxServer::put(QStringLiteral("liveupdate/rir-105"), newRir);
        NginxServer::put(QStringLiteral("liveupdate/srv-99"), newSrv);
        NginxServer::put(QStringLiteral("liveupdate/help.htm"), help);
        NginxServer::put(QStringLiteral("liveupdate/extra.txt"), "extra");
        NginxServer::put(QStringLiteral("liveupdate/evil"), "evil");
        NginxServer::put(QStringLiteral("liveupdate/Nettlewright.upd"),
                         "rir-105,whois.rir,app,105,no,no,Range table\r\n"
                         "rir-105,whois.rir,APP,104,no,no,Same version\r\n"
                         "srv-99,whois.srv,app,99,no,no,Text comparison: 99 is newer than 100\r\n"
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
        QCOMPARE(opened, QStringList{box.path(QStringLiteral("docs/help.htm"))});
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
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("401") << httpHead("401 Unauthorized", 0) << "Unauthorized" << "Authorization failed!";
        QTest::newRow("204") << httpHead("204 No Content", 0) << "No Content" << "Nothing to download!";
        QTest::newRow("500") << httpHead("500 Internal Server Error", 0) << "Error Downloading File"
                             << "The server returned the following response:\r\rHTTP/1.1 500 Internal Server Error";
        QTest::newRow("404 is silent") << httpHead("404 Not Found", 0) << "" << "";
    }
    void serverAnswersBecomeMessages()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, title);
        QFETCH(QString, text);
        Sandbox box;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(answer), ScriptedPeer::close()});
        RecordingView view;
        LiveUpdate update(view, QString(), box.programFolder(), [](const QString&) {});
        const QString target = box.path(QStringLiteral("file.bin"));
        QVERIFY(!update.DownloadFile(QStringLiteral("http://%1/file.bin").arg(peer.endpoint()), target, {}, {}));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(box.prompts().shown().size(), title.isEmpty() ? 0 : 1);
        if (!title.isEmpty()) {
            QCOMPARE(box.prompts().shown().at(0).title, title);
            QCOMPARE(box.prompts().shown().at(0).text, text);
        }
        QVERIFY(peer.lines().at(0).contains("Range: bytes=0-\r\n"));
    }

    void refusedConnectionIsReported()
    {
        Sandbox box;
        RecordingView view;
        LiveUpdate update(view, QString(), box.programFolder(), [](const QString&) {});
        QVERIFY(!update.DownloadFile(QStringLiteral("http://127.0.0.1:%1/x").arg(ScriptedPeer::closedPort()),
                                     box.path(QStringLiteral("x")), {}, {}));
        QCOMPARE(box.prompts().shown().size(), 1);
        QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("Cannot Establish Connection"));
    }

    // The first connection breaks after `cut` bytes; the resume request is answered by `second`.
    void brokenDownloadResumes_data()
    {
        QTest::addColumn<bool>("honoursRange");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("resumed 4096 bytes early")
            << true << QStringList{QStringLiteral("Download Incomplete")};
        QTest::newRow("server ignores the range")
            << false << QStringList{QStringLiteral("Download Incomplete"), QStringLiteral("Unable to Resume Download")};
    }
    void brokenDownloadResumes()
    {
        QFETCH(bool, honoursRange);
        QFETCH(QStringList, titles);
        Sandbox box;
        const int size = 100000;
        const int cut = 60000; // 60 %
        const int resumeFrom = cut - 4096;
        const QByteArray body = randomBytes(size);
        ScriptedPeer peer({});
        peer.setScriptFor(0, {ScriptedPeer::readUntil("\r\n\r\n"),
                              ScriptedPeer::send(httpHead("206 Partial Content", size) + body.left(cut)),
                              ScriptedPeer::pause(100), ScriptedPeer::close()});
        const QByteArray second = honoursRange
                                      ? httpHead("206 Partial Content", size - resumeFrom) + body.mid(resumeFrom)
                                      : httpHead("200 OK", size) + body;
        peer.setScriptFor(1, {ScriptedPeer::readUntil("\r\n\r\n"), ScriptedPeer::send(second), ScriptedPeer::close()});
        box.prompts().setNextAnswers({PromptAnswer::Retry, PromptAnswer::Yes});
        RecordingView view;
        LiveUpdate update(view, QString(), box.programFolder(), [](const QString&) {});
        const QString target = box.path(QStringLiteral("big.bin"));
        QVERIFY(update.DownloadFile(QStringLiteral("http://%1/big.bin").arg(peer.endpoint()), target, {}, {}));
        QCOMPARE(fileBytes(target), body);
        QCOMPARE(peer.connections(), 2);
        QVERIFY(peer.lines().at(1).contains("Range: bytes=" + QByteArray::number(resumeFrom) + "-\r\n"));
        QStringList shownTitles;
        for (const Prompt& p : box.prompts().shown())
            shownTitles << p.title;
        QCOMPARE(shownTitles, titles);
        QVERIFY(box.prompts().shown().at(0).text.startsWith(
            QStringLiteral("The connection with the server was reset.\r\rClick \"Retry\" to resume")));
        QVERIFY(view.statuses.contains(QStringLiteral("Resuming download...")));
        QCOMPARE(view.statuses.last(), QStringLiteral("Download completed!"));
        QCOMPARE(view.captions.last(), QStringLiteral("100% of big.bin Completed"));
        QVERIFY(view.timeLefts.last().endsWith(QStringLiteral("(98 KB of 98 KB copied)")));
    }

    void oneByteChunkEndsTheReadLoop_data()
    {
        QTest::addColumn<int>("announced");
        QTest::addColumn<bool>("complete");
        QTest::newRow("last chunk of one byte completes") << 1025 << true;
        QTest::newRow("one byte short of the size asks") << 2000 << false;
    }
    void oneByteChunkEndsTheReadLoop()
    {
        QFETCH(int, announced);
        QFETCH(bool, complete);
        Sandbox box;
        const QByteArray body = randomBytes(1025);
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send(httpHead("200 OK", announced) + body), ScriptedPeer::hold()});
        box.prompts().setNextAnswers({PromptAnswer::Cancel});
        RecordingView view;
        LiveUpdate update(view, QString(), box.programFolder(), [](const QString&) {});
        update.transfer().setInactivityTimeout(500);
        const QString target = box.path(QStringLiteral("f.bin"));
        QCOMPARE(update.DownloadFile(QStringLiteral("http://%1/f.bin").arg(peer.endpoint()), target, {}, {}),
                 complete);
        QCOMPARE(box.prompts().shown().size(), complete ? 0 : 1);
        QCOMPARE(QFile::exists(target), complete);
        QVERIFY(!QFile::exists(target + QStringLiteral(".download")));
        if (!complete)
            QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("Download Incomplete"));
    }

    void existingFileStaysUntilTheNewOneIsComplete()
    {
        Sandbox box;
        const QString target = box.writeFile(QStringLiteral("whois.rir"), "# old table 104\r\n");
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send(httpHead("200 OK", 50000) + QByteArray(20000, 'n')), ScriptedPeer::close()});
        box.prompts().setNextAnswers({PromptAnswer::Cancel});
        RecordingView view;
        LiveUpdate update(view, QString(), box.programFolder(), [](const QString&) {});
        QVERIFY(!update.DownloadFile(QStringLiteral("http://%1/whois.rir").arg(peer.endpoint()), target, {}, {}));
        QCOMPARE(fileBytes(target), QByteArray("# old table 104\r\n"));
        QCOMPARE(allFiles(box.programFolder()), QStringList{QStringLiteral("whois.rir")});
    }
};

NW_TEST_CLASS(TstLiveUpdate)
#include "tst_liveupdate.moc"
