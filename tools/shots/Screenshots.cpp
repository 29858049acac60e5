// Saves a picture of every window of the desktop program into a folder, for checking the layout at
// different scale factors (run it under Xvfb with QT_SCALE_FACTOR set). It works in temporary folders:
// the user's settings, desktop and autostart folders are never touched.
#include "app/AppState.h"
#include "app/Settings.h"
#include "controls/HelpWindow.h"
#include "controls/Splash.h"
#include "controls/TaskPane.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/Connection.h"
#include "platform/LocalWait.h"
#include "platform/SettingsStore.h"
#include "road/MessageRoad.h"
#include "shell/frmFirstTimeSetup.h"
#include "shell/frmMain.h"
#include "whois/frmWhois.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

using namespace nw;

namespace {

QString g_out;

void settle(int ms = 150)
{
    LocalWait wait;
    wait.run(ms);
}

void save(QWidget* widget, const QString& name)
{
    settle();
    const QString path = g_out + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget->grab().save(path))
        QTextStream(stderr) << "cannot save " << path << Qt::endl;
    else
        QTextStream(stdout) << path << Qt::endl;
}

void writeMessage(const QString& folder, const QString& name, const QByteArray& bytes)
{
    QFile f(AppPaths::join(folder, name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc < 2) {
        QTextStream(stderr) << "usage: nettlewright-screenshots OUTPUT-FOLDER" << Qt::endl;
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(g_out);

    QTemporaryDir temp;
    for (const char* sub : {"settings", "desktop", "program"})
        QDir(temp.path()).mkpath(QLatin1String(sub));
    SettingsStore::setRoot(temp.path() + QStringLiteral("/settings"));
    AppPaths::setDesktopFolder(temp.path() + QStringLiteral("/desktop"));
    AppPaths::setProgramFolder(temp.path() + QStringLiteral("/program"));
    Autostart::setFolder(temp.path() + QStringLiteral("/autostart"));
    setConnectionProbe([] { return true; });
    SettingsStore store;

    {
        frmFirstTimeSetup wizard(store);
        wizard.show();
        for (int page = 0; page < frmFirstTimeSetup::PageCount; ++page) {
            if (page == 1)
                wizard.txtSMTP->setText(QStringLiteral("smtp.example.net"));
            if (page == 2)
                wizard.txtEmail->setText(QStringLiteral("me@example.net"));
            save(&wizard, QStringLiteral("wizard-page%1").arg(page));
            wizard.Next();
        }
    }

    // The help page cannot be fetched from a port where nothing listens: the picture shows the local page.
    store.save(QStringLiteral("Nettlewright"), QStringLiteral("Setup"), QStringLiteral("VendorBase"),
               QStringLiteral("http://127.0.0.1:%1").arg(closedPort()));
    AppState state;
    frmMain window(state, store);
    window.MDIForm_Load();
    writeMessage(state.junkChuteFolder(), QStringLiteral("Cheap watches.eml"),
                 "Received: from mail.example.com (mail.example.com [192.0.2.10])\r\n\tby mx.example.net\r\n"
                 "Subject: Cheap watches\r\n\r\nBuy now.\r\n");
    writeMessage(state.junkChuteFolder(), QStringLiteral("Webmail1.msg"), "Received: from x\r\n");
    window.junkChute->refreshFileList();
    window.resize(1200, 800);
    window.show();
    window.xpBMenu->ExpandGroup(QStringLiteral("Settings"), true);
    const auto tile = [&] {
        QMdiSubWindow* active = window.mdiArea->activeSubWindow();
        if (active)
            active->setGeometry(QRect(QPoint(0, 0), window.mdiArea->viewport()->size()));
    };
    window.xpBMenu_ItemClick(QStringLiteral("Main"), QStringLiteral("JunkChute"));
    window.junkChute->filJunkChute->setCurrentRow(0);
    window.junkChute->txtSpamFile->setPlainText(
        QStringLiteral("Received: from mail.example.com (mail.example.com [192.0.2.10])\n\tby mx.example.net\nSubject: "
                       "Cheap watches"));
    tile();
    save(&window, QStringLiteral("main-junkchute"));

    window.xpBMenu_ItemClick(QStringLiteral("Actions"), QStringLiteral("Webmail"));
    tile();
    save(&window, QStringLiteral("main-webmail"));

    // The WHOIS and complaint windows as a look-up leaves them, without asking any server.
    state.headerAnalysis.ip = QStringLiteral("192.0.2.10");
    state.headerAnalysis.hostName = QStringLiteral("mail.example.com");
    window.road->whois.setText1(QStringLiteral("192.0.2.10"));
    window.xpBMenu_ItemClick(QStringLiteral("Main"), QStringLiteral("Whois"));
    // As the control keeps a registry's CR LF answer: every LF given a CR of its own.
    emit window.road->whois.Whois1.resultsChanged(
        QStringLiteral("NetRange:       192.0.2.0 - 192.0.2.255\r\r\nOrgName:        Example Networks\r\r\n"
                       "OrgAbuseEmail:  abuse@example-isp.net\r\r\n"));
    window.whois->txtEmailList->blockSignals(true);
    window.whois->txtEmailList->setPlainText(QStringLiteral("abuse@example-isp.net"));
    window.whois->txtEmailList->blockSignals(false);
    tile();
    save(&window, QStringLiteral("main-whois"));

    window.road->complaint.setTxtTo(QStringLiteral("abuse@example-isp.net"));
    window.road->complaint.setTxtCopyTo(QStringLiteral("me@example-home.net"));
    window.xpBMenu_ItemClick(QStringLiteral("Main"), QStringLiteral("Complaint"));
    tile();
    save(&window, QStringLiteral("main-complaint"));

    window.xpBMenu_ItemClick(QStringLiteral("Actions"), QStringLiteral("ContactUs"));
    tile();
    save(&window, QStringLiteral("main-contact"));

    // The help that comes with the program, as F1 shows it, in a window of its own size.
    window.showHelp(false);
    save(window.help()->parentWidget(), QStringLiteral("help"));

    window.xpBMenu_ItemClick(QStringLiteral("Main"), QStringLiteral("About"));
    save(window.about(), QStringLiteral("about"));

    auto* splash = new frmSplash;
    splash->show();
    save(splash, QStringLiteral("splash"));
    splash->close();

    window.TrayMenu->popup(window.mapToGlobal(QPoint(300, 300)));
    save(window.TrayMenu, QStringLiteral("tray-menu"));
    window.TrayMenu->hide();
    return 0;
}
