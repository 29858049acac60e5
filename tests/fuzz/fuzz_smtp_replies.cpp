// A mail server's replies as they arrive: the first byte sets the size of the pieces, the rest is what the
// server sends. Read in pieces, the replies must come out as read in one go, within the reply bounds.
#include "FuzzSupport.h"

#include "mail/SMTP.h"

NW_FUZZ_TARGET(input)
{
    const auto [first, sent] = split(input);
    const qsizetype piece = first % 64 + 1;
    const auto drain = [](SmtpReplies& replies) {
        QList<std::pair<QString, QStringList>> out;
        while (!replies.isEmpty()) {
            const SmtpReplies::Reply reply = replies.takeFirst();
            require(reply.code.size() <= 3 && reply.lines.size() <= 512);
            out.append({reply.code, reply.lines});
        }
        return out;
    };
    SmtpReplies whole, pieces;
    whole.append(sent);
    for (qsizetype at = 0; at < sent.size(); at += piece)
        pieces.append(sent.mid(at, piece));
    require(drain(whole) == drain(pieces));
}
