#include "SmtpRig.h"
#include "mail/Complaint.h"
#include "mail/SMTP.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/TestMain.h"

#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace nw;
using namespace nw::test;

namespace {

const QString kFailedAtServer = u"Failed at server side. Check the SMTP.Log property for more details"_s;

// The data a server must receive: header lines, the X-Mailer line, an empty line, the body and the end
// (the Date and Message-ID values masked).
QByteArray messageData(const QByteArray& headers, const QByteArray& body, const QByteArray& mailer = {})
{
    return headers + "X-Mailer: " + mailer + " <powered by WrenSMTP (1.0)>\r\n\r\n" + body + "\r\n\r\n\r\n";
}

using Properties = QMap<QString, QString>;

void setProperties(SMTP& smtp, const Properties& properties)
{
    const QMap<QString, QString SMTP::*> members{{u"CCC"_s, &SMTP::CCC},         {u"BCC"_s, &SMTP::BCC},
                                                 {u"XHeader"_s, &SMTP::XHeader}, {u"XMailer"_s, &SMTP::XMailer},
                                                 {u"Subject"_s, &SMTP::Subject}, {u"NameTo"_s, &SMTP::NameTo},
                                                 {u"Body"_s, &SMTP::Body}};
    for (auto it = properties.begin(); it != properties.end(); ++it)
        smtp.*members.value(it.key()) = it.value();
}

// A complaint whose quoted header holds a line "." and, after it, text that reads like commands.
QString complaintWithDotLine()
{
    ComplaintInputs in;
    in.analysis = {u"192.0.2.7"_s, u"relay.example"_s, u"now"_s, u"from relay\r"_s, QString()};
    in.headerText = u"Received: from x\r\n.\r\nSubject: after the dot\r\nQUIT\r\n"_s;
    in.title = u"Nettlewright"_s;
    return CreateComplaint(in);
}

} // namespace

// Against Debian's aiosmtpd: what a real server receives.
class TstSmtpServer : public QObject {
    Q_OBJECT

    SmtpSink m_sink;
    QSet<QByteArray> m_messageIds;

private slots:
    // Strict like many submission servers: bare envelope addresses and a message without Date are refused.
    void initTestCase() { QVERIFY2(m_sink.start({u"--strict"_s}), qPrintable(m_sink.error())); }
    void cleanupTestCase() { m_sink.stop(); }

