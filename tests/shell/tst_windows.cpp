#include "app/AppState.h"
#include "app/Settings.h"
#include "controls/HelpWindow.h"
#include "controls/Hyperlink.h"
#include "controls/TaskPane.h"
#include "header/SourceWalk.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "mail/SmtpSettings.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/Connection.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/SettingsStore.h"
#include "road/WhoisStage.h"
#include "shell/Program.h"
#include "shell/SysTray.h"
#include "shell/frmFirstTimeSetup.h"
#include "shell/frmMain.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestMain.h"
#include "support/UnavailableKeychain.h"
#include "whois/WhoIs.h"
#include "whois/frmWhois.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTest>

#include <optional>

using namespace nw;
using namespace Qt::StringLiterals;

namespace {
// Records what was on screen when a message box came up.
class WitnessPrompts : public RecordingPrompts {
public:
    std::function<void()> onAsk;
    PromptAnswer ask(const Prompt& prompt) override
    {
        if (onAsk)
            onAsk();
        return RecordingPrompts::ask(prompt);
    }
};

// A click on the box itself: a wide check box does not take clicks right of its caption.
void tick(QWidget* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
}

void type(QLineEdit* box, const QString& text)
{
    box->setFocus();
    QTest::keyClicks(box, text);
}

const QString kExitQuestion = u"Exiting will disable the JunkChute Monitor.\r\nExit anyway?"_s;

// The WHOIS window loads its tables when the main window is made; without them it would say so.
void writeWhoisTables(const test::Sandbox& box)
{
    box.writeFile(u"whois.rir"_s, "# test ranges 100\n192.0.2.0/24\twhois.test\n");
    box.writeFile(u"whois.srv"_s, "# test servers 100\nAny;*;whois.test;43\n");
}

} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

private:
    struct World {
        test::Sandbox box;
        AppState state;
        SettingsStore store;
        std::unique_ptr<frmMain> window;
        int exits = 0;
        void load()
        {
            writeWhoisTables(box);
            window = std::make_unique<frmMain>(state, store);
            window->setExitAction([this] { ++exits; });
            window->MDIForm_Load();
        }
        // Loaded, on screen, with the settings group open for typing and clicking.
        void showSettings()
        {
            load();
            window->show();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            window->xpBMenu->ExpandGroup(u"Settings"_s, true);
        }
        QWidget* activeChild() const
        {
            QMdiSubWindow* sub = window->mdiArea->activeSubWindow();
            return sub ? sub->widget() : nullptr;
        }
    };

