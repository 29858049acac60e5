// A WHOIS server's answer as it arrives: the first byte sets the size of the pieces, the rest is the
// answer. Each input gets a fresh client, so no referral or result of an earlier one carries over.
#include "FuzzSupport.h"

#include "whois/WhoIs.h"

#include <cstdlib>

using namespace nw;

namespace {
constexpr qsizetype kCap = 2048; // small, so that answers reach the bound
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::init();
    // Short tables keep the client's start cheap; the server table still gives referred servers a port.
    static const bool tables = [] {
        fuzz::writeFile(QStringLiteral("whois.rir"), "192.0.2.0/24\twhois.example.net\n");
        fuzz::writeFile(QStringLiteral("whois.srv"), "Fallback;INT;whois.iana.org;43\n"
                                                     "Example;NET;whois.example.net;4343\n");
        return true;
    }();
    Q_UNUSED(tables);
    const qsizetype piece = data[0] % 128 + 1;
    const QString answer = QString::fromLatin1(fuzz::bytesOf(data + 1, size - 1));
    {
        WhoIs whois;
        whois.setAnswerCap(kCap);
        whois.setAddress(QStringLiteral("192.0.2.1"));
        QString results;
        QObject::connect(&whois, &WhoIs::resultsChanged, [&](const QString& now) { results = now; });
        for (qsizetype at = 0; at < answer.size(); at += piece)
            whois.onChunk(answer.mid(at, piece));
        // The results hold what arrived, with CR LF line ends, up to the bound.
        QString expected = answer;
        expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        if (results.size() > kCap || !expected.startsWith(results))
            std::abort();
    }
    fuzz::afterInput();
    return 0;
}
