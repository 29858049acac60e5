// nettlewright-cli analyze: the header analysis of message files, one JSON line each.

#include "cli/Cli.h"
#include "header/HeaderAnalysis.h"
#include "header/SourceWalk.h"
#include "platform/Resolver.h"

#include <memory>

namespace nw::cli {

namespace {

const char* const kUsage = R"(usage: nettlewright-cli analyze [--resolver FILE] [--no-dns] [--skip-own-hops]
                               [--own-hosts LIST] FILE...

Analyses each message file the way the drop folder does: loads its header (from the first
"Received: from" on, at most 1300 characters), and when it is a full header walks the received
lines to the originating IP and looks up that address's reverse name. Prints one JSON object per
file, one per line, with the keys file, fullHeader, ip, hostName, timeStamp, receivedLine and
ipHostName ("" when unset).

Options:
  --resolver FILE  take reverse names from FILE, lines "IP NAME" ('#' starts a comment)
  --no-dns         look up no reverse names at all
%1
  --help           show this text

Without --resolver or --no-dns the system's name service answers (at most 10 s a look-up).
Only the top of a file is kept: as far as the first "Received: from" can start (its position is a
16-bit value) and 1300 characters after it. A file that is no regular file
(a folder, FIFO, device or socket) is refused, not waited on.
Exit status: 0 when every file was read, 1 when one could not be read (it gets no line), 2 for a
usage error.)";

QString jsonLine(const QString& file, bool fullHeader, const HeaderAnalysis& a)
{
    const auto field = [](const char* key, const QString& value) {
        return jsonString(QString::fromLatin1(key)) + QLatin1Char(':') + value;
    };
    const QStringList fields = {
        field("file", jsonString(file)),
        field("fullHeader", fullHeader ? QStringLiteral("true") : QStringLiteral("false")),
        field("ip", jsonString(a.ip)),
        field("hostName", jsonString(a.hostName)),
        field("timeStamp", jsonString(a.timeStamp)),
        field("receivedLine", jsonString(a.receivedLine)),
        field("ipHostName", jsonString(a.ipHostName)),
    };
    return QLatin1Char('{') + fields.join(QLatin1Char(',')) + QLatin1Char('}');
}

int analyze(const QStringList& args)
{
    QString resolverFile;
    bool noDns = false;
    SourceRules rules;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out(QString::fromLatin1(kUsage).arg(sourceOptionsUsage(19)));
            return 0;
        }
        QString optionError;
        if (takeSourceOption(args, i, rules, &optionError)) {
            if (!optionError.isEmpty()) {
                err(QStringLiteral("analyze: ") + optionError);
                return 2;
            }
        } else if (a == QLatin1String("--no-dns")) {
            noDns = true;
        } else if (a == QLatin1String("--resolver")) {
            if (++i == args.size()) {
                err(QStringLiteral("analyze: --resolver needs a file (see --help)"));
                return 2;
            }
            resolverFile = args.at(i);
        } else if (a.startsWith(QLatin1String("--"))) {
            err(QStringLiteral("analyze: unknown option '%1' (see --help)").arg(a));
            return 2;
        } else {
            files << a;
        }
    }
    if (files.isEmpty()) {
        err(QStringLiteral("analyze: no message file given (see --help)"));
        return 2;
    }

    QString error;
    const std::unique_ptr<Resolver> resolver = makeResolver(noDns, resolverFile, error);
    if (!resolver) {
        err(QStringLiteral("analyze: ") + error);
        return 2;
    }

    int status = 0;
    for (const QString& file : files) {
        QString header;
        QString failure;
        if (!loadMessage(file, header, failure)) {
            err(QStringLiteral("analyze: cannot read %1: %2").arg(file, failure));
            status = 1;
            continue;
        }
        HeaderAnalysis analysis; // a fresh one for each file
        const bool fullHeader = analyzeMessage(*resolver, header, file, rules, analysis);
        out(jsonLine(file, fullHeader, analysis));
    }
    return status;
}

} // namespace

NW_CLI_COMMAND("analyze", "originating IP and received line of message files, as JSON lines", analyze)

} // namespace nw::cli
