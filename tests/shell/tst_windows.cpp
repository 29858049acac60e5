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
#include "shell/Program.h"
#include "shell/SysTray.h"
#include "shell/frmFirstTimeSetup.h"
#include "shell/frmMain.h"
#include "support/SmtpSink.h"
#include "support/Test.h"
#include "support/UnavailableKeychain.h"
#include "whois/frmWhois.h"

#include <QCheckBox>
#include <QComboBox>
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

class TstMainWindow : public QObject {
    Q_OBJECT

private:
    // Prompts as "title: text", with what a witness saw on screen when each came up.
    class WitnessPrompts : public RecordingPrompts {
    public:
        std::function<QString()> witness = [] { return QString(); };
        QStringList told;
        PromptAnswer ask(const Prompt& prompt) override
        {
            told << prompt.title + u": "_s + prompt.text + witness();
            return RecordingPrompts::ask(prompt);
        }
    };

    // A click on the box itself: a wide check box does not take clicks right of its caption.
    static void tick(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2)); }

    static void type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClicks(box, text);
    }

    struct World {
        Sandbox box;
        AppState state;
        SettingsStore store;
        WitnessPrompts prompts;
        ScopedPrompts scope{prompts};
        std::unique_ptr<frmMain> window;
        int exits = 0;
        // The WHOIS window loads its tables when the main window is made; without them it would say so.
        World()
        {
            box.writeFile(u"whois.rir"_s, "# test ranges 100\n192.0.2.0/24\twhois.test\n");
            box.writeFile(u"whois.srv"_s, "# test servers 100\nAny;*;whois.test;43\n");
        }
        void load()
        {
            window = std::make_unique<frmMain>(state, store);
            window->setExitAction([this] { ++exits; });
            window->MDIForm_Load();
        }
        QWidget* activeChild() const { return window->mdiArea->activeSubWindow()->widget(); }
    };

