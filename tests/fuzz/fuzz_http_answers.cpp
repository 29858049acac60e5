// An HTTP server's answer as the transfer receives it: the first byte sets the size of the pieces, the rest
// is the answer. Read in pieces it must give what it gives read whole, within the bounds on lines and the
// header, whatever the server sends.
#include "FuzzSupport.h"

#include "platform/HttpAnswer.h"

NW_FUZZ_TARGET(input)
{
    const auto [first, rest] = split(input);
    // Header, body, complete, failed. (clang 14 captures no structured binding but an initialised name.)
    const auto readInPieces = [&answer = rest](qsizetype piece) {
        HttpAnswer http;
        QByteArray body;
        for (qsizetype at = 0; at < answer.size(); at += piece) {
            http.feed(answer.mid(at, piece));
            // A header still open after more than its bound has failed.
            require(http.headerDone() || !http.failure().isEmpty() ||
                    std::min(at + piece, answer.size()) <= HttpAnswer::kMaxHeader);
            body += http.take(1024);
        }
        http.closed();
        while (http.available() > 0)
            body += http.take(1024);
        const bool complete = http.complete(), failed = !http.failure().isEmpty();
        require(!(complete && failed) && body.size() <= answer.size() &&
                (!complete || http.contentLength() < 0 || body.size() == http.contentLength()));
        return std::tuple(http.header(), body, complete, failed);
    };
    require(readInPieces(first % 64 + 1) == readInPieces(std::max<qsizetype>(rest.size(), 1)));
}
