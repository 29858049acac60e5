#include "shell/Program.h"

#include "app/Settings.h"
#include "controls/Splash.h"
#include "errors/ErrorHandler.h"
#include "errors/frmErrHandler.h"
#include "intake/JunkChute.h"
#include "platform/AppInfo.h"
#include "platform/Connection.h"
#include "platform/Prompts.h"
#include "shell/frmFirstTimeSetup.h"
#include "shell/frmMain.h"

#include <QCoreApplication>
#include <QPointer>

namespace nw {

namespace {
// 300 twips at the usual 15 twips a pixel.
constexpr int kWindowLeft = 20;
constexpr int kWindowTop = 20;
} // namespace

Program::Program() : runWizard([](QWidget& wizard) { static_cast<QDialog&>(wizard).exec(); }) {}

Program::~Program()
{
    if (errorDialog)
        ErrorHandler::instance().setPresenter(nullptr);
}

void Program::Main()
{
    ErrorHandler::instance().logErrors = true;
    ErrorHandler::instance().stackTracking = true;
    state.supportAddress = supportMailbox();
    errorDialog = std::make_unique<frmErrHandler>(state);
    ErrorHandler::instance().setPresenter(errorDialog.get());
    runGuarded("main", [&] {
        if (!startMonitoring && readSetting(store, settings::Smtp).isEmpty()) {
            frmFirstTimeSetup wizard(store);
            runWizard(wizard);
        }
        window = std::make_unique<frmMain>(state, store, router);
        window->MDIForm_Load();

        QPointer<frmSplash> splash = new frmSplash;
        splash->show();
        QCoreApplication::processEvents();

        CreateJunkChute(state);
        window->show();
        window->move(kWindowLeft, kWindowTop);
        // The splash stays in front of the main window until it closes, even without a window manager
        // that keeps it on top.
        if (splash)
            splash->raise();
        state.setMonitorActive(false);
        if (startMonitoring)
            window->startMonitor();
        else if (!IsConnected())
            msgBox(noConnectionText());
    });
}

void Program::bringForward()
{
    if (window)
        window->bringForward();
}

} // namespace nw
