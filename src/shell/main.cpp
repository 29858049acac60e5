#include "app/StartOptions.h"
#include "platform/AppInfo.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/Prompts.h"
#include "platform/SingleInstance.h"
#include "platform/SystemKeychain.h"
#include "shell/Program.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    // Read before the application exists: --help needs no display.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const nw::StartOptions options = nw::parseStartOptions(args);
    if (options.help) {
        std::fputs(nw::startUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", qPrintable(nw::appTitle()), qPrintable(nw::versionText()));
        return 0;
    }
    if (!options.error.isEmpty()) {
        const QString text = QStringLiteral("nettlewright: ") + options.error + QLatin1Char('\n') + nw::startUsage();
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return 2;
    }

    QApplication app(argc, argv);
    // A second start brings the running copy forward instead of monitoring the same folder twice.
    nw::SingleInstance instance;
    if (!instance.claim())
        return instance.callFirst() ? 0 : 1;
    // The window hides in the notification area; closing the last visible window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    nw::MessageBoxPrompts prompts;
    nw::ScopedPrompts scope(prompts);
    nw::Program program;
    program.router = options.router;
    program.startMonitoring = options.monitor;
    program.state.useKeychain(std::make_unique<nw::SystemKeychain>());
    QObject::connect(&instance, &nw::SingleInstance::called, &app, [&program] { program.bringForward(); });
    if (!program.Main())
        return 1;
    return QApplication::exec();
}
