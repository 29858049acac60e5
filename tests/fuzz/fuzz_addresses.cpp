// A WHOIS answer's free text: the addresses picked out of it and the one a complaint would go to.
#include "FuzzSupport.h"

#include "header/AddressList.h"

#include <QSet>

#include <cstdlib>

using namespace nw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::init();
    const QString text = QString::fromLatin1(fuzz::bytesOf(data, size));
    const QString all = GetEmailListFromText(text, false);
    const QString unique = GetEmailListFromText(text, true);
    const QStringList allList = all.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QSet<QString> listed(allList.cbegin(), allList.cend());
    for (const QString& address : unique.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        if (!listed.contains(address) || !IsValidEmailAddress(address))
            std::abort();
    // The chosen address is one of the list's.
    const QString picked = PickAbuseAddress(unique);
    if (!picked.isEmpty() && !listed.contains(picked))
        std::abort();
    fuzz::afterInput();
    return 0;
}
