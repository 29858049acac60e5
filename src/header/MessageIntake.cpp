#include "header/MessageIntake.h"

#include "errors/ErrorHandler.h"
#include "header/Text.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

#include <QByteArrayMatcher>
#include <QFile>

#include <cstring>
#include <limits>

namespace nw {

using namespace text;

namespace {

constexpr qsizetype kHeaderLimit = 1300;
const QByteArray kReceivedFrom = QByteArrayLiteral("Received: from");
constexpr qint64 kTraceHeaderLimit = 256 * 1024;

const QString& truncationMarker()
{
    static const QString marker = QStringLiteral("<----MESSAGE TRUNCATED---->");
    return marker;
}

// The loaded form of `raw`: every line ends with CR LF. A line ends at LF (a CR before it is part of the
// line end); `toEnd` says the bytes run to the end of the file, where a last line without LF still gets
// its CR LF.
QString withCrLf(QByteArrayView raw, bool toEnd)
{
    QString out;
    out.reserve(raw.size() + raw.size() / 16 + 2);
    qsizetype from = 0;
    while (from < raw.size()) {
        const auto* hit = static_cast<const char*>(std::memchr(raw.data() + from, '\n', size_t(raw.size() - from)));
        if (!hit) {
            out.append(QLatin1StringView(raw.data() + from, raw.size() - from));
            if (toEnd)
                out.append(CrLf());
            break;
        }
        const qsizetype lf = hit - raw.data();
        out.append(QLatin1StringView(raw.data() + from, lf - from));
        if (lf > 0 && raw[lf - 1] == '\r')
            out.append(QLatin1Char('\n'));
        else
            out.append(CrLf());
        from = lf + 1;
    }
    return out;
}

// Line feeds without a CR before them: each gains one character in the loaded text.
qsizetype bareLineFeeds(QByteArrayView raw)
{
    qsizetype count = 0;
    for (qsizetype i = raw.indexOf('\n'); i >= 0; i = raw.indexOf('\n', i + 1))
        if (i == 0 || raw[i - 1] != '\r')
            ++count;
    return count;
}

// At most `limit` bytes from the file's current position. Throws RuntimeError 57 when the read fails.
QByteArray readUpTo(QFile& file, qsizetype limit)
{
    QByteArray bytes = file.read(limit);
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(57);
    return bytes;
}

// Whether "Received: from" occurs in the rest of the file, `carry` being the bytes just before it. Reads
// on in pieces, so a file of any size is searched in the same small memory.
bool followsLater(QFile& file, const QByteArray& carry)
{
    static const QByteArrayMatcher marker(kReceivedFrom);
    constexpr qsizetype kPiece = 1 << 20;
    const qsizetype overlap = carry.size();
    QByteArray buffer(overlap + kPiece, Qt::Uninitialized);
    std::memcpy(buffer.data(), carry.constData(), size_t(overlap));
    qsizetype held = overlap;
    for (;;) {
        const qint64 got = file.read(buffer.data() + held, kPiece);
        if (got < 0 || file.error() != QFileDevice::NoError)
            throw RuntimeError(57);
        if (got == 0)
            return false;
        held += got;
        if (marker.indexIn(buffer.constData(), held) >= 0)
            return true;
        // The last bytes may begin an occurrence that the next piece ends.
        std::memmove(buffer.data(), buffer.constData() + held - overlap, size_t(overlap));
        held = overlap;
    }
}

// Shows the hourglass for its lifetime.
class BusyPointer {
public:
    explicit BusyPointer(TextSink& view) : m_view(view) { m_view.setBusy(true); }
    ~BusyPointer() { m_view.setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    TextSink& m_view;
};

} // namespace

LoadedHeader loadHeader(QFile& file)
{
    // Works on the file's bytes and converts only the part that is shown: the loaded text differs from the
    // bytes only in its line ends, and "Received: from" holds none, so its first occurrence is the same in
    // both. Only the first kHeaderReadLimit bytes are kept: the first "Received: from" must start within
    // them to have a 16-bit position, and the header shown is 1300 characters from there.
    LoadedHeader loaded;
    try {
        const QByteArray raw = readUpTo(file, kHeaderReadLimit);
        const bool whole = raw.size() < kHeaderReadLimit || file.atEnd();
        qsizetype from = raw.indexOf(kReceivedFrom);
        if (from < 0 && !whole && followsLater(file, raw.right(kReceivedFrom.size() - 1)))
            from = kHeaderReadLimit; // beyond anything a 16-bit position reaches
        if (from < 0) {
            from = 0;
        } else if (from + bareLineFeeds(QByteArrayView(raw).first(qMin(from, raw.size()))) + 1 >
                   std::numeric_limits<qint16>::max()) {
            // Its position is kept in a 16-bit value; the view holds what was read when that fails.
            loaded.text = withCrLf(raw, whole);
            throw RuntimeError(6);
        }
        // The loaded text is never shorter than the bytes, so one byte past the limit is enough to
        // know whether the header exceeds it.
        const qsizetype length = qMin(raw.size() - from, kHeaderLimit + 1);
        loaded.text = withCrLf(QByteArrayView(raw).sliced(from, length), whole && from + length == raw.size());
        if (loaded.text.size() > kHeaderLimit)
            loaded.text = loaded.text.left(kHeaderLimit) + CrLf() + truncationMarker();
    } catch (const RuntimeError& e) {
        loaded.failure = e.description();
    } catch (const std::bad_alloc&) {
        loaded.failure = RuntimeError::standardErrorText(7);
    }
    return loaded;
}

void LoadMessageHeader(const QString& path, TextSink& view)
{
    LoadedHeader loaded;
    {
        BusyPointer busy(view);
        view.setText(QString());
        QFile file;
        try {
            TextFile::openRegular(file, QFile::encodeName(path));
            loaded = loadHeader(file);
        } catch (const RuntimeError& e) {
            loaded.failure = e.description();
        }
        view.setText(loaded.text);
    }
    if (!loaded.failure.isNull())
        msgBox(loaded.failure);
}

QString LoadTraceHeader(const QString& path)
{
    QFile file;
    try {
        TextFile::openRegular(file, QFile::encodeName(path));
    } catch (const RuntimeError&) {
        return QString();
    }
    const QByteArray raw = file.read(kTraceHeaderLimit);
    qsizetype end = raw.indexOf("\n\n");
    const qsizetype crlf = raw.indexOf("\n\r\n");
    if (end < 0 || (crlf >= 0 && crlf < end))
        end = crlf;
    return withCrLf(end < 0 ? QByteArrayView(raw) : QByteArrayView(raw).first(end + 1), true);
}

bool IsFullHeader(const QString& text) { return InStrUpper(1, text, QLatin1String("RECEIVED: FROM ")) != 0; }

int ReceivedLineCount(const QString& text)
{
    return runGuarded("ReceivedLineCount", 0, [&] {
        int count = -1;
        int p = 0;
        do {
            // The position is a 16-bit value: searching on from beyond 32,767 overflows.
            if (p >= std::numeric_limits<qint16>::max())
                throw RuntimeError(6);
            p = InStrUpper(p + 1, text, QLatin1String("RECEIVED: FROM"));
            ++count;
        } while (p != 0);
        return count;
    });
}

QString GetReceivedLine(const QString& text, int n)
{
    if (text.isEmpty() || n < 1)
        return QString();
    ReceivedLineCursor cursor(text);
    for (int i = 1; i < n; ++i)
        if (!cursor.skip())
            return QString();
    return cursor.next();
}

ReceivedLineCursor::ReceivedLineCursor(const QString& text) : m_text(text), m_lower(LCase(text))
{
    if (text.isEmpty())
        m_searchFrom = 0;
}

int ReceivedLineCursor::nextHit()
{
    if (m_searchFrom == 0)
        return 0;
    const int h = InStr(m_searchFrom, m_lower, QStringLiteral("received: "));
    m_searchFrom = h == 0 ? 0 : h + 2;
    return h;
}

bool ReceivedLineCursor::skip() { return nextHit() != 0; }

QString ReceivedLineCursor::next()
{
    const int h = nextHit();
    if (h == 0)
        return QString();
    const int s = h + 1;
    // The line ends where the next "Received:" header begins; the last one at the first "From: " or
    // "Message-ID:" header after it, or two characters before the end of the text.
    int e = InStr(s, m_lower, QStringLiteral("received: "));
    if (e == 0) {
        const int f = InStr(s, m_lower, QStringLiteral("from: "));
        const int m = InStr(s, m_lower, QStringLiteral("message-id:"));
        if (f < m)
            e = f != 0 ? f : m;
        else
            e = m != 0 ? m : f;
    }
    if (e == 0)
        e = int(m_text.size());
    const int length = e - h - 1;
    return length < 0 ? QString() : TrimSpaces(Mid(m_text, h, length));
}

} // namespace nw
