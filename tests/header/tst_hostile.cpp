#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <sys/resource.h>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::row;
using nw::test::Sandbox;

namespace {

qint64 peakMemoryBytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_maxrss) * 1024;
}

const QByteArray kHop =
    "Received: from a.example (a.example [192.0.2.1])\r\n\tby mx.example with SMTP; Mon, 1 Jan 2001\r\n";

// Writes `size` bytes made of `fill` repeated, with `insert` at `at`, without holding it all twice.
QString writeLarge(const Sandbox& box, qint64 size, const QByteArray& fill, qint64 at, const QByteArray& insert)
{
    const QString path = box.path(QStringLiteral("large.eml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    const QByteArray block = fill.repeated((1 << 20) / fill.size() + 1).left(1 << 20);
    qint64 written = 0;
    bool inserted = false;
    while (written < size) {
        if (!inserted && written >= at) {
            written += file.write(insert);
            inserted = true;
        }
        written += file.write(block.left(qMin<qint64>(block.size(), size - written)));
    }
    return path;
}

} // namespace

// Messages that are not what a mail program saves: the analysis must neither crash nor hang nor grow
// without bound, and must still give the designed results.
class TstHostileInput : public QObject {
    Q_OBJECT

private slots:
    void largeMessages_data()
    {
        QTest::addColumn<QByteArray>("fill");
        QTest::addColumn<qint64>("at"); // where a received line goes; -1 for none
        QTest::addColumn<bool>("overflow");
        QTest::addColumn<QString>("ip");
        QTest::newRow("50 MB of LF lines, header at the start")
            << QByteArray("spam body line\n") << qint64(0) << false << "192.0.2.1";
        row("50 MB without any line end or header", QByteArray("x"), qint64(-1), false, "");
        QTest::newRow("50 MB, header far inside: overflow, the top is kept")
            << QByteArray("body\r\n") << qint64(1 << 20) << true << "";
    }
    void largeMessages()
    {
        QFETCH(QByteArray, fill);
        QFETCH(qint64, at);
        QFETCH(bool, overflow);
        QFETCH(QString, ip);
        constexpr qint64 size = 50 << 20;
        Sandbox box;
        const QString path = writeLarge(box, size, fill, at < 0 ? size : at, at < 0 ? QByteArray() : kHop);
        const qint64 before = peakMemoryBytes();

        StringSink view;
        LoadMessageHeader(path, view);
        TableResolver resolver;
        HeaderAnalysis analysis;
        analyzeHeader(resolver, view.text(), analysis);

        QCOMPARE(view.text().size() > 1329, overflow);
        QCOMPARE(analysis.ip, ip);
        QCOMPARE(box.prompts().texts().contains(QStringLiteral("Overflow")), overflow);
        // Only the top of the file is held, however large the file.
        QVERIFY2(peakMemoryBytes() - before < size / 10, qPrintable(QString::number(peakMemoryBytes() - before)));
    }

    void binaryFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QRandomGenerator random(20230314);
        QByteArray noise(1 << 20, '\0');
        random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        row("random bytes", noise);
        row("random bytes after a header", kHop + noise);
        QTest::newRow("random bytes inside received lines")
            << "Received: from " + noise.left(400) + "\r\nReceived: from [" + noise.mid(400, 400) + "] by x\r\n";
        static constexpr char nulNames[] = "Received: from a\0.example (a\0.example [192.0.2.1])\r\n"
                                           "\tby mx\0.example with SMTP; Mon\0\r\n";
        row("NUL bytes in names", QByteArray(nulNames, sizeof nulNames - 1));
        row("only NUL bytes", QByteArray(5000, '\0'));
    }
    void binaryFiles()
    {
        QFETCH(QByteArray, bytes);
        Sandbox box;
        StringSink view;
        LoadMessageHeader(box.writeFile(QStringLiteral("binary.eml"), bytes), view);
        QVERIFY(view.text().size() <= 1329);
        TableResolver resolver;
        HeaderAnalysis analysis;
        analyzeHeader(resolver, view.text(), analysis);
        QVERIFY(analysis.ip.isEmpty() || analysis.ip == QLatin1String("0") || IsIPAddress(analysis.ip));
        QVERIFY(analysis.timeStamp.size() <= 31);
    }

    void tenThousandReceivedLines()
    {
        Sandbox box;
        QByteArray bytes;
        for (int i = 0; i < 10000; ++i)
            bytes += QStringLiteral("Received: from h%1.example (h%1.example [192.0.2.%2])\r\n\tby h%3.example with "
                                    "SMTP; Mon, 1 Jan 2001\r\n")
                         .arg(i + 1)
                         .arg(i % 250 + 1)
                         .arg(i)
                         .toLatin1();
        const QString whole = QString::fromLatin1(bytes);

        // Loaded, only the first lines reach the walk; the first hop has no reverse name.
        StringSink view;
        LoadMessageHeader(box.writeFile(QStringLiteral("many.eml"), bytes), view);
        TableResolver resolver;
        HeaderAnalysis analysis;
        QVERIFY(analyzeHeader(resolver, view.text(), analysis));
        QCOMPARE(analysis.ip, QStringLiteral("192.0.2.1"));

        // Unloaded, the count overflows its 16-bit positions: reported, and the walk finds no line.
        QCOMPARE(GetReceivedLine(whole, 10000).left(27), QStringLiteral("Received: from h10000.examp"));
        QCOMPARE(GetReceivedLine(whole, 10001), QString());
        QCOMPARE(OriginatingIP(resolver, whole, analysis), QStringLiteral("0"));
        QVERIFY(box.errorLog().contains("Description: Overflow"));
    }

    void linesWithoutDelimiters_data()
    {
        QTest::addColumn<QString>("line");
        const QString from = u"Received: from "_s;
        row("letters only", from + QString(1 << 20, u'a'));
        row("digits and dots only", from + QString(1 << 20, u'1').replace(u"1111"_s, u"1.1."_s));
        row("opening brackets only", from + QString(1 << 20, u'['));
        row("spaces only", from + QString(1 << 20, u' '));
        row("semicolons only", from + u'x' + QString(1 << 20, u';'));
    }
    void linesWithoutDelimiters()
    {
        QFETCH(QString, line);
        // Each routine walks the line a bounded number of times: these finish at once or not at all.
        QVERIFY(GetFromHost(line).size() <= line.size());
        QVERIFY(GetReceivedIP(line).isEmpty() || IsIPAddress(GetReceivedIP(line)));
        QVERIFY(GetByHost(line).isEmpty());
        QVERIFY(GetTimeStamp(line).size() <= 31);
        const QString cut = GetReceivedLine(line, 1);
        QVERIFY(cut.startsWith(QLatin1String("Received: from")) && cut.size() <= line.size() - 2);
    }
};

NW_TEST_CLASS(TstHostileInput)
#include "tst_hostile.moc"
