#include "platform/HttpAnswer.h"

#include <QList>

#include <algorithm>

namespace nw {

namespace {
const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kHeaderEnd = QByteArrayLiteral("\r\n\r\n");
} // namespace

void HttpAnswer::feed(const QByteArray& bytes)
{
    if (ended() || bytes.isEmpty())
        return;
    m_in += bytes;
    if (!m_headerDone)
        parseHeader();
    if (m_headerDone && !ended())
        parseBody();
}

void HttpAnswer::closed()
{
    if (m_headerDone && !ended() && !m_chunked && m_remaining < 0)
        m_complete = true;
}

void HttpAnswer::fail(const QString& why)
{
    if (m_failure.isEmpty() && !m_complete)
        m_failure = why;
    m_in.clear();
}

bool HttpAnswer::lineTooLong(qsizetype length)
{
    if (length <= kMaxLine)
        return false;
    fail(QStringLiteral("The server sent a line longer than %1 bytes.").arg(kMaxLine));
    return true;
}

QByteArray HttpAnswer::field(const QByteArray& name) const
{
    const QList<QByteArray> lines = m_header.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QByteArray HttpAnswer::take(qsizetype maxBytes)
{
    const QByteArray out = m_body.left(maxBytes);
    m_body.remove(0, out.size());
    return out;
}

void HttpAnswer::parseHeader()
{
    const qsizetype end = m_in.indexOf(kHeaderEnd, std::max<qsizetype>(0, m_scanned - 3));
    const qsizetype limit = end < 0 ? m_in.size() : end + 2;
    // Each line, finished or not, within the bound.
    for (qsizetype i = m_scanned; i < limit; ++i)
        if (m_in.at(i) == '\n') {
            if (lineTooLong(i - m_lineStart))
                return;
            m_lineStart = i + 1;
        }
    if (lineTooLong(limit - m_lineStart))
        return;
    if ((end < 0 ? m_in.size() : end + 4) > kMaxHeader) {
        fail(QStringLiteral("The server sent a header larger than %1 bytes.").arg(kMaxHeader));
        return;
    }
    if (end < 0) {
        m_scanned = m_in.size();
        return;
    }
    m_header = m_in.left(end + 4);
    m_in.remove(0, end + 4);
    m_scanned = 0;
    m_headerDone = true;
    // RFC 9112 6.3: chunked wins over a length; any other coding runs to the close.
    const QByteArray coding = field("Transfer-Encoding").toLower();
    m_chunked = coding.trimmed().endsWith("chunked");
    const QByteArray length = field("Content-Length");
    if (coding.isEmpty() && !length.isEmpty()) {
        bool ok = false;
        m_length = length.toLongLong(&ok);
        if (!ok || !std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            m_length = -1;
            fail(QStringLiteral("The server sent an invalid Content-Length."));
            return;
        }
        m_remaining = m_length;
    }
    const int status = m_header.mid(9, 3).toInt();
    if (status == 204 || status == 304 || (status >= 100 && status < 200)) {
        m_chunked = false;
        m_length = 0;
        m_remaining = 0;
    }
}

void HttpAnswer::parseBody()
{
    if (!m_chunked) {
        const qsizetype n = m_remaining < 0 ? m_in.size() : qsizetype(std::min<qint64>(m_in.size(), m_remaining));
        m_body += QByteArrayView(m_in).first(n);
        m_in.clear(); // bytes past the announced length are not ours
        if (m_remaining >= 0)
            m_remaining -= n;
        m_complete = m_remaining == 0;
        return;
    }
    // RFC 9112 7.1: size line, data, CR LF; a zero size ends the body (trailers are not needed).
    qsizetype at = 0;
    for (;;) {
        if (m_chunkLeft > 0) {
            const qsizetype n = qsizetype(std::min<qint64>(m_in.size() - at, m_chunkLeft));
            m_body += QByteArrayView(m_in).sliced(at, n);
            at += n;
            m_chunkLeft -= n;
            if (m_chunkLeft > 0)
                break;
            m_chunkLeft = -2;
        }
        if (m_chunkLeft == -2) {
            if (m_in.size() - at < 2)
                break;
            if (QByteArrayView(m_in).sliced(at, 2) != kCrLf) {
                fail(QStringLiteral("The server sent a chunk that does not end where its size says."));
                return;
            }
            at += 2;
            m_chunkLeft = 0;
        }
        const qsizetype eol = m_in.indexOf(kCrLf, std::max(at, m_scanned - 1));
        if (eol < 0) {
            m_scanned = m_in.size();
            // A CR at the end may begin the line's CR LF.
            lineTooLong(m_in.size() - at - (m_in.endsWith('\r') ? 1 : 0));
            break;
        }
        if (lineTooLong(eol - at))
            return;
        const QByteArray sizeText = m_in.mid(at, eol - at).split(';').first().trimmed();
        at = eol + 2;
        bool ok = !sizeText.isEmpty() && std::all_of(sizeText.begin(), sizeText.end(), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        });
        const qint64 size = ok ? sizeText.toLongLong(&ok, 16) : 0;
        if (!ok) {
            fail(QStringLiteral("The server sent an invalid chunk size."));
            return;
        }
        if (size == 0) {
            m_complete = true;
            break;
        }
        m_chunkLeft = size;
    }
    m_in.remove(0, at);
    m_scanned = std::max<qsizetype>(0, m_scanned - at);
    if (ended())
        m_in.clear();
}

} // namespace nw
