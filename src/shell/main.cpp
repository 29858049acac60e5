#include "platform/MessageBoxPrompts.h"
#include "platform/Prompts.h"
#include "platform/SystemKeychain.h"
#include "shell/Program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The window hides in the notification area; closing the last visible window must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    nw::MessageBoxPrompts prompts;
    nw::ScopedPrompts scope(prompts);
    nw::Program program;
    program.state.useKeychain(std::make_unique<nw::SystemKeychain>());
    if (!program.Main())
        return 1;
    return QApplication::exec();
}
