#pragma once

#include <QByteArray>
#include <QString>

namespace nw {

// The answer to one HTTP/1.1 request as its bytes arrive, in pieces of any size: the header, then the
// body in the framing the header chose (RFC 9112 section 6). Every line it waits for is bounded, so a
// server that never ends one costs a few KiB, not memory without limit.
class HttpAnswer {
public:
    // Longest status, header or chunk-size line taken, and longest header.
    static constexpr qsizetype kMaxLine = 8192;
    static constexpr qsizetype kMaxHeader = 64 * 1024;

    // Takes the next received bytes. Ignored once the answer has ended or failed.
    void feed(const QByteArray& bytes);
    // The server closed the connection in order: a body without a length ends here.
    void closed();

    bool headerDone() const { return m_headerDone; }
    // The status line and fields, ended by the empty line.
    const QByteArray& header() const { return m_header; }
    // One field's value (the first of that name), empty when absent.
    QByteArray field(const QByteArray& name) const;
    // The body's length as the header announced it; -1 when it is not known in advance (chunked, or up
    // to the connection's close).
    qint64 contentLength() const { return m_chunked ? -1 : m_length; }

    qint64 available() const { return m_body.size(); }
    QByteArray take(qsizetype maxBytes);

    // The body ended where its framing says (its length, the last chunk, or an orderly close).
    bool complete() const { return m_complete; }
    // Why the answer cannot be read further, empty while it can.
    const QString& failure() const { return m_failure; }
    // Ends the answer with a failure that came from outside the bytes (TLS, say).
    void fail(const QString& why);
    bool ended() const { return m_complete || !m_failure.isEmpty(); }

private:
    void parseHeader();
    void parseBody();
    bool lineTooLong(qsizetype length);

    QByteArray m_in;     // received, not yet parsed
    QByteArray m_header; // the status line and fields, ended by an empty line
    QByteArray m_body;   // parsed body bytes not yet taken
    qsizetype m_scanned = 0;   // m_in before this holds no end of the awaited line or header
    qsizetype m_lineStart = 0; // where the header line being received starts in m_in
    bool m_headerDone = false;
    bool m_chunked = false;
    bool m_complete = false;
    qint64 m_length = -1;   // announced body length, -1 when none
    qint64 m_remaining = -1; // body bytes still expected (-1: until the connection closes)
    qint64 m_chunkLeft = 0;  // data bytes left in the current chunk; -2 while its CR LF is due
    QString m_failure;
};

} // namespace nw