private slots:
    void menuTrayAndLinksReachTheWindow()
    {
        World w;
        w.load();
        TaskPane* menu = w.window->xpBMenu;
        // Building again gives the same menu, not a second copy.
        for (int build = 0; build < 2; ++build, w.window->LoadMenuBar()) {
            QStringList groups;
            for (const QString& group : menu->groupKeys())
                groups << u"%1 %2%3%4: %5"_s.arg(
                    group, menu->groupCaption(group), menu->isExpanded(group) ? u" open"_s : u""_s,
                    menu->isSpecial(group) ? u" special"_s : u""_s, menu->itemKeys(group).join(u','));
            QCOMPARE(groups, (QStringList{u"Main View open special: JunkChute,Whois,Complaint,,Help,About"_s,
                                          u"Actions Actions open special: Activate,ContactUs,Webmail,Update,Exit"_s,
                                          u"Settings Settings: "_s}));
        }
        // Item keys ignore case; an unknown item, or one under another group, leaves the view as it is.
        QStringList shown{w.activeChild()->windowTitle()};
        for (const auto& [group, item] :
             {std::pair(u"actions"_s, u"WebMail"_s), std::pair(u"Main"_s, u"Nothing"_s),
              std::pair(u"Actions"_s, u"JunkChute"_s), std::pair(u"Main"_s, u"JunkChute"_s)}) {
            w.window->xpBMenu_ItemClick(group, item);
            shown << w.activeChild()->windowTitle();
        }
        QCOMPARE(shown.join(u'|'), u"JunkChute|Webmail Conversion|Webmail Conversion|Webmail Conversion|JunkChute"_s);
        // Tray clicks reach the window as buttons; the middle one raises nothing; the menu's default item is Open.
        SysTray* tray = w.window->IconEvent;
        QStringList seen;
        connect(tray, &SysTray::MouseDown, this, [&](int button) { seen << u"down %1"_s.arg(button); });
        connect(tray, &SysTray::MouseDblClick, this, [&](int button) { seen << u"double %1"_s.arg(button); });
        connect(tray, &SysTray::MenuClick, this, [&](int item) { seen << u"menu %1"_s.arg(item); });
        for (auto reason : {QSystemTrayIcon::DoubleClick, QSystemTrayIcon::Context, QSystemTrayIcon::MiddleClick,
                            QSystemTrayIcon::Trigger})
            emit tray->icon()->activated(reason);
        w.window->TrayMenu->defaultAction()->trigger();
        QCOMPARE(seen.join(u','), u"double 1,down 2,down 1,menu 0"_s);
        // The offscreen desktop has no notification area: a hidden window could not be reached again.
        w.window->show();
        for (int round = 0; round < 2; ++round) {
            w.window->showMinimized();
            QTRY_VERIFY(w.state.monitorActive());
            QVERIFY(w.window->isVisible());
            w.window->showNormal();
            QTRY_VERIFY(w.window->monitor->windowShown());
            w.state.setMonitorActive(false);
        }
        QVERIFY(w.prompts.told.size() == 1 && w.prompts.told.at(0).contains(u"no notification area"_s));
        // A click on a group's header folds it shut and open again; an item for a group that is not there is dropped.
        QSignalSpy groupClicks(menu, &TaskPane::GroupClick);
        for (bool open : {true, false}) {
            QTest::mouseClick(menu->groupHeader(u"Settings"_s), Qt::LeftButton);
            QCOMPARE(std::pair(menu->isExpanded(u"Settings"_s), w.window->settingsPanel->isVisible()),
                     std::pair(open, open));
        }
        menu->AddItem(u"Missing"_s, u"X"_s, u"nowhere"_s, 1);
        QVERIFY(groupClicks.count() == 2 && menu->itemKeys(u"Missing"_s).isEmpty());
        // Texts are shown as they are: no markup in a message box, no doubled line ends in a WHOIS answer.
        const auto box = MessageBoxPrompts::box({u"<b>New</b> &amp; <img src=x>\r\nline"_s, u"Nettlewright"_s});
        const auto* label = box->findChild<QLabel*>(u"qt_msgbox_label"_s);
        QCOMPARE(std::pair(label->textFormat(), label->text()),
                 std::pair(Qt::PlainText, u"<b>New</b> &amp; <img src=x>\nline"_s));
        // The control gives every LF of an answer a CR, so a CR LF answer arrives with CR CR LF.
        emit w.window->road->whois.Whois1.resultsChanged(u"line 1\r\r\nline 2\r\nline 3\r\r\n"_s);
        QCOMPARE(w.window->whois->Whois1->toPlainText(), u"line 1\nline 2\nline 3\n"_s);
        // The test message link saves the fields first, then sends to the user and says how it went.
        for (bool serverUp : {false, true}) {
            SmtpSink sink;
            QVERIFY2(sink.start(), qPrintable(sink.error()));
            w.window->txtSMTPPort->setText(QString::number(sink.port()));
            if (!serverUp)
                sink.stop();
            w.window->txtSMTP->setText(u"127.0.0.1"_s);
            w.window->txtEmail->setText(u"me@example.org"_s);
            emit w.window->hlnkTestMessage->clicked();
            QCOMPARE(readSetting(w.store, settings::Smtp), u"127.0.0.1"_s);
            QCOMPARE(sink.messages().size(), int(serverUp));
            for (const auto& message : sink.messages())
                QVERIFY(message.rcptTos == QStringList{u"me@example.org"_s} &&
                        message.data.contains("Subject:Nettlewright test message\r\n"));
        }
        QCOMPARE(w.prompts.told.mid(1), (QStringList{u"Nettlewright: The test message could not be sent:\nConnection "
                                                     u"refused\nCouldn't connect to server"_s,
                                                     u"Nettlewright: The test message was sent to me@example.org."_s}));
    }

    void settingsLoadStopsAtABadNumber()
    {
        for (bool bad : {false, true}) {
            World w;
            for (const Setting& box : {settings::CopyEmail, settings::UseMyReturn})
                saveSetting(w.store, box, u"1"_s);
            saveSetting(w.store, settings::Smtp, u"smtp.example.net"_s);
            saveSetting(w.store, settings::ReturnAddress, u"me@example.net"_s);
            w.store.save(u"Nettlewright"_s, u"Setup"_s, u"LoadWithWindows"_s, bad ? u"yes"_s : u"1"_s);
            w.load();
            frmMain& m = *w.window;
            QCOMPARE(u"%1%2%3 %4 %5 %6"_s.arg(int(m.chkCopyEmail->isChecked()))
                         .arg(int(m.chkMyReturn->isChecked()))
                         .arg(int(m.chkLoadwithWindows->isChecked()))
                         .arg(m.txtSMTP->text(), w.state.smtpServer, w.state.userAddress),
                     bad ? u"110   "_s : u"111 smtp.example.net smtp.example.net me@example.net"_s);
            QCOMPARE(w.prompts.told.join(u'\n').contains(u"Type mismatch"_s), bad);
        }
    }

    // Tab walks the settings panel top to bottom, and every menu item out of either view; then every field saves.
    void settingsPanelTabsAndSavesEveryField()
    {
        World w;
        w.load();
        w.window->show();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        w.window->xpBMenu->ExpandGroup(u"Settings"_s, true);
        frmMain& m = *w.window;
        for (QWidget* start : QList<QWidget*>{m.txtSMTP, m.junkChute->txtSpamFile, m.webmail->txtSpamFile}) {
            QWidget* scope = start == m.txtSMTP ? static_cast<QWidget*>(m.settingsPanel) : m.xpBMenu;
            if (start == m.webmail->txtSpamFile)
                m.xpBMenu_ItemClick(u"Actions"_s, u"Webmail"_s);
            QList<QWidget*> stops;
            for (QWidget* child : scope->findChildren<QWidget*>())
                if (child->isVisibleTo(&m) && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus))
                    stops << child;
            std::sort(stops.begin(), stops.end(), [&](QWidget* a, QWidget* b) {
                const QPoint pa = a->mapTo(&m, QPoint()), pb = b->mapTo(&m, QPoint());
                return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
            });
            start->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), start);
            // From outside the scope, the first Tab must land on its first stop.
            QList<QWidget*> visited = stops.contains(start) ? QList{start} : QList<QWidget*>();
            for (int i = 0; i < 400 && visited.size() < stops.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget* now = QApplication::focusWidget();
                if (stops.contains(now) && !visited.contains(now))
                    visited << now;
            }
            QCOMPARE(visited, stops);
            // F1 opens the help that comes with the program, without going on line.
            QTest::keyClick(start, Qt::Key_F1);
            QCOMPARE(w.activeChild(), static_cast<QWidget*>(m.help()));
            QVERIFY(m.help()->shownText().contains(u"attach the error log"_s));
        }

        tick(m.chkCopyEmail);
        tick(m.chkMyReturn);
        type(m.txtSMTP, u"mail.example.org:2525"_s);
        // Typing alone stores nothing; leaving the box does. An empty Port shows the port sends will use.
        QCOMPARE(readSetting(w.store, settings::Smtp) + m.txtSMTPPort->placeholderText(), u"25"_s);
        m.txtEmail->setFocus();
        QCOMPARE(readSetting(w.store, settings::Smtp) + u' ' + m.txtSMTPPort->placeholderText(),
                 u"mail.example.org:2525 2525"_s);
        QTest::keyClicks(m.txtEmail, u"me@example.org"_s);
        tick(m.chkLoadwithWindows);
        tick(m.chkSkipOwnHops);
        type(m.txtOwnHosts, u"mx.example.org, 203.0.113.0/24"_s);
        // The mail server's security fields; the password goes to the keychain, never to the settings files.
        QCOMPARE(m.cboSMTPSecurity->currentText(), u"none"_s);
        type(m.txtSMTPPort, u"587"_s);
        type(m.txtSMTPUser, u"reporter"_s);
        type(m.txtSMTPPassword, u"pa55-word"_s);
        m.txtSMTP->setFocus();
        m.cboSMTPSecurity->setCurrentIndex(1);
        emit m.cboSMTPSecurity->activated(1);

        const SmtpSecurity& security = w.state.smtpSecurity;
        QCOMPARE(
            (QStringList{readSetting(w.store, settings::CopyEmail), readSetting(w.store, settings::UseMyReturn),
                         readSetting(w.store, settings::LoadWithWindows), readSetting(w.store, settings::SmtpPort),
                         readSetting(w.store, settings::SmtpUser), readSetting(w.store, settings::SmtpSecurityMode),
                         w.state.smtpServer, w.state.userAddress, security.port, securityModeText(security.mode),
                         security.password, m.txtSMTPPassword->text()}),
            (QStringList{u"1"_s, u"0"_s, u"1"_s, u"587"_s, u"reporter"_s, u"starttls"_s, u"mail.example.org:2525"_s,
                         u"me@example.org"_s, u"587"_s, u"starttls"_s, u"pa55-word"_s, QString()}));
        // The mail composition control's lower-case application name reads the same store.
        QCOMPARE(w.store.get(u"nettlewright"_s, u"Setup"_s, u"UseMyReturn"_s, u"1"_s), u"0"_s);
        const SourceRules rules = readSourceRules(w.store);
        QVERIFY(rules.skipOwnHops && rules.ownHosts.containsName(u"mx.example.org"_s) &&
                rules.ownHosts.containsAddress(QHostAddress(u"203.0.113.9"_s)));
        QVERIFY(!w.box.settingsFiles().isEmpty() && !w.box.settingsFiles().contains("pa55-word"));

        // A second m reads everything back, the password from the keychain.
        frmMain again(w.state, w.store);
        again.setExitAction([] {});
        w.state.smtpSecurity = {};
        again.MDIForm_Load();
        QCOMPARE((QStringList{again.cboSMTPSecurity->currentText(), again.txtSMTPPort->text(), security.password}),
                 (QStringList{u"starttls"_s, u"587"_s, u"pa55-word"_s}));

        // Without a keychain, asked each time: "no" keeps the password nowhere, "yes" for this run only.
        w.state.useKeychain(std::make_unique<UnavailableKeychain>());
        w.prompts.setNextAnswers({PromptAnswer::No, PromptAnswer::Yes});
        QStringList kept;
        for (int answer = 0; answer < 2; ++answer) {
            again.txtSMTPPassword->setText(u"new-pa55"_s);
            again.txtSMTPPassword->setModified(true);
            emit again.txtSMTPPassword->editingFinished();
            kept << security.password;
        }
        QCOMPARE(w.prompts.told, QStringList(2, u"Nettlewright: The system keychain could not store the password (no "
                                                u"keychain service). Keep it for this run only?"_s));
        QCOMPARE(kept, (QStringList{QString(), u"new-pa55"_s}));
        QVERIFY(!w.box.settingsFiles().contains("new-pa55"));
    }

    void everyWayOutAsksOnce_data()
    {
        columns<QString, bool>("way", "yes");
        for (const char* way : {"menu", "tray", "close"})
            for (bool yes : {true, false})
                QTest::addRow("%s, %s", way, yes ? "Yes" : "No") << QString::fromLatin1(way) << yes;
    }
    void everyWayOutAsksOnce()
    {
        const auto [way, yes] = fetch<QString, bool>("way", "yes");
        World w;
        w.load();
        w.window->show();
        w.prompts.setNextAnswers({yes ? PromptAnswer::Yes : PromptAnswer::No});
        if (way == u"menu"_s)
            QTest::mouseClick(w.window->xpBMenu->itemLink(u"Actions"_s, u"Exit"_s), Qt::LeftButton);
        else if (way == u"tray"_s)
            w.window->TrayMenu->actions().constLast()->trigger();
        else
            w.window->close();
        QCOMPARE(w.prompts.told, QStringList{u"Exit Nettlewright: Exiting will disable the JunkChute Monitor.\r\n"
                                             u"Exit anyway?"_s});
        QCOMPARE(
            std::tuple(w.prompts.shown().at(0).buttons, w.exits, w.window->IconEvent->InTray(), w.window->isVisible()),
            std::tuple(PromptButtons::YesNo, int(yes), !yes, !yes || way != u"close"_s));
    }

    // The wizard comes first only while no server is stored; the connection warning after the window is shown.
    // Without its drop folder the program ends before its window is shown, both attempts to make it told.
    void startUp_data()
    {
        columns<QString, bool, QStringList>("server", "blocked", "told");
        row("first run, connected", QString(), false, QStringList());
        row("set up, no connection", u"smtp.example.net"_s, false,
            QStringList{u"Nettlewright: Nettlewright cannot detect a valid Internet Connection.\r\n"
                        u"Please make sure you are connected before proceeding! (window shown)"_s});
        row("drop folder blocked", u"smtp.example.net"_s, true,
            QStringList(2, u"JunkChute Error: Unable to create JunkChute folder!"_s));
    }
    void startUp()
    {
        const auto [server, blocked, told] = fetch<QString, bool, QStringList>("server", "blocked", "told");
        World w;
        if (blocked)
            AppPaths::setDesktopFolder(w.box.writeFile(u"file"_s, {}));
        setConnectionProbe([connected = told.isEmpty() || blocked] { return connected; });
        Program program;
        saveSetting(program.store, settings::Smtp, server);
        bool wizardRan = false;
        program.runWizard = [&](QWidget&) { wizardRan = !program.window; };
        w.prompts.witness = [&] {
            return program.window && program.window->isVisible() ? u" (window shown)"_s : u""_s;
        };
        QCOMPARE(program.Main(), !blocked);
        QCOMPARE(w.prompts.told, told);
        QCOMPARE(std::pair(wizardRan, program.window->isVisible()), std::pair(server.isEmpty(), !blocked));
    }

    // Enter acts as "Next" wherever the keyboard is; back from the first page cancels, Next from the last accepts.
    void wizardWalksForwardAndBack()
    {
        Sandbox box;
        SettingsStore store;
        frmFirstTimeSetup wizard{store};
        wizard.show();
        QVERIFY(QTest::qWaitForWindowActive(&wizard));
        const QList<QWidget*> focus{wizard.hlnkNext,         wizard.txtSMTP,      wizard.txtEmail, wizard.chkCopy,
                                    wizard.chkReturnAddress, wizard.chkAutoStart, wizard.hlnkNext, wizard.hlnkNext};
        for (int page = 0; page < 8; ++page) {
            const auto* text = wizard.pages->currentWidget()->findChild<QLabel*>(u"instructions"_s);
            QCOMPARE(std::tuple(wizard.page(), wizard.hlnkPrevious->text(), text->text()),
                     std::tuple(page, page ? u"Previous"_s : u"Cancel"_s, frmFirstTimeSetup::instructions(page)));
            QTRY_COMPARE(QApplication::focusWidget(), focus.at(page));
            if (page == 1 || page == 2)
                QTest::keyClicks(QApplication::focusWidget(), page == 1 ? u" mail.example.net"_s : u"me@example.net"_s);
            else if (page >= 3 && page <= 5)
                tick(focus.at(page));
            if (page < 7)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
        // The wizard's autostart box is not a stored setting (ticked, it still reads 0): it makes or removes the entry.
        QCOMPARE((QStringList{readSetting(store, settings::Smtp), readSetting(store, settings::ReturnAddress),
                              readSetting(store, settings::CopyEmail), readSetting(store, settings::UseMyReturn),
                              readSetting(store, settings::LoadWithWindows)}),
                 (QStringList{u" mail.example.net"_s, u"me@example.net"_s, u"1"_s, u"0"_s, u"0"_s}));
        QVERIFY(QFile::exists(Autostart::entryPath()));
        wizard.chkAutoStart->click();
        QVERIFY(!QFile::exists(Autostart::entryPath()));
        for (int page = 6; page >= -1; --page) {
            QTest::mouseClick(wizard.hlnkPrevious, Qt::LeftButton);
            QCOMPARE(wizard.page(), page);
            if (page >= 0)
                QCOMPARE(QApplication::focusWidget(), focus.at(page));
        }
        QCOMPARE(std::pair(wizard.isVisible(), wizard.result()), std::pair(false, int(QDialog::Rejected)));
        frmFirstTimeSetup again{store};
        for (int page = 0; page < 8; ++page)
            again.Next();
        QCOMPARE(again.result(), int(QDialog::Accepted));
    }
};

NW_TEST_CLASS(TstMainWindow)

#include "tst_windows.moc"
