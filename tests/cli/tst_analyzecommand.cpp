#include "support/Cli.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class TstAnalyzeCommand : public QObject {
    Q_OBJECT

private slots:
    // Usage errors, file names and output of every command. %P stands for a WHOIS peer's port, %S for the
    // sample messages' folder.
    void commandLine_data()
    {
        columns<QString, int, QString, QString>("args", "status", "stdoutHas", "stderrHas");
        row("chain to a dial-up host", u"analyze|--resolver|%S/resolver.txt|%S/pharmacy.eml"_s, 0,
            R"("ip":"203.0.113.77","hostName":"dsl-203-0-113-77.pool.example","timeStamp":"")", "");
        row("without names the first hop is blamed", u"analyze|--no-dns|%S/pharmacy.eml"_s, 0,
            R"("ip":"198.51.100.20","hostName":"","timeStamp":"Tue, 14 Mar 2023 09:12:44 +0000")", "");
        row("chain cut by the header limit", u"analyze|--resolver|%S/resolver.txt|%S/long-chain.eml"_s, 0,
            R"("hostName":"hop7.relay-chain.example","timeStamp":"Sat, 25 Mar 2023 11:24:00 +0000")", "");
        row("own hops past the header limit", u"analyze|--no-dns|--own-hosts|192.0.2.96/28|%S/long-chain.eml"_s, 0,
            R"("ip":"192.0.2.112","hostName":"","timeStamp":"Sat, 25 Mar 2023 11:19:00 +0000")", "");
        // An unreadable file is refused with its reason and gets no line; the files around it are still
        // analysed, and nothing of one file's analysis is left in the next one's.
        row("files around a missing one", u"analyze|--no-dns|%S/lottery.eml|missing.eml|%S/webmail-paste.eml"_s, 1,
            R"("fullHeader":false,"ip":"","hostName":"","timeStamp":"","receivedLine":"")",
            "analyze: cannot read missing.eml: File not found");
        // The walk takes hop 2 unseen; the address's own name is looked up after it.
        row("the address's name apart from the hop's", u"analyze|--resolver|tabs.txt|hop2.eml"_s, 0,
            R"("ipHostName":"relay.example"})", "");
        row("received line past a 16-bit position", u"analyze|far.eml"_s, 1, "", "cannot read far.eml: Overflow");
        row("no command", "", 2, "", "usage: nettlewright-cli COMMAND");
        row("analyze: help", u"analyze|--help"_s, 0, "--no-dns", "");
        row("analyze: no files", u"analyze|--no-dns"_s, 2, "", "no message file");
        row("analyze: unknown option", u"analyze|--fast|a.eml"_s, 2, "", "unknown option '--fast'");
        row("analyze: resolver without a file", u"analyze|--resolver"_s, 2, "", "--resolver needs a file");
        row("analyze: own hosts without a list", u"analyze|--own-hosts"_s, 2, "", "--own-hosts needs");
        row("analyze: bad own host", u"analyze|--own-hosts|mx,10.0.0.0/33|a.eml"_s, 2, "", "'10.0.0.0/33' is not");
        row("analyze: unreadable resolver table", u"analyze|--resolver|missing.txt|a.eml"_s, 2, "", "missing.txt");
        row("unknown command", u"frob"_s, 2, "", "unknown command 'frob'");
        row("whois: unknown option", u"whois|--frob|192.0.2.1"_s, 2, "", "'--frob'");
        row("whois: two targets", u"whois|192.0.2.1|192.0.2.2"_s, 2, "", "exactly one");
        row("send: help in the same form", u"send|--help"_s, 0, "usage: nettlewright-cli send --server", "");
        row("send: required option missing", u"send|--from|a@example.org"_s, 2, "", "--server is required");
        row("send: unknown option", u"send|--frob"_s, 2, "", "Unknown option 'frob'");
        row("report: unknown option", u"report|--frob|x.eml"_s, 2, "", "'--frob'");
        row("report: no file", u"report|--no-dns"_s, 2, "", "at least one message file");
        row("report: brackets no pattern", u"report|--no-dns|br[1].eml"_s, 2, "", "br[1].eml: not a full header");
        row("report: blank kept", u"report|--no-dns|trail.eml "_s, 2, "", "trail.eml : not a full header");
        row("report: * is no pattern", u"report|--no-dns|*.eml"_s, 1, "", "*.eml: cannot read: File not found");
        row("report: a folder cannot be read", u"report|--no-dns|."_s, 1, "", ".: cannot read: Not a regular file");
        row("analyze: control and non-ASCII characters escaped", u"analyze|--no-dns|caf\u00e9.eml"_s, 0,
            "{\"file\":\"caf\\u00e9.eml\",\"fullHeader\":true,\"ip\":\"192.0.2.1\",\"hostName\":\"\",\"timeStamp\":"
            "\"Mon, 1 Jan 2001\\tx\",\"receivedLine\":\"Received: from [192.0.2.1] by caf\\u00e9.example "
            "\\\"q\\\" \\\\ \\u007f with SMTP; Mon, 1 Jan 2001\\tx\",\"ipHostName\":\"\"}",
            "");
        row("report: names from a tab-separated table, control characters printed escaped",
            u"report|--resolver|tabs.txt|--delay|50|--route|private=127.0.0.1:%P|nul.eml"_s, 0,
            "Subject: SPAM Report from 192.0.2.1 / relay.example\n", "");
        row("report: the quoted header goes on after a NUL, escapes escaped",
            u"report|--no-dns|--delay|50|--route|private=127.0.0.1:%P|nul.eml"_s, 0,
            "X-Junk: a\\x00b\\x1b[2Jc\\x7f\nSubject: after the NUL", "");
    }
    void commandLine()
    {
        auto [args, status, stdoutHas, stderrHas] =
            fetch<QString, int, QString, QString>("args", "status", "stdoutHas", "stderrHas");
        QTemporaryDir dir;
        // No "trail.eml" and no "br1.eml": a trimmed name or a pattern would find nothing, or another file.
        QVERIFY(writeBytes(dir.filePath(u"trail.eml "_s), "no header here\n"));
        QVERIFY(writeBytes(dir.filePath(u"far.eml"_s), QByteArray(40000, 'x') + "\nReceived: from [192.0.2.1] by b\n"));
        for (const QString& name : QDir(QStringLiteral(NW_CLI_MESSAGES)).entryList(QDir::Files))
            QVERIFY(QFile::copy(QStringLiteral(NW_CLI_MESSAGES "/") + name, dir.filePath(name)));
        ScriptedPeer peer(ScriptedPeer::answer("OrgAbuseEmail: abuse@example.net\n"));
        args.replace(u"%P"_s, QString::number(peer.port())).replace(u"%S"_s, QStringLiteral(NW_SAMPLES_DIR));
        const CliRun run = runCli(args.split(u'|', Qt::SkipEmptyParts), dir.path());
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.out.contains(stdoutHas.toUtf8()), run.out.constData());
        QVERIFY2(run.err.contains(stderrHas.toUtf8()), run.err.constData());
    }

    // A name in another encoding than the locale's reaches the file system byte for byte. Latin-1 0xE9 alone is
    // no UTF-8, so no QString names the file: the shell makes it, runs both commands on it and removes it.
    void namesThatAreNoTextAreTakenAsTheyAre()
    {
        QTemporaryDir dir;
        QProcess shell;
        shell.setWorkingDirectory(dir.path());
        shell.start(u"/bin/sh"_s,
                    {u"-c"_s,
                     u"n=$(printf 'caf\\351.eml'); echo no header >\"$n\"; \"$0\" analyze --no-dns \"$n\"; echo $?; "
                     u"\"$0\" report --no-dns \"$n\" 2>&1; echo $?; rm \"$n\""_s,
                     QCoreApplication::applicationDirPath() + u"/nettlewright-cli"_s});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.readAllStandardOutput(),
                 R"({"file":"caf\udce9.eml","fullHeader":false,"ip":"","hostName":"","timeStamp":"","receivedLine":"",)"
                 R"("ipHostName":""})"
                 "\n0\nnettlewright-cli report: caf\\xe9.eml: not a full header\n2\n");
    }
};

NW_TEST_CLASS(TstAnalyzeCommand)
#include "tst_analyzecommand.moc"
