#include "cli/Cli.h"
#include "platform/AppInfo.h"
#include "platform/Prompts.h"

#include <QCoreApplication>

using namespace nw;

namespace {
void usage(void (*print)(const QString&))
{
    print(QStringLiteral("usage: nettlewright-cli COMMAND [OPTIONS] ...\n\nCommands:"));
    for (const auto& c : cli::commands())
        print(QStringLiteral("  %1  %2").arg(QString::fromLatin1(c.name), -8).arg(QString::fromLatin1(c.summary)));
    print(QStringLiteral("\nRun 'nettlewright-cli COMMAND --help' for a command's options."));
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(appTitle());
    QCoreApplication::setApplicationVersion(versionText());
    // Messages go to stderr, escaped as every other line, and every question takes its default: nothing
    // waits for a person.
    StderrPrompts prompts(cli::err);
    Prompts::install(&prompts);

    QStringList args = cli::arguments(argc, argv);
    if (args.isEmpty()) {
        usage(cli::err);
        return 2;
    }
    if (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        usage(cli::out);
        return 0;
    }
    if (args.first() == QLatin1String("--version")) {
        cli::out(appTitle() + QLatin1Char(' ') + versionText());
        return 0;
    }
    const QString name = args.takeFirst();
    for (const auto& c : cli::commands())
        if (name == QLatin1String(c.name))
            return c.run(args);
    cli::err(QStringLiteral("nettlewright-cli: unknown command '%1' (see --help)").arg(name));
    return 2;
}
