#pragma once

#include "app/AppState.h"
#include "platform/EndpointRouter.h"
#include "platform/SettingsStore.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace nw {

class frmErrHandler;
class frmMain;

// The desktop program: its state, settings and main window, put together by `Main`.
class Program {
public:
    Program();
    ~Program();

    // Start-up, in order: the first-run wizard when no SMTP server is stored, the main window behind the
    // splash, the drop folder, the connection warning. Returns when the program runs on window events.
    void Main();
    // A later start of the program asked for the window.
    void bringForward();

    // Where WHOIS server names really connect (--route).
    EndpointRouter router;
    // Start hidden with the monitor on (--monitor): no wizard and no message box, as nobody is there to answer.
    bool startMonitoring = false;

    AppState state;
    SettingsStore store;
    std::unique_ptr<frmMain> window;
    // Shown by the error handler for every failure while the program runs.
    std::unique_ptr<frmErrHandler> errorDialog;
    // How the wizard is run (modally); tests answer it.
    std::function<void(QWidget& wizard)> runWizard;
};

} // namespace nw
