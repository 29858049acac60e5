#include "road/Monitor.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "platform/AppInfo.h"
#include "platform/LocalWait.h"

#include <QCoreApplication>

#include <algorithm>

namespace nw {

namespace {
constexpr int kTickMs = 60000;
constexpr int kMinutesPerRun = 60;
} // namespace

Monitor::Monitor(AppState& state, DropFolderProcessing& dropFolder, QObject* parent)
    : QObject(parent), m_state(state), m_dropFolder(dropFolder), m_trayTip(idleTip())
{
    tmrActivate.setInterval(kTickMs);
    connect(&tmrActivate, &QTimer::timeout, this, &Monitor::tmrActivate_Timer);
}

QString Monitor::idleTip() { return appTitle(); }

void Monitor::resized(WindowState state)
{
    runGuarded("MDIForm_Resize", [&] {
        if (state == WindowState::Minimized) {
            if (!m_windowShown)
                return;
            emit hideWindowRequested();
            m_windowShown = false;
            m_minuteCount = kMinutesPerRun - 1;
            tmrActivate.start();
            m_state.setMonitorActive(true);
            // The first run happens at once.
            tmrActivate_Timer();
            return;
        }
        m_minuteCount = 1;
        tmrActivate.stop();
        m_state.setBusyProcessing(false);
        m_windowShown = true;
        if (state == WindowState::Maximized)
            setTrayTip(idleTip());
    });
}

void Monitor::tmrActivate_Timer()
{
    // A run lets events in while it waits; a second run must not start inside it.
    if (m_running)
        return;
    runGuarded("tmrActivate_Timer", [&] {
        ++m_minuteCount;
        setTrayTip(QStringLiteral("%1 (fires in: %2 min)").arg(appTitle()).arg(kMinutesPerRun - m_minuteCount));
        m_dropFolder.refreshFileList();
        QCoreApplication::processEvents();
        if (m_minuteCount >= kMinutesPerRun) {
            m_minuteCount = 1;
            tmrActivate.stop();
            setGreen(true);
            runDropFolder();
        }
    });
    // However the tick ended. The timer comes back only while the window is hidden: a run that the
    // user stopped by opening the window must not start another one behind the user's back.
    m_running = false;
    m_state.setBusyProcessing(false);
    setGreen(false);
    if (!m_windowShown)
        tmrActivate.start();
}

void Monitor::runDropFolder()
{
    m_running = true;
    m_dropFolder.runStarted();
    QStringList files = m_dropFolder.refreshFileList();
    while (!files.isEmpty()) {
        files = m_dropFolder.refreshFileList();
        QCoreApplication::processEvents();
        if (files.isEmpty())
            break;
        m_dropFolder.processMessage();
        LocalWait wait([this] { return !m_state.busyProcessing() || !m_state.monitorActive(); });
        wait.wakeOn(&m_state, &AppState::busyProcessingChanged);
        wait.wakeOn(&m_state, &AppState::monitorActiveChanged);
        // No bound of its own: every stage behind the process action ends its network waits.
        wait.run(-1);
        if (!m_state.monitorActive())
            return;
        const QStringList after = m_dropFolder.refreshFileList();
        // A message that stays in the folder (one that cannot be deleted) would be taken again and
        // again; the run ends when a message went by without any file leaving.
        if (std::all_of(files.cbegin(), files.cend(), [&](const QString& f) { return after.contains(f); }))
            return;
        files = after;
    }
}

void Monitor::activate()
{
    m_state.setMonitorActive(true);
    setGreen(true);
    emit minimizeRequested();
}

void Monitor::stopForUser()
{
    tmrActivate.stop();
    m_state.setMonitorActive(false);
    setGreen(false);
}

void Monitor::trayOpen()
{
    runGuarded("IconEvent_MenuClick", [&] {
        stopForUser();
        emit showWindowRequested(true);
    });
}

void Monitor::trayDoubleClick()
{
    runGuarded("IconEvent_MouseDblClick", [&] {
        stopForUser();
        emit showWindowRequested(false);
    });
}

void Monitor::setGreen(bool green)
{
    if (m_green == green)
        return;
    m_green = green;
    emit greenChanged(green);
}

void Monitor::setTrayTip(const QString& tip)
{
    if (m_trayTip == tip)
        return;
    m_trayTip = tip;
    emit trayTipChanged(tip);
}

} // namespace nw
