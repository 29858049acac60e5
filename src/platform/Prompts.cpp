#include "platform/Prompts.h"

#include "platform/AppInfo.h"

#include <cstdio>

namespace nw {

namespace {
Prompts* g_installed = nullptr;

Prompts& stderrPrompts()
{
    static StderrPrompts instance;
    return instance;
}

PromptAnswer defaultAnswer(const Prompt& prompt)
{
    const auto buttons = buttonsOf(prompt.buttons);
    return buttons.value(prompt.defaultButton, buttons.first());
}
} // namespace

QList<PromptAnswer> buttonsOf(PromptButtons buttons)
{
    using A = PromptAnswer;
    switch (buttons) {
    case PromptButtons::Ok: return {A::Ok};
    case PromptButtons::OkCancel: return {A::Ok, A::Cancel};
    case PromptButtons::YesNo: return {A::Yes, A::No};
    case PromptButtons::YesNoCancel: return {A::Yes, A::No, A::Cancel};
    case PromptButtons::RetryCancel: return {A::Retry, A::Cancel};
    case PromptButtons::AbortRetryIgnore: return {A::Abort, A::Retry, A::Ignore};
    }
    return {A::Ok};
}

Prompts& Prompts::current() { return g_installed ? *g_installed : stderrPrompts(); }

void Prompts::install(Prompts* prompts) { g_installed = prompts; }

PromptAnswer msgBox(const QString& text, PromptButtons buttons, PromptIcon icon, const QString& title, int defaultButton)
{
    return Prompts::current().ask({text, title.isEmpty() ? appTitle() : title, buttons, icon, defaultButton});
}

PromptAnswer StderrPrompts::ask(const Prompt& prompt)
{
    QString line = prompt.title + QStringLiteral(": ") + prompt.text;
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    if (m_writeLine) {
        m_writeLine(line);
    } else {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
    }
    return defaultAnswer(prompt);
}

PromptAnswer RecordingPrompts::ask(const Prompt& prompt)
{
    m_shown.append(prompt);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return defaultAnswer(prompt);
}

QStringList RecordingPrompts::texts() const
{
    QStringList out;
    for (const auto& p : m_shown)
        out << p.text;
    return out;
}

ScopedPrompts::ScopedPrompts(Prompts& prompts) : m_previous(g_installed) { Prompts::install(&prompts); }

ScopedPrompts::~ScopedPrompts() { Prompts::install(m_previous); }

} // namespace nw
