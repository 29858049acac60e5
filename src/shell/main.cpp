#include "platform/AppInfo.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/Prompts.h"
#include "platform/SystemKeychain.h"
#include "shell/Program.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    // Answered before the window system is needed, so that it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", qPrintable(nw::appTitle()), qPrintable(nw::versionText()));
            return 0;
        }
    QApplication app(argc, argv);
    // The window hides in the notification area; closing the last visible window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    nw::MessageBoxPrompts prompts;
    nw::ScopedPrompts scope(prompts);
    nw::Program program;
    program.state.useKeychain(std::make_unique<nw::SystemKeychain>());
    program.Main();
    return QApplication::exec();
}
