#include "header/MessageIntake.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::row;
using nw::test::Sandbox;

namespace {

const QString kMarker = QStringLiteral("\r\n<----MESSAGE TRUNCATED---->");

// A header line of exactly `length` characters including its CR LF.
QByteArray headerOfLength(int length)
{
    return "Received: from " + QByteArray(length - 17, 'a') + "\r\n";
}

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
        const auto bytes = [](const char* name, const QByteArray& file, const QString& view) { row(name, file, view); };
        bytes("lines before the first Received: from are dropped",
              "Return-Path: <a@b.example>\r\nDelivered-To: c@d.example\r\nReceived: from x by y\r\nSubject: s\r\n",
              u"Received: from x by y\r\nSubject: s\r\n"_s);
        bytes("LF line ends become CR LF", "Received: from x\nby y\n\nbody\n",
              u"Received: from x\r\nby y\r\n\r\nbody\r\n"_s);
        bytes("last line without line end gets one", "Received: from x\r\nend", u"Received: from x\r\nend\r\n"_s);
        bytes("a lone CR is not a line end", "Received: from a\rb\n", u"Received: from a\rb\r\n"_s);
        bytes("CR CR LF keeps the first CR", "Received: from a\r\r\n", u"Received: from a\r\r\n"_s);
        bytes("lower-case received keeps the whole text", "X-A: 1\nreceived: from x\n",
              u"X-A: 1\r\nreceived: from x\r\n"_s);
        bytes("search is exact: Received: From does not start the header", "X: 1\r\nReceived: From x\r\n",
              u"X: 1\r\nReceived: From x\r\n"_s);
        bytes("empty file", {}, {});
        static constexpr char nulAndHigh[] = "Received: from \0\xe9\xff x\n";
        bytes("NUL and high bytes pass unchanged", QByteArray(nulAndHigh, sizeof nulAndHigh - 1),
              QStringLiteral("Received: from \0\u00e9\u00ff x\r\n"));
        bytes("1300 characters are shown unchanged", headerOfLength(1300), QString::fromLatin1(headerOfLength(1300)));
        bytes("1301 characters are cut and marked", headerOfLength(1301),
              QString::fromLatin1(headerOfLength(1301).left(1300)) + kMarker);
        bytes("1300 bytes with LF ends make 1301 characters", "Received: from " + QByteArray(1284, 'a') + "\n",
              u"Received: from "_s + QString(1284, u'a') + u"\r"_s + kMarker);
        bytes("limit counts from the header, not the file", QByteArray(5000, 'p') + headerOfLength(1300),
              QString::fromLatin1(headerOfLength(1300)));
        bytes("text without a header is cut too", QByteArray(2000, 'z'), QString(1300, u'z') + kMarker);
        // The first received line's position is 16-bit: beyond 32,767 the load overflows and the view keeps
        // the text loaded so far.
        const auto firstAt = [&](const char* name, const QByteArray& before, bool overflows) {
            const QByteArray file = before + "Received: from x by y\n";
            bytes(name, file,
                  overflows ? QString::fromLatin1(file.left(kHeaderReadLimit).replace("\n", "\r\n"))
                            : u"Received: from x by y\r\n"_s);
        };
        firstAt("position 32767", QByteArray(32766, 'x'), false);
        firstAt("position 32768", QByteArray(32767, 'x'), true);
        // Each bare LF gains a CR, moving the position on: 10922 lines of "x\n" put it at 32767.
        firstAt("bare LFs counted: 32767", QByteArray("x\n").repeated(10922), false);
        firstAt("bare LFs counted: 32770", QByteArray("x\n").repeated(10923), true);
        // Only the top of the file is held; the rest is searched in pieces, across their seams.
        firstAt("beyond what is held, across a seam", QByteArray(kHeaderReadLimit - 5, 'x'), true);
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
        // Only an overflow is longer than the cut view, and it is shown without an icon.
        const bool overflow = view.size() > 1300 + kMarker.size();
        QCOMPARE(box.prompts().texts(), overflow ? QStringList{u"Overflow"_s} : QStringList());
        if (overflow)
            QCOMPARE(box.prompts().shown().first().icon, PromptIcon::None);
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
    }

    void unreadableFileIsShownAndViewCleared_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("failure");
        row("missing", "missing.eml", "File not found");
        row("a folder", "", "Not a regular file");
        // Opening one for reading would wait for a writer for ever.
        row("a FIFO", "fifo.eml", "Not a regular file");
        row("a device", "/dev/zero", "Not a regular file");
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
        row("empty", "", false, 0);
        row("one line", "Received: from a by b\r\n", true, 1);
        row("lower case counts", "received: from a\r\nreceived: from b\r\n", true, 2);
        row("tab after from: counted, not full", "Received: from\ta", false, 1);
        row("line break after from: counted, not full", "Received: from\r\na", false, 1);
        row("Received: by is not counted", "Received: by a\r\nReceived: from b", true, 1);
        row("adjacent occurrences", "RECEIVED: FROMRECEIVED: FROM ", true, 2);
        row("no space after the colon", "Received:from a", false, 0);
        const QString occurrence = QStringLiteral("Received: from x");
        row("occurrence at 32766", QString(32765, u' ') + occurrence, true, 1);
        row("occurrence at 32767 overflows the next search", QString(32766, u' ') + occurrence, true, 0);
    }
    void recognisesAndCountsReceivedLines()
    {
        QFETCH(QString, text);
        QFETCH(bool, full);
        QFETCH(int, count);
        Sandbox box;
        QCOMPARE(IsFullHeader(text), full);
        QCOMPARE(ReceivedLineCount(text), count);
        // A full header with no line counted is the overflow, and it is logged.
        QCOMPARE(box.errorLog().contains("Description: Overflow"), full && count == 0);
        QCOMPARE(box.errorLog().contains("\t1 - RECEIVEDLINECOUNT"), full && count == 0);
    }

    void cutsReceivedLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("line");
        const QString three =
            QStringLiteral("Received: from a by b; date\r\nReceived: from c by d; date\r\nFrom: x\r\n");
        row("first line keeps its CR", three, 1, "Received: from a by b; date\r");
        row("last line ends before From:", three, 2, "Received: from c by d; date\r");
        row("fewer lines than n", three, 3, "");
        row("n of zero", three, 0, "");
        row("empty text", "", 1, "");
        row("Message-ID before From: ends it", "Received: from a\r\nMessage-Id: <1>\r\nFrom: z\r\n", 1,
            "Received: from a\r");
        row("From: before Message-ID ends it", "Received: from a\r\nX: y\r\nfrom: z\r\nMessage-ID: <1>\r\n", 1,
            "Received: from a\r\nX: y\r");
        row("neither: runs to the end less two characters", "Received: from a by b\r\nX-Other: y\r\n", 1,
            "Received: from a by b\r\nX-Other: y");
        row("end less two characters, then trimmed", "Received: from a   xy", 1, "Received: from a");
        row("Received: by lines are lines too", "Received: by x; d\r\nReceived: from y by z; d\r\n", 1,
            "Received: by x; d\r");
        row("found case-insensitively, cut from the original", "RECEIVED: FROM A\r\nreceived: from b\r\n", 2,
            "received: from b");
        row("Received: without a space does not end a line", "Received: from a\r\nReceived:from b\r\n", 1,
            "Received: from a\r\nReceived:from b");
        row("from: inside the line itself ends it", "Received: from: spoof\r\n", 1, "Received:");
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
