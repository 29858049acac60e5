#include "support/Cli.h"
#include "support/Files.h"
#include "support/Rows.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using nw::test::row;

namespace {

struct Run {
    int status = -1;
    QList<QByteArray> lines; // stdout, one per line
    QByteArray errors;
};

Run runCli(const QStringList& args)
{
    const nw::test::CliRun cli =
        nw::test::runCli(QStringList{QStringLiteral("analyze")} + args, QStringLiteral(NW_SAMPLES_DIR));
    Run run{cli.exitCode, cli.out.split('\n'), cli.err};
    if (!run.lines.isEmpty() && run.lines.last().isEmpty())
        run.lines.removeLast();
    return run;
}

const QStringList kKeys = {QStringLiteral("file"),      QStringLiteral("fullHeader"), QStringLiteral("ip"),
                           QStringLiteral("hostName"),  QStringLiteral("timeStamp"),  QStringLiteral("receivedLine"),
                           QStringLiteral("ipHostName")};

// The object of one output line, after checking it is plain-ASCII JSON with the keys in their order.
QJsonObject parse(const QByteArray& line)
{
    for (const char c : line)
        if (uchar(c) < 0x20 || uchar(c) > 0x7e)
            return {};
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject() || doc.object().keys().size() != kKeys.size())
        return {};
    qsizetype at = 0;
    for (const QString& key : kKeys) {
        at = line.indexOf('"' + key.toLatin1() + "\":", at);
        if (at < 0)
            return {};
    }
    return doc.object();
}

} // namespace

