#include "cli/Cli.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace nw::cli {

namespace {
QList<Command>& registry()
{
    static QList<Command> list;
    return list;
}
} // namespace

bool registerCommand(const Command& command)
{
    registry().append(command);
    return true;
}

QList<Command> commands()
{
    QList<Command> list = registry();
    std::sort(list.begin(), list.end(), [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
    return list;
}

void out(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

void err(const QString& line)
{
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace nw::cli
