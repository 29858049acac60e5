#pragma once

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

signals:
    void greenChanged(bool green);
    void trayTipChanged(const QString& tip);
    // The window leaves the task bar (only the tray icon remains) or comes back.
    void hideWindowRequested();
    void showWindowRequested(bool maximize);
    void minimizeRequested();

private:
    void setGreen(bool green);
    void setTrayTip(const QString& tip);
    void stopForUser();
    void runDropFolder();

    AppState& m_state;
    DropFolderProcessing& m_dropFolder;
    int m_minuteCount = 1;
    bool m_windowShown = true;
    bool m_green = false;
    bool m_running = false;
    QString m_trayTip;
};

} // namespace nw
