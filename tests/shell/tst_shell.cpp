#include "app/AppState.h"
#include "app/Settings.h"
#include "errors/RuntimeError.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "road/Monitor.h"
#include "support/Test.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

class TstShell : public QObject {
    Q_OBJECT

private:
    static QString tipFor(int minutes) { return u"Nettlewright (fires in: %1 min)"_s.arg(minutes); }

    static QStringList firstArguments(const QSignalSpy& spy)
    {
        QStringList texts;
        for (const QList<QVariant>& arguments : spy)
            texts << arguments.at(0).toString();
        return texts;
    }
    struct World : DropFolderProcessing {
        enum class Outcome { Finish, KeepFile, NeverFinish, UserOpensWindow };
        Sandbox box;
        AppState state;
        Monitor monitor{state, *this};
        Outcome outcome = Outcome::Finish;
        // Run starts, messages taken (with the icon and the monitor flag at that moment) and messages given up.
        QStringList seen;

        QStringList refreshFileList() override { return QDir(box.desktopFolder()).entryList(QDir::Files, QDir::Name); }
        void runStarted() override { seen << u"run"_s; }
        void giveUp(const QString& why) override
        {
            seen << why;
            state.setBusyProcessing(false);
        }
        void processMessage() override
        {
            const QString file = refreshFileList().value(0);
            seen << file + (monitor.green() ? u" green"_s : u""_s) + (state.monitorActive() ? u" active"_s : u""_s);
            state.setBusyProcessing(true);
            // The later stages finish a message from the event loop, never inside the press.
            QTimer::singleShot(0, &monitor, [this, file] {
                if (outcome == Outcome::Finish)
                    QFile::remove(AppPaths::join(box.desktopFolder(), file));
                if (outcome == Outcome::UserOpensWindow)
                    monitor.trayOpen();
                else if (outcome != Outcome::NeverFinish)
                    state.setBusyProcessing(false);
            });
        }
        QString now() const
        {
            return u"%1 %2 %3 %4 %5 | %6"_s.arg(
                state.monitorActive() ? u"active"_s : u"off"_s, state.busyProcessing() ? u"busy"_s : u"idle"_s,
                monitor.green() ? u"green"_s : u"grey"_s, monitor.tmrActivate.isActive() ? u"ticking"_s : u"stopped"_s,
                monitor.windowShown() ? u"shown"_s : u"hidden"_s, monitor.trayTip());
        }
    };

private slots:
    // Minimising runs every waiting file at once, green for the run; however it ends: not busy, grey, then counting
    // down until the window is shown. A second minimise changes nothing.
    void runEndsWhen_data()
    {
        columns<int, bool, QString>("outcome", "active", "seen");
        const QString taken = u"run,1.msg green active"_s;
        row("every message is done", int(World::Outcome::Finish), true,
            taken + u",2.eml green active,3.txt green active"_s);
        row("the user opens the window during a busy wait", int(World::Outcome::UserOpensWindow), false, taken);
        row("a message stays in the folder", int(World::Outcome::KeepFile), true, taken);
        row("a message never ends", int(World::Outcome::NeverFinish), true, taken + u',' + Monitor::tooLongText());
    }
    void runEndsWhen()
    {
        const auto [outcome, active, seen] = fetch<int, bool, QString>("outcome", "active", "seen");
        World w;
        for (const QString& name : {u"1.msg"_s, u"2.eml"_s, u"3.txt"_s})
            QVERIFY(writeBytes(AppPaths::join(w.box.desktopFolder(), name), "Received: from x\r\n"));
        w.outcome = World::Outcome(outcome);
        w.monitor.messageWaitMs = 200;
        QSignalSpy greens(&w.monitor, &Monitor::greenChanged);
        QSignalSpy hides(&w.monitor, &Monitor::hideWindowRequested);
        w.monitor.resized(Monitor::WindowState::Minimized);
        w.monitor.resized(Monitor::WindowState::Minimized);
        QCOMPARE(w.seen.join(u','), seen);
        QCOMPARE(w.now(), (active ? u"active"_s : u"off"_s) + u" idle grey ticking hidden | "_s + tipFor(0));
        QCOMPARE(std::pair(hides.count(), greens.count()), std::pair(qsizetype(1), qsizetype(2)));
        QSignalSpy tips(&w.monitor, &Monitor::trayTipChanged);
        w.monitor.tmrActivate.setInterval(10);
        QTRY_COMPARE(firstArguments(tips).mid(0, 2), (QStringList{tipFor(58), tipFor(57)}));
    }

