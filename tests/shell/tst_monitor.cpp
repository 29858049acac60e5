#include "app/AppState.h"
#include "platform/AppPaths.h"
#include "road/Monitor.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace nw;
using namespace Qt::StringLiterals;

namespace {

// A drop folder whose process action is scripted: it takes the first file and, depending on the script,
// finishes it later (deleting it), leaves it in the folder, or never finishes it.
class ScriptedDropFolder : public DropFolderProcessing {
public:
    enum class Outcome { Finish, KeepFile, NeverFinish, UserOpensWindow };

    ScriptedDropFolder(AppState& state, Monitor*& monitor, QString folder)
        : m_state(state), m_monitor(monitor), m_folder(std::move(folder))
    {
    }

    Outcome outcome = Outcome::Finish;
    QStringList processed;
    int runsStarted = 0;
    QList<bool> greenWhileProcessing;
    QList<bool> activeWhileProcessing;

    QStringList givenUp;

    QStringList refreshFileList() override { return QDir(m_folder).entryList(QDir::Files, QDir::Name); }
    void runStarted() override { ++runsStarted; }
    void giveUp(const QString& why) override
    {
        givenUp << why;
        m_state.setBusyProcessing(false);
    }

    void processMessage() override
    {
        const QString file = refreshFileList().value(0);
        processed << file;
        greenWhileProcessing << m_monitor->green();
        activeWhileProcessing << m_state.monitorActive();
        m_state.setBusyProcessing(true);
        m_state.setCurrentMessageFile(AppPaths::join(m_folder, file));
        // The later stages finish a message from the event loop, never inside the press.
        switch (outcome) {
        case Outcome::Finish:
            QTimer::singleShot(0, [this, file] {
                QFile::remove(AppPaths::join(m_folder, file));
                m_state.setBusyProcessing(false);
            });
            break;
        case Outcome::KeepFile:
            QTimer::singleShot(0, [this] { m_state.setBusyProcessing(false); });
            break;
        case Outcome::NeverFinish:
            break;
        case Outcome::UserOpensWindow:
            QTimer::singleShot(0, [this] { m_monitor->trayOpen(); });
            break;
        }
    }

private:
    AppState& m_state;
    Monitor*& m_monitor;
    QString m_folder;
};

void drop(const QString& folder, const QStringList& names)
{
    for (const QString& name : names)
        QVERIFY(test::writeBytes(AppPaths::join(folder, name), "Received: from x\r\n"));
}

QString tipFor(int minutes)
{
    return u"Nettlewright (fires in: %1 min)"_s.arg(minutes);
}

} // namespace

class TstMonitor : public QObject {
    Q_OBJECT

private:
    struct World {
        test::Sandbox box;
        AppState state;
        Monitor* monitor = nullptr;
        ScriptedDropFolder dropFolder{state, monitor, box.desktopFolder()};
        Monitor instance{state, dropFolder};
        World() { monitor = &instance; }
    };

private slots:
    void minimisingRunsEveryWaitingFileThenCountsDown()
    {
        World w;
        drop(w.box.desktopFolder(), {u"1.msg"_s, u"2.eml"_s, u"3.txt"_s});
        QSignalSpy greens(w.monitor, &Monitor::greenChanged);
        QSignalSpy hides(w.monitor, &Monitor::hideWindowRequested);
        w.monitor->resized(Monitor::WindowState::Minimized);
        QCOMPARE(hides.count(), 1);
        QVERIFY(!w.monitor->windowShown());
        QCOMPARE(w.dropFolder.processed, (QStringList{u"1.msg"_s, u"2.eml"_s, u"3.txt"_s}));
        QCOMPARE(w.dropFolder.greenWhileProcessing, (QList<bool>{true, true, true}));
        QCOMPARE(w.dropFolder.activeWhileProcessing, (QList<bool>{true, true, true}));
        // Once: a new run gives the messages whose complaint failed another chance, and they must not get it
        // again within the same run.
        QCOMPARE(w.dropFolder.runsStarted, 1);
        QVERIFY(w.dropFolder.refreshFileList().isEmpty());
        // Green once for the run, back to the window's icon after it.
        QCOMPARE(greens.count(), 2);
        QVERIFY(!w.monitor->green());
        QVERIFY(w.monitor->tmrActivate.isActive());
        QVERIFY(!w.state.busyProcessing());
        QVERIFY(w.state.monitorActive());
        QCOMPARE(w.monitor->trayTip(), tipFor(0));

        QSignalSpy tips(w.monitor, &Monitor::trayTipChanged);
        w.monitor->tmrActivate.setInterval(10);
        QTRY_VERIFY(tips.count() >= 2);
        w.monitor->tmrActivate.stop();
        QCOMPARE(tips.at(0).at(0).toString(), tipFor(58));
        QCOMPARE(tips.at(1).at(0).toString(), tipFor(57));
    }