    void messageArrivesAsSent_data()
    {
        QTest::addColumn<Properties>("properties");
        QTest::addColumn<QStringList>("rcpts");
        QTest::addColumn<QByteArray>("data");
        const QString to = u"abuse@example.net"_s;
        const QString cc = u"copy@example.org"_s;
        const QString bcc = u"blind@example.org"_s;
        const QByteArray fromTo = kMaskedStamps + QByteArray("From:me@example.org\r\nTo:abuse@example.net\r\n");
        const auto body = [](const char* text) { return Properties{{u"Body"_s, QString::fromLatin1(text)}}; };
        QTest::newRow("lines of dots survive transparency")
            << body("a\r\n.\r\n..\r\n. x\r\n.") << QStringList{to}
            << messageData(fromTo + "Subject:\r\n", "a\r\n.\r\n..\r\n. x\r\n.");
        QTest::newRow("bare LF and bare CR become line ends")
            << body("a\nb\rc\r\n\n.") << QStringList{to}
            << messageData(fromTo + "Subject:\r\n", "a\r\nb\r\nc\r\n\r\n.");
        QTest::newRow("empty body") << Properties{} << QStringList{to} << messageData(fromTo + "Subject:\r\n", "");
        QTest::newRow("NUL in a quoted header is written as ^@")
            << Properties{{u"Body"_s, QString::fromLatin1(QByteArrayLiteral("Received: from a\0b\r\n\0"))}}
            << QStringList{to} << messageData(fromTo + "Subject:\r\n", "Received: from a^@b\r\n^@");
        QTest::newRow("high single bytes") << Properties{{u"Body"_s, u"caf\u00e9 \u00ff"_s}} << QStringList{to}
                                           << messageData(fromTo + "Subject:\r\n", "caf\xe9 \xff");
        QTest::newRow("cc and bcc: three recipients, only cc named")
            << Properties{{u"CCC"_s, cc}, {u"BCC"_s, bcc}} << QStringList{to, cc, bcc}
            << messageData(fromTo + "Cc:copy@example.org\r\nSubject:\r\n", "");
        QTest::newRow("extra header line comes first")
            << Properties{{u"XHeader"_s, u"X-Report: 1"_s}} << QStringList{to}
            << messageData("X-Report: 1\r\n" + fromTo + "Subject:\r\n", "");
        QTest::newRow("subject cannot add a header")
            << Properties{{u"Subject"_s, u"Hi\r\nBcc: victim@example.com"_s}} << QStringList{to}
            << messageData(fromTo + "Subject:Hi Bcc: victim@example.com\r\n", "");
        QTest::newRow("a lone LF in a header text")
            << Properties{{u"NameTo"_s, u"Team\n.\nQUIT"_s}} << QStringList{to}
            << messageData(kMaskedStamps + QByteArray("From:me@example.org\r\nTo:Team . QUIT\r\nSubject:\r\n"), "");
        // The received line's own CR is a line end of its own on the wire.
        const QString complaint = complaintWithDotLine();
        QTest::newRow("complaint quoting a line \".\" arrives whole")
            << Properties{{u"Body"_s, complaint}} << QStringList{to}
            << messageData(fromTo + "Subject:\r\n", QString(complaint).replace(u"\r\r\n"_s, u"\r\n\r\n"_s).toLatin1());
    }
    void messageArrivesAsSent()
    {
        QFETCH(Properties, properties);
        QFETCH(QStringList, rcpts);
        QFETCH(QByteArray, data);
        SMTP smtp;
        address(smtp, m_sink.port());
        setProperties(smtp, properties);
        QVERIFY(smtp.SendMail());
        const auto m = m_sink.messages().last();
        QCOMPARE(m.helo, u"127.0.0.1"_s);
        QCOMPARE(m.mailFrom, u"me@example.org"_s);
        QCOMPARE(m.rcptTos, rcpts);
        QCOMPARE(maskStamps(m.data), data);
        // Each message its own Message-ID.
        const qsizetype id = m.data.indexOf("Message-ID: ");
        const QByteArray value = m.data.mid(id, m.data.indexOf("\r\n", id) - id);
        QVERIFY2(!m_messageIds.contains(value), value.constData());
        m_messageIds.insert(value);
    }

    // The attachment arrives whole; afterwards only server, port, mailer and log are kept.
    void successKeepsOnlyServerPortMailerAndLog()
    {
        QTemporaryDir dir;
        SMTP smtp;
        address(smtp, m_sink.port());
        smtp.CCC = u"c@example.org"_s;
        smtp.BCC = u"b@example.org"_s;
        smtp.Subject = u"s"_s;
        smtp.Body = u"b"_s;
        smtp.XMailer = u"M"_s;
        smtp.XHeader = u"X-A: 1"_s;
        smtp.Attachment = dir.filePath(u"evidence.bin"_s);
        const QByteArray bytes = ".\n.\r\n" + randomBytes(1000); // dots and line ends inside the file, too
        QVERIFY(writeBytes(smtp.Attachment, bytes));
        QSignalSpy completed(&smtp, &SMTP::MailCompleted);
        QSignalSpy connected(&smtp, &SMTP::Connected);
        QSignalSpy sentData(&smtp, &SMTP::SentData);
        QSignalSpy receivedData(&smtp, &SMTP::ReceivedData);
        EventLog log(smtp);
        QVERIFY(smtp.SendMail());
        QCOMPARE(completed.count(), 1);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(connected.first().at(1).toInt(), int(m_sink.port()));
        // Every line of the table, each once, without the CR LF that goes after it.
        QStringList sent;
        for (const auto& args : sentData)
            sent << args.first().toString();
        QCOMPARE(sent.size(), 18);
        QCOMPARE(sent.first(), u"HELO 127.0.0.1"_s);
        QCOMPARE(sent.at(4), u"RCPT TO:<b@example.org>"_s);
        QCOMPARE(sent.at(13), u"X-Mailer: M <powered by WrenSMTP (1.0)>\r\n"_s);
        QCOMPARE(sent.at(16), u"\r\n."_s);
        QCOMPARE(sent.last(), u"QUIT"_s);
        QString received;
        for (const auto& args : receivedData)
            received += args.first().toString();
        QVERIFY(received.startsWith(u"220 "_s) && received.endsWith(u"221 Bye\r\n"_s));
        QCOMPARE(log.events.last(), u"Status: Idle"_s);
        QVERIFY(log.errors().isEmpty());
        const QByteArray data = m_sink.messages().last().data;
        const auto begin = data.indexOf("begin 664 evidence.bin\r\n"), end = data.indexOf("`\r\nend\r\n");
        QVERIFY(begin > 0 && end > begin);
        const QString decoded = dir.filePath(u"decoded.bin"_s);
        SMTP::UUDecodeToFile(QString::fromLatin1(data.mid(begin, end + 8 - begin)), decoded);
        QCOMPARE(fileBytes(decoded), bytes);
        for (const QString* p : {&smtp.Attachment, &smtp.BCC, &smtp.Body, &smtp.CCC, &smtp.MailFrom, &smtp.MailTo,
                                 &smtp.NameFrom, &smtp.NameTo, &smtp.Subject, &smtp.XHeader})
            QVERIFY(p->isEmpty());
        QCOMPARE(smtp.Server, u"127.0.0.1"_s);
        QCOMPARE(smtp.Port, QString::number(m_sink.port()));
        QCOMPARE(smtp.XMailer, u"M"_s);
        QVERIFY(smtp.Log.startsWith(u"220 "_s));
        QVERIFY(smtp.Log.contains(u"\r\nHELO 127.0.0.1\r\n250"_s));
        QVERIFY(smtp.Log.endsWith(u"QUIT\r\n221 Bye\r\n"_s));
    }
};
NW_TEST_CLASS(TstSmtpServer)

