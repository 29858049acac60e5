#pragma once

#include <QList>
#include <QStringList>

// The headless commands share one dispatcher; each command lives in its own file and registers itself
// with NW_CLI_COMMAND.
namespace nw::cli {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args); // the arguments after the command name
};

bool registerCommand(const Command& command);
// Every registered command, sorted by name.
QList<Command> commands();

// Output helpers: stdout for results, stderr for messages.
void out(const QString& line);
void err(const QString& line);

// `text` as a JSON string literal, quotes included, in plain ASCII: CR, LF, other control characters and
// everything beyond ASCII are written as escapes.
QString jsonString(const QString& text);

} // namespace nw::cli

#define NW_CLI_COMMAND(name, summary, function)                                                                        \
    static const bool function##_registered = nw::cli::registerCommand({name, summary, &function});
