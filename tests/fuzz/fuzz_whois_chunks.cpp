// A WHOIS server's answer as it arrives: the first byte sets the size of the pieces, the rest is the
// answer. Each input gets a fresh client, so no referral or result of an earlier one carries over.
#include "FuzzSupport.h"

#include "whois/WhoIs.h"

NW_FUZZ_TARGET(input)
{
    constexpr qsizetype kCap = 2048; // small, so that answers reach the bound
    // Short tables keep the client's start cheap; the server table still gives referred servers a port.
    [[maybe_unused]] static const bool tables =
        (writeFile(QStringLiteral("whois.rir"), "192.0.2.0/24\twhois.example.net\n"),
         writeFile(QStringLiteral("whois.srv"), "Fallback;INT;whois.iana.org;43\nExample;NET;whois.example.net;4343\n"),
         true);
    const auto [first, rest] = split(input);
    const qsizetype piece = first % 128 + 1;
    const QString answer = QString::fromLatin1(rest);
    WhoIs whois;
    whois.setAnswerCap(kCap);
    whois.setAddress(QStringLiteral("192.0.2.1"));
    QString results;
    QObject::connect(&whois, &WhoIs::resultsChanged, [&](const QString& now) { results = now; });
    for (qsizetype at = 0; at < answer.size(); at += piece)
        whois.onChunk(answer.mid(at, piece));
    // The results hold what arrived, with CR LF line ends, up to the bound.
    require(results.size() <= kCap &&
            QString(answer).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).startsWith(results));
}
