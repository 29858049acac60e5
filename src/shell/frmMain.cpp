#include "shell/frmMain.h"

#include "app/AppState.h"
#include "app/Settings.h"
#include "controls/HelpWindow.h"
#include "controls/Hyperlink.h"
#include "controls/Icons.h"
#include "controls/Splash.h"
#include "controls/TabOrder.h"
#include "controls/TaskPane.h"
#include "errors/ErrorHandler.h"
#include "header/SourceWalk.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "mail/SMTP.h"
#include "mail/SmtpSettings.h"
#include "mail/frmContact.h"
#include "mail/frmEmail.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/Prompts.h"
#include "platform/Resolver.h"
#include "platform/VendorService.h"
#include "road/ContactStage.h"
#include "road/MessageRoad.h"
#include "shell/ExitQuestion.h"
#include "shell/SysTray.h"
#include "update/frmLiveUpdate.h"
#include "whois/frmWhois.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace nw {

namespace {
// Item numbers of the tray menu.
constexpr int kTrayOpen = 0;
constexpr int kTrayExit = 1;
constexpr QSize kChildSize(780, 540);

const QString kNoTrayNote =
    QStringLiteral("This desktop has no notification area, so Nettlewright stays in the task bar while the JunkChute "
                   "Monitor runs.  Restore the window to stop the monitor.");

QString switchText(const QCheckBox* box) { return checkBoxValue(box->checkState()); }

// Window-state changes as the monitor knows them.
Monitor::WindowState stateOf(Qt::WindowStates states)
{
    if (states & Qt::WindowMinimized)
        return Monitor::WindowState::Minimized;
    if (states & Qt::WindowMaximized)
        return Monitor::WindowState::Maximized;
    return Monitor::WindowState::Normal;
}

// One row of the menu: group key, item key, caption, image.
struct MenuItem {
    const char* group;
    const char* key;
    const char* caption;
    int image;
};
constexpr MenuItem kMenu[] = {
    {"Main", "JunkChute", "JunkChute Folder", 2},
    {"Main", "Whois", "WhoIs Form", 5},
    {"Main", "Complaint", "Complaint to Send", 1},
    {"Main", "", "", 0},
    {"Main", "Help", "Online Help", 3},
    {"Main", "About", "About Nettlewright", 4},
    {"Actions", "Activate", "Activate JunkChute Monitor", 2},
    {"Actions", "ContactUs", "Contact Us", 6},
    {"Actions", "Webmail", "Webmail Conversion", 8},
    {"Actions", "Update", "Check for Updates", 7},
    {"Actions", "Exit", "EXIT Nettlewright", 9},
};
} // namespace

