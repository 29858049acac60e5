// Uuencoded attachments: with an even first byte the rest is decoded as received text; with an odd one the
// rest is a file that is encoded as a send attaches it (with CR LF line ends when the first byte is 3 modulo
// 4) and decoded again, which must give it back.
#include "FuzzSupport.h"

#include "mail/SMTP.h"

#include <QFile>

#include <cstdlib>

using namespace nw;

namespace {
QByteArray readBack(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::init();
    const QByteArray rest = fuzz::bytesOf(data + 1, size - 1);
    const QString decoded = fuzz::programFolder() + QStringLiteral("/decoded.bin");
    if (data[0] % 2 == 0) {
        SMTP::UUDecodeToFile(QString::fromLatin1(rest), decoded);
    } else {
        static SMTP smtp;
        QString text = smtp.UUEncodeFile(fuzz::writeFile(QStringLiteral("attachment.bin"), rest));
        // Taken back from a received mail it has CR LF line ends.
        if (data[0] % 4 == 3)
            text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        SMTP::UUDecodeToFile(text, decoded);
        if (readBack(decoded) != rest)
            std::abort();
    }
    fuzz::afterInput();
    return 0;
}