    // Activate turns green and asks to minimise; kept messages are told summed up, at most once a minute. From a fresh
    // minimise: maximised shows the plain tip, normal keeps the last; tray Open maximises, its double-click restores.
    void activateThenWindowComesBack()
    {
        World w;
        Monitor& m = w.monitor;
        QSignalSpy minimise(&m, &Monitor::minimizeRequested);
        m.activate();
        QCOMPARE(minimise.count(), 1);
        QCOMPARE(w.now(), u"active idle green stopped shown | Nettlewright"_s);
        m.resized(Monitor::WindowState::Minimized);
        QSignalSpy told(&m, &Monitor::notification);
        m.tmrNotify.setInterval(100);
        m.messageEnded(nw::Outcome::kept(u"the server is down"_s));
        m.messageEnded(nw::Outcome::sent(u"abuse@isp.net"_s));
        m.messageEnded(nw::Outcome::kept(u"no reply"_s));
        m.messageEnded(nw::Outcome::kept(u"the mail server refused the login"_s));
        QTRY_COMPARE(firstArguments(told), (QStringList{u"1 message kept: the server is down"_s,
                                                        u"2 messages kept: the mail server refused the login"_s}));
        w.state.notify(u"The complaint could not be sent."_s);
        m.tmrActivate_Timer();
        QCOMPARE(m.trayTip(), tipFor(58) + u"\nThe complaint could not be sent."_s);
        m.resized(Monitor::WindowState::Maximized);
        QCOMPARE(m.trayTip(), u"Nettlewright"_s);
        QSignalSpy requests(&m, &Monitor::showWindowRequested);
        const QList<std::function<void()>> ways{[&] { m.resized(Monitor::WindowState::Maximized); },
                                                [&] { m.resized(Monitor::WindowState::Normal); }, [&] { m.trayOpen(); },
                                                [&] { m.trayDoubleClick(); }};
        QStringList after;
        for (int way = 0; way < ways.size(); ++way) {
            m.resized(Monitor::WindowState::Normal);
            m.resized(Monitor::WindowState::Minimized);
            requests.clear();
            w.state.setBusyProcessing(way < 2);
            ways.at(way)();
            after << firstArguments(requests).join(u',') + u' ' + w.now();
        }
        QCOMPARE(after, (QStringList{u" active idle grey stopped shown | Nettlewright"_s,
                                     u" active idle grey stopped shown | "_s + tipFor(0),
                                     u"true off idle grey stopped hidden | "_s + tipFor(0),
                                     u"false off idle grey stopped hidden | "_s + tipFor(0)}));
    }

    // Blanks around are trimmed; a half rounds to even (2 is greyed); 3 and the 16-bit bounds are no check box value;
    // a word or NaN is a type mismatch; beyond 16 bits overflows.
    void storedSwitchesConvertLikeACheckBoxValue()
    {
        QStringList got;
        for (const QString& text :
             {u"0"_s, u" 1 "_s, u"2.5"_s, u"3"_s, u"yes"_s, u"nan"_s, u"32768"_s, u"-32768"_s, u"32767"_s}) {
            try {
                got << checkBoxValue(toCheckState(toInteger16(text)));
            } catch (const RuntimeError& e) {
                got << u"error %1"_s.arg(e.number());
            }
        }
        QCOMPARE(got.join(u','), u"0,1,2,error 380,error 13,error 13,error 6,error 380,error 380"_s);
    }

    // Read back as desktop entries are: string escapes first, then the argument's quoting, then field codes.
    // Off on a new account: nothing; on twice: one entry, starting the program where it is; off: parked; on: back.
    void entryIsQuotedAndMovesBetweenStartAndParking()
    {
        const QString odd = u"/home/a b/x;y&(z)#~*?<>|'/100%f/\"q\"`c`$HOME/a\\b/a\nb\tc/nw"_s;
        QCOMPARE(Autostart::desktopExec(odd),
                 u"\"/home/a b/x;y&(z)#~*?<>|'/100%%f/\\\\\"q\\\\\"\\\\`c\\\\`\\\\$HOME/a\\\\\\\\b/a\\nb\\tc/nw\""_s);
        // The Windows Run value, computed here though only Windows writes it.
        QCOMPARE(Autostart::runValue(odd), u'"' + odd + u'"');
        Sandbox box;
        const QString program = box.desktopFolder() + u"/Program Files $HOME 100%"_s;
        AppPaths::setProgramFolder(program);
        const QString exec =
            Autostart::desktopExec(program + u'/' + QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QStringList files;
        for (bool enable : {false, true, true, false, true}) {
            LoadOnStartup(enable);
            const QString text = QString::fromUtf8(fileBytes(box.autostartFolder() + u"/nettlewright.desktop"_s));
            const bool runs = text.startsWith(u"[Desktop Entry]\n"_s) && text.contains(u"\nExec="_s + exec + u'\n');
            files << QDir(box.autostartFolder()).entryList(QDir::Files).join(u' ') + (runs ? u" runs"_s : u""_s);
        }
        QCOMPARE(files, (QStringList{QString(), u"nettlewright.desktop runs"_s, u"nettlewright.desktop runs"_s,
                                     u"nettlewright.desktop.parked"_s, u"nettlewright.desktop runs"_s}));
        QVERIFY(box.prompts().shown().isEmpty());
    }
};

NW_TEST_CLASS(TstShell)

#include "tst_shell.moc"