frmMain::frmMain(AppState& state, SettingsStore& store, EndpointRouter router, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_store(store)
{
    setWindowTitle(appTitle());
    setWindowIcon(programIcon());
    mdiArea = new QMdiArea(this);
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdiArea);

    xpBMenu = new TaskPane;
    auto* dock = new QDockWidget(this);
    dock->setObjectName(QStringLiteral("menuDock"));
    dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
    dock->setTitleBarWidget(new QWidget(dock));
    dock->setWidget(xpBMenu);
    xpBMenu->setMinimumWidth(240);
    addDockWidget(Qt::LeftDockWidgetArea, dock);
    settingsPanel = buildSettingsPanel();
    resize(1120, 760);

    TrayMenu = new QMenu(this);
    IconEvent = new SysTray(this);
    junkChute = new frmJunkChute(m_state, this);
    webmail = new frmWebmail(m_state, this);
    monitor = new Monitor(m_state, *junkChute, this);
    m_resolver = std::make_unique<SystemResolver>();
    road = new MessageRoad(m_state, m_store, *m_resolver, *junkChute, std::move(router), this);
    junkChute->setRoad(road);
    whois = new frmWhois(road->whois, this);
    email = new frmEmail(road->complaint, this);
    contact = new ContactStage(m_state, this);
    contactWindow = new frmContact(*contact, this);
    connect(&m_state, &AppState::waitPointerRequested, this, [](bool wait) {
        if (wait && !QGuiApplication::overrideCursor())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else if (!wait)
            while (QGuiApplication::overrideCursor())
                QGuiApplication::restoreOverrideCursor();
    });
    connect(road, &MessageRoad::messageEnded, monitor,
            [this](const QString&, const Outcome& outcome) { monitor->messageEnded(outcome); });
    connect(monitor, &Monitor::notification, IconEvent, &SysTray::showMessage);

    connect(xpBMenu, &TaskPane::ItemClick, this, &frmMain::xpBMenu_ItemClick);
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this, this, [this] { showHelp(false); });
    f1->setContext(Qt::ApplicationShortcut);
    connect(monitor, &Monitor::greenChanged, this,
            [this](bool green) { IconEvent->setTrayIcon(green ? programIcon(true) : windowIcon()); });
    connect(monitor, &Monitor::trayTipChanged, IconEvent, &SysTray::setTrayTip);
    connect(monitor, &Monitor::hideWindowRequested, this, &frmMain::hideToTray);
    connect(monitor, &Monitor::showWindowRequested, this, &frmMain::showFromTray);
    connect(monitor, &Monitor::minimizeRequested, this, &QWidget::showMinimized);
    connect(IconEvent, &SysTray::MenuClick, this, [this](int item) {
        if (item == kTrayOpen)
            monitor->trayOpen();
        else if (item == kTrayExit)
            runGuarded("IconEvent_MenuClick", [&] { exitProgram(); });
    });
    connect(IconEvent, &SysTray::MouseDblClick, this, [this](int button) {
        if (button == SysTray::LeftButton)
            monitor->trayDoubleClick();
    });
}

frmAbout* frmMain::about() const { return m_about; }

// "MDIForm_Unload": the tray icon goes with the window.
frmMain::~frmMain()
{
    IconEvent->setInTray(false);
    // The widgets outlive this part of the window: the focus they give up while they go (editing finished)
    // must not reach handlers of a window that is no longer there.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
}

