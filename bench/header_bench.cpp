// header_bench FOLDER [--resolver FILE]: how fast the header analysis runs, without the name service
// unless a resolver table is given. Prints figures; never passes or fails.

#include "header/HeaderAnalysis.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "platform/Prompts.h"
#include "platform/Resolver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace nw;

namespace {

constexpr qint64 kRunNs = 3'000'000'000; // analyse for about three seconds

// Message boxes would flood the terminal at this rate: count them instead.
class CountingPrompts : public Prompts {
public:
    qint64 count = 0;
    PromptAnswer ask(const Prompt& prompt) override
    {
        ++count;
        return buttonsOf(prompt.buttons).first();
    }
};

qint64 cpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

int usage()
{
    std::fprintf(stderr, "usage: header_bench FOLDER [--resolver FILE]\n");
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
    if (args.size() != 1)
        return usage();

    CountingPrompts prompts;
    ScopedPrompts scope(prompts);

    const QDir folder(args.first());
    QStringList headers;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
        StringSink view;
        LoadMessageHeader(folder.filePath(name), view);
        headers << view.text();
    }
    if (headers.isEmpty()) {
        std::fprintf(stderr, "header_bench: no files in %s\n", qPrintable(folder.path()));
        return 2;
    }

    qint64 analysed = 0;
    qint64 withAddress = 0;
    QElapsedTimer clock;
    clock.start();
    const qint64 cpuStart = cpuNs();
    while (clock.nsecsElapsed() < kRunNs) {
        for (const QString& header : headers) {
            HeaderAnalysis analysis;
            analyzeHeader(*resolver, header, analysis);
            withAddress += analysis.ip.isEmpty() ? 0 : 1;
            ++analysed;
        }
    }
    const qint64 cpu = cpuNs() - cpuStart;
    const qint64 wall = clock.nsecsElapsed();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // The rate on one core is taken from the CPU time the loop used: on a busy machine the wall clock
    // also counts the time other processes ran.
    std::printf("%lld headers/s, %lld ns/header\n", analysed * 1'000'000'000 / cpu, cpu / analysed);
    std::printf("%lld headers from %lld files, %lld with an address, %lld messages shown; wall clock %lld headers/s\n",
                analysed, qint64(headers.size()), withAddress, prompts.count, analysed * 1'000'000'000 / wall);
    std::printf("peak memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