class TstAnalyzeCommand : public QObject {
    Q_OBJECT

private slots:
    void analysesTheSamples_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("fullHeader");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("hostName");
        QTest::addColumn<QString>("timeStamp");
        const QStringList table = {QStringLiteral("--resolver"), QStringLiteral("resolver.txt")};
        const QStringList none = {QStringLiteral("--no-dns")};
        row("chain to a dial-up host", table, "pharmacy.eml", true, "203.0.113.77", "dsl-203-0-113-77.pool.example",
            "");
        row("without names the first hop is blamed", none, "pharmacy.eml", true, "198.51.100.20", "",
            "Tue, 14 Mar 2023 09:12:44 +0000");
        row("qmail style line", table, "watches.eml", true, "198.51.100.61", "smtp61.bulkhost.example",
            "Mar 2023 14:02:10 -0000\r");
        row("chain cut by the header limit", table, "long-chain.eml", true, "192.0.2.107", "hop7.relay-chain.example",
            "Sat, 25 Mar 2023 11:24:00 +0000");
        row("own hops past the header limit", none + QStringList{u"--own-hosts"_s, u"192.0.2.96/28"_s},
            "long-chain.eml", true, "192.0.2.112", "", "Sat, 25 Mar 2023 11:19:00 +0000");
        row("no header", table, "webmail-paste.eml", false, "", "", "");
    }
    void analysesTheSamples()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, file);
        QFETCH(bool, fullHeader);
        QFETCH(QString, ip);
        QFETCH(QString, hostName);
        QFETCH(QString, timeStamp);
        const Run run = runCli(options + QStringList{file});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.lines.size(), 1);
        const QJsonObject o = parse(run.lines.first());
        QVERIFY2(!o.isEmpty(), run.lines.first().constData());
        QCOMPARE(o.value(QStringLiteral("file")).toString(), file);
        QCOMPARE(o.value(QStringLiteral("fullHeader")).toBool(), fullHeader);
        QCOMPARE(o.value(QStringLiteral("ip")).toString(), ip);
        QCOMPARE(o.value(QStringLiteral("hostName")).toString(), hostName);
        QCOMPARE(o.value(QStringLiteral("timeStamp")).toString(), timeStamp);
        QCOMPARE(o.value(QStringLiteral("ipHostName")).toString(), hostName); // the chosen hop's own name
        QCOMPARE(o.value(QStringLiteral("receivedLine")).toString().isEmpty(), !fullHeader);
    }

    // Each is refused at once with its reason and gets no line; the files around it are still analysed.
    void unreadableFilesAreReportedAndSkipped_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("reason");
        row("missing", "missing.eml", QByteArray("File not found"));
        row("a FIFO without a writer", "%T/fifo", QByteArray("Not a regular file"));
        row("first received line past a 16-bit position", "%T/far.eml", QByteArray("Overflow"));
    }
    void unreadableFilesAreReportedAndSkipped()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, reason);
        QTemporaryDir dir;
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600) == 0);
        QVERIFY(nw::test::writeBytes(dir.filePath(QStringLiteral("far.eml")),
                                     QByteArray(40000, 'x') + "\nReceived: from [192.0.2.1] by b\n"));
        file.replace(QLatin1String("%T"), dir.path());
        const Run run = runCli({u"--no-dns"_s, u"lottery.eml"_s, file, u"webmail-paste.eml"_s});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.lines.size(), 2);
        QCOMPARE(parse(run.lines.at(0)).value(u"file"_s).toString(), u"lottery.eml"_s);
        // Nothing of the first file's analysis is left in the next one's.
        const QJsonObject last = parse(run.lines.at(1));
        QCOMPARE(last.value(u"file"_s).toString(), u"webmail-paste.eml"_s);
        QVERIFY(last.value(u"ip"_s).toString().isEmpty() && last.value(u"receivedLine"_s).toString().isEmpty());
        QVERIFY2(run.errors.contains("cannot read " + file.toLocal8Bit() + ": " + reason), run.errors.constData());
    }

    // A name in another encoding than the locale's reaches the file system byte for byte.
    void namesThatAreNoTextAreTakenAsTheyAre_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("output");
        row("analyze", "analyze --no-dns", 0, QByteArray("{\"file\":\"caf\\udce9.eml\",\"fullHeader\":false,"));
        row("report", "report --no-dns", 2, QByteArray("report: caf\\xe9.eml: not a full header"));
    }
    void namesThatAreNoTextAreTakenAsTheyAre()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QByteArray, output);
        QTemporaryDir dir;
        // Made through its bytes: Latin-1 0xE9 alone is no UTF-8, so no QString names it.
        const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xe9.eml";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0 && ::write(fd, "no header here\n", 15) == 15 && ::close(fd) == 0);
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("exec \"$0\" %1 \"$(printf 'caf\\351.eml')\"").arg(command),
                     QCoreApplication::applicationDirPath() + QStringLiteral("/nettlewright-cli")});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), status);
        const QByteArray all = shell.readAllStandardOutput() + shell.readAllStandardError();
        QVERIFY(::unlink(name.constData()) == 0); // no QString names it for the folder's clean-up either
        QVERIFY2(all.contains(output), all.constData());
    }

    // Usage errors, file names and output of every command. %P stands for a WHOIS peer's port.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("stdoutHas");
        QTest::addColumn<QByteArray>("stderrHas");
        const auto command = [](const char* name, const QString& args, int status, const QByteArray& out,
                                const QByteArray& err) { row(name, args.split(QLatin1Char('|')), status, out, err); };
        command("no command", {}, 2, {}, "usage: nettlewright-cli COMMAND");
        command("analyze: help", u"analyze|--help"_s, 0, "--no-dns", {});
        command("analyze: no files", u"analyze|--no-dns"_s, 2, {}, "no message file");
        command("analyze: unknown option", u"analyze|--fast|a.eml"_s, 2, {}, "unknown option '--fast'");
        command("analyze: resolver without a file", u"analyze|--resolver"_s, 2, {}, "--resolver needs a file");
        command("analyze: own hosts without a list", u"analyze|--own-hosts"_s, 2, {}, "--own-hosts needs");
        command("analyze: own hosts with a bad entry", u"analyze|--own-hosts|mx.example.org,10.0.0.0/33|a.eml"_s, 2, {},
                "'10.0.0.0/33' is not");
        command("analyze: unreadable resolver table", u"analyze|--resolver|missing.txt|a.eml"_s, 2, {}, "missing.txt");
        command("unknown command", u"frob"_s, 2, {}, "unknown command 'frob'");
        command("whois: unknown option", u"whois|--frob|192.0.2.1"_s, 2, {}, "'--frob'");
        command("whois: two targets", u"whois|192.0.2.1|192.0.2.2"_s, 2, {}, "exactly one");
        command("send: help in the same form", u"send|--help"_s, 0, "usage: nettlewright-cli send --server", {});
        command("send: required option missing", u"send|--from|a@example.org"_s, 2, {}, "--server is required");
        command("send: unknown option", u"send|--frob"_s, 2, {}, "Unknown option 'frob'");
        command("report: unknown option", u"report|--frob|x.eml"_s, 2, {}, "'--frob'");
        command("report: no file", u"report|--no-dns"_s, 2, {}, "at least one message file");
        command("report: brackets are no pattern", u"report|--no-dns|br[1].eml"_s, 2, {},
                "br[1].eml: not a full header");
        command("report: a trailing blank is kept", u"report|--no-dns|trail.eml "_s, 2, {},
                "trail.eml : not a full header");
        command("report: a pattern names no file", u"report|--no-dns|*.eml"_s, 1, {},
                "*.eml: cannot read: File not found");
        command("report: a folder cannot be read", u"report|--no-dns|."_s, 1, {}, ".: cannot read: Not a regular file");
        // The name comes from the table only; the header quoted in the complaint goes on after the NUL.
        command("analyze: control and non-ASCII characters escaped", u"analyze|--no-dns|caf\u00e9.eml"_s, 0,
                "{\"file\":\"caf\\u00e9.eml\",\"fullHeader\":true,\"ip\":\"192.0.2.1\",\"hostName\":\"\",\"timeStamp\":"
                "\"Mon, 1 Jan 2001\\tx\","
                "\"receivedLine\":\"Received: from [192.0.2.1] by caf\\u00e9.example \\\"q\\\" \\\\ \\u007f with SMTP; "
                "Mon, 1 Jan 2001\\tx\","
                "\"ipHostName\":\"\"}",
                {});
        command("report: names from a tab-separated table, control characters printed escaped",
                u"report|--resolver|tabs.txt|--delay|50|--route|private=127.0.0.1:%P|nul.eml"_s, 0,
                "Subject: SPAM Report from 192.0.2.1 / relay.example\n", "");
        command("report: the quoted header goes on after a NUL, escapes escaped",
                u"report|--no-dns|--delay|50|--route|private=127.0.0.1:%P|nul.eml"_s, 0,
                "X-Junk: a\\x00b\\x1b[2Jc\nSubject: after the NUL", {});
    }
    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, stdoutHas);
        QFETCH(QByteArray, stderrHas);
        QTemporaryDir dir;
        // No "trail.eml" and no "br1.eml": a trimmed name or a pattern would find nothing, or another file.
        for (const char* name : {"br[1].eml", "trail.eml ", "a.eml"})
            QVERIFY(nw::test::writeBytes(dir.filePath(QString::fromLatin1(name)), "no header here\n"));
        QVERIFY(nw::test::writeBytes(dir.filePath(QStringLiteral("tabs.txt")), "192.0.2.1\t \trelay.example\n"));
        QVERIFY(nw::test::writeBytes(
            dir.filePath(u"caf\u00e9.eml"_s),
            "Received: from [192.0.2.1] by caf\xe9.example \"q\" \\ \x7f with SMTP; Mon, 1 Jan 2001\tx\n"));
        static constexpr char message[] = "Received: from relay.example (relay.example [192.0.2.1])\r\n"
                                          "\tby mx.example with SMTP; Mon, 1 Jan 2001\r\n"
                                          "X-Junk: a\0b\x1b[2Jc\r\nSubject: after the NUL\r\n";
        QVERIFY(nw::test::writeBytes(dir.filePath(QStringLiteral("nul.eml")), QByteArray(message, sizeof message - 1)));
        nw::test::ScriptedPeer peer(nw::test::ScriptedPeer::answer("OrgAbuseEmail: abuse@example.net\n"));
        for (QString& arg : args)
            arg.replace(QLatin1String("%P"), QString::number(peer.port()));
        if (args == QStringList{QString()})
            args.clear();
        const nw::test::CliRun run = nw::test::runCli(args, dir.path());
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.out.contains(stdoutHas), run.out.constData());
        QVERIFY2(run.err.contains(stderrHas), run.err.constData());
    }
};

NW_TEST_CLASS(TstAnalyzeCommand)
#include "tst_analyzecommand.moc"
