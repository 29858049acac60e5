#include "support/Cli.h"
#include "support/Files.h"
#include "support/Rows.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/TestMain.h"

#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace nw::test;

class TstSendCommand : public QObject {
    Q_OBJECT

    SmtpSink m_sink;
    QTemporaryDir m_dir;
    QString m_body;

private slots:
    void initTestCase()
    {
        // Strict as many submission servers are: angle brackets around envelope addresses, a Date field.
        QVERIFY2(m_sink.start({u"--strict"_s}), qPrintable(m_sink.error()));
        m_body = m_dir.filePath(u"body.txt"_s);
        QVERIFY(writeBytes(m_body, "first\r\n.\r\ncaf\xe9\r\n"));
    }
    void cleanupTestCase() { m_sink.stop(); }

    void exitStatusAndOutput_data()
    {
        columns<QString, bool, int, QStringList>("server", "withBody", "exitCode", "lines");
        row("sent: events, then the dialogue", u"127.0.0.1:%1"_s.arg(m_sink.port()), true, 0,
            QStringList{u"Status: Preparing"_s, u"Status: Connected"_s, u"Status: Idle"_s, u"--- Log ---"_s,
                        u"RCPT TO:<abuse@example.com>\r"_s, u"..\r"_s, u"221 Bye\r"_s});
        row("refused", u"127.0.0.1:%1"_s.arg(ScriptedPeer::closedPort()), true, 1,
            QStringList{u"Error: Couldn't connect to server"_s, u"--- Log ---"_s});
        row("no body file: a usage error", u"127.0.0.1"_s, false, 2, QStringList{});
    }
    void exitStatusAndOutput()
    {
        const auto [server, withBody, exitCode, lines] =
            fetch<QString, bool, int, QStringList>("server", "withBody", "exitCode", "lines");
        QStringList args{u"send"_s, u"--server"_s,          server,         u"--from"_s, u"me@example.org"_s,
                         u"--to"_s, u"abuse@example.com"_s, u"--subject"_s, u"Check"_s};
        if (withBody)
            args << u"--body-file"_s << m_body;
        const auto before = m_sink.messages().size();
        const CliRun run = runCli(args);
        QCOMPARE(run.exitCode, exitCode);
        const QStringList out = QString::fromLatin1(run.out).split(u'\n');
        for (const QString& line : lines)
            QVERIFY2(out.contains(line), qPrintable(line + u" missing in:\n"_s + out.join(u'\n')));
        // The client reports its state at every step; each state is printed once.
        const QStringList statuses = out.filter(QRegularExpression(u"^Status: "_s));
        QCOMPARE(QSet<QString>(statuses.begin(), statuses.end()).size(), statuses.size());
        QCOMPARE(m_sink.messages().size(), before + (exitCode == 0 ? 1 : 0));
        if (exitCode == 0)
            QVERIFY(m_sink.messages().last().data.endsWith("\r\n\r\nfirst\r\n.\r\ncaf\xe9\r\n\r\n\r\n\r\n"));
    }
};
NW_TEST_CLASS(TstSendCommand)

#include "tst_sendcommand.moc"
