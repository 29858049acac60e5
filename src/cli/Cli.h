#pragma once

#include <QStringList>

#include <cstdio>

// The headless commands share one dispatcher; each command lives in its own file and registers here.
namespace nw::cli {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const QStringList& args); // args after the command name
};

// Every command the CLI knows, in the order `--help` lists them.
const QList<Command>& commands();

// Output helpers: stdout for results, stderr for messages.
void out(const QString& line);
void err(const QString& line);

} // namespace nw::cli
