#include "cli/Cli.h"
#include "platform/EndpointRouter.h"
#include "whois/WhoIs.h"
#include "whois/WhoisLookup.h"

#include <optional>

using namespace nw;

namespace {

void whoisUsage(void (*print)(const QString&))
{
    print(QStringLiteral(
        "usage: nettlewright-cli whois [--route NAME=HOST:PORT]... [--delay MS] [--timeout MS] ADDRESS_OR_NAME\n"
        "       nettlewright-cli whois --select-only ADDRESS_OR_NAME...\n"
        "\n"
        "Looks up who answers for an IPv4 or IPv6 address or a host name, as the WHOIS window does: the\n"
        "server is chosen from whois.rir, whois6.rir and whois.srv, referrals are followed, and the answers\n"
        "are evaluated MS milliseconds (--delay, default 5000) after the last one. Prints the servers asked,\n"
        "the answers, the addresses found and, as the last line, the address a complaint would go to (an\n"
        "empty line when none). Exit status: 0 an address was chosen, 2 none (or a usage error), 1 failure.\n"
        "\n"
        "  --route NAME=HOST:PORT  connect to HOST:PORT whenever server NAME is to be asked (repeatable)\n"
        "  --timeout MS            a server silent this long ends the look-up (default 30000)\n"
        "  --select-only           connect nowhere; print per argument, tab-separated: the argument, the\n"
        "                          server, its port and the query text (or why no server was found)"));
}

std::optional<int> milliseconds(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

int selectOnly(const QStringList& targets)
{
    WhoIs whois;
    bool unmatched = false;
    QObject::connect(&whois, &WhoIs::Status, [&](const QString& text) { unmatched = text == WhoIs::unmatchedText(); });
    int status = 0;
    for (const QString& target : targets) {
        unmatched = false;
        whois.setAddress(target);
        if (unmatched || target.isEmpty()) {
            cli::out(target + QLatin1Char('\t') + WhoIs::unmatchedText());
            status = 2;
        } else {
            cli::out(QStringList{target, whois.Server(), QString::number(whois.Port()), whois.Domain()}.join(
                QLatin1Char('\t')));
        }
    }
    return status;
}

int whoisCommand(const QStringList& args)
{
    EndpointRouter router;
    bool select = false;
    int delay = 5000;
    int timeout = 30000;
    QStringList targets;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            whoisUsage(cli::out);
            return 0;
        } else if (arg == QLatin1String("--select-only")) {
            select = true;
        } else if (arg == QLatin1String("--route") && hasValue) {
            QString error;
            if (!router.addRoute(args.at(++i), &error)) {
                cli::err(QStringLiteral("nettlewright-cli whois: ") + error);
                return 2;
            }
        } else if ((arg == QLatin1String("--delay") || arg == QLatin1String("--timeout")) && hasValue) {
            const auto ms = milliseconds(args.at(++i));
            if (!ms) {
                cli::err(QStringLiteral("nettlewright-cli whois: %1 needs a number of milliseconds").arg(arg));
                return 2;
            }
            (arg == QLatin1String("--delay") ? delay : timeout) = *ms;
        } else if (arg.startsWith(QLatin1String("--"))) {
            cli::err(QStringLiteral("nettlewright-cli whois: unknown or incomplete option '%1' (see --help)").arg(arg));
            return 2;
        } else {
            targets << arg;
        }
    }
    if (select)
        return targets.isEmpty() ? (whoisUsage(cli::err), 2) : selectOnly(targets);
    if (targets.size() != 1) {
        cli::err(QStringLiteral("nettlewright-cli whois: give exactly one address or host name (see --help)"));
        return 2;
    }

    WhoIs whois(router);
    whois.setAnswerTimeout(timeout);
    WhoisLookup lookup(whois);
    lookup.setEvaluationDelay(delay);
    const WhoisLookup::Outcome outcome = lookup.run(targets.first());

    cli::out(QStringLiteral("Servers asked: ") + outcome.chain.join(QStringLiteral(" -> ")));
    if (!outcome.results.isEmpty()) {
        QString results = outcome.results;
        results.remove(QLatin1Char('\r'));
        if (results.endsWith(QLatin1Char('\n')))
            results.chop(1);
        cli::out(QStringLiteral("Results:\n") + results);
    }
    if (outcome.result == WhoisLookup::Result::Failed) {
        cli::err(QStringLiteral("nettlewright-cli whois: %1: %2").arg(targets.first(), outcome.message));
        return 1;
    }
    QString list = outcome.addressList;
    cli::out(QStringLiteral("Addresses:"));
    if (!list.isEmpty())
        cli::out(list.remove(QLatin1Char('\r')).chopped(1));
    if (outcome.result == WhoisLookup::Result::NoneChosen)
        cli::err(QStringLiteral("nettlewright-cli whois: %1: %2").arg(targets.first(), outcome.message));
    cli::out(outcome.address);
    return outcome.result == WhoisLookup::Result::Chosen ? 0 : 2;
}

} // namespace

NW_CLI_COMMAND("whois", "look up the WHOIS servers and the abuse address for an address or name", whoisCommand)
