// Uuencoded attachments: with an even first byte the rest is decoded as received text; with an odd one the
// rest is a file that is encoded as a send attaches it (with CR LF line ends when the first byte is 3 modulo
// 4) and decoded again, which must give it back.
#include "FuzzSupport.h"

#include "mail/SMTP.h"

NW_FUZZ_TARGET(input)
{
    const auto [first, rest] = split(input);
    const QString decoded = programFolder() + QStringLiteral("/decoded.bin");
    if (first % 2 == 0)
        return SMTP::UUDecodeToFile(QString::fromLatin1(rest), decoded);
    static SMTP smtp;
    QString text = smtp.UUEncodeFile(writeFile(QStringLiteral("attachment.bin"), rest));
    // Taken back from a received mail it has CR LF line ends.
    if (first % 4 == 3)
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    SMTP::UUDecodeToFile(text, decoded);
    require(QFile::exists(decoded) && test::fileBytes(decoded) == rest);
}
