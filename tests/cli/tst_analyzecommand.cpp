#include "support/Cli.h"
#include "support/Files.h"
#include "support/TestMain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

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
        QTest::addColumn<QString>("ipHostName");
        const QStringList table = {QStringLiteral("--resolver"), QStringLiteral("resolver.txt")};
        const QStringList none = {QStringLiteral("--no-dns")};
        QTest::newRow("chain to a dial-up host") << table << "pharmacy.eml" << true << "203.0.113.77"
                                                 << "dsl-203-0-113-77.pool.example"
                                                 << ""
                                                 << "dsl-203-0-113-77.pool.example";
        QTest::newRow("without names the first hop is blamed") << none << "pharmacy.eml" << true << "198.51.100.20"
                                                               << ""
                                                               << "Tue, 14 Mar 2023 09:12:44 +0000"
                                                               << "";
        QTest::newRow("mismatched name blames the relay above") << table << "lottery.eml" << true << "192.0.2.25"
                                                                << "relay.homeisp.example"
                                                                << "Fri, 17 Mar 2023 22:41:05 +0000"
                                                                << "relay.homeisp.example";
        QTest::newRow("bare address in the first line, LF file") << table << "loan.eml" << true << "203.0.113.45"
                                                                 << "dialup-45.cheapnet.example"
                                                                 << ""
                                                                 << "dialup-45.cheapnet.example";
        QTest::newRow("qmail style line") << table << "watches.eml" << true << "198.51.100.61"
                                          << "smtp61.bulkhost.example"
                                          << "Mar 2023 14:02:10 -0000\r"
                                          << "smtp61.bulkhost.example";
        QTest::newRow("chain cut by the header limit") << table << "long-chain.eml" << true << "192.0.2.107"
                                                       << "hop7.relay-chain.example"
                                                       << "Sat, 25 Mar 2023 11:24:00 +0000"
                                                       << "hop7.relay-chain.example";
        QTest::newRow("own hops past the header limit") << QStringList{QStringLiteral("--no-dns"),
                                                                     QStringLiteral("--own-hosts"),
                                                                     QStringLiteral("192.0.2.96/28")}
                                                        << "long-chain.eml" << true << "192.0.2.112" << ""
                                                        << "Sat, 25 Mar 2023 11:19:00 +0000" << "";
        QTest::newRow("no header") << table << "webmail-paste.eml" << false << ""
                                   << ""
                                   << ""
                                   << "";
    }
    void analysesTheSamples()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, file);
        QFETCH(bool, fullHeader);
        QFETCH(QString, ip);
        QFETCH(QString, hostName);
        QFETCH(QString, timeStamp);
        QFETCH(QString, ipHostName);
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
        QCOMPARE(o.value(QStringLiteral("ipHostName")).toString(), ipHostName);
        QCOMPARE(o.value(QStringLiteral("receivedLine")).toString().isEmpty(), !fullHeader);
    }

    void unreadableFilesAreReportedAndSkipped()
    {
        const Run run = runCli({QStringLiteral("--no-dns"), QStringLiteral("loan.eml"), QStringLiteral("missing.eml"),
                                QStringLiteral("."), QStringLiteral("lottery.eml")});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.lines.size(), 2);
        QCOMPARE(parse(run.lines.at(0)).value(QStringLiteral("file")).toString(), QStringLiteral("loan.eml"));
        QCOMPARE(parse(run.lines.at(1)).value(QStringLiteral("file")).toString(), QStringLiteral("lottery.eml"));
        QVERIFY2(run.errors.contains("cannot read missing.eml") && run.errors.contains("cannot read ."),
                 run.errors.constData());
    }

    void escapesControlAndNonAsciiCharacters()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("caf\u00e9.eml"));
        QVERIFY(nw::test::writeBytes(
            file, "Received: from [192.0.2.1] by caf\xe9.example \"q\" \\ with SMTP; Mon, 1 Jan 2001\tx\n"));
        const Run run = runCli({QStringLiteral("--no-dns"), file});
        QCOMPARE(run.status, 0);
        const QJsonObject o = parse(run.lines.value(0));
        QVERIFY2(!o.isEmpty(), run.lines.value(0).constData());
        QCOMPARE(o.value(QStringLiteral("file")).toString(), file);
        QCOMPARE(
            o.value(QStringLiteral("receivedLine")).toString(),
            QStringLiteral("Received: from [192.0.2.1] by caf\u00e9.example \"q\" \\ with SMTP; Mon, 1 Jan 2001\tx"));
        QVERIFY(run.lines.value(0).contains("caf\\u00e9.example \\\"q\\\" \\\\ with"));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("stdoutHas");
        QTest::addColumn<QByteArray>("stderrHas");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << QByteArray("--no-dns") << QByteArray();
        QTest::newRow("no files") << QStringList{QStringLiteral("--no-dns")} << 2 << QByteArray()
                                  << QByteArray("no message file");
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--fast"), QStringLiteral("loan.eml")} << 2
                                        << QByteArray() << QByteArray("unknown option '--fast'");
        QTest::newRow("resolver without a file")
            << QStringList{QStringLiteral("--resolver")} << 2 << QByteArray() << QByteArray("--resolver needs a file");
        QTest::newRow("own hosts without a list")
            << QStringList{QStringLiteral("--own-hosts")} << 2 << QByteArray() << QByteArray("--own-hosts needs");
        QTest::newRow("own hosts with a bad entry")
            << QStringList{QStringLiteral("--own-hosts"), QStringLiteral("mx.example.org,10.0.0.0/33"),
                           QStringLiteral("loan.eml")}
            << 2 << QByteArray() << QByteArray("'10.0.0.0/33' is not");
        QTest::newRow("unreadable resolver table")
            << QStringList{QStringLiteral("--resolver"), QStringLiteral("missing.txt"), QStringLiteral("loan.eml")} << 2
            << QByteArray() << QByteArray("missing.txt");
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, stdoutHas);
        QFETCH(QByteArray, stderrHas);
        const Run run = runCli(args);
        QCOMPARE(run.status, status);
        QVERIFY(run.lines.join('\n').contains(stdoutHas));
        QVERIFY2(run.errors.contains(stderrHas), run.errors.constData());
    }
};

NW_TEST_CLASS(TstAnalyzeCommand)
#include "tst_analyzecommand.moc"
