// The two look-up table files as the program folder holds them: the first byte chooses the range table
// (even) or the server table (odd), the rest is the file. A loaded table is then searched.
#include "FuzzSupport.h"

#include "whois/WhoisTables.h"

#include <cstdlib>

using namespace nw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::init();
    const QByteArray file = fuzz::bytesOf(data + 1, size - 1);
    WhoisTables tables;
    if (data[0] % 2 == 0) {
        fuzz::writeFile(QStringLiteral("whois.rir"), file);
        tables.LoadRirTable();
        for (const char* address : {"0.0.0.0", "10.1.2.3", "192.0.2.1", "255.255.255.255", "1.2"}) {
            const int index = tables.FindRirEntry(QLatin1String(address));
            if (index >= tables.rirTable().size())
                std::abort();
        }
    } else {
        fuzz::writeFile(QStringLiteral("whois.srv"), file);
        tables.LoadTldTable();
        for (const char* name : {"example.com", "a.b.co.uk", "", ".", "x..y", "*.*"}) {
            QString domain;
            const int index = tables.FindTldEntry(QLatin1String(name), &domain);
            if (index >= tables.tldTable().size() || (index < 0 && !tables.tldTable().isEmpty()))
                std::abort();
            for (const TldEntry& e : tables.tldTable())
                MatchLabels(QLatin1String(name), e.pattern);
        }
    }
    fuzz::afterInput();
    return 0;
}
