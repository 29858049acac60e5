#pragma once

#include <QList>
#include <QString>

#include <functional>

namespace nw {

enum class PromptIcon { None, Critical, Question, Exclamation, Information };
enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class PromptAnswer { None, Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct Prompt {
    QString text;
    QString title;
    PromptButtons buttons = PromptButtons::Ok;
    PromptIcon icon = PromptIcon::None;
    int defaultButton = 0; // index into buttonsOf(buttons)
};

// The answers a set of buttons offers, left to right.
QList<PromptAnswer> buttonsOf(PromptButtons buttons);

// The one way any code shows a message box or asks a question. Process-wide, like the error handler:
// the desktop program installs message boxes, the CLI writes to stderr, tests install a recorder.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual PromptAnswer ask(const Prompt& prompt) = 0;

    static Prompts& current();
    // Does not take ownership; nullptr restores the stderr default.
    static void install(Prompts* prompts);
};

// A message box with the program's title unless another is given.
PromptAnswer msgBox(const QString& text, PromptButtons buttons = PromptButtons::Ok, PromptIcon icon = PromptIcon::None,
                    const QString& title = QString(), int defaultButton = 0);

// Writes "title: text" to stderr and answers with the default button; never waits for a person.
class StderrPrompts : public Prompts {
public:
    // `writeLine` puts one line on stderr (the command line escapes what a terminal must not see); by
    // default the line goes out as it is.
    explicit StderrPrompts(std::function<void(const QString&)> writeLine = {}) : m_writeLine(std::move(writeLine)) {}
    PromptAnswer ask(const Prompt& prompt) override;

private:
    std::function<void(const QString&)> m_writeLine;
};

// Keeps every prompt shown and answers from a script (then with the default button).
class RecordingPrompts : public Prompts {
public:
    PromptAnswer ask(const Prompt& prompt) override;
    void setNextAnswers(QList<PromptAnswer> answers) { m_answers = std::move(answers); }
    const QList<Prompt>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }

private:
    QList<Prompt> m_shown;
    QList<PromptAnswer> m_answers;
};

// Installs a prompts object for the lifetime of the scope, then restores the previous one.
class ScopedPrompts {
public:
    explicit ScopedPrompts(Prompts& prompts);
    ~ScopedPrompts();
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

private:
    Prompts* m_previous;
};

} // namespace nw