private slots:
    void menuIsBuiltInOrder()
    {
        World w;
        w.load();
        TaskPane* menu = w.window->xpBMenu;
        QCOMPARE(menu->groupKeys(), (QStringList{u"Main"_s, u"Actions"_s, u"Settings"_s}));
        QCOMPARE(menu->groupCaption(u"Main"_s), u"View"_s);
        QCOMPARE(menu->itemKeys(u"Main"_s),
                 (QStringList{u"JunkChute"_s, u"Whois"_s, u"Complaint"_s, u""_s, u"Help"_s, u"About"_s}));
        QCOMPARE(menu->itemKeys(u"Actions"_s),
                 (QStringList{u"Activate"_s, u"ContactUs"_s, u"Webmail"_s, u"Update"_s, u"Exit"_s}));
        QVERIFY(menu->isExpanded(u"Main"_s) && menu->isExpanded(u"Actions"_s) && !menu->isExpanded(u"Settings"_s));
        QVERIFY(menu->isSpecial(u"Main"_s) && !menu->isSpecial(u"Settings"_s));
        QCOMPARE(w.window->settingsPanel->parentWidget()->parentWidget(),
                 menu->groupHeader(u"Settings"_s)->parentWidget());
        // Building again gives the same menu, not a second copy.
        w.window->LoadMenuBar();
        QCOMPARE(menu->itemKeys(u"Main"_s).size(), 6);
        QCOMPARE(w.activeChild(), static_cast<QWidget*>(w.window->junkChute));
        QVERIFY(w.window->IconEvent->InTray());
    }

    // Tab goes through a window's fields in the order they stand on screen, and on into the menu.
    void tabFollowsTheScreen_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("settings panel, top to bottom") << u"settings"_s;
        QTest::newRow("out of the JunkChute view, every menu item") << u"junkchute"_s;
        QTest::newRow("out of the web-mail view, every menu item") << u"webmail"_s;
    }
    void tabFollowsTheScreen()
    {
        QFETCH(QString, from);
        World w;
        w.showSettings();
        frmMain& window = *w.window;
        QWidget* start = from == u"settings"_s    ? static_cast<QWidget*>(window.txtSMTP)
                         : from == u"junkchute"_s ? window.junkChute->txtSpamFile
                                                  : window.webmail->txtSpamFile;
        QWidget* scope = from == u"settings"_s ? window.settingsPanel : static_cast<QWidget*>(window.xpBMenu);
        if (from == u"webmail"_s)
            window.xpBMenu_ItemClick(u"Actions"_s, u"Webmail"_s);
        QList<QWidget*> stops;
        for (QWidget* child : scope->findChildren<QWidget*>())
            if (child->isVisibleTo(&window) && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus))
                stops << child;
        const auto onScreen = [&](QWidget* a, QWidget* b) {
            const QPoint pa = a->mapTo(&window, QPoint()), pb = b->mapTo(&window, QPoint());
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        };
        std::sort(stops.begin(), stops.end(), onScreen);
        QVERIFY(stops.size() >= 2);

        start->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), start);
        QList<QWidget*> visited;
        if (stops.contains(start))
            visited << start;
        for (int i = 0; i < 400 && visited.size() < stops.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* now = QApplication::focusWidget();
            if (stops.contains(now) && !visited.contains(now))
                visited << now;
        }
        QCOMPARE(visited, stops);
        if (auto* view = qobject_cast<QPlainTextEdit*>(start))
            QVERIFY(!view->toPlainText().contains(QLatin1Char('\t')));

        // F1 opens the help that comes with the program, without going on line.
        QTest::keyClick(start, Qt::Key_F1);
        QVERIFY(window.help());
        QCOMPARE(w.activeChild(), static_cast<QWidget*>(window.help()));
        QVERIFY(window.help()->shownText().contains(u"attach the error log"_s));
    }

    // Without its drop folder the program has nothing to work on: both attempts to create it say so, and
    // it ends before its window is shown.
    void missingDropFolderEndsTheProgram()
    {
        test::Sandbox box;
        writeWhoisTables(box);
        const QString blocked = box.desktopFolder() + u"/file"_s;
        QVERIFY(test::writeBytes(blocked, {}));
        AppPaths::setDesktopFolder(blocked);
        Program program;
        saveSetting(program.store, settings::Smtp, u"smtp.example.net"_s);
        QVERIFY(!program.Main());
        QVERIFY(!program.window->isVisible());
        QCOMPARE(box.prompts().texts(), QStringList(2, u"Unable to create JunkChute folder!"_s));
        QCOMPARE(box.prompts().shown().at(0).title, u"JunkChute Error"_s);
    }

    // Texts from catalogs, servers and messages are no markup.
    void messageBoxesShowTextsAsTheyAre()
    {
        const auto shown = MessageBoxPrompts::box({u"<b>New</b> &amp; <img src=x>\r\nline"_s, u"Nettlewright"_s});
        const auto* label = shown->findChild<QLabel*>(u"qt_msgbox_label"_s);
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QCOMPARE(label->text(), u"<b>New</b> &amp; <img src=x>\nline"_s);
    }

    void whoisAnswersShowOneLinePerLine()
    {
        World w;
        writeWhoisTables(w.box);
        WhoisStage stage(w.state, w.store);
        frmWhois window(stage);
        // The control gives every LF of an answer a CR, so a CR LF answer arrives with CR CR LF.
        emit stage.Whois1.resultsChanged(u"line 1\r\r\nline 2\r\nline 3\r\r\n"_s);
        QCOMPARE(window.Whois1->toPlainText(), u"line 1\nline 2\nline 3\n"_s);
    }

    void itemKeysIgnoreCase_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("shown");
        QTest::newRow("upper-case drop folder") << u"MAIN"_s << u"JUNKCHUTE"_s << u"JunkChute"_s;
        QTest::newRow("mixed-case web mail") << u"actions"_s << u"WebMail"_s << u"Webmail Conversion"_s;
        QTest::newRow("unknown item does nothing") << u"Main"_s << u"Nothing"_s << u"JunkChute"_s;
        QTest::newRow("item under the wrong group does nothing") << u"Actions"_s << u"JunkChute"_s << u"JunkChute"_s;
    }
    void itemKeysIgnoreCase()
    {
        QFETCH(QString, group);
        QFETCH(QString, item);
        QFETCH(QString, shown);
        World w;
        w.load();
        w.window->xpBMenu_ItemClick(u"Actions"_s, u"Webmail"_s);
        w.window->xpBMenu_ItemClick(u"Main"_s, u"JunkChute"_s);
        w.window->xpBMenu_ItemClick(group, item);
        QCOMPARE(w.activeChild()->windowTitle(), shown);
    }

    // A stored switch that is not a number stops the load there; the boxes after it keep their state.
    void settingsLoadStopsAtABadNumber_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("loadedBoxes");
        QTest::newRow("nothing bad") << u""_s << 3;
        QTest::newRow("CopyEmail yes") << u"CopyEmail"_s << 0;
        QTest::newRow("UseMyReturn yes") << u"UseMyReturn"_s << 1;
        QTest::newRow("LoadWithWindows yes") << u"LoadWithWindows"_s << 2;
    }
    void settingsLoadStopsAtABadNumber()
    {
        QFETCH(QString, name);
        QFETCH(int, loadedBoxes);
        World w;
        for (const Setting& box : {settings::CopyEmail, settings::UseMyReturn, settings::LoadWithWindows})
            saveSetting(w.store, box, u"1"_s);
        saveSetting(w.store, settings::Smtp, u"smtp.example.net"_s);
        saveSetting(w.store, settings::ReturnAddress, u"me@example.net"_s);
        if (!name.isEmpty())
            w.store.save(u"Nettlewright"_s, u"Setup"_s, name, u"yes"_s);
        w.load();
        const bool complete = loadedBoxes == 3;
        QCOMPARE(w.window->chkCopyEmail->isChecked(), loadedBoxes > 0);
        QCOMPARE(w.window->chkMyReturn->isChecked(), loadedBoxes > 1);
        QCOMPARE(w.window->chkLoadwithWindows->isChecked(), complete);
        QCOMPARE(w.window->txtSMTP->text(), complete ? u"smtp.example.net"_s : QString());
        QCOMPARE(w.state.smtpServer, w.window->txtSMTP->text());
        QCOMPARE(w.state.userAddress, complete ? u"me@example.net"_s : QString());
        QCOMPARE(w.box.prompts().texts().join(u'\n').contains(u"Type mismatch"_s), !complete);
    }

    void settingsPanelSavesEveryField()
    {
        World w;
        w.showSettings();
        tick(w.window->chkCopyEmail);
        QCOMPARE(readSetting(w.store, settings::CopyEmail), u"1"_s);
        tick(w.window->chkMyReturn);
        QCOMPARE(readSetting(w.store, settings::UseMyReturn), u"0"_s);

        type(w.window->txtSMTP, u"mail.example.org:2525"_s);
        // Typing alone stores nothing; leaving the box does.
        QCOMPARE(readSetting(w.store, settings::Smtp), QString());
        QCOMPARE(w.window->txtSMTPPort->placeholderText(), u"25"_s);
        w.window->txtEmail->setFocus();
        QCOMPARE(readSetting(w.store, settings::Smtp), u"mail.example.org:2525"_s);
        QCOMPARE(w.state.smtpServer, u"mail.example.org:2525"_s);
        QCOMPARE(w.window->txtSMTPPort->placeholderText(), u"2525"_s); // the port sends will use
        QTest::keyClicks(w.window->txtEmail, u"me@example.org"_s);
        w.window->chkLoadwithWindows->setFocus();
        QCOMPARE(w.state.userAddress, u"me@example.org"_s);
        w.window->chkLoadwithWindows->setChecked(true);
        w.window->txtSMTP->setFocus();
        QCOMPARE(readSetting(w.store, settings::LoadWithWindows), u"1"_s);

        // The walk past the own mail servers reads what the panel stored.
        tick(w.window->chkSkipOwnHops);
        type(w.window->txtOwnHosts, u"mx.example.org, 203.0.113.0/24"_s);
        w.window->txtSMTP->setFocus();
        const SourceRules rules = readSourceRules(w.store);
        QVERIFY(rules.skipOwnHops);
        QVERIFY(rules.ownHosts.containsName(u"mx.example.org"_s));
        QVERIFY(rules.ownHosts.containsAddress(QHostAddress(u"203.0.113.9"_s)));

        // The mail server's security fields; the password goes to the keychain, never to the settings files.
        QCOMPARE(w.window->cboSMTPSecurity->currentText(), u"none"_s);

        type(w.window->txtSMTPPort, u"587"_s);
        type(w.window->txtSMTPUser, u"reporter"_s);
        type(w.window->txtSMTPPassword, u"pa55-word"_s);
        w.window->txtSMTP->setFocus();
        w.window->cboSMTPSecurity->setCurrentIndex(1);
        emit w.window->cboSMTPSecurity->activated(1);

        QCOMPARE(readSetting(w.store, settings::SmtpPort), u"587"_s);
        QCOMPARE(readSetting(w.store, settings::SmtpUser), u"reporter"_s);
        QCOMPARE(readSetting(w.store, settings::SmtpSecurityMode), u"starttls"_s);
        QCOMPARE(w.state.smtpSecurity.port, u"587"_s);
        QCOMPARE(w.state.smtpSecurity.mode, SmtpSecurity::Mode::StartTls);
        QCOMPARE(w.state.smtpSecurity.password, u"pa55-word"_s);
        QVERIFY(w.window->txtSMTPPassword->text().isEmpty());
        QVERIFY(!w.box.settingsFiles().isEmpty());
        QVERIFY(!w.box.settingsFiles().contains("pa55-word"));

        // A second window reads everything back, the password from the keychain.
        frmMain again(w.state, w.store);
        again.setExitAction([] {});
        w.state.smtpSecurity = {};
        again.MDIForm_Load();
        QCOMPARE(again.cboSMTPSecurity->currentText(), u"starttls"_s);
        QCOMPARE(again.txtSMTPPort->text(), u"587"_s);
        QCOMPARE(w.state.smtpSecurity.password, u"pa55-word"_s);
    }

    void withoutAKeychainThePasswordIsKeptForThisRunOnlyWhenAsked_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("kept");
        QTest::newRow("yes: kept for this run") << int(PromptAnswer::Yes) << "pa55-word";
        QTest::newRow("no: kept nowhere") << int(PromptAnswer::No) << "";
    }
    void withoutAKeychainThePasswordIsKeptForThisRunOnlyWhenAsked()
    {
        QFETCH(int, answer);
        QFETCH(QString, kept);
        World w;
        w.state.useKeychain(std::make_unique<test::UnavailableKeychain>());
        saveSetting(w.store, settings::SmtpUser, u"reporter"_s);
        w.load();
        w.box.prompts().setNextAnswers({PromptAnswer(answer)});
        w.window->txtSMTPPassword->setText(u"pa55-word"_s);
        w.window->txtSMTPPassword->setModified(true);
        emit w.window->txtSMTPPassword->editingFinished();
        QCOMPARE(w.box.prompts().texts(),
                 QStringList{u"The system keychain could not store the password (no keychain service). Keep it for "
                             u"this run only?"_s});
        QCOMPARE(w.state.smtpSecurity.password, kept);
        QVERIFY(!w.box.settingsFiles().contains("pa55-word"));
    }

    void testMessageLinkSendsToTheUserAndSaysSo_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QString>("shown");
        QTest::newRow("server answers") << true << "The test message was sent to me@example.org.";
        QTest::newRow("server down") << false
                                     << "The test message could not be sent:\nConnection refused\nCouldn't connect to "
                                        "server";
    }
    void testMessageLinkSendsToTheUserAndSaysSo()
    {
        QFETCH(bool, serverUp);
        QFETCH(QString, shown);
        test::SmtpSink sink;
        QVERIFY2(sink.start(), qPrintable(sink.error()));
        const QString port = QString::number(sink.port());
        if (!serverUp)
            sink.stop();
        World w;
        w.load();
        w.window->txtSMTPPort->setText(port); // not yet saved: the link saves it first
        w.window->txtSMTP->setText(u"127.0.0.1"_s);
        w.window->txtEmail->setText(u"me@example.org"_s);
        emit w.window->hlnkTestMessage->clicked();
        QCOMPARE(w.box.prompts().texts(), QStringList{shown});
        QCOMPARE(readSetting(w.store, settings::Smtp), u"127.0.0.1"_s);
        if (!serverUp)
            return;
        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().rcptTos, QStringList{u"me@example.org"_s});
        QVERIFY(messages.first().data.contains("Subject:Nettlewright test message\r\n"));
    }

    // Every way out asks the one question: Yes ends the program, No keeps everything as it was.
    void everyWayOutAsksOnce_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("yes");
        for (const char* way : {"menu", "tray", "close"}) {
            QTest::addRow("%s, Yes", way) << QString::fromLatin1(way) << true;
            QTest::addRow("%s, No", way) << QString::fromLatin1(way) << false;
        }
    }
    void everyWayOutAsksOnce()
    {
        QFETCH(QString, way);
        QFETCH(bool, yes);
        World w;
        w.load();
        w.window->show();
        w.box.prompts().setNextAnswers({yes ? PromptAnswer::Yes : PromptAnswer::No});
        if (way == QLatin1String("menu")) {
            QTest::mouseClick(w.window->xpBMenu->itemLink(u"Actions"_s, u"Exit"_s), Qt::LeftButton);
        } else if (way == QLatin1String("tray")) {
            w.window->TrayMenu->actions().constLast()->trigger();
        } else {
            w.window->close();
        }
        const QList<Prompt> shown = w.box.prompts().shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.at(0).text, kExitQuestion);
        QCOMPARE(shown.at(0).title, u"Exit Nettlewright"_s);
        QCOMPARE(shown.at(0).buttons, PromptButtons::YesNo);
        QCOMPARE(w.exits, yes ? 1 : 0);
        QCOMPARE(w.window->IconEvent->InTray(), !yes);
        if (way == QLatin1String("close"))
            QCOMPARE(w.window->isVisible(), !yes);
    }

    // The offscreen desktop has no notification area: a hidden window could not be reached again.
    void withoutATrayTheWindowStaysReachable()
    {
        World w;
        w.load();
        QVERIFY(!SysTray::hostAvailable());
        w.window->show();
        for (int round = 0; round < 2; ++round) {
            w.window->showMinimized();
            QTRY_VERIFY(w.state.monitorActive());
            QVERIFY(w.window->isVisible());
            QCOMPARE(w.window->monitor->trayTip(), u"Nettlewright (fires in: 0 min)"_s);
            w.window->showNormal();
            QTRY_VERIFY(w.window->monitor->windowShown());
            w.state.setMonitorActive(false);
        }
        QCOMPARE(w.box.prompts().shown().size(), 1);
        QVERIFY(w.box.prompts().texts().at(0).contains(u"no notification area"_s));
    }

    // The tray icon's mouse events and its menu's default item, as the window's handlers receive them.
    void trayEventsReachTheWindow_data()
    {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("left double-click") << int(QSystemTrayIcon::DoubleClick) << QStringList{u"double 1"_s};
        QTest::newRow("right button") << int(QSystemTrayIcon::Context) << QStringList{u"down 2"_s};
        QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << QStringList{u"down 1"_s};
        QTest::newRow("middle button raises nothing") << int(QSystemTrayIcon::MiddleClick) << QStringList();
        QTest::newRow("the menu's default item is Open") << -1 << QStringList{u"menu 0"_s};
    }
    void trayEventsReachTheWindow()
    {
        QFETCH(int, reason);
        QFETCH(QStringList, events);
        std::optional<World> w;
        SysTray alone;
        SysTray* tray = &alone;
        if (reason < 0) {
            w.emplace();
            w->load();
            tray = w->window->IconEvent;
        }
        QStringList seen;
        connect(tray, &SysTray::MouseDown, this, [&](int button) { seen << u"down %1"_s.arg(button); });
        connect(tray, &SysTray::MouseDblClick, this, [&](int button) { seen << u"double %1"_s.arg(button); });
        connect(tray, &SysTray::MenuClick, this, [&](int item) { seen << u"menu %1"_s.arg(item); });
        if (QAction* open = w ? w->window->TrayMenu->defaultAction() : nullptr)
            open->trigger();
        else
            emit tray->icon()->activated(QSystemTrayIcon::ActivationReason(reason));
        QCOMPARE(seen, events);
    }

    // Start-up: the wizard comes before the main window only while no server is stored; the connection
    // warning comes after the main window is shown, and the program goes on.
    void startUpOrder_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("connected");
        QTest::newRow("first run, connected") << u""_s << true;
        QTest::newRow("set up, no connection") << u"smtp.example.net"_s << false;
    }
    void startUpOrder()
    {
        QFETCH(QString, server);
        QFETCH(bool, connected);
        test::Sandbox box;
        writeWhoisTables(box);
        setConnectionProbe([connected] { return connected; });
        Program program;
        saveSetting(program.store, settings::Smtp, server);
        bool wizardRan = false;
        program.runWizard = [&](QWidget&) {
            wizardRan = true;
            QVERIFY(!program.window);
        };
        WitnessPrompts prompts;
        ScopedPrompts scope(prompts);
        QList<bool> windowShownAtPrompt;
        prompts.onAsk = [&] { windowShownAtPrompt << (program.window && program.window->isVisible()); };
        program.Main();
        QCOMPARE(wizardRan, server.isEmpty());
        QVERIFY(program.window && program.window->isVisible());
        QVERIFY(!program.state.monitorActive());
        QVERIFY(QFileInfo(program.state.junkChuteFolder()).isDir());
        const QStringList texts = prompts.texts();
        QCOMPARE(texts, connected ? QStringList()
                                  : QStringList{u"Nettlewright cannot detect a valid Internet Connection.\r\n"
                                                u"Please make sure you are connected before proceeding!"_s});
        QCOMPARE(windowShownAtPrompt, connected ? QList<bool>() : QList<bool>{true});
    }
};

