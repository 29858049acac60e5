// A WHOIS answer's free text: the addresses picked out of it and the one a complaint would go to.
#include "FuzzSupport.h"

#include "header/AddressList.h"

#include <QSet>

NW_FUZZ_TARGET(input)
{
    const QString text = QString::fromLatin1(input);
    const QStringList all = GetEmailListFromText(text, false).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    const QSet<QString> listed(all.cbegin(), all.cend());
    const QString unique = GetEmailListFromText(text, true);
    for (const QString& address : unique.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        require(listed.contains(address) && IsValidEmailAddress(address));
    // The chosen address is one of the list's.
    const QString picked = PickAbuseAddress(unique);
    require(picked.isEmpty() || listed.contains(picked));
}
