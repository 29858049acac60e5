#pragma once

#include "errors/RuntimeError.h"

#include <QDateTime>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <new>

namespace nw {

// What the handler needs of the error dialog. The desktop program installs the real dialog; until then
// (and in the CLI) a stand-in shows the number and description through Prompts.
class ErrorPresenter {
public:
    virtual ~ErrorPresenter() = default;
    // Loads the dialog when needed and sets its number and description fields.
    virtual void setError(const QString& numberText, const QString& description) = 0;
    // Appends to the dialog's stack box.
    virtual void appendStack(const QString& text) = 0;
    // Shows the dialog modally with these option buttons, left to right; returns the caption of the
    // button pressed, or an empty text when the dialog was closed without one.
    virtual QString showModal(const QStringList& captions) = 0;
    virtual void unload() = 0;
};

// The call-stack tracker and error handler: process-wide by nature, since every routine reports here.
class ErrorHandler {
public:
    static ErrorHandler& instance();

    bool stackTracking = true; // `StackTracking`
    bool logErrors = true;     // `LogErrors`

    int stackDepth() const { return m_depth; }
    // `CallStack`(1) … `CallStack`(`StackDepth`), outermost first.
    QStringList callStack() const { return m_stack.mid(1, m_depth); }

    // nullptr restores the stand-in.
    void setPresenter(ErrorPresenter* presenter) { m_presenter = presenter; }
    ErrorPresenter& presenter();

    // Ends the process after "Quit"; tests replace it.
    void setExitAction(std::function<void()> action) { m_exit = std::move(action); }
    // The clock the log's date lines read; tests fix it.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    QDateTime now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }

    // Back to the start-up state: empty stack, tracking and logging on, default presenter, exit and clock.
    void reset();

private:
    friend void TraceStack(int mode, const QString& name);
    friend int HandleError(const RuntimeError& error, const QString& description, int mode,
                           const QVariantList& parameters);

    int m_depth = 0;
    QStringList m_stack{QString()}; // index 0 is never used
    ErrorPresenter* m_presenter = nullptr;
    std::function<void()> m_exit;
    std::function<QDateTime()> m_clock;
};

// Modes: 0 push `name`, 1 pop, 2 show the stack in a message box, 3 append the stack to the log file.
void TraceStack(int mode, const QString& name);

// Logs the error, shows the dialog with the buttons of `mode` and returns the choice (see the table in
// ErrorHandler.cpp).
int HandleError(const RuntimeError& error, const QString& description, int mode,
                const QVariantList& parameters = {});

// Appends the date line, the product line and `record` to the error log.
void WriteErrorLog(const QString& record);

// Nettlewright.err in the logs' folder.
QString errorLogPath();
// Nettlewright.log in the logs' folder, beside the error log: one line for each message the road ended.
QString outcomeLogPath();

// The system's general date format: short date and long time, as the user's locale writes them.
QString generalDateText(const QDateTime& when);

// An error number as the dialog and the log write it: a leading blank unless negative.
QString errorNumberText(int number);

// The upper-cased text of a routine name given as a C string, made once per name: the analysis pushes
// and pops names hundreds of thousands of times a second, and a name that is already upper-case costs
// TraceStack no copy.
const QString& routineName(const char* literal);

// Pushes a routine's name for its lifetime: pops on every way out.
class TraceScope {
public:
    explicit TraceScope(const QString& name) { TraceStack(0, name); }
    explicit TraceScope(const char* name) : TraceScope(routineName(name)) {}
    ~TraceScope() { TraceStack(1, QString()); }
    TraceScope(const TraceScope&) = delete;
    TraceScope& operator=(const TraceScope&) = delete;
};

// Reports a failure the way every routine does: error number 1 silently, all others with mode 3.
void reportFailure(const RuntimeError& error);
// The same for failures that are not ours (out of memory, a standard library error).
void reportFailure(const std::exception& error);

// Runs a routine's body under the calling convention: its name on the stack, a failure reported with
// mode 3, the name popped on every way out. Returns `fallback` after a failure.
template <typename R, typename F> R runGuarded(const char* name, R fallback, F&& body)
{
    TraceScope scope(name);
    try {
        return body();
    } catch (const RuntimeError& e) {
        reportFailure(e);
    } catch (const std::exception& e) {
        reportFailure(e);
    }
    return fallback;
}

template <typename F> void runGuarded(const char* name, F&& body)
{
    runGuarded(name, 0, [&] {
        body();
        return 0;
    });
}

} // namespace nw
