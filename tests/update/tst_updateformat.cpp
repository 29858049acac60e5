#include "support/TestMain.h"
#include "update/UpdateFormat.h"

#include <QTest>

using namespace nw;

class TstUpdateFormat : public QObject {
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::newRow("optional digits drop a zero whole part") << 0.5 << "###.0" << ".5";
        QTest::newRow("required digit keeps it") << 0.5 << "###0.0" << "0.5";
        QTest::newRow("rounds half away from zero") << 2.25 << "###0.0" << "2.3";
        QTest::newRow("whole number") << 1023.6 << "###0" << "1024";
        QTest::newRow("percent") << 0.426 << "##0%" << "43%";
        QTest::newRow("zero percent") << 0.0 << "##0%" << "0%";
        QTest::newRow("padding") << 7.0 << "00" << "07";
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, pattern), text);
    }

    void fileSizes_data()
    {
        QTest::addColumn<double>("bytes");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "" << "0 bytes";
        QTest::newRow("bytes ignore the format") << 1023.0 << "###.0" << "1023 bytes";
        QTest::newRow("first kilobyte") << 1024.0 << "" << "1 KB";
        QTest::newRow("kilobytes with format") << 1536.0 << "###.0" << "1.5 KB";
        QTest::newRow("last kilobyte size") << 1048575.0 << "" << "1024 KB";
        QTest::newRow("megabytes") << 20.0 * 1048576 << "" << "20.0 MB";
        QTest::newRow("gigabytes") << 1073741824.0 * 1.25 << "" << "1.3 GB";
        QTest::newRow("fractional rate in bytes") << 512.5 << "###.0" << "512.5 bytes";
    }
    void fileSizes()
    {
        QFETCH(double, bytes);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(FormatFileSize(bytes, format), text);
    }

    void times_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds") << 42.4 << "42 sec";
        QTest::newRow("just under a minute") << 59.0 << "59 sec";
        QTest::newRow("one minute") << 60.0 << "1 min 0 sec";
        QTest::newRow("minutes and seconds") << 187.0 << "3 min 7 sec";
        QTest::newRow("hours and minutes") << 7500.0 << "2 hr 5 min";
        QTest::newRow("no estimate yet") << std::numeric_limits<double>::infinity() << "0 sec";
    }
    void times()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(FormatTime(seconds), text);
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
