// A mail server's replies as they arrive: the first byte sets the size of the pieces, the rest is what the
// server sends. Read in pieces, the replies must come out as read in one go.
#include "FuzzSupport.h"

#include "mail/SMTP.h"

#include <cstdlib>

using namespace nw;

namespace {
QList<SmtpReplies::Reply> drain(SmtpReplies& replies)
{
    QList<SmtpReplies::Reply> out;
    while (!replies.isEmpty())
        out << replies.takeFirst();
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::init();
    const auto [piece, sent] = fuzz::piecedInput(data, size);

    SmtpReplies whole;
    whole.append(sent);
    SmtpReplies pieces;
    for (qsizetype at = 0; at < sent.size(); at += piece)
        pieces.append(sent.mid(at, piece));
    const QList<SmtpReplies::Reply> a = drain(whole);
    const QList<SmtpReplies::Reply> b = drain(pieces);
    if (a.size() != b.size())
        std::abort();
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a.at(i).code != b.at(i).code || a.at(i).lines != b.at(i).lines || a.at(i).code.size() > 3 ||
            a.at(i).lines.size() > 512)
            std::abort();
    fuzz::afterInput();
    return 0;
}
