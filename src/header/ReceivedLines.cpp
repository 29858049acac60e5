#include "header/ReceivedLines.h"

#include "header/Text.h"

#include <optional>

namespace nw {

using namespace text;

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// FindIPInText over a view: the run it keeps, or an empty view.
QStringView findIP(QStringView s)
{
    qsizetype start = 0;
    qsizetype length = 0; // the run is s[start, start + length)
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (isDigit(c) || c == QLatin1Char('.')) {
            if (length == 0)
                start = i;
            ++length;
            continue;
        }
        if (length > 8) {
            while (length > 0 && s.at(start + length - 1) == QLatin1Char('.'))
                --length;
            if (IsIPAddress(s.mid(start, length)))
                break;
        }
        length = 0;
    }
    const QStringView run = s.mid(start, length);
    return IsIPAddress(run) ? run : QStringView();
}

// The piece after "from" and before "by" (or ";", or the end), trimmed. Both words are found anywhere,
// also inside a host name. No value when "by" comes first: the line has no usable from part.
std::optional<QString> fromPart(const QString& line, const QString& lower)
{
    const int f = InStr(lower, QStringLiteral("from"));
    int b = InStr(lower, QStringLiteral("by"));
    if (b == 0)
        b = InStr(lower, QStringLiteral(";"));
    if (b == 0)
        b = int(line.size());
    if (b < f)
        return std::nullopt;
    const int length = b - f - 6;
    return length < 0 ? QString() : TrimSpaces(Mid(line, f + 5, length));
}

// The address inside the bracket that opens at `p`, or empty when the bracket does not close after it.
QString bracketAddress(const QString& part, int p)
{
    const int q = InStr(p, part, QStringLiteral("]"));
    return q > p ? TrimSpaces(FindIPInText(Mid(part, p, q - p))) : QString();
}

// The address of a from part: in the second bracket (the first when there is one), else in the third,
// else the first address anywhere in the part.
QString addressOf(const QString& part)
{
    QString result;
    // The second bracket first: mail servers write the connecting address after the HELO name.
    int p = InStr(part, QStringLiteral("["));
    if (p > 0) {
        const int second = InStr(p + 1, part, QStringLiteral("["));
        if (second > 0)
            p = second;
        result = bracketAddress(part, p);
        if (!IsIPAddress(result)) {
            p = InStr(p + 1, part, QStringLiteral("["));
            if (p > 0)
                result = bracketAddress(part, p);
        }
    }
    if (result.isEmpty())
        result = FindIPInText(part);
    return result;
}

// The sending host's name in a from part whose address is `ip`.
QString hostOf(const QString& part, const QString& ip)
{
    QString host = part;
    if (part.contains(QLatin1Char(' '))) {
        // The last word that looks like a name (holds a dot), passing over a trailing address. Two
        // spaces in a row make an empty word.
        const QList<QStringView> words = QStringView(part).split(QLatin1Char(' '));
        const qsizetype last = words.size() - 1;
        qsizetype k = findIP(words.at(last)).isEmpty() ? last : last - 1;
        for (; k >= 0; --k)
            if (words.at(k).contains(QLatin1Char('.')))
                break;
        host = TrimSpaces(words.at(qMax<qsizetype>(k, 0)).toString());
    }
    host.remove(QLatin1Char('('));
    host.remove(QLatin1Char(')'));
    host.remove(QLatin1Char('['));
    host.remove(QLatin1Char(']'));
    host.remove(CrLf());
    if (!ip.isEmpty())
        host.remove(ip);
    return TrimSpaces(host);
}

QString byHostOf(const QString& line, const QString& lower)
{
    const int b = InStr(lower, QStringLiteral("by"));
    if (b == 0)
        return QString();
    const int w = InStr(lower, QStringLiteral("with"));
    return w > b ? TrimSpaces(Mid(line, b + 2, w - b - 2)) : QString();
}

} // namespace

QString GetFromHost(const QString& line)
{
    if (line.isEmpty())
        return QString();
    const std::optional<QString> part = fromPart(line, LCase(line));
    return part ? hostOf(*part, addressOf(*part)) : QString();
}

QString GetReceivedIP(const QString& line)
{
    if (line.isEmpty())
        return QString();
    return addressOf(fromPart(line, LCase(line)).value_or(QString()));
}

QString GetByHost(const QString& line) { return line.isEmpty() ? QString() : byHostOf(line, LCase(line)); }

ReceivedHop splitReceivedLine(const QString& line)
{
    ReceivedHop hop;
    hop.line = line;
    if (line.isEmpty())
        return hop;
    const QString lower = LCase(line);
    const std::optional<QString> part = fromPart(line, lower);
    hop.ip = addressOf(part.value_or(QString()));
    if (part)
        hop.fromHost = hostOf(*part, hop.ip);
    hop.timeStamp = GetTimeStamp(line);
    hop.byHost = byHostOf(line, lower);
    return hop;
}

QString GetTimeStamp(const QString& line)
{
    if (line.isEmpty())
        return QString();
    const int s = InStr(line, QStringLiteral(";"));
    if (s == 0)
        return QString();
    const int e = InStr(s, line, CrLf());
    QString stamp;
    // The character after the semicolon is skipped. A line break right after it leaves no text to take.
    if (e == 0)
        stamp = TrimSpaces(Mid(line, s + 2));
    else if (e - s - 2 >= 0)
        stamp = TrimSpaces(Mid(line, s + 2, e - s - 2));
    // The stamp starts at the initial of an English weekday name.
    static const QString weekdayInitials = QStringLiteral("mMtTwWfFsS");
    qsizetype first = 0;
    while (first < stamp.size() && !weekdayInitials.contains(stamp.at(first)))
        ++first;
    return Left(stamp.mid(first), 31);
}

QString FindIPInText(const QString& s) { return findIP(s).toString(); }

bool IsIPAddress(QStringView s)
{
    if (s.size() < 7)
        return false;
    int parts = 1;
    int digits = 0; // in the current part
    int value = 0;
    for (const QChar c : s) {
        if (c == QLatin1Char('.')) {
            if (digits == 0 || value > 255 || ++parts > 4)
                return false;
            digits = value = 0;
        } else if (isDigit(c)) {
            ++digits;
            value = qMin(value * 10 + (c.unicode() - '0'), 256);
        } else {
            return false;
        }
    }
    return parts == 4 && digits > 0 && value <= 255;
}

} // namespace nw
