#pragma once

#include <QList>
#include <QStringList>

namespace nw {
struct SourceRules;
}

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

// The options that choose how a message's source is found, shared by analyze and report:
// --skip-own-hops, and --own-hosts LIST (which implies it). Returns false when args[i] is neither;
// otherwise takes the option (and its value, advancing `i`) into `rules` and sets `error` for a missing
// or bad value.
bool takeSourceOption(const QStringList& args, qsizetype& i, SourceRules& rules, QString* error);
// The usage lines of those options, their texts starting at `column`.
QString sourceOptionsUsage(int column);

} // namespace nw::cli

#define NW_CLI_COMMAND(name, summary, function)                                                                        \
    static const bool function##_registered = nw::cli::registerCommand({name, summary, &function});
