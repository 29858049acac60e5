#include "cli/Cli.h"

#include "header/SourceWalk.h"

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

QString jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

bool takeSourceOption(const QStringList& args, qsizetype& i, SourceRules& rules, QString* error)
{
    const QString& arg = args.at(i);
    if (arg == QLatin1String("--skip-own-hops")) {
        rules.skipOwnHops = true;
        return true;
    }
    if (arg != QLatin1String("--own-hosts"))
        return false;
    if (++i == args.size()) {
        *error = QStringLiteral("--own-hosts needs a list of host names, addresses or prefixes");
        return true;
    }
    QStringList bad;
    rules.ownHosts = OwnHosts::parse(args.at(i), &bad);
    rules.skipOwnHops = true;
    if (!bad.isEmpty())
        *error = QStringLiteral("--own-hosts: '%1' is not a host name, address or address prefix").arg(bad.first());
    return true;
}

QString sourceOptionsUsage(int column)
{
    const QString indent = QString(column, QLatin1Char(' '));
    const auto option = [&](const char* name, const char* first, const char* second) {
        return (QStringLiteral("  ") + QLatin1String(name)).leftJustified(column) + QLatin1String(first) +
               QLatin1Char('\n') + indent + QLatin1String(second);
    };
    return option("--skip-own-hops", "look past the recipient's own mail system: read the whole header, pass",
                  "over the hops inside it and take the first client outside") +
           QLatin1Char('\n') +
           option("--own-hosts LIST", "the own system's host names, addresses and prefixes (IPv4 or IPv6),",
                  "separated by blanks or commas; implies --skip-own-hops");
}

} // namespace nw::cli
