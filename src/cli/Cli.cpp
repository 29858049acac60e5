#include "cli/Cli.h"

namespace nw::cli {

const QList<Command>& commands()
{
    static const QList<Command> list = {};
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