// Scripted peers: replies a real server will not give on demand.
class TstSmtpDialogue : public QObject {
    Q_OBJECT

    static QList<ScriptedPeer::Step> happyScript(const QByteArray& greeting, const QByteArray& heloReply)
    {
        using P = ScriptedPeer;
        QList<P::Step> s{P::send(greeting), P::readLine(), P::send(heloReply)};
        for (const char* reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"})
            s << P::readLine() << P::send(reply);
        for (int i = 0; i < 9; ++i) // Date, Message-ID, From, To, Subject, X-Mailer, blank, body, blank
            s << P::readLine();
        s << P::readLine() << P::readLine() << P::send("250 queued\r\n");
        s << P::readLine() << P::send("221 bye\r\n") << P::close();
        return s;
    }

private slots:
    // Sends that stop before any dialogue: the address kept for another try, and the events in order.
    void stopsBeforeTheDialogue_data()
    {
        QTest::addColumn<QStringList>("setup"); // server, port, sender, recipient, attachment
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("portAfter");
        const QString from = u"me@example.org"_s, to = u"abuse@example.net"_s, h = u"127.0.0.1"_s;
        const QStringList start{u"Status: Preparing"_s, u"Status: Error"_s};
        const QStringList tail{u"Error: Couldn't connect to server"_s,
                               u"Status: Failed : Couldn't connect to server"_s};
        const QString closed = QString::number(ScriptedPeer::closedPort());
        QTest::newRow("no server") << QStringList{{}, {}, from, to}
                                   << start + QStringList{u"Error: No SMTP server specified"_s} << QString();
        QTest::newRow("no sender, port set to 25")
            << QStringList{h, {}, {}, to} << start + QStringList{u"Error: Sender address not specified"_s} << u"25"_s;
        QTest::newRow("no recipient") << QStringList{h, {}, from, {}}
                                      << start + QStringList{u"Error: Receipient address not specified"_s} << u"25"_s;
        QTest::newRow("refused") << QStringList{h, closed, from, to}
                                 << QStringList{u"Status: Preparing"_s, u"Status: Connecting"_s, u"Status: Error"_s,
                                                u"Error: Connection refused"_s} +
                                        tail
                                 << closed;
        QTest::newRow("port not a number")
            << QStringList{h, u"smtp"_s, from, to}
            << QStringList{u"Status: Preparing"_s, u"Status: Connecting"_s, u"Error: Connect failed"_s} + tail
            << u"smtp"_s;
        // A closed port: had it tried to connect, the refusal would show among the events.
        QTest::newRow("unreadable attachment connects nowhere")
            << QStringList{h, closed, from, to, u"/nonexistent/evidence.txt"_s}
            << QStringList{u"Status: Preparing"_s, u"Status: Encoding attachment"_s, u"Error: Send Failed"_s} << closed;
    }
    void stopsBeforeTheDialogue()
    {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, events);
        QFETCH(QString, portAfter);
        SMTP smtp;
        smtp.Server = setup.at(0);
        smtp.Port = setup.at(1);
        smtp.MailFrom = setup.at(2);
        smtp.MailTo = setup.at(3);
        smtp.Attachment = setup.value(4);
        EventLog log(smtp);
        QVERIFY(!smtp.SendMail());
        QCOMPARE(log.events, events);
        QCOMPARE(smtp.Port, portAfter);
        QVERIFY(smtp.Log.isEmpty());
        QCOMPARE(smtp.MailTo, setup.at(3));
        if (events.contains(u"Status: Connecting"_s))
            QCOMPARE(smtp.NameTo, setup.at(3));
    }

