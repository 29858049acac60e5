// header_bench FOLDER [--resolver FILE] [--skip-own-hops]: how fast the header analysis runs, without the
// name service unless a resolver table is given; with --skip-own-hops the walk that looks past the own mail
// system runs on each file's whole header instead of the designed walk on the shown part. Prints figures;
// never passes or fails.

#include "header/HeaderAnalysis.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/SourceWalk.h"
#include "platform/Prompts.h"
#include "platform/Resolver.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>

using namespace nw;
using namespace nw::bench;

namespace {

constexpr qint64 kRunNs = 3'000'000'000; // analyse for about three seconds

int usage()
{
    std::fprintf(stderr, "usage: header_bench FOLDER [--resolver FILE] [--skip-own-hops]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    std::unique_ptr<Resolver> resolver = std::make_unique<TableResolver>(); // empty: no reverse names
    const qsizetype at = args.indexOf(QStringLiteral("--resolver"));
    if (at >= 0) {
        if (at + 1 >= args.size())
            return usage();
        QString error;
        resolver = TableResolver::fromFile(args.at(at + 1), &error);
        if (!resolver) {
            std::fprintf(stderr, "header_bench: %s\n", qPrintable(error));
            return 2;
        }
        args.remove(at, 2);
    }
    const bool skipOwnHops = args.removeAll(QStringLiteral("--skip-own-hops")) > 0;
    if (args.size() != 1)
        return usage();

    CountingPrompts prompts;
    ScopedPrompts scope(prompts);

    const QDir folder(args.first());
    QStringList headers;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        StringSink view;
        LoadMessageHeader(folder.filePath(name), view);
        headers << (skipOwnHops ? LoadTraceHeader(folder.filePath(name)) : view.text());
    }
    if (headers.isEmpty()) {
        std::fprintf(stderr, "header_bench: no files in %s\n", qPrintable(folder.path()));
        return 2;
    }

    qint64 withAddress = 0;
    const Run run = runFor(kRunNs, [&] {
        for (const QString& header : headers) {
            HeaderAnalysis analysis;
            if (!skipOwnHops)
                analyzeHeader(*resolver, header, analysis);
            else if (IsFullHeader(header))
                analysis.ip = SourceIP(*resolver, header, OwnHosts(), analysis);
            withAddress += analysis.ip.isEmpty() ? 0 : 1;
        }
    });
    const qint64 analysed = run.steps * headers.size();
    std::printf("%.0f headers/s, %lld ns/header\n", perSecond(analysed, run.cpuNs), run.cpuNs / analysed);
    std::printf("%lld headers from %lld files, %lld with an address, %lld messages shown; wall clock %.0f headers/s\n",
                analysed, qint64(headers.size()), withAddress, prompts.count, perSecond(analysed, run.wallNs));
    std::printf("peak memory: %ld KiB\n", peakMemoryKiB());
    return 0;
}
