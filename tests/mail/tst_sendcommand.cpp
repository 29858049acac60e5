#include "support/Cli.h"
#include "support/Files.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TstSendCommand : public QObject {
    Q_OBJECT

    nw::test::SmtpSink m_sink;
    QTemporaryDir m_dir;
    QString m_body;

private slots:
    void initTestCase()
    {
        // Strict as many submission servers are: angle brackets around envelope addresses, a Date field.
        QVERIFY2(m_sink.start({QStringLiteral("--strict")}), qPrintable(m_sink.error()));
        m_body = m_dir.filePath(QStringLiteral("body.txt"));
        QVERIFY(nw::test::writeBytes(m_body, "first\r\n.\r\ncaf\xe9\r\n"));
    }
    void cleanupTestCase() { m_sink.stop(); }

    void exitStatusAndOutput_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("withBody");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("sent: events, then the dialogue")
            << QStringLiteral("127.0.0.1:%1").arg(m_sink.port()) << true << 0
            << QStringList{QStringLiteral("Status: Preparing"),
                           QStringLiteral("Status: Connected"),
                           QStringLiteral("Status: Idle"),
                           QStringLiteral("--- Log ---"),
                           QStringLiteral("RCPT TO:<abuse@example.com>\r"),
                           QStringLiteral("..\r"),
                           QStringLiteral("221 Bye\r")};
        QTest::newRow("refused") << QStringLiteral("127.0.0.1:%1").arg(nw::test::ScriptedPeer::closedPort()) << true
                                 << 1
                                 << QStringList{QStringLiteral("Error: Couldn't connect to server"),
                                                QStringLiteral("Status: Failed : Couldn't connect to server"),
                                                QStringLiteral("--- Log ---")};
        QTest::newRow("no body file: a usage error") << QStringLiteral("127.0.0.1") << false << 2 << QStringList{};
    }
    void exitStatusAndOutput()
    {
        QFETCH(QString, server);
        QFETCH(bool, withBody);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QStringList args{QStringLiteral("--server"),  server,
                         QStringLiteral("--from"),    QStringLiteral("me@example.org"),
                         QStringLiteral("--to"),      QStringLiteral("abuse@example.com"),
                         QStringLiteral("--subject"), QStringLiteral("Check")};
        if (withBody)
            args << QStringLiteral("--body-file") << m_body;
        const auto before = m_sink.messages().size();
        const nw::test::CliRun run = nw::test::runCli(QStringList{QStringLiteral("send")} + args);
        QCOMPARE(run.exitCode, exitCode);
        const QString text = QString::fromLatin1(run.out);
        const QStringList out = text.split(QLatin1Char('\n'));
        for (const QString& line : lines)
            QVERIFY2(out.contains(line), qPrintable(line + QStringLiteral(" missing in:\n") + text));
        // The client reports its state at every step; each state is printed once.
        const QStringList statuses = out.filter(QRegularExpression(QStringLiteral("^Status: ")));
        QCOMPARE(QSet<QString>(statuses.begin(), statuses.end()).size(), statuses.size());
        QCOMPARE(m_sink.messages().size(), before + (exitCode == 0 ? 1 : 0));
        if (exitCode == 0)
            QVERIFY(m_sink.messages().last().data.endsWith("\r\n\r\nfirst\r\n.\r\ncaf\xe9\r\n\r\n\r\n\r\n"));
    }
};
NW_TEST_CLASS(TstSendCommand)

#include "tst_sendcommand.moc"