    void rejectedDialogue_data()
    {
        using P = ScriptedPeer;
        QTest::addColumn<QList<ScriptedPeer::Step>>("script");
        QTest::addColumn<QStringList>("linesSent");
        QTest::addColumn<QString>("logEnd");
        QTest::newRow("550 to RCPT: no DATA")
            << QList<P::Step>{P::send("220 hi\r\n"), P::readLine(), P::send("250 hello\r\n"),        P::readLine(),
                              P::send("250 ok\r\n"), P::readLine(), P::send("550 no such user\r\n"), P::hold()}
            << QStringList{u"HELO 127.0.0.1\r\n"_s, u"MAIL FROM:<me@example.org>\r\n"_s,
                           u"RCPT TO:<abuse@example.net>\r\n"_s}
            << u"RCPT TO:<abuse@example.net>\r\n550 no such user\r\n"_s;
        QTest::newRow("bad greeting") << QList<P::Step>{P::send("554 go away\r\n"), P::hold()} << QStringList{}
                                      << u"554 go away\r\n"_s;
        QTest::newRow("multi-line reply judged by its final line")
            << QList<P::Step>{P::send("220 hi\r\n"),     P::readLine(), P::send("250-hello\r\n"), P::pause(30),
                              P::send("550 but no\r\n"), P::hold()}
            << QStringList{u"HELO 127.0.0.1\r\n"_s} << u"250-hello\r\n550 but no\r\n"_s;
    }
    void rejectedDialogue()
    {
        QFETCH(QList<ScriptedPeer::Step>, script);
        QFETCH(QStringList, linesSent);
        QFETCH(QString, logEnd);
        ScriptedPeer peer(script);
        SMTP smtp;
        address(smtp, peer.port());
        smtp.Body = u"b"_s;
        EventLog log(smtp);
        QVERIFY(!smtp.SendMail());
        QCOMPARE(log.events.mid(log.events.size() - 2),
                 (QStringList{u"Status: Error"_s, u"Error: "_s + kFailedAtServer}));
        QStringList lines;
        for (const QByteArray& l : peer.lines())
            lines << QString::fromLatin1(l);
        QCOMPARE(lines, linesSent);
        QVERIFY(!peer.received().contains("DATA"));
        QVERIFY2(smtp.Log.endsWith(logEnd), qPrintable(smtp.Log));
        QCOMPARE(smtp.Body, u"b"_s);
    }

