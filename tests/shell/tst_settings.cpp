#include "app/Settings.h"
#include "errors/RuntimeError.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/SettingsStore.h"
#include "support/Test.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

class TstSettings : public QObject {
    Q_OBJECT

private slots:
    void storedSwitchesConvertLikeACheckBoxValue_data()
    {
        columns<QString, QString>("text", "value");
        row("clear", u"0"_s, u"0"_s);
        row("blanks around", u" 1 "_s, u"1"_s);
        row("half rounds to even, greyed", u"2.5"_s, u"2"_s);
        row("3 is no check box value", u"3"_s, u"error 380"_s);
        row("word is a type mismatch", u"yes"_s, u"error 13"_s);
        row("not a number is a type mismatch", u"nan"_s, u"error 13"_s);
        row("beyond 16 bits overflows", u"32768"_s, u"error 6"_s);
        row("lowest 16-bit value", u"-32768"_s, u"error 380"_s);
        row("highest 16-bit value", u"32767"_s, u"error 380"_s);
    }
    void storedSwitchesConvertLikeACheckBoxValue()
    {
        const auto [text, value] = fetch<QString, QString>("text", "value");
        QString got;
        try {
            got = checkBoxValue(toCheckState(toInteger16(text)));
        } catch (const RuntimeError& e) {
            got = u"error %1"_s.arg(e.number());
        }
        QCOMPARE(got, value);
    }

    void missingSettingsReadTheirDefaults()
    {
        Sandbox box;
        SettingsStore store;
        QCOMPARE((QStringList{readSetting(store, settings::Smtp), readSetting(store, settings::ReturnAddress),
                              readSetting(store, settings::CopyEmail), readSetting(store, settings::UseMyReturn),
                              readSetting(store, settings::LoadWithWindows)}),
                 (QStringList{QString(), QString(), u"0"_s, u"1"_s, u"0"_s}));
        saveSetting(store, settings::UseMyReturn, u"0"_s);
        // The mail composition control's lower-case application name reads the same store.
        QCOMPARE(store.get(u"nettlewright"_s, u"Setup"_s, u"UseMyReturn"_s, u"1"_s), u"0"_s);
    }

    void entryMovesBetweenStartAndParking_data()
    {
        columns<QList<bool>, QString>("calls", "files");
        row("enabled twice: one entry, nothing parked", QList<bool>{true, true}, u"nettlewright.desktop"_s);
        row("disabled after enabling: parked", QList<bool>{true, false}, u"nettlewright.desktop.parked"_s);
        row("enabled again: taken out of parking", QList<bool>{true, false, true}, u"nettlewright.desktop"_s);
        row("disabled on a new account: nothing stored", QList<bool>{false}, QString());
    }
    void entryMovesBetweenStartAndParking()
    {
        const auto [calls, files] = fetch<QList<bool>, QString>("calls", "files");
        Sandbox box;
        const QString program = box.desktopFolder() + u"/Program Files $HOME 100%"_s;
        QDir().mkpath(program);
        AppPaths::setProgramFolder(program);
        for (bool enable : calls)
            LoadOnStartup(enable);
        QCOMPARE(QDir(box.autostartFolder()).entryList(QDir::Files).join(u' '), files);
        const QString text = QString::fromUtf8(fileBytes(box.autostartFolder() + u'/' + files));
        const QString exec =
            Autostart::desktopExec(program + u'/' + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QVERIFY2(files.isEmpty() ||
                     (text.startsWith(u"[Desktop Entry]\n"_s) && text.contains(u"\nExec="_s + exec + u'\n')),
                 qPrintable(text));
        QVERIFY(box.prompts().shown().isEmpty());
    }

    // Read back as desktop entries are: string escapes first, then the argument's quoting, then field codes.
    void execValueIsQuotedAndEscaped()
    {
        const QString program = u"/home/a b/x;y&(z)#~*?<>|'/100%f/\"q\"`c`$HOME/a\\b/a\nb\tc/nw"_s;
        QCOMPARE(Autostart::desktopExec(program),
                 u"\"/home/a b/x;y&(z)#~*?<>|'/100%%f/\\\\\"q\\\\\"\\\\`c\\\\`\\\\$HOME/a\\\\\\\\b/a\\nb\\tc/nw\""_s);
        // The Windows Run value, computed here though only Windows writes it.
        QCOMPARE(Autostart::runValue(program), u'"' + program + u'"');
    }
};

NW_TEST_CLASS(TstSettings)

#include "tst_settings.moc"
