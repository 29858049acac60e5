#include "support/TestMain.h"
#include "update/UpdateFormat.h"

#include <QTest>

using namespace nw;

namespace {
enum Formatter { Number, FileSize, Time };
} // namespace

class TstUpdateFormat : public QObject {
    Q_OBJECT

private slots:
    // The texts the download window shows: numbers by pattern, sizes and times.
    void formats_data()
    {
        QTest::addColumn<int>("formatter");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, Formatter f, double value, const char* pattern, const char* text) {
            QTest::newRow(name) << int(f) << value << QString::fromLatin1(pattern) << QString::fromLatin1(text);
        };
        row("optional digits drop a zero whole part", Number, 0.5, "###.0", ".5");
        row("required digit keeps it", Number, 0.5, "###0.0", "0.5");
        row("rounds half away from zero", Number, 2.25, "###0.0", "2.3");
        row("whole number", Number, 1023.6, "###0", "1024");
        row("percent", Number, 0.426, "##0%", "43%");
        row("zero percent", Number, 0.0, "##0%", "0%");
        row("padding", Number, 7.0, "00", "07");
        row("zero bytes", FileSize, 0.0, "", "0 bytes");
        row("bytes ignore the format", FileSize, 1023.0, "###.0", "1023 bytes");
        row("first kilobyte", FileSize, 1024.0, "", "1 KB");
        row("kilobytes with format", FileSize, 1536.0, "###.0", "1.5 KB");
        row("last kilobyte size", FileSize, 1048575.0, "", "1024 KB");
        row("megabytes", FileSize, 20.0 * 1048576, "", "20.0 MB");
        row("gigabytes", FileSize, 1073741824.0 * 1.25, "", "1.3 GB");
        row("fractional rate in bytes", FileSize, 512.5, "###.0", "512.5 bytes");
        row("seconds", Time, 42.4, "", "42 sec");
        row("just under a minute", Time, 59.0, "", "59 sec");
        row("one minute", Time, 60.0, "", "1 min 0 sec");
        row("minutes and seconds", Time, 187.0, "", "3 min 7 sec");
        row("hours and minutes", Time, 7500.0, "", "2 hr 5 min");
        row("no estimate yet", Time, std::numeric_limits<double>::infinity(), "", "0 sec");
    }
    void formats()
    {
        QFETCH(int, formatter);
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        switch (Formatter(formatter)) {
        case Number: QCOMPARE(formatNumber(value, pattern), text); break;
        case FileSize: QCOMPARE(FormatFileSize(value, pattern), text); break;
        case Time: QCOMPARE(FormatTime(value), text); break;
        }
    }

    void compactsAroundTheMiddle_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxLength");
        QTest::addColumn<QString>("result");
        QTest::newRow("fits") << "short.txt" << 20 << "short.txt";
        QTest::newRow("shortened") << "abcdefghijklmnopqrstuvwxyz" << 15 << "abcdef...uvwxyz";
        QTest::newRow("never below four a side") << "abcdefghijklmnopqrstuvwxyz" << 3 << "abcd...wxyz";
    }
    void compactsAroundTheMiddle()
    {
        QFETCH(QString, text);
        QFETCH(int, maxLength);
        QFETCH(QString, result);
        QCOMPARE(CompactLabelText(text, [&](const QString& t) { return t.size() <= maxLength; }), result);
    }

    void filesAndFolders_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("returnFile");
        QTest::addColumn<bool>("isURL");
        QTest::addColumn<QString>("result");
        QTest::newRow("url file") << "http://h/liveupdate/whois.rir" << true << true << "whois.rir";
        QTest::newRow("url folder") << "http://h/liveupdate/whois.rir" << false << true << "http://h/liveupdate/";
        QTest::newRow("no separator") << "whois.rir" << true << false << "whois.rir";
    }
    void filesAndFolders()
    {
        QFETCH(QString, path);
        QFETCH(bool, returnFile);
        QFETCH(bool, isURL);
        QFETCH(QString, result);
        QCOMPARE(ReturnFileOrFolder(path, returnFile, isURL), result);
    }
};

NW_TEST_CLASS(TstUpdateFormat)
#include "tst_updateformat.moc"
