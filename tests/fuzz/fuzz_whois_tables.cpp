// The two look-up table files as the program folder holds them: the first byte chooses the range table
// (even) or the server table (odd), the rest is the file. A loaded table is then searched.
#include "FuzzSupport.h"

#include "whois/WhoisTables.h"

NW_FUZZ_TARGET(input)
{
    const auto [first, file] = split(input);
    WhoisTables tables;
    if (first % 2 == 0) {
        writeFile(QStringLiteral("whois.rir"), file);
        tables.LoadRirTable();
        for (const char* address : {"0.0.0.0", "10.1.2.3", "192.0.2.1", "255.255.255.255", "1.2"})
            require(tables.FindRirEntry(QLatin1String(address)) < tables.rirTable().size());
        return;
    }
    writeFile(QStringLiteral("whois.srv"), file);
    tables.LoadTldTable();
    for (const char* name : {"example.com", "a.b.co.uk", "", ".", "x..y", "*.*"}) {
        QString domain;
        const int index = tables.FindTldEntry(QLatin1String(name), &domain);
        require(index < tables.tldTable().size() && (index >= 0 || tables.tldTable().isEmpty()));
        for (const TldEntry& e : tables.tldTable())
            MatchLabels(QLatin1String(name), e.pattern);
    }
}
