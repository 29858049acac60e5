#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <sys/resource.h>
#include <sys/stat.h>

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

namespace {

const QString kMarker = u"\r\n<----MESSAGE TRUNCATED---->"_s;
const QByteArray kHop =
    "Received: from a.example (a.example [192.0.2.1])\r\n\tby mx.example with SMTP; Mon, 1 Jan 2001\r\n";

// A header line of exactly `length` characters including its CR LF.
QByteArray headerOfLength(int length)
{
    return "Received: from " + QByteArray(length - 17, 'a') + "\r\n";
}

qint64 peakMemoryBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

// Writes `size` bytes made of `fill` repeated, without holding them all.
QString writeLarge(const Sandbox& box, qint64 size, const QByteArray& fill)
{
    const QString path = box.path(u"large.eml"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    const QByteArray block = fill.repeated(qMax<qsizetype>(1, (1 << 20) / fill.size()));
    for (qint64 written = 0; written < size;)
        written += file.write(block.left(qMin<qint64>(block.size(), size - written)));
    return path;
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
    // A `path` names a file that is not written; without one, `file` is the message's bytes.
    void loadsHeader_data()
    {
        columns<QString, QByteArray, QString, QString>("path", "file", "view", "failure");
        const auto bytes = [](const char* name, const QByteArray& file, const QString& view) {
            row(name, QString(), file, view, QString());
        };
        bytes("lines above Received: from are dropped", "X: 1\r\nReceived: from x\r\nS: s\r\n",
              u"Received: from x\r\nS: s\r\n"_s);
        bytes("LF line ends become CR LF", "Received: from x\nb\n\nc\n", u"Received: from x\r\nb\r\n\r\nc\r\n"_s);
        bytes("last line without line end gets one", "Received: from x\r\nend", u"Received: from x\r\nend\r\n"_s);
        bytes("a lone CR is not a line end", "Received: from a\rb\n", u"Received: from a\rb\r\n"_s);
        bytes("CR CR LF keeps the first CR", "Received: from a\r\r\n", u"Received: from a\r\r\n"_s);
        bytes("exact search: lower case starts no header", "X: 1\nreceived: from x\n",
              u"X: 1\r\nreceived: from x\r\n"_s);
        bytes("empty file", {}, {});
        static constexpr char nulAndHigh[] = "Received: from \0\xe9\xff x\n";
        bytes("NUL and high bytes pass unchanged", QByteArray(nulAndHigh, sizeof nulAndHigh - 1),
              u"Received: from \0\u00e9\u00ff x\r\n"_s);
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
        const auto firstAt = [](const char* name, const QByteArray& before, bool overflows) {
            const QByteArray file = before + "Received: from x by y\n";
            const QString top = QString::fromLatin1(file.left(kHeaderReadLimit).replace("\n", "\r\n"));
            row(name, QString(), file, overflows ? top : u"Received: from x by y\r\n"_s,
                overflows ? u"Overflow"_s : QString());
        };
        firstAt("position 32767", QByteArray(32766, 'x'), false);
        firstAt("position 32768", QByteArray(32767, 'x'), true);
        // Each bare LF gains a CR, moving the position on: 10922 lines of "x\n" put it at 32767.
        firstAt("bare LFs counted: 32767", QByteArray("x\n").repeated(10922), false);
        firstAt("bare LFs counted: 32770", QByteArray("x\n").repeated(10923), true);
        firstAt("a bare LF first in the file: 32768", "\n" + QByteArray("x\n").repeated(10921) + "xx", true);
        // Only the top of the file is held; the rest is searched in pieces, across their seams.
        firstAt("beyond what is held, across a seam", QByteArray(kHeaderReadLimit - 5, 'x'), true);
        row("missing", u"missing.eml"_s, QByteArray(), QString(), u"File not found"_s);
        row("a folder", u"."_s, QByteArray(), QString(), u"Not a regular file"_s);
        // Opening one for reading would wait for a writer for ever.
        row("a FIFO", u"fifo.eml"_s, QByteArray(), QString(), u"Not a regular file"_s);
        row("a device", u"/dev/zero"_s, QByteArray(), QString(), u"Not a regular file"_s);
    }
    void loadsHeader()
    {
        const auto [path, file, view, failure] =
            fetch<QString, QByteArray, QString, QString>("path", "file", "view", "failure");
        Sandbox box;
        QVERIFY(mkfifo(QFile::encodeName(box.path(u"fifo.eml"_s)).constData(), 0600) == 0);
        RecordingSink sink;
        sink.setText(u"previous message"_s);
        LoadMessageHeader(path.isEmpty() ? box.writeFile(u"m.eml"_s, file) : QDir(box.programFolder()).filePath(path),
                          sink);
        QCOMPARE(sink.text(), view);
        QCOMPARE(box.prompts().texts(), failure.isEmpty() ? QStringList() : QStringList{failure});
        for (const Prompt& p : box.prompts().shown())
            QCOMPARE(std::tuple(p.title, p.icon), std::tuple(u"Nettlewright"_s, PromptIcon::None));
        QCOMPARE(sink.busy, (QList<bool>{true, false}));
    }

    // "full|count|line n": whether a text is a full header, how many received lines it has and the n-th one.
    void countsAndCutsReceivedLines_data()
    {
        columns<QString, int, QString>("text", "n", "result");
        const QString three = u"Received: from a by b; date\r\nReceived: from c by d; date\r\nFrom: x\r\n"_s;
        row("first line keeps its CR", three, 1, "1|2|Received: from a by b; date\r");
        row("last line ends before From:", three, 2, "1|2|Received: from c by d; date\r");
        row("fewer lines than n", three, 3, "1|2|");
        row("n of zero", three, 0, "1|2|");
        row("empty", "", 1, "0|0|");
        row("lower case counts", "received: from a\r\nreceived: from b\r\n", 1, "1|2|received: from a\r");
        row("line break after from: counted, not full", "Received: from\r\na", 1, "0|1|Received: from\r");
        row("adjacent occurrences", "RECEIVED: FROMRECEIVED: FROM ", 2, "1|2|RECEIVED: FRO");
        row("no space after the colon", "Received:from a", 1, "0|0|");
        row("occurrence at 32766", QString(32765, u' ') + u"Received: from x"_s, 1, "1|1|Received: from");
        row("occurrence at 32767 overflows the next search", QString(32766, u' ') + u"Received: from x"_s, 1,
            "1|0|Received: from");
        row("Message-ID before From: ends it", "Received: from a\r\nMessage-Id: <1>\r\nFrom: z\r\n", 1,
            "1|1|Received: from a\r");
        row("From: before Message-ID ends it", "Received: from a\r\nX: y\r\nfrom: z\r\nMessage-ID: <1>\r\n", 1,
            "1|1|Received: from a\r\nX: y\r");
        row("neither: the end less two characters, trimmed", "Received: from a   xy", 1, "1|1|Received: from a");
        row("Received: by lines are lines too, but not counted", "Received: by x; d\r\nReceived: from y by z; d\r\n", 1,
            "1|1|Received: by x; d\r");
        row("found case-insensitively, cut from the original", "RECEIVED: FROM A\r\nreceived: from b\r\n", 2,
            "1|2|received: from b");
        row("Received: without a space does not end a line", "Received: from a\r\nReceived:from b\r\n", 1,
            "1|1|Received: from a\r\nReceived:from b");
        row("from: inside the line itself ends it", "Received: from: spoof\r\n", 1, "0|1|Received:");
    }
    void countsAndCutsReceivedLines()
    {
        const auto [text, n, result] = fetch<QString, int, QString>("text", "n", "result");
        Sandbox box;
        const bool full = IsFullHeader(text);
        const int count = ReceivedLineCount(text);
        QCOMPARE(u"%1|%2|"_s.arg(full).arg(count) + GetReceivedLine(text, n), result);
        // A full header with no line counted is the overflow, and it is logged.
        const QByteArray log = box.errorLog();
        QCOMPARE(log.contains("Description: Overflow") && log.contains("\t1 - RECEIVEDLINECOUNT"), full && count == 0);
    }

    // Messages that are not what a mail program saves: the analysis must neither crash nor hang nor grow
    // without bound, and must still give the right results.
    void hostileFiles_data()
    {
        columns<QByteArray, qint64, bool, QString>("fill", "size", "overflow", "ip");
        constexpr qint64 large = 50 << 20;
        row("50 MB of LF lines, header at the start", kHop + QByteArray("spam body line\n").repeated(1 << 16), large,
            false, u"192.0.2.1"_s);
        row("50 MB without any line end or header", QByteArray("x"), large, false, QString());
        row("50 MB, header far inside: overflow, the top is kept", QByteArray("body\r\n").repeated(1 << 17) + kHop,
            large, true, QString());
        QRandomGenerator random(20230314);
        QByteArray noise(1 << 20, '\0');
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        const auto binary = [](const char* name, const QByteArray& bytes, const QString& ip) {
            row(name, bytes, qint64(bytes.size()), false, ip);
        };
        binary("random bytes", noise, QString());
        binary("random bytes after a header", kHop + noise, u"192.0.2.1"_s);
        binary("random bytes inside received lines",
               "Received: from " + noise.left(400) + "\r\nReceived: from [" + noise.mid(400, 400) + "] by x\r\n",
               QString());
        static constexpr char nulNames[] = "Received: from a\0.example (a\0.example [192.0.2.1])\r\n"
                                           "\tby mx\0.example with SMTP; Mon\0\r\n";
        binary("NUL bytes in names", QByteArray(nulNames, sizeof nulNames - 1), u"192.0.2.1"_s);
        binary("only NUL bytes", QByteArray(5000, '\0'), QString());
        // Only the first lines reach the walk; the first hop has no reverse name.
        QByteArray many;
        for (int i = 1; i <= 10000; ++i)
            many += "Received: from h" + QByteArray::number(i) + ".example (h" + QByteArray::number(i) +
                    ".example [192.0.2." + QByteArray::number(i % 250 + 1) + "])\r\n\tby h" +
                    QByteArray::number(i - 1) + ".example with SMTP; Mon\r\n";
        binary("ten thousand received lines", many, u"192.0.2.2"_s);
    }
    void hostileFiles()
    {
        const auto [fill, size, overflow, ip] =
            fetch<QByteArray, qint64, bool, QString>("fill", "size", "overflow", "ip");
        Sandbox box;
        const QString path = writeLarge(box, size, fill);
        const qint64 before = peakMemoryBytes();
        StringSink view;
        LoadMessageHeader(path, view);
        TableResolver resolver;
        HeaderAnalysis analysis;
        analyzeHeader(resolver, view.text(), analysis);
        QCOMPARE(view.text().size() > 1300 + kMarker.size(), overflow);
        QCOMPARE(box.prompts().texts().contains(u"Overflow"_s), overflow);
        QCOMPARE(analysis.ip, ip);
        // Only the top of the file is held, however large the file.
        QVERIFY2(peakMemoryBytes() - before < 5 << 20, qPrintable(QString::number(peakMemoryBytes() - before)));
    }

    // Each routine walks the line a bounded number of times: these finish at once or not at all.
    void linesWithoutDelimiters_data()
    {
        columns<QString>("line");
        row("letters only", u"Received: from "_s + QString(1 << 20, u'a'));
        row("digits and dots only", u"Received: from "_s + QString(1 << 20, u'1').replace(u"1111"_s, u"1.1."_s));
        row("opening brackets only", u"Received: from "_s + QString(1 << 20, u'['));
        row("spaces only", u"Received: from "_s + QString(1 << 20, u' '));
        row("semicolons only", u"Received: from x"_s + QString(1 << 20, u';'));
    }
    void linesWithoutDelimiters()
    {
        const auto [line] = fetch<QString>("line");
        const ReceivedHop hop = splitReceivedLine(line);
        QVERIFY(hop.fromHost.size() <= line.size() && hop.byHost.isEmpty() && hop.timeStamp.size() <= 31);
        QVERIFY(hop.ip.isEmpty() || IsIPAddress(hop.ip));
        const QString cut = GetReceivedLine(line, 1);
        QVERIFY(cut.startsWith(u"Received: from"_s) && cut.size() <= line.size() - 2);
    }
};

NW_TEST_CLASS(TstMessageIntake)
#include "tst_intake.moc"
