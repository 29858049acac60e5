#include "app/Settings.h"
#include "errors/RuntimeError.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;

class TstSettings : public QObject {
    Q_OBJECT

private slots:
    void storedNumbersConvertLikeACheckBoxValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("error");
        QTest::newRow("clear") << u"0"_s << 0 << 0;
        QTest::newRow("ticked") << u"1"_s << 1 << 0;
        QTest::newRow("blanks around") << u" 1 "_s << 1 << 0;
        QTest::newRow("half rounds to even") << u"2.5"_s << 2 << 0;
        QTest::newRow("word is a type mismatch") << u"yes"_s << 0 << 13;
        QTest::newRow("empty is a type mismatch") << u""_s << 0 << 13;
        QTest::newRow("beyond 16 bits overflows") << u"32768"_s << 0 << 6;
        QTest::newRow("lowest 16-bit value") << u"-32768"_s << -32768 << 0;
        QTest::newRow("highest 16-bit value") << u"32767"_s << 32767 << 0;
        QTest::newRow("not a number is a type mismatch") << u"nan"_s << 0 << 13;
    }
    void storedNumbersConvertLikeACheckBoxValue()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(int, error);
        try {
            QCOMPARE(toInteger16(text), value);
            QCOMPARE(error, 0);
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), error);
        }
    }

    void checkBoxRefusesOtherValues()
    {
        for (int value : {0, 1, 2})
            QCOMPARE(checkBoxValue(toCheckState(value)), QString::number(value));
        try {
            toCheckState(3);
            QFAIL("3 is not a check box value");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 380);
        }
    }

    void missingSettingsReadTheirDefaults()
    {
        test::Sandbox box;
        SettingsStore store;
        QCOMPARE(readSetting(store, settings::Smtp), QString());
        QCOMPARE(readSetting(store, settings::ReturnAddress), QString());
        QCOMPARE(readSwitch(store, settings::CopyEmail), 0);
        QCOMPARE(readSwitch(store, settings::UseMyReturn), 1);
        QCOMPARE(readSwitch(store, settings::LoadWithWindows), 0);
        saveSetting(store, settings::UseMyReturn, u"0"_s);
        // The mail composition control's lower-case application name reads the same store.
        QCOMPARE(store.get(u"nettlewright"_s, u"Setup"_s, u"UseMyReturn"_s, u"1"_s), u"0"_s);
    }

    void entryMovesBetweenStartAndParking_data()
    {
        QTest::addColumn<QList<bool>>("calls");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<bool>("parked");
        QTest::newRow("enabled twice: one entry, nothing parked") << QList<bool>{true, true} << true << false;
        QTest::newRow("disabled after enabling: parked") << QList<bool>{true, false} << false << true;
        QTest::newRow("enabled again: taken out of parking") << QList<bool>{true, false, true} << true << false;
        QTest::newRow("disabled on a new account: nothing stored") << QList<bool>{false} << false << false;
    }
    void entryMovesBetweenStartAndParking()
    {
        QFETCH(QList<bool>, calls);
        QFETCH(bool, entry);
        QFETCH(bool, parked);
        test::Sandbox box;
        const QString program = box.desktopFolder() + u"/Program Files $HOME 100%"_s;
        QDir().mkpath(program);
        AppPaths::setProgramFolder(program);
        for (bool enable : calls)
            LoadOnStartup(enable);
        QCOMPARE(QFile::exists(Autostart::entryPath()), entry);
        if (entry) {
            // The entry starts this executable, from the program folder.
            const QString text = QString::fromUtf8(test::fileBytes(Autostart::entryPath()));
            QCOMPARE(Autostart::executable(),
                     program + QLatin1Char('/') + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
            QVERIFY2(text.contains(u"\nExec="_s + Autostart::desktopExec(Autostart::executable()) + QLatin1Char('\n')),
                     qPrintable(text));
            QVERIFY(text.startsWith(u"[Desktop Entry]\n"_s));
        }
        QCOMPARE(QFile::exists(Autostart::parkedPath()), parked);
        const QStringList files = QDir(box.autostartFolder()).entryList(QDir::Files);
        QCOMPARE(files.size(), int(entry) + int(parked));
        QVERIFY(box.prompts().shown().isEmpty());
    }

    // Read back by the session as the freedesktop.org desktop entry format says: string escapes first, then the
    // quoting of the argument, then field codes.
    void execValueIsQuotedAndEscaped_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("exec");
        QTest::newRow("plain path") << u"/opt/nw/nettlewright"_s << u"\"/opt/nw/nettlewright\""_s;
        QTest::newRow("blanks and reserved characters stay inside the quotes")
            << u"/home/a b/x;y&(z)#~*?<>|'/nw"_s << u"\"/home/a b/x;y&(z)#~*?<>|'/nw\""_s;
        QTest::newRow("percent doubled, not a field code") << u"/x/100%f/nw"_s << u"\"/x/100%%f/nw\""_s;
        QTest::newRow("quote, backtick and dollar escaped")
            << u"/x/\"q\"`c`$HOME/nw"_s << u"\"/x/\\\\\"q\\\\\"\\\\`c\\\\`\\\\$HOME/nw\""_s;
        QTest::newRow("backslash: four in the file") << u"/x/a\\b/nw"_s << u"\"/x/a\\\\\\\\b/nw\""_s;
        QTest::newRow("line break and tab as string escapes") << u"/x/a\nb\tc/nw"_s << u"\"/x/a\\nb\\tc/nw\""_s;
    }
    void execValueIsQuotedAndEscaped()
    {
        QFETCH(QString, program);
        QFETCH(QString, exec);
        QCOMPARE(Autostart::desktopExec(program), exec);
    }

    // The Windows Run value, computed here though only Windows writes it.
    void runValueIsTheQuotedExecutable()
    {
        QCOMPARE(Autostart::runValue(u"C:\\Program Files\\Nettlewright\\nettlewright.exe"_s),
                 u"\"C:\\Program Files\\Nettlewright\\nettlewright.exe\""_s);
    }
};

NW_TEST_CLASS(TstSettings)

#include "tst_settings.moc"
