#include "app/Settings.h"
#include "errors/RuntimeError.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
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
        saveSetting(store, settings::UseMyReturn, QStringLiteral("0"));
        // The mail composition control's lower-case application name reads the same store.
        QCOMPARE(store.get(QStringLiteral("nettlewright"), QStringLiteral("Setup"), QStringLiteral("UseMyReturn"),
                           QStringLiteral("1")),
                 QStringLiteral("0"));
    }
};

class TstAutostart : public QObject {
    Q_OBJECT

private slots:
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
        for (bool enable : calls)
            LoadOnStartup(enable);
        QCOMPARE(QFile::exists(Autostart::entryPath()), entry);
        QCOMPARE(QFile::exists(Autostart::parkedPath()), parked);
        const QStringList files = QDir(box.autostartFolder()).entryList(QDir::Files);
        QCOMPARE(files.size(), int(entry) + int(parked));
        QVERIFY(box.prompts().shown().isEmpty());
    }

    void entryStartsTheExecutable_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("quoted");
        QTest::newRow("plain path") << u"program"_s << false;
        QTest::newRow("path with blanks is quoted") << u"Program Files"_s << true;
    }
    void entryStartsTheExecutable()
    {
        QFETCH(QString, folder);
        QFETCH(bool, quoted);
        test::Sandbox box;
        const QString program = box.desktopFolder() + QLatin1Char('/') + folder;
        QDir().mkpath(program);
        AppPaths::setProgramFolder(program);
        LoadOnStartup(true);
        const QString text = QString::fromUtf8(test::fileBytes(Autostart::entryPath()));
        const QString command = Autostart::command();
        QVERIFY(command.startsWith(program));
        QVERIFY(!command.endsWith(QStringLiteral(".exe")));
        const QString exec = quoted ? QLatin1Char('"') + command + QLatin1Char('"') : command;
        QVERIFY2(text.contains(QStringLiteral("\nExec=") + exec + QLatin1Char('\n')), qPrintable(text));
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    }
};

NW_TEST_CLASS(TstSettings)
NW_TEST_CLASS(TstAutostart)

#include "tst_settings.moc"
