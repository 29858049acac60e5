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
    : QObject(parent), m_state(state), m_dropFolder(dropFolder), m_trayTip(idleTip()), m_tipBase(idleTip())
{
    tmrActivate.setInterval(kTickMs);
    connect(&tmrActivate, &QTimer::timeout, this, &Monitor::tmrActivate_Timer);
    tmrNotify.setInterval(kTickMs);
    tmrNotify.setSingleShot(true);
    connect(&tmrNotify, &QTimer::timeout, this, [this] {
        if (m_keptUntold > 0)
            notifyKept();
    });
    connect(&m_state, &AppState::notice, this, [this](const QString& text) {
        m_failure = text;
        showTip();
    });
}

QString Monitor::idleTip() { return appTitle(); }

QString Monitor::tooLongText()
{
    return QStringLiteral("no outcome within the time a message may take");
}

void Monitor::messageEnded(const Outcome& outcome)
{
    if (outcome.kind != Outcome::Kind::Kept || !m_state.monitorActive())
        return;
    ++m_keptUntold;
    m_lastKeptReason = outcome.detail;
    if (!tmrNotify.isActive())
        notifyKept();
}

void Monitor::notifyKept()
{
    emit notification(QStringLiteral("%1 %2 kept: %3")
                          .arg(m_keptUntold)
                          .arg(m_keptUntold == 1 ? QStringLiteral("message") : QStringLiteral("messages"),
                               m_lastKeptReason));
    m_keptUntold = 0;
    tmrNotify.start();
}

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
        // The user sees the window now; what the tip still told is done with.
        m_failure.clear();
        if (state == WindowState::Maximized) {
            m_tipBase = idleTip();
            showTip();
        }
    });
}

void Monitor::tmrActivate_Timer()
{
    // A run lets events in while it waits; a second run must not start inside it.
    if (m_running)
        return;
    runGuarded("tmrActivate_Timer", [&] {
        ++m_minuteCount;
        m_tipBase = QStringLiteral("%1 (fires in: %2 min)").arg(appTitle()).arg(kMinutesPerRun - m_minuteCount);
        showTip();
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
        // Every stage bounds its own network waits; this bound holds whatever a stage forgot.
        if (!wait.run(messageWaitMs) && m_state.monitorActive())
            m_dropFolder.giveUp(tooLongText());
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
        m_failure.clear();
        stopForUser();
        emit showWindowRequested(true);
    });
}

void Monitor::trayDoubleClick()
{
    runGuarded("IconEvent_MouseDblClick", [&] {
        m_failure.clear();
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

void Monitor::showTip()
{
    setTrayTip(m_failure.isEmpty() ? m_tipBase : m_tipBase + QLatin1Char('\n') + m_failure);
}

void Monitor::setTrayTip(const QString& tip)
{
    if (m_trayTip == tip)
        return;
    m_trayTip = tip;
    emit trayTipChanged(tip);
}

} // namespace nw