QWidget* frmMain::buildSettingsPanel()
{
    // Owned by the window from the start: a load that stops before the menu is built never places it.
    auto* panel = new QWidget(this);
    panel->hide();
    panel->setObjectName(QStringLiteral("settingsPanel"));
    txtSMTP = new QLineEdit(panel);
    txtEmail = new QLineEdit(panel);
    chkLoadwithWindows = new QCheckBox(AutostartText::panelCaption(), panel);
    chkMyReturn = new QCheckBox(QStringLiteral("Use my return address in email"), panel);
    chkCopyEmail = new QCheckBox(QStringLiteral("CC me on every email sent"), panel);
    chkSkipOwnHops = new QCheckBox(QStringLiteral("Look past my own mail servers"), panel);
    txtOwnHosts = new QLineEdit(panel);
    txtOwnHosts->setPlaceholderText(QStringLiteral("their names or addresses"));
    txtOwnHosts->setToolTip(QStringLiteral("The servers of your own mail system, separated by blanks or commas: "
                                           "mx.example.com, 203.0.113.0/24, 2001:db8::/32. Local and private "
                                           "addresses count as your own without being listed."));
    txtSMTPPort = new QLineEdit(panel);
    cboSMTPSecurity = new QComboBox(panel);
    for (const SmtpSecurity::Mode mode :
         {SmtpSecurity::Mode::None, SmtpSecurity::Mode::StartTls, SmtpSecurity::Mode::Tls})
        cboSMTPSecurity->addItem(securityModeText(mode));
    txtSMTPUser = new QLineEdit(panel);
    txtSMTPPassword = new QLineEdit(panel);
    txtSMTPPassword->setEchoMode(QLineEdit::Password);
    hlnkTestMessage = new Hyperlink(QStringLiteral("Send a test message"), panel);
    m_testSmtp = new SMTP(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("SMTP Server"), panel));
    layout->addWidget(txtSMTP);
    layout->addWidget(new QLabel(QStringLiteral("Email Address"), panel));
    layout->addWidget(txtEmail);
    auto* security = new QFormLayout;
    security->addRow(QStringLiteral("Port"), txtSMTPPort);
    security->addRow(QStringLiteral("Security"), cboSMTPSecurity);
    security->addRow(QStringLiteral("User"), txtSMTPUser);
    security->addRow(QStringLiteral("Password"), txtSMTPPassword);
    layout->addLayout(security);
    layout->addWidget(hlnkTestMessage);
    layout->addSpacing(4);
    layout->addWidget(chkLoadwithWindows);
    layout->addWidget(chkMyReturn);
    layout->addWidget(chkCopyEmail);
    layout->addWidget(chkSkipOwnHops);
    // The list sits under its box, indented like the box's caption.
    auto* ownHosts = new QHBoxLayout;
    ownHosts->addSpacing(chkSkipOwnHops->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                         chkSkipOwnHops->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    ownHosts->addWidget(txtOwnHosts);
    layout->addLayout(ownHosts);

    connect(chkCopyEmail, &QCheckBox::clicked, this, [this] {
        runGuarded("chkCopyEmail_Click", [&] { saveSetting(m_store, settings::CopyEmail, switchText(chkCopyEmail)); });
    });
    connect(chkMyReturn, &QCheckBox::clicked, this, [this] {
        runGuarded("chkMyReturn_Click", [&] { saveSetting(m_store, settings::UseMyReturn, switchText(chkMyReturn)); });
    });
    connect(chkSkipOwnHops, &QCheckBox::clicked, this, [this] {
        runGuarded("chkSkipOwnHops_Click",
                   [&] { saveSetting(m_store, settings::SkipOwnHops, switchText(chkSkipOwnHops)); });
    });
    connect(txtOwnHosts, &QLineEdit::editingFinished, this, [this] {
        runGuarded("txtOwnHosts_LostFocus", [&] { saveSetting(m_store, settings::OwnHosts, txtOwnHosts->text()); });
    });
    for (QWidget* w :
         {static_cast<QWidget*>(chkLoadwithWindows), static_cast<QWidget*>(txtEmail), static_cast<QWidget*>(txtSMTP)})
        w->installEventFilter(this);
    connect(txtSMTPPort, &QLineEdit::editingFinished, this, [this] {
        runGuarded("txtSMTPPort_LostFocus", [&] {
            saveSetting(m_store, settings::SmtpPort, txtSMTPPort->text().trimmed());
            loadSmtpSecurity();
        });
    });
    connect(cboSMTPSecurity, &QComboBox::activated, this, [this] {
        runGuarded("cboSMTPSecurity_Click", [&] {
            saveSetting(m_store, settings::SmtpSecurityMode, cboSMTPSecurity->currentText());
            loadSmtpSecurity();
        });
    });
    connect(txtSMTPUser, &QLineEdit::editingFinished, this, [this] {
        runGuarded("txtSMTPUser_LostFocus", [&] {
            saveSetting(m_store, settings::SmtpUser, txtSMTPUser->text().trimmed());
            loadSmtpSecurity();
        });
    });
    connect(txtSMTPPassword, &QLineEdit::editingFinished, this, [this] {
        if (!txtSMTPPassword->isModified())
            return;
        runGuarded("txtSMTPPassword_LostFocus", [&] {
            storeSmtpPassword(m_state.keychain(), txtSMTPUser->text().trimmed(), txtSMTPPassword->text());
            txtSMTPPassword->clear();
            txtSMTPPassword->setModified(false);
            loadSmtpSecurity();
        });
    });
    connect(hlnkTestMessage, &Hyperlink::clicked, this,
            [this] { runGuarded("hlnkTestMessage_Click", [&] { hlnkTestMessage_Click(); }); });
    return panel;
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::FocusOut)
        return QMainWindow::eventFilter(watched, event);
    if (watched == chkLoadwithWindows) {
        runGuarded("chkLoadwithWindows_LostFocus", [&] {
            saveSetting(m_store, settings::LoadWithWindows, switchText(chkLoadwithWindows));
            LoadOnStartup(chkLoadwithWindows->checkState() == Qt::Checked);
        });
    } else if (watched == txtEmail) {
        runGuarded("txtEmail_LostFocus", [&] {
            saveSetting(m_store, settings::ReturnAddress, txtEmail->text());
            m_state.userAddress = txtEmail->text();
        });
    } else if (watched == txtSMTP) {
        runGuarded("txtSMTP_LostFocus", [&] {
            saveSetting(m_store, settings::Smtp, txtSMTP->text());
            m_state.smtpServer = txtSMTP->text();
            showSmtpPort();
        });
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::setChildWindow(const QString& itemKey, QWidget* window, bool inside)
{
    m_children.insert(itemKey.toLower(), window);
    if (inside) {
        auto* frame = new TabThroughSubWindow;
        frame->setWidget(window);
        mdiArea->addSubWindow(frame);
        // Each child window stays loaded for the whole run: closing it only hides it.
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->setWindowIcon(window->windowIcon().isNull() ? programIcon() : window->windowIcon());
        frame->resize(kChildSize);
        m_frames.insert(window, frame);
        frame->hide();
    }
    if (Hyperlink* link = xpBMenu->itemLink(QStringLiteral("Main"), itemKey))
        link->setEnabled(true);
    if (Hyperlink* link = xpBMenu->itemLink(QStringLiteral("Actions"), itemKey))
        link->setEnabled(true);
}

bool frmMain::MDIForm_Load()
{
    bool loaded = true;
    runGuarded("MDIForm_Load", [&] {
        TrayMenu->clear();
        QAction* open = TrayMenu->addAction(QStringLiteral("&Open Nettlewright"));
        open->setData(kTrayOpen);
        QFont bold = open->font();
        bold.setBold(true);
        open->setFont(bold);
        TrayMenu->setDefaultAction(open);
        TrayMenu->addSeparator();
        TrayMenu->addAction(QStringLiteral("&Exit"))->setData(kTrayExit);

        IconEvent->setTrayIcon(windowIcon());
        IconEvent->setTrayTip(Monitor::idleTip());
        IconEvent->setMenu(TrayMenu);
        IconEvent->setInTray(true);

        setChildWindow(QStringLiteral("JunkChute"), junkChute);
        setChildWindow(QStringLiteral("Webmail"), webmail);
        setChildWindow(QStringLiteral("Whois"), whois);
        setChildWindow(QStringLiteral("Complaint"), email);
        setChildWindow(QStringLiteral("ContactUs"), contactWindow);
        for (const QString& key : {QStringLiteral("complaint"), QStringLiteral("whois"), QStringLiteral("junkchute")})
            if (QWidget* child = m_children.value(key))
                showChild(child);
        if (!junkChute->Form_Load() || !webmail->Form_Load()) {
            // Without its drop folder the program has nothing to work on. No event loop runs yet, so the
            // one who started the program ends it.
            loaded = false;
            return;
        }
        m_state.setBusyProcessing(false);
        LoadMenuBar();
    });
    return loaded;
}

void frmMain::LoadMenuBar()
{
    runGuarded("LoadMenuBar", [&] {
        xpBMenu->DisableUpdates(true);
        xpBMenu->ClearStructure();
        xpBMenu->SetImageList(menuIcons());
        xpBMenu->AddGroup(QStringLiteral("Main"), QStringLiteral("View"), 0);
        xpBMenu->AddGroup(QStringLiteral("Actions"), QStringLiteral("Actions"), 0);
        xpBMenu->AddGroup(QStringLiteral("Settings"), QStringLiteral("Settings"));
        for (const MenuItem& item : kMenu) {
            const QString group = QLatin1String(item.group);
            const QString key = QLatin1String(item.key);
            xpBMenu->AddItem(group, key, QLatin1String(item.caption), item.image);
            // Windows that other parts of the program bring are greyed until they are there.
            static const QStringList others{QStringLiteral("whois"), QStringLiteral("complaint"),
                                            QStringLiteral("contactus")};
            if (others.contains(key.toLower()) && !m_children.contains(key.toLower()))
                xpBMenu->itemLink(group, key)->setEnabled(false);
        }
        xpBMenu->SetGroupChild(QStringLiteral("Settings"), settingsPanel);
        // Tab goes down the menu and the settings panel as they stand, whatever order they were made in.
        chainTabOrder(xpBMenu->widget());
        xpBMenu->DisableUpdates(false);
        for (const QString& group : xpBMenu->groupKeys())
            xpBMenu->ExpandGroup(group, false);
        xpBMenu->ExpandGroup(QStringLiteral("Main"), true);
        xpBMenu->ExpandGroup(QStringLiteral("Actions"), true);

        // A stored value that is not a number stops the load here, leaving the later boxes as they are.
        loadCheckBox(chkCopyEmail, readSwitch(m_store, settings::CopyEmail));
        loadCheckBox(chkMyReturn, readSwitch(m_store, settings::UseMyReturn));
        loadCheckBox(chkLoadwithWindows, readSwitch(m_store, settings::LoadWithWindows));
        txtEmail->setText(readSetting(m_store, settings::ReturnAddress));
        m_state.userAddress = txtEmail->text();
        txtSMTP->setText(readSetting(m_store, settings::Smtp));
        m_state.smtpServer = txtSMTP->text();
        txtSMTPPort->setText(readSetting(m_store, settings::SmtpPort));
        showSmtpPort();
        txtSMTPUser->setText(readSetting(m_store, settings::SmtpUser));
        const SourceRules rules = readSourceRules(m_store);
        chkSkipOwnHops->setChecked(rules.skipOwnHops);
        txtOwnHosts->setText(readSetting(m_store, settings::OwnHosts));
        loadSmtpSecurity();
        cboSMTPSecurity->setCurrentText(securityModeText(m_state.smtpSecurity.mode));
    });
}

void frmMain::loadSmtpSecurity()
{
    m_state.smtpSecurity = readSmtpSecurity(m_store, m_state.keychain());
    txtSMTPPassword->setPlaceholderText(m_state.smtpSecurity.password.isEmpty() ? QString()
                                                                                : QStringLiteral("(stored)"));
}

// An empty Port field shows the port a send will use instead: the one in the server setting, or 25.
void frmMain::showSmtpPort() { txtSMTPPort->setPlaceholderText(smtpPort(m_state.smtpServer, {})); }

void frmMain::hlnkTestMessage_Click()
{
    // The fields may hold edits whose focus has not left them yet.
    saveSetting(m_store, settings::Smtp, txtSMTP->text());
    saveSetting(m_store, settings::ReturnAddress, txtEmail->text());
    m_state.smtpServer = txtSMTP->text();
    m_state.userAddress = txtEmail->text();
    showSmtpPort();
    for (QLineEdit* field : {txtSMTPPort, txtSMTPUser, txtSMTPPassword})
        emit field->editingFinished();
    hlnkTestMessage->setEnabled(false);
    const QString outcome = sendTestMessage(*m_testSmtp, m_state.smtpServer, m_state.userAddress, m_state.smtpSecurity);
    hlnkTestMessage->setEnabled(true);
    msgBox(outcome);
}

void frmMain::loadCheckBox(QCheckBox* box, int value)
{
    const Qt::CheckState state = toCheckState(value);
    box->setTristate(state == Qt::PartiallyChecked);
    if (box->checkState() == state)
        return;
    box->setCheckState(state);
    // A value set by the program runs the box's click action, as a click would.
    if (box == chkCopyEmail)
        saveSetting(m_store, settings::CopyEmail, switchText(box));
    else if (box == chkMyReturn)
        saveSetting(m_store, settings::UseMyReturn, switchText(box));
}

void frmMain::xpBMenu_ItemClick(const QString& groupKey, const QString& itemKey)
{
    runGuarded("xpBMenu_ItemClick", [&] {
        const QString group = groupKey.toLower();
        const QString item = itemKey.toLower();
        if (group == QLatin1String("main")) {
            if (item == QLatin1String("junkchute")) {
                xpBMenu->update();
                showChild(junkChute);
                junkChute->refreshFileList();
            } else if (item == QLatin1String("whois") || item == QLatin1String("complaint")) {
                showChild(item);
            } else if (item == QLatin1String("help")) {
                showHelp(true);
            } else if (item == QLatin1String("about")) {
                if (!m_about) {
                    m_about = new frmAbout(this);
                    m_about->setAttribute(Qt::WA_DeleteOnClose);
                }
                m_about->show();
                m_about->raise();
            }
        } else if (group == QLatin1String("actions")) {
            if (item == QLatin1String("activate"))
                monitor->activate();
            else if (item == QLatin1String("contactus"))
                showChild(item);
            else if (item == QLatin1String("update"))
                checkForUpdates();
            else if (item == QLatin1String("webmail"))
                showChild(webmail);
            else if (item == QLatin1String("exit"))
                exitProgram();
        }
    });
}

void frmMain::showHelp(bool online)
{
    if (!m_help) {
        m_help = new frmHelp(QUrl(VendorService::helpUrl(m_store)));
        setChildWindow(QStringLiteral("Help"), m_help);
        m_frames.value(m_help)->resize(720, 560);
    }
    if (online)
        m_help->reload();
    else
        m_help->showShipped();
    showChild(m_help);
}

void frmMain::checkForUpdates()
{
    // One run at a time; the window closes itself when the run is over.
    if (m_update)
        return;
    m_update = new frmLiveUpdate(VendorService::updateBase(m_store), AppPaths::writableFolder());
    m_update->show();
}

void frmMain::showChild(const QString& itemKey)
{
    if (QWidget* window = m_children.value(itemKey))
        showChild(window);
}

void frmMain::showChild(QWidget* window)
{
    QMdiSubWindow* frame = m_frames.value(window);
    if (!frame) {
        window->show();
        window->raise();
        return;
    }
    frame->show();
    window->show();
    frame->raise();
    mdiArea->setActiveSubWindow(frame);
}

bool frmMain::exitProgram()
{
    if (!ExitConfirmed())
        return false;
    // A monitor run that is waiting for a message stops instead of taking the next one.
    m_state.setMonitorActive(false);
    IconEvent->setInTray(false);
    if (m_exit)
        m_exit();
    else
        QCoreApplication::exit(0);
    return true;
}

void frmMain::startMonitor()
{
    // Nobody is there to read the note about a missing notification area.
    m_toldNoTray = true;
    monitor->activate();
}

void frmMain::bringForward()
{
    monitor->trayDoubleClick();
    raise();
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    // The monitor may run a whole pass over the drop folder; it runs after this event is done with.
    const Monitor::WindowState state = stateOf(windowState());
    QMetaObject::invokeMethod(
        this, [this, state] { monitor->resized(state); }, Qt::QueuedConnection);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    const bool leave = runGuarded("MDIForm_QueryUnload", false, [&] { return exitProgram(); });
    if (leave)
        event->accept();
    else
        event->ignore();
}

void frmMain::hideToTray()
{
    if (SysTray::hostAvailable()) {
        hide();
        return;
    }
    // Without a notification area a hidden window could not be reached again: it stays in the task bar.
    if (!m_toldNoTray) {
        m_toldNoTray = true;
        msgBox(kNoTrayNote);
    }
}

void frmMain::showFromTray(bool maximize)
{
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
    if (maximize)
        showMaximized();
    else
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    activateWindow();
}

} // namespace nw
