// whois_bench: the WHOIS side without a network. Loads a generated range table of 32,000 lines the way the
// program loads whois.rir, looks up random addresses in it, and picks the e-mail addresses out of a
// generated 1 MiB WHOIS answer. Prints figures; never passes or fails.

#include "header/AddressList.h"
#include "platform/AppPaths.h"
#include "whois/WhoisTables.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <limits>

using namespace nw;
using namespace nw::bench;

namespace {

constexpr int kRangeLines = 32'000;
constexpr qsizetype kAnswerChars = 1024 * 1024; // the most a look-up keeps
constexpr qint64 kRunNs = 3'000'000'000;

QString dotted(quint32 ip)
{
    return QStringLiteral("%1.%2.%3.%4").arg(ip >> 24).arg((ip >> 16) & 255).arg((ip >> 8) & 255).arg(ip & 255);
}

// Blocks from /16 to /24 in unicast space, in no order, some with a query prefix as the real table has.
QByteArray rangeFile(QRandomGenerator& random)
{
    static const char* const servers[] = {"whois.arin.net",    "whois.ripe.net",  "whois.apnic.net", "whois.lacnic.net",
                                          "whois.afrinic.net", "whois.nic.ad.jp", "whois.twnic.net", "private"};
    QByteArray file = "# generated range table, version 100\n";
    for (int i = 1; i < kRangeLines; ++i) {
        const int prefix = 16 + int(random.bounded(9));
        const quint32 mask = ~((quint32(1) << (32 - prefix)) - 1);
        const quint32 base = ((1 + random.bounded(222u)) << 24 | random.bounded(1u << 24)) & mask;
        const char* server = servers[random.bounded(int(std::size(servers)))];
        file += dotted(base).toLatin1() + '/' + QByteArray::number(prefix) + '\t' + server;
        if (i % 7 == 0)
            file += "\tn +";
        file += '\n';
    }
    return file;
}

// RIPE-style objects, each naming its organisation's abuse and NOC mailboxes, until `chars` is reached;
// 300 organisations, so most addresses repeat.
QString whoisAnswer(qsizetype chars)
{
    QString text;
    text.reserve(chars + 1024);
    for (int n = 0; text.size() < chars; ++n) {
        const int org = n % 300;
        text += QStringLiteral("inetnum:        10.%1.%2.0 - 10.%1.%2.255\n"
                               "netname:        EXAMPLE-NET-%3\n"
                               "descr:          Example Networks %4, customer block %3\n"
                               "country:        DE\n"
                               "admin-c:        EX%4-RIPE\n"
                               "tech-c:         EX%4-RIPE\n"
                               "status:         ASSIGNED PA\n"
                               "mnt-by:         EXAMPLE%4-MNT\n"
                               "remarks:        Spam and abuse reports to abuse@example%4.net only, please\n"
                               "abuse-mailbox:  abuse@example%4.net\n"
                               "e-mail:         noc@example%4.net\n"
                               "created:        2003-01-01T00:00:00Z\n"
                               "last-modified:  2020-06-01T00:00:00Z\n"
                               "source:         RIPE\n\n")
                    .arg((n / 256) % 256)
                    .arg(n % 256)
                    .arg(n)
                    .arg(org);
    }
    text.truncate(chars);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CountingPrompts prompts;
    ScopedPrompts scope(prompts);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "whois_bench: no temporary folder: %s\n", qPrintable(dir.errorString()));
        return 1;
    }
    AppPaths::setProgramFolder(dir.path());
    QRandomGenerator random(20240101);
    {
        QFile file(WhoisTables::rirPath());
        if (!file.open(QIODevice::WriteOnly) || file.write(rangeFile(random)) < 0) {
            std::fprintf(stderr, "whois_bench: cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }

    // Loading: the first load counts the memory the table takes; the best of the rest is the time.
    WhoisTables tables;
    const long rssBefore = statusKiB("RssAnon");
    tables.LoadRirTable();
    const long tableKiB = statusKiB("RssAnon") - rssBefore;
    qint64 bestLoad = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 5; ++i) {
        const qint64 start = threadCpuNs();
        tables.LoadRirTable();
        bestLoad = std::min(bestLoad, threadCpuNs() - start);
    }
    std::printf("range table: a %d-line file, %lld entries with the %lld built-in ones, loaded in %.1f ms, about "
                "%ld KiB; %lld messages shown\n",
                kRangeLines, qint64(tables.rirTable().size()), qint64(WhoisTables::builtInRirEntries().size()),
                double(bestLoad) / 1e6, tableKiB, prompts.count);

    QStringList addresses;
    for (int i = 0; i < 4096; ++i)
        addresses << dotted(1 + random.bounded(0xDFFFFFFFu));
    qint64 found = 0;
    qsizetype next = 0;
    const Run lookups = runFor(kRunNs, [&] {
        found += tables.FindRirEntry(addresses.at(next)) >= 0 ? 1 : 0;
        next = (next + 1) % addresses.size();
    });
    std::printf("FindRirEntry, random addresses: %.0f look-ups/s, %.1f us each (%.0f%% in a block)\n",
                perSecond(lookups.steps, lookups.cpuNs), double(lookups.cpuNs) / double(lookups.steps) / 1e3,
                100.0 * double(found) / double(lookups.steps));

    const QString answer = whoisAnswer(kAnswerChars);
    QString list;
    const Run scans = runFor(kRunNs, [&] { list = GetEmailListFromText(answer, true); });
    std::printf("GetEmailListFromText, %lld-character WHOIS answer (%lld lines): %.1f ms a call, %.1f MB/s; "
                "%lld distinct addresses of %lld\n",
                qint64(answer.size()), qint64(answer.count(QLatin1Char('\n'))),
                double(scans.cpuNs) / double(scans.steps) / 1e6,
                perSecond(scans.steps * answer.size(), scans.cpuNs) / 1e6, qint64(list.count(QLatin1Char('\n'))),
                qint64(answer.count(QLatin1Char('@'))));
    std::printf("peak memory: %ld KiB\n", peakMemoryKiB());
    return 0;
}
