#include "header/MessageIntake.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace nw;
using nw::test::Sandbox;

namespace {

const QString kMarker = QStringLiteral("\r\n<----MESSAGE TRUNCATED---->");

// A header line of exactly `length` characters including its CR LF.
QByteArray headerOfLength(int length) { return "Received: from " + QByteArray(length - 17, 'a') + "\r\n"; }

// Keeps every pointer change, so a load that fails still shows it restored.
class RecordingSink : public StringSink {
public:
    QList<bool> busy;
    void setBusy(bool on) override { busy << on; }
};

} // namespace

class TstMessageIntake : public QObject {
    Q_OBJECT

private slots:
    void loadsHeader_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("view");
        QTest::newRow("lines before the first Received: from are dropped")
            << QByteArray(
                   "Return-Path: <a@b.example>\r\nDelivered-To: c@d.example\r\nReceived: from x by y\r\nSubject: s\r\n")
            << "Received: from x by y\r\nSubject: s\r\n";
        QTest::newRow("LF line ends become CR LF")
            << QByteArray("Received: from x\nby y\n\nbody\n") << "Received: from x\r\nby y\r\n\r\nbody\r\n";
        QTest::newRow("last line without line end gets one")
            << QByteArray("Received: from x\r\nend") << "Received: from x\r\nend\r\n";
        QTest::newRow("a lone CR is not a line end")
            << QByteArray("Received: from a\rb\n") << "Received: from a\rb\r\n";
        QTest::newRow("CR CR LF keeps the first CR")
            << QByteArray("Received: from a\r\r\n") << "Received: from a\r\r\n";
        QTest::newRow("lower-case received keeps the whole text")
            << QByteArray("X-A: 1\nreceived: from x\n") << "X-A: 1\r\nreceived: from x\r\n";
        QTest::newRow("search is exact: Received: From does not start the header")
            << QByteArray("X: 1\r\nReceived: From x\r\n") << "X: 1\r\nReceived: From x\r\n";
        QTest::newRow("empty file") << QByteArray() << "";
        static constexpr char nulAndHigh[] = "Received: from \0\xe9\xff x\n";
        QTest::newRow("NUL and high bytes pass unchanged")
            << QByteArray(nulAndHigh, sizeof nulAndHigh - 1) << QStringLiteral("Received: from \0\u00e9\u00ff x\r\n");
        QTest::newRow("1300 characters are shown unchanged")
            << headerOfLength(1300) << QString::fromLatin1(headerOfLength(1300));
        QTest::newRow("1301 characters are cut and marked")
            << headerOfLength(1301) << QString::fromLatin1(headerOfLength(1301).left(1300)) + kMarker;
        QTest::newRow("1300 bytes with LF ends make 1301 characters")
            << QByteArray("Received: from ") + QByteArray(1284, 'a') + "\n"
            << QStringLiteral("Received: from ") + QString(1284, QLatin1Char('a')) + QStringLiteral("\r") + kMarker;
        QTest::newRow("limit counts from the header, not the file")
            << QByteArray(5000, 'p') + headerOfLength(1300) << QString::fromLatin1(headerOfLength(1300));
        QTest::newRow("text without a header is cut too")
            << QByteArray(2000, 'z') << QString(1300, QLatin1Char('z')) + kMarker;
    }
    void loadsHeader()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, view);
        Sandbox box;
        RecordingSink sink;
        sink.setText(QStringLiteral("previous message"));
        LoadMessageHeader(box.writeFile(QStringLiteral("m.eml"), file), sink);
        QCOMPARE(sink.text(), view);
        QCOMPARE(box.prompts().shown().size(), 0);
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
    }

    void firstReceivedPositionIsSixteenBit_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("overflows");
        QTest::newRow("position 32767") << QByteArray(32766, 'x') << false;
        QTest::newRow("position 32768") << QByteArray(32767, 'x') << true;
        // Each bare LF gains a CR, moving the position on: 10922 lines of "x\n" put it at 32767.
        QTest::newRow("bare LFs counted: 32767") << QByteArray("x\n").repeated(10922) << false;
        QTest::newRow("bare LFs counted: 32770") << QByteArray("x\n").repeated(10923) << true;
        // Only the top of the file is held; the rest is searched in pieces, across their seams.
        QTest::newRow("beyond what is held, across a seam") << QByteArray(kHeaderReadLimit - 5, 'x') << true;
    }
    void firstReceivedPositionIsSixteenBit()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, overflows);
        Sandbox box;
        RecordingSink sink;
        const QByteArray file = before + "Received: from x by y\n";
        LoadMessageHeader(box.writeFile(QStringLiteral("m.eml"), file), sink);
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
        if (overflows) {
            // The view keeps the text loaded so far and the failure is shown without an icon.
            QCOMPARE(box.prompts().texts(), QStringList{QStringLiteral("Overflow")});
            QCOMPARE(box.prompts().shown().first().icon, PromptIcon::None);
            QCOMPARE(sink.text(), QString::fromLatin1(file.left(kHeaderReadLimit).replace("\n", "\r\n")));
        } else {
            QVERIFY(box.prompts().shown().isEmpty());
            QCOMPARE(sink.text(), QStringLiteral("Received: from x by y\r\n"));
        }
    }

    void unreadableFileIsShownAndViewCleared_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("failure");
        QTest::newRow("missing") << "missing.eml" << "File not found";
        QTest::newRow("a folder") << "" << "Not a regular file";
        // Opening one for reading would wait for a writer for ever.
        QTest::newRow("a FIFO") << "fifo.eml" << "Not a regular file";
        QTest::newRow("a device") << "/dev/zero" << "Not a regular file";
    }
    void unreadableFileIsShownAndViewCleared()
    {
        QFETCH(QString, name);
        QFETCH(QString, failure);
        Sandbox box;
        QVERIFY(mkfifo(QFile::encodeName(box.path(QStringLiteral("fifo.eml"))).constData(), 0600) == 0);
        RecordingSink sink;
        sink.setText(QStringLiteral("previous message"));
        LoadMessageHeader(name.startsWith(QLatin1Char('/')) ? name : box.path(name), sink);
        QCOMPARE(sink.text(), QString());
        QCOMPARE(box.prompts().texts(), QStringList{failure});
        QCOMPARE(box.prompts().shown().first().title, QStringLiteral("Nettlewright"));
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
    }

    void recognisesAndCountsReceivedLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("full");
        QTest::addColumn<int>("count");
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("one line") << "Received: from a by b\r\n" << true << 1;
        QTest::newRow("lower case counts") << "received: from a\r\nreceived: from b\r\n" << true << 2;
        QTest::newRow("tab after from: counted, not full") << "Received: from\ta" << false << 1;
        QTest::newRow("line break after from: counted, not full") << "Received: from\r\na" << false << 1;
        QTest::newRow("Received: by is not counted") << "Received: by a\r\nReceived: from b" << true << 1;
        QTest::newRow("adjacent occurrences") << "RECEIVED: FROMRECEIVED: FROM " << true << 2;
        QTest::newRow("no space after the colon") << "Received:from a" << false << 0;
    }
    void recognisesAndCountsReceivedLines()
    {
        QFETCH(QString, text);
        QFETCH(bool, full);
        QFETCH(int, count);
        Sandbox box;
        QCOMPARE(IsFullHeader(text), full);
        QCOMPARE(ReceivedLineCount(text), count);
    }

    void countOverflowsBeyondSixteenBitPositions_data()
    {
        QTest::addColumn<int>("padding");
        QTest::addColumn<int>("count");
        QTest::newRow("occurrence at 32766") << 32765 << 1;
        QTest::newRow("occurrence at 32767 overflows the next search") << 32766 << 0;
    }
    void countOverflowsBeyondSixteenBitPositions()
    {
        QFETCH(int, padding);
        QFETCH(int, count);
        Sandbox box;
        QCOMPARE(ReceivedLineCount(QString(padding, QLatin1Char(' ')) + QStringLiteral("Received: from x")), count);
        QCOMPARE(box.errorLog().contains("Description: Overflow"), count == 0);
        QCOMPARE(box.errorLog().contains("\t1 - RECEIVEDLINECOUNT"), count == 0);
    }

    void cutsReceivedLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("line");
        const QString three =
            QStringLiteral("Received: from a by b; date\r\nReceived: from c by d; date\r\nFrom: x\r\n");
        QTest::newRow("first line keeps its CR") << three << 1 << "Received: from a by b; date\r";
        QTest::newRow("last line ends before From:") << three << 2 << "Received: from c by d; date\r";
        QTest::newRow("fewer lines than n") << three << 3 << "";
        QTest::newRow("n of zero") << three << 0 << "";
        QTest::newRow("empty text") << "" << 1 << "";
        QTest::newRow("Message-ID before From: ends it") << "Received: from a\r\nMessage-Id: <1>\r\nFrom: z\r\n"
                                                         << 1 << "Received: from a\r";
        QTest::newRow("From: before Message-ID ends it") << "Received: from a\r\nX: y\r\nfrom: z\r\nMessage-ID: <1>\r\n"
                                                         << 1 << "Received: from a\r\nX: y\r";
        QTest::newRow("neither: runs to the end less two characters") << "Received: from a by b\r\nX-Other: y\r\n"
                                                                      << 1 << "Received: from a by b\r\nX-Other: y";
        QTest::newRow("end less two characters, then trimmed") << "Received: from a   xy" << 1 << "Received: from a";
        QTest::newRow("Received: by lines are lines too") << "Received: by x; d\r\nReceived: from y by z; d\r\n"
                                                          << 1 << "Received: by x; d\r";
        QTest::newRow("found case-insensitively, cut from the original") << "RECEIVED: FROM A\r\nreceived: from b\r\n"
                                                                         << 2 << "received: from b";
        QTest::newRow("Received: without a space does not end a line") << "Received: from a\r\nReceived:from b\r\n"
                                                                       << 1 << "Received: from a\r\nReceived:from b";
        QTest::newRow("from: inside the line itself ends it") << "Received: from: spoof\r\n" << 1 << "Received:";
    }
    void cutsReceivedLines()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, line);
        QCOMPARE(GetReceivedLine(text, n), line);
    }
};

NW_TEST_CLASS(TstMessageIntake)
#include "tst_messageintake.moc"