    void splitAndMultiLineRepliesAreReadWhole_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<QByteArray>("heloReply");
        QTest::newRow("plain") << QByteArray("220 hi\r\n") << QByteArray("250 hello\r\n");
        QTest::newRow("multi-line greeting and HELO reply")
            << QByteArray("220-first\r\n220-second\r\n220 last\r\n") << QByteArray("250-a\r\n250-b\r\n250 c\r\n");
        QTest::newRow("bare LF ends") << QByteArray("220 hi\n") << QByteArray("250 hello\n");
    }
    void splitAndMultiLineRepliesAreReadWhole()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(QByteArray, heloReply);
        // Every reply goes out in pieces: one byte, then the rest after a gap.
        QList<ScriptedPeer::Step> script;
        for (const ScriptedPeer::Step& s : happyScript(greeting, heloReply)) {
            if (s.kind == ScriptedPeer::Step::Send && s.bytes.size() > 1)
                script << ScriptedPeer::send(s.bytes.left(1)) << ScriptedPeer::pause(20)
                       << ScriptedPeer::send(s.bytes.mid(1));
            else
                script << s;
        }
        ScriptedPeer peer(script);
        SMTP smtp;
        address(smtp, peer.port());
        smtp.Subject = u"s"_s;
        smtp.Body = u"b"_s;
        EventLog log(smtp);
        QVERIFY2(smtp.SendMail(), qPrintable(log.events.join(QLatin1Char('\n'))));
        QVERIFY(peer.received().endsWith("\r\n\r\n.\r\nQUIT\r\n"));
        QVERIFY(log.errors().isEmpty()); // the server closing with its 221 is no error
        QVERIFY(smtp.Log.contains(QString::fromLatin1(greeting.mid(1))));
    }

    void brokenConnectionEndsTheSend_data()
    {
        using P = ScriptedPeer;
        QTest::addColumn<QList<ScriptedPeer::Step>>("script");
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("silence after connect") << QList<P::Step>{P::hold()} << 300;
        QTest::newRow("silence after DATA's text")
            << QList<P::Step>{P::send("220 hi\r\n"), P::readLine(), P::send("250 a\r\n"), P::readLine(),
                              P::send("250 b\r\n"),  P::readLine(), P::send("250 c\r\n"), P::readLine(),
                              P::send("354 d\r\n"),  P::hold()}
            << 300;
        QTest::newRow("reset mid-dialogue")
            << QList<P::Step>{P::send("220 hi\r\n"), P::readLine(), P::reset()} << 600000;
        QTest::newRow("closed mid-dialogue")
            << QList<P::Step>{P::send("220 hi\r\n"), P::readLine(), P::send("250 a\r\n"), P::close()} << 600000;
    }
    void brokenConnectionEndsTheSend()
    {
        QFETCH(QList<ScriptedPeer::Step>, script);
        QFETCH(int, timeoutMs);
        ScriptedPeer peer(script);
        SMTP smtp;
        address(smtp, peer.port());
        smtp.replyTimeoutMs = timeoutMs;
        smtp.dataEndTimeoutMs = timeoutMs;
        // The program stays responsive while the send waits.
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
        tick.start(10);
        EventLog log(smtp);
        QVERIFY(!smtp.SendMail());
        QCOMPARE(log.events.last(), u"Error: "_s + kFailedAtServer);
        QVERIFY(!log.events.contains(u"Status: Idle"_s));
        if (timeoutMs < 1000)
            QVERIFY(ticks > 0);
    }

    // Once the server took the data with 250 the message is sent, whatever becomes of the QUIT: counting it
    // as failed would send the same complaint again.
    void acceptedDataIsSentWhateverQuitGets_data()
    {
        using P = ScriptedPeer;
        QTest::addColumn<QList<ScriptedPeer::Step>>("afterAcceptance");
        QTest::newRow("closed with the 250") << QList<P::Step>{P::close()};
        QTest::newRow("closed without answering QUIT") << QList<P::Step>{P::readLine(), P::close()};
        QTest::newRow("QUIT never answered") << QList<P::Step>{P::readLine(), P::hold()};
        QTest::newRow("QUIT refused") << QList<P::Step>{P::readLine(), P::send("500 what\r\n"), P::hold()};
    }
    void acceptedDataIsSentWhateverQuitGets()
    {
        QFETCH(QList<ScriptedPeer::Step>, afterAcceptance);
        QList<ScriptedPeer::Step> script = happyScript("220 hi\r\n", "250 hello\r\n");
        script = script.mid(0, script.size() - 3) + afterAcceptance; // up to the 250 for the data's end
        ScriptedPeer peer(script);
        SMTP smtp;
        address(smtp, peer.port());
        smtp.quitTimeoutMs = 200;
        QSignalSpy completed(&smtp, &SMTP::MailCompleted);
        EventLog log(smtp);
        QVERIFY2(smtp.SendMail(), qPrintable(log.events.join(QLatin1Char('\n'))));
        QCOMPARE(completed.count(), 1);
        QCOMPARE(log.errors(), QStringList{});
        QCOMPARE(log.events.last(), u"Status: Idle"_s);
        QVERIFY(smtp.MailTo.isEmpty());
    }

    // A greeting without end fails the send; the connection stays open for the next send to close, and what
    // the server goes on sending meanwhile belongs to no dialogue: it must not pile up in the log.
    void endlessServerFillsNothingAfterTheFailure()
    {
        constexpr qint64 total = 4 * 1024 * 1024;
        ScriptedPeer peer({ScriptedPeer::flood("220-an endless greeting\r\n", total), ScriptedPeer::close()});
        QSignalSpy finished(&peer, &ScriptedPeer::scriptFinished);
        SMTP smtp;
        address(smtp, peer.port());
        QVERIFY(!smtp.SendMail());
        QVERIFY(finished.wait(30000));
        QVERIFY2(smtp.Log.size() < total / 8, qPrintable(QString::number(smtp.Log.size())));
    }

    void sendingDuringASendIsRefused()
    {
        ScriptedPeer peer(happyScript("220 hi\r\n", "250 hello\r\n"));
        SMTP smtp;
        address(smtp, peer.port());
        bool inner = true;
        QStringList innerErrors;
        connect(&smtp, &SMTP::Connected, this, [&] {
            EventLog log(smtp);
            inner = smtp.SendMail();
            innerErrors = log.errors();
        });
        QVERIFY(smtp.SendMail());
        QVERIFY(!inner);
        QCOMPARE(innerErrors, QStringList{u"Error: Send Failed"_s});
        QCOMPARE(peer.connections(), 1);
    }
};
NW_TEST_CLASS(TstSmtpDialogue)

