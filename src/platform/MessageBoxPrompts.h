#pragma once

#include "platform/Prompts.h"

namespace nw {

// Prompts shown as modal QMessageBox windows.
class MessageBoxPrompts : public Prompts {
public:
    PromptAnswer ask(const Prompt& prompt) override;
};

} // namespace nw