    void runEndsWhen_data()
    {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("activeAfter");
        QTest::newRow("the user opens the window during a busy wait")
            << int(ScriptedDropFolder::Outcome::UserOpensWindow) << false;
        QTest::newRow("a message stays in the folder") << int(ScriptedDropFolder::Outcome::KeepFile) << true;
    }
    void runEndsWhen()
    {
        QFETCH(int, outcome);
        QFETCH(bool, activeAfter);
        World w;
        drop(w.box.desktopFolder(), {u"1.msg"_s, u"2.msg"_s});
        w.dropFolder.outcome = ScriptedDropFolder::Outcome(outcome);
        w.monitor->resized(Monitor::WindowState::Minimized);
        if (activeAfter)
            w.monitor->resized(Monitor::WindowState::Minimized); // a second minimise changes nothing
        QCOMPARE(w.dropFolder.processed, QStringList{u"1.msg"_s});
        QCOMPARE(w.state.monitorActive(), activeAfter);
        // However the run ended: not busy, the window's icon, the timer on again until the window is shown.
        QVERIFY(!w.state.busyProcessing());
        QVERIFY(!w.monitor->green());
        QVERIFY(w.monitor->tmrActivate.isActive());
    }

    // Resizing hands the window back and leaves the monitor flag to the tray actions, which clear it.
    void windowComesBack_data()
    {
        QTest::addColumn<int>("way");
        QTest::addColumn<int>("showRequest");
        QTest::addColumn<QString>("tip");
        QTest::newRow("maximised shows the plain tip") << 0 << -1 << u"Nettlewright"_s;
        QTest::newRow("normal keeps the last tip") << 1 << -1 << tipFor(0);
        QTest::newRow("tray menu Open maximises") << 2 << 1 << QString();
        QTest::newRow("tray double-click restores") << 3 << 0 << QString();
    }
    void windowComesBack()
    {
        QFETCH(int, way);
        QFETCH(int, showRequest);
        QFETCH(QString, tip);
        World w;
        w.monitor->resized(Monitor::WindowState::Minimized);
        QSignalSpy shows(w.monitor, &Monitor::showWindowRequested);
        const bool resized = showRequest < 0;
        w.state.setBusyProcessing(resized);
        Monitor& m = *w.monitor;
        const QList<std::function<void()>> ways{[&] { m.resized(Monitor::WindowState::Maximized); },
                                                [&] { m.resized(Monitor::WindowState::Normal); }, [&] { m.trayOpen(); },
                                                [&] { m.trayDoubleClick(); }};
        ways.at(way)();
        QCOMPARE(shows.count(), int(!resized));
        if (!resized)
            QCOMPARE(shows.at(0).at(0).toBool(), bool(showRequest));
        QCOMPARE(w.state.monitorActive(), resized);
        QVERIFY(!w.monitor->tmrActivate.isActive());
        QVERIFY(!w.monitor->green());
        if (!resized)
            return;
        QVERIFY(w.monitor->windowShown());
        QVERIFY(!w.state.busyProcessing());
        QCOMPARE(w.monitor->minuteCount(), 1);
        QCOMPARE(w.monitor->trayTip(), tip);
    }

    // A message whose stages never end holds the run only so long; then it is left aside and the run goes on.
    void aMessageThatNeverEndsIsLeftAside()
    {
        World w;
        drop(w.box.desktopFolder(), {u"1.msg"_s});
        w.dropFolder.outcome = ScriptedDropFolder::Outcome::NeverFinish;
        w.monitor->messageWaitMs = 50;
        w.monitor->resized(Monitor::WindowState::Minimized);
        QCOMPARE(w.dropFolder.givenUp, QStringList{Monitor::tooLongText()});
        QVERIFY(!w.monitor->running());
        QVERIFY(!w.state.busyProcessing());
    }

    // Kept messages are told in the tray at most once a minute, the ones between summed up; a failure stays in
    // the tip over the countdown until the window is opened.
    void keptMessagesAreToldSummedUp()
    {
        World w;
        w.monitor->resized(Monitor::WindowState::Minimized);
        w.monitor->tmrActivate.stop();
        QSignalSpy told(w.monitor, &Monitor::notification);
        w.monitor->tmrNotify.setInterval(100);
        w.monitor->messageEnded(nw::Outcome::kept(u"the server is down"_s));
        w.monitor->messageEnded(nw::Outcome::sent(u"abuse@isp.net"_s));
        w.monitor->messageEnded(nw::Outcome::kept(u"no reply"_s));
        w.monitor->messageEnded(nw::Outcome::kept(u"the mail server refused the login"_s));
        QCOMPARE(told.size(), 1);
        QTRY_COMPARE(told.size(), 2);
        QCOMPARE(told.at(0).at(0).toString(), u"1 message kept: the server is down"_s);
        QCOMPARE(told.at(1).at(0).toString(), u"2 messages kept: the mail server refused the login"_s);

        w.state.notify(u"The complaint could not be sent."_s);
        w.monitor->tmrActivate_Timer();
        QCOMPARE(w.monitor->trayTip(), tipFor(58) + u"\nThe complaint could not be sent."_s);
        w.monitor->trayDoubleClick();
        w.monitor->resized(Monitor::WindowState::Maximized);
        QCOMPARE(w.monitor->trayTip(), u"Nettlewright"_s);
    }

    void activateTurnsGreenAndAsksToMinimise()
    {
        World w;
        QSignalSpy minimise(w.monitor, &Monitor::minimizeRequested);
        w.monitor->activate();
        QVERIFY(w.state.monitorActive());
        QVERIFY(w.monitor->green());
        QCOMPARE(minimise.count(), 1);
    }
};

NW_TEST_CLASS(TstMonitor)

#include "tst_monitor.moc"