class TstUuencode : public QObject {
    Q_OBJECT

private slots:
    void roundTripAndLineLengths_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("lengthChars");
        QTest::newRow("0: one lone-space line") << 0 << u" "_s;
        QTest::newRow("1") << 1 << u"!"_s;
        QTest::newRow("44: one short line") << 44 << u"L"_s;
        QTest::newRow("45: full line, then an empty one") << 45 << u"M "_s;
        QTest::newRow("46") << 46 << u"M!"_s;
        QTest::newRow("90: two full lines and a lone space") << 90 << u"MM "_s;
        QTest::newRow("100: M, M and *") << 100 << u"MM*"_s;
        const int random = 1 + int(QRandomGenerator::global()->bounded(5000));
        QString chars(random / 45, QLatin1Char('M'));
        chars += QChar(32 + random % 45);
        QTest::newRow("random length") << random << chars;
    }
    void roundTripAndLineLengths()
    {
        QFETCH(int, size);
        QFETCH(QString, lengthChars);
        QTemporaryDir dir;
        const QByteArray bytes = randomBytes(size);
        const QString path = dir.filePath(u"in.bin"_s);
        QVERIFY(writeBytes(path, bytes));
        SMTP smtp;
        QSignalSpy status(&smtp, &SMTP::Status);
        const QString text = smtp.UUEncodeFile(path);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.first().first().toString(), u"Encoding attachment"_s);

        QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.takeFirst(), u"begin 664 in.bin"_s);
        QCOMPARE(lines.mid(lines.size() - 3), (QStringList{u"`"_s, u"end"_s, QString()}));
        lines = lines.mid(0, lines.size() - 3);
        QString firstChars;
        for (const QString& l : lines) {
            firstChars += l.at(0);
            const int groups = (l.at(0).unicode() - 32 + 2) / 3;
            QCOMPARE(l.size(), 1 + 4 * groups);
        }
        QCOMPARE(firstChars, lengthChars);

        for (const QString& lineEnd : {u"\n"_s, u"\r\n"_s}) {
            const QString out = dir.filePath(u"out.bin"_s);
            QVERIFY(writeBytes(out, QByteArray(size + 100, 'x'))); // a longer file is cut
            SMTP::UUDecodeToFile(QString(text).replace(u"\n"_s, lineEnd), out);
            QCOMPARE(fileBytes(out), bytes);
        }
    }
};
NW_TEST_CLASS(TstUuencode)

#include "tst_smtp.moc"
