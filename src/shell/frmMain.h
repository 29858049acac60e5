#pragma once

#include "platform/EndpointRouter.h"
#include "road/Monitor.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace nw {

class AppState;
class ContactStage;
class MessageRoad;
class Resolver;
class SettingsStore;
class SysTray;
class TaskPane;
class frmAbout;
class frmHelp;
class frmContact;
class frmEmail;
class frmJunkChute;
class frmLiveUpdate;
class frmWebmail;
class Hyperlink;
class SMTP;
class frmWhois;

// The main window: the task-pane menu on the left, the child windows beside it, the tray icon and the
// drop-folder monitor. Minimising hides it in the tray and starts the monitor.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    frmMain(AppState& state, SettingsStore& store, EndpointRouter router = {}, QWidget* parent = nullptr);
    ~frmMain() override;

    // Child windows that come from other parts of the program, by their menu item key ("Whois",
    // "Complaint", "ContactUs"); `inside` keeps the window within the main window.
    void setChildWindow(const QString& itemKey, QWidget* window, bool inside = true);
    // What ends the program after Yes to the exit question; tests record it instead.
    void setExitAction(std::function<void()> action) { m_exit = std::move(action); }

    // False when the program cannot run: the drop folder could not be created (the user was told).
    bool MDIForm_Load();
    void LoadMenuBar();
    void xpBMenu_ItemClick(const QString& groupKey, const QString& itemKey);
    // The exit question and, on Yes, the end of the program; false when the user said No.
    bool exitProgram();
    // Hidden in the notification area with the monitor on, as an autostart entry starts the program.
    void startMonitor();
    // Shown in front, the monitor stopped, as opening it from the tray does.
    void bringForward();

    TaskPane* xpBMenu;
    QMdiArea* mdiArea;
    QWidget* settingsPanel;
    QCheckBox* chkLoadwithWindows;
    QCheckBox* chkMyReturn;
    QCheckBox* chkCopyEmail;
    // Looking past the user's own mail servers for a message's source, and those servers.
    QCheckBox* chkSkipOwnHops;
    QLineEdit* txtOwnHosts;
    QLineEdit* txtEmail;
    QLineEdit* txtSMTP;
    QLineEdit* txtSMTPPort;
    QComboBox* cboSMTPSecurity;
    QLineEdit* txtSMTPUser;
    QLineEdit* txtSMTPPassword; // shows nothing of a stored password; what is typed goes to the keychain
    Hyperlink* hlnkTestMessage;
    QMenu* TrayMenu;
    SysTray* IconEvent;
    Monitor* monitor;
    frmJunkChute* junkChute;
    frmWebmail* webmail;
    // The road of a message from the drop folder to the complaint, and the windows that show it.
    MessageRoad* road;
    frmWhois* whois;
    frmEmail* email;
    ContactStage* contact;
    frmContact* contactWindow;
    // The help window with the vendor's page (the "Help" item), or the shipped help (F1, in any window).
    void showHelp(bool online);
    // Created when first opened.
    frmHelp* help() const { return m_help; }
    frmAbout* about() const;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildSettingsPanel();
    void showChild(QWidget* window);
    void showChild(const QString& itemKey);
    void checkForUpdates();
    void hideToTray();
    void showFromTray(bool maximize);
    void loadCheckBox(QCheckBox* box, int value);
    void loadSmtpSecurity();
    void showSmtpPort();
    void hlnkTestMessage_Click();

    AppState& m_state;
    SettingsStore& m_store;
    std::unique_ptr<Resolver> m_resolver;
    QHash<QString, QWidget*> m_children; // lower-case item key → window
    QHash<QWidget*, QMdiSubWindow*> m_frames;
    frmHelp* m_help = nullptr;
    QPointer<frmAbout> m_about;
    QPointer<frmLiveUpdate> m_update;
    std::function<void()> m_exit;
    bool m_toldNoTray = false;
    SMTP* m_testSmtp;
};

} // namespace nw