class TstWizard : public QObject {
    Q_OBJECT

private:
    struct World {
        test::Sandbox box;
        SettingsStore store;
        frmFirstTimeSetup wizard{store};
        World()
        {
            wizard.show();
            QVERIFY(QTest::qWaitForWindowActive(&wizard));
        }
        // Enter, wherever the keyboard is, acts as "Next".
        void enter(int times)
        {
            for (int i = 0; i < times; ++i)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &wizard, Qt::Key_Return);
        }
        // The control that takes the keyboard on each page.
        QWidget* focusOf(int page) const
        {
            const QList<QWidget*> controls{wizard.hlnkNext, wizard.txtSMTP,          wizard.txtEmail,
                                           wizard.chkCopy,  wizard.chkReturnAddress, wizard.chkAutoStart};
            return controls.value(page, wizard.hlnkNext);
        }
    };

private slots:
    void pagesMoveTextAndFocus_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("textStart");
        QTest::newRow("page 0") << 0 << u"It appears that Nettlewright has not yet been setup.  "_s;
        QTest::newRow("page 1") << 1 << u"Nettlewright requires an SMTP mail server"_s;
        QTest::newRow("page 2") << 2 << u"Your email address is required"_s;
        QTest::newRow("page 3") << 3 << u"Would you like Nettlewright to send a copy"_s;
        QTest::newRow("page 4") << 4 << u"Would you like to include your return"_s;
        QTest::newRow("page 5") << 5 << u"Would you like Nettlewright to start up"_s;
        QTest::newRow("page 6") << 6 << u"Nettlewright setup is now complete."_s;
        QTest::newRow("page 7") << 7 << u"Thank you for making the effort"_s;
    }
    void pagesMoveTextAndFocus()
    {
        QFETCH(int, page);
        QFETCH(QString, textStart);
        World w;
        w.enter(page);
        QCOMPARE(w.wizard.page(), page);
        QCOMPARE(w.wizard.hlnkPrevious->text(), page ? u"Previous"_s : u"Cancel"_s);
        const QString shown = w.wizard.pages->currentWidget()->findChild<QLabel*>(u"instructions"_s)->text();
        QVERIFY2(shown.startsWith(textStart), qPrintable(shown));
        QTRY_COMPARE(QApplication::focusWidget(), w.focusOf(page));
        if (!page)
            return;
        // Back, the previous page's control takes the keyboard again.
        QTest::mouseClick(w.wizard.hlnkPrevious, Qt::LeftButton);
        QCOMPARE(w.wizard.page(), page - 1);
        QCOMPARE(QApplication::focusWidget(), w.focusOf(page - 1));
    }

    void wizardCloses_data()
    {
        QTest::addColumn<int>("nexts");
        QTest::addColumn<int>("result");
        QTest::newRow("Cancel on the first page") << 0 << int(QDialog::Rejected);
        QTest::newRow("Next on the last page") << 8 << int(QDialog::Accepted);
    }
    void wizardCloses()
    {
        QFETCH(int, nexts);
        QFETCH(int, result);
        World w;
        w.enter(nexts);
        while (w.wizard.isVisible())
            w.wizard.Previous();
        QCOMPARE(w.wizard.page(), nexts == 8 ? 8 : -1);
        QCOMPARE(w.wizard.result(), result);
    }

    void storesAsTheUserWorks()
    {
        World w;
        w.wizard.Next();
        QTest::keyClicks(w.wizard.txtSMTP, u" mail.example.net"_s);
        w.wizard.Next(); // the server box loses the focus
        QTest::keyClicks(w.wizard.txtEmail, u"me@example.net"_s);
        w.wizard.Next();
        tick(w.wizard.chkCopy);
        w.wizard.Next();
        tick(w.wizard.chkReturnAddress);
        w.wizard.Next();
        tick(w.wizard.chkAutoStart);
        QCOMPARE(readSetting(w.store, settings::Smtp), u" mail.example.net"_s);
        QCOMPARE(readSetting(w.store, settings::ReturnAddress), u"me@example.net"_s);
        QCOMPARE(readSetting(w.store, settings::CopyEmail), u"1"_s);
        QCOMPARE(readSetting(w.store, settings::UseMyReturn), u"0"_s);
        QVERIFY(QFile::exists(Autostart::entryPath()));
        // The wizard's autostart box is not a stored setting.
        QCOMPARE(w.store.get(u"Nettlewright"_s, u"Setup"_s, u"LoadWithWindows"_s, u"missing"_s), u"missing"_s);
        tick(w.wizard.chkAutoStart);
        QVERIFY(!QFile::exists(Autostart::entryPath()));
    }
};

NW_TEST_CLASS(TstMainWindow)
NW_TEST_CLASS(TstWizard)

#include "tst_windows.moc"
