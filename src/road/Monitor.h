#pragma once

#include "road/Outcome.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace nw {

class AppState;

// What the monitor needs of the drop-folder window: its file list and its process action.
class DropFolderProcessing {
public:
    virtual ~DropFolderProcessing() = default;
    // Reads the folder again; returns the files it now lists.
    virtual QStringList refreshFileList() = 0;
    // Takes on one message, as pressing the window's "Process Message" link does.
    virtual void processMessage() = 0;
    // A run over the folder starts.
    virtual void runStarted() {}
    // The message in process took too long: it is kept, and left aside for the rest of the run.
    virtual void giveUp(const QString& why) { Q_UNUSED(why); }
};

// The drop-folder monitor of the main window: while the window is hidden in the notification area it
// counts minutes and, when the count runs out, has every waiting message processed one after another.
// The window forwards its resize, timer and tray events here and follows the signals.
class Monitor : public QObject {
    Q_OBJECT

public:
    enum class WindowState { Minimized, Maximized, Normal };

    Monitor(AppState& state, DropFolderProcessing& dropFolder, QObject* parent = nullptr);

    // `tmrActivate`: one tick a minute; tests shorten it.
    QTimer tmrActivate;
    // How long a run waits for one message before it leaves it aside.
    int messageWaitMs = 10 * 60 * 1000;
    // Tray notifications of kept messages come at most this often; the ones between are summed up.
    QTimer tmrNotify;
    int minuteCount() const { return m_minuteCount; }
    bool windowShown() const { return m_windowShown; }
    bool green() const { return m_green; }
    QString trayTip() const { return m_trayTip; }
    bool running() const { return m_running; }

    // "MDIForm_Resize", with the window's state after the change.
    void resized(WindowState state);
    // "tmrActivate_Timer": one tick; also run once directly when the monitor starts.
    void tmrActivate_Timer();
    // The menu's "Activate" item: the monitor is switched on and the window asked to minimise.
    void activate();
    // Tray menu "&Open Nettlewright" and a left double-click on the tray icon.
    void trayOpen();
    void trayDoubleClick();

    static QString idleTip();
    static QString tooLongText();

    // The road ended a message: a kept one is told in the tray.
    void messageEnded(const Outcome& outcome);

signals:
    void greenChanged(bool green);
    void trayTipChanged(const QString& tip);
    // The window leaves the task bar (only the tray icon remains) or comes back.
    void hideWindowRequested();
    void showWindowRequested(bool maximize);
    void minimizeRequested();
    // A notification for the tray ("2 messages kept: ...").
    void notification(const QString& text);

private:
    void setGreen(bool green);
    void setTrayTip(const QString& tip);
    void stopForUser();
    void runDropFolder();
    void showTip();
    void notifyKept();

    AppState& m_state;
    DropFolderProcessing& m_dropFolder;
    int m_minuteCount = 1;
    bool m_windowShown = true;
    bool m_green = false;
    bool m_running = false;
    QString m_trayTip;
    // The tip's own text: the countdown, or the title.
    QString m_tipBase;
    // The last failure told, kept in the tip until the window is opened.
    QString m_failure;
    int m_keptUntold = 0;
    QString m_lastKeptReason;
};

} // namespace nw
