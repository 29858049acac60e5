#include "support/Rows.h"
#include "support/TestMain.h"
#include "update/UpdateFormat.h"

using namespace nw;
using namespace nw::test;

namespace {
// Number, FileSize: value by pattern; Time: value; Compact: pattern into `value` characters around the middle;
// File, Folder: the last part of the path `pattern` or what comes before it, `value` 1 for a URL.
enum Formatter { Number, FileSize, Time, Compact, File, Folder };
} // namespace

class TstUpdateFormat : public QObject {
    Q_OBJECT

private slots:
    // The texts the download window shows.
    void formats_data()
    {
        columns<int, double, QString, QString>("formatter", "value", "pattern", "text");
        row("optional digits drop a zero whole part", int(Number), 0.5, "###.0", ".5");
        row("required digit keeps it", int(Number), 0.5, "###0.0", "0.5");
        row("rounds half away from zero", int(Number), 2.25, "###0.0", "2.3");
        row("whole number", int(Number), 1023.6, "###0", "1024");
        row("percent", int(Number), 0.426, "##0%", "43%");
        row("padding", int(Number), 7.0, "00", "07");
        row("zero bytes", int(FileSize), 0.0, "", "0 bytes");
        row("bytes ignore the format", int(FileSize), 1023.0, "###.0", "1023 bytes");
        row("first kilobyte", int(FileSize), 1024.0, "", "1 KB");
        row("kilobytes with format", int(FileSize), 1536.0, "###.0", "1.5 KB");
        row("last kilobyte size", int(FileSize), 1048575.0, "", "1024 KB");
        row("megabytes", int(FileSize), 20.0 * 1048576, "", "20.0 MB");
        row("gigabytes", int(FileSize), 1073741824.0 * 1.25, "", "1.3 GB");
        row("fractional rate in bytes", int(FileSize), 512.5, "###.0", "512.5 bytes");
        row("seconds", int(Time), 42.4, "", "42 sec");
        row("just under a minute", int(Time), 59.0, "", "59 sec");
        row("one minute", int(Time), 60.0, "", "1 min 0 sec");
        row("minutes and seconds", int(Time), 187.0, "", "3 min 7 sec");
        row("hours and minutes", int(Time), 7500.0, "", "2 hr 5 min");
        row("no estimate yet", int(Time), std::numeric_limits<double>::infinity(), "", "0 sec");
        row("fits", int(Compact), 20.0, "short.txt", "short.txt");
        row("shortened", int(Compact), 15.0, "abcdefghijklmnopqrstuvwxyz", "abcdef...uvwxyz");
        row("never below four a side", int(Compact), 3.0, "abcdefghijklmnopqrstuvwxyz", "abcd...wxyz");
        row("url file", int(File), 1.0, "http://h/liveupdate/whois.rir", "whois.rir");
        row("url folder", int(Folder), 1.0, "http://h/liveupdate/whois.rir", "http://h/liveupdate/");
        row("no separator", int(File), 0.0, "whois.rir", "whois.rir");
    }
    void formats()
    {
        const auto [formatter, value, pattern, text] =
            fetch<int, double, QString, QString>("formatter", "value", "pattern", "text");
        switch (Formatter(formatter)) {
        case Number:
            QCOMPARE(formatNumber(value, pattern), text);
            break;
        case FileSize:
            QCOMPARE(FormatFileSize(value, pattern), text);
            break;
        case Time:
            QCOMPARE(FormatTime(value), text);
            break;
        case Compact:
            QCOMPARE(CompactLabelText(pattern, [v = value](const QString& t) { return t.size() <= v; }), text);
            break;
        case File:
        case Folder:
            QCOMPARE(ReturnFileOrFolder(pattern, formatter == File, value != 0), text);
            break;
        }
    }
};

NW_TEST_CLASS(TstUpdateFormat)
#include "tst_updateformat.moc"
