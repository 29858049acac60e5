#include "shell/ExitQuestion.h"

#include "platform/Prompts.h"

namespace nw {

bool ExitConfirmed()
{
    return msgBox(QStringLiteral("Exiting will disable the JunkChute Monitor.\r\nExit anyway?"), PromptButtons::YesNo,
                  PromptIcon::None, QStringLiteral("Exit Nettlewright")) == PromptAnswer::Yes;
}

} // namespace nw
