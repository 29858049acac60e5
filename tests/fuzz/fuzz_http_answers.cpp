// An HTTP server's answer as the transfer receives it: the first byte sets the size of the pieces, the rest
// is the answer. Read in pieces it must give what it gives read whole, within the bounds on lines and the
// header, whatever the server sends.
#include "FuzzSupport.h"

#include "platform/HttpAnswer.h"

#include <cstdlib>

using namespace nw;

namespace {

struct Reading {
    QByteArray header;
    QByteArray body;
    bool complete = false;
    bool failed = false;
};

Reading readInPieces(const QByteArray& answer, qsizetype piece)
{
    HttpAnswer http;
    Reading r;
    for (qsizetype at = 0; at < answer.size(); at += piece) {
        http.feed(answer.mid(at, piece));
        // A header still open after more than its bound has failed.
        if (!http.headerDone() && http.failure().isEmpty() && std::min(at + piece, answer.size()) > HttpAnswer::kMaxHeader)
            std::abort();
        r.body += http.take(1024);
    }
    http.closed();
    while (http.available() > 0)
        r.body += http.take(1024);
    r.header = http.header();
    r.complete = http.complete();
    r.failed = !http.failure().isEmpty();
    if (r.complete && r.failed)
        std::abort();
    if (r.complete && http.contentLength() >= 0 && r.body.size() != http.contentLength())
        std::abort();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    fuzz::init();
    const auto [piece, answer] = fuzz::piecedInput(data, size);
    const Reading pieces = readInPieces(answer, piece);
    const Reading whole = readInPieces(answer, std::max<qsizetype>(answer.size(), 1));
    if (pieces.header != whole.header || pieces.body != whole.body || pieces.complete != whole.complete ||
        pieces.failed != whole.failed || pieces.body.size() > answer.size())
        std::abort();
    fuzz::afterInput();
    return 0;
}
