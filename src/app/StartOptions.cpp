#include "app/StartOptions.h"

namespace nw {

QString startUsage()
{
    return QStringLiteral(
        "usage: nettlewright [--monitor] [--route NAME=HOST:PORT]...\n"
        "  --monitor               start hidden in the notification area with the JunkChute monitor on\n"
        "  --route NAME=HOST:PORT  connect to HOST:PORT whenever WHOIS server NAME is to be asked (repeatable)\n"
        "  --help                  print this help and exit\n"
        "  --version               print the version and exit\n");
}

StartOptions parseStartOptions(const QStringList& args)
{
    StartOptions options;
    for (int i = 0; i < args.size() && options.error.isEmpty(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg == QLatin1String("--monitor")) {
            options.monitor = true;
        } else if (arg == QLatin1String("--route")) {
            if (i + 1 >= args.size())
                options.error = QStringLiteral("--route needs NAME=HOST:PORT");
            else
                options.router.addRoute(args.at(++i), &options.error);
        } else if (arg.startsWith(QLatin1String("--"))) {
            options.error = QStringLiteral("unknown option ") + arg;
        }
    }
    return options;
}

} // namespace nw
