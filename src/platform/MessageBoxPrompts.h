#pragma once

#include "platform/Prompts.h"

#include <memory>

class QMessageBox;

namespace nw {

// Prompts shown as modal QMessageBox windows.
class MessageBoxPrompts : public Prompts {
public:
    PromptAnswer ask(const Prompt& prompt) override;

    // The box a prompt is shown in. Its text is plain text: many come from a file, a server or a message
    // (a catalog description, a server's answer, a file name), and none is markup.
    static std::unique_ptr<QMessageBox> box(const Prompt& prompt);
};

} // namespace nw
