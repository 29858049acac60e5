#pragma once

#include <QList>
#include <QStringList>

#include <memory>

namespace nw {
class Resolver;
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

// The command line's arguments after the program's name. A byte that is no valid text in the locale (a
// file name in another encoding) stands for itself as U+DC00 plus the byte (a lone surrogate), so nativePath() gets the
// file system's name back exactly.
QStringList arguments(int argc, char** argv);
QByteArray nativePath(const QString& argument);

// Output helpers: stdout for results, stderr for messages, each ending the line. Control characters other
// than tabs and line ends (LF, CR LF), and the bytes that arguments() could not read as text, are written as \xHH: nothing is cut at a
// NUL, and nothing drives the terminal.
void out(const QString& line);
void err(const QString& line);
// What out() and err() write for `text`.
QString printable(const QString& text);

// Loads the header of the message file named by a command-line argument, as the drop folder does. A file
// that cannot be read (missing, no regular file, unreadable, a first "Received: from" too far down)
// gives false and the reason in `failure`.
bool loadMessage(const QString& argument, QString& header, QString& failure);

// The reverse names a command uses: none with `noDns`, the table in `tableFile` when given, else the
// system's name service. Null, with the reason in `error`, when the table cannot be read.
std::unique_ptr<Resolver> makeResolver(bool noDns, const QString& tableFile, QString& error);

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
