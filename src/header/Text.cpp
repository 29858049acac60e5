#include "header/Text.h"

#include "errors/RuntimeError.h"

#include <string>

namespace nw::text {

namespace {

// The character a search looks for first: the first one that is neither a letter, a digit nor a space,
// which is rare in mail headers, so few candidates need the whole needle compared.
template <typename View> qsizetype anchorOf(View what)
{
    for (qsizetype i = 0; i < what.size(); ++i) {
        const char16_t c = what.at(i).unicode();
        if (!(c == u' ' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return i;
    }
    return 0;
}

// The analysis makes many short searches in the same 1300 characters: jumping between occurrences of
// the needle's rarest-looking character with the vectorised character search, and comparing the rest
// only there, costs far less than a general string search.
qsizetype find(QStringView text, qsizetype from, QStringView what)
{
    const qsizetype anchor = anchorOf(what);
    const qsizetype last = text.size() - what.size();
    for (qsizetype at = from + anchor; from <= last; at = from + anchor) {
        at = text.indexOf(what.at(anchor), at);
        if (at < 0 || at - anchor > last)
            return -1;
        from = at - anchor;
        if (text.sliced(from, what.size()) == what)
            return from;
        ++from;
    }
    return -1;
}

} // namespace

int InStr(int start, const QString& text, const QString& what)
{
    if (start < 1)
        throw RuntimeError(5);
    if (start > text.size())
        return 0;
    if (what.isEmpty())
        return start;
    return int(find(text, start - 1, what)) + 1;
}

QString Mid(const QString& text, int start, int length)
{
    if (start < 1)
        throw RuntimeError(5);
    if (start > text.size())
        return QString();
    return length < 0 ? text.mid(start - 1) : text.mid(start - 1, length);
}

QString MidLength(const QString& text, int start, int length)
{
    if (length < 0)
        throw RuntimeError(5);
    return Mid(text, start, length);
}

QString Left(const QString& text, int length)
{
    if (length < 0)
        throw RuntimeError(5);
    return text.left(length);
}

QString Right(const QString& text, int length)
{
    if (length < 0)
        throw RuntimeError(5);
    return text.right(length);
}

QString TrimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QStringList Split(const QString& text, const QString& delimiter)
{
    if (text.isEmpty())
        return {};
    return text.split(delimiter, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

namespace {

// ASCII takes the short way; the result is the same as QChar's own conversion.
char16_t upper(char16_t c)
{
    if (c < 0x80)
        return char16_t(unsigned(c - u'a') < 26u ? c - 0x20 : c);
    return QChar(c).toUpper().unicode();
}

// Converts ASCII letters in a loop the compiler vectorises, then the rest one by one when there is any.
template <bool toUpper> QString convertCase(const QString& text)
{
    QString out = text;
    const qsizetype n = out.size();
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    constexpr char16_t from = toUpper ? u'a' : u'A';
    char16_t beyondAscii = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i];
        beyondAscii |= c & 0xFF80;
        d[i] = char16_t(unsigned(c - from) < 26u ? (toUpper ? c - 0x20 : c + 0x20) : c);
    }
    if (beyondAscii)
        for (qsizetype i = 0; i < n; ++i)
            if (d[i] >= 0x80)
                d[i] = toUpper ? QChar(d[i]).toUpper().unicode() : QChar(d[i]).toLower().unicode();
    return out;
}

} // namespace

QString UCase(const QString& text) { return convertCase<true>(text); }

QString LCase(const QString& text) { return convertCase<false>(text); }

int InStrUpper(int start, const QString& text, QLatin1StringView upperWhat)
{
    if (start < 1)
        throw RuntimeError(5);
    if (start > text.size())
        return 0;
    if (upperWhat.isEmpty())
        return start;
    const auto* d = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype last = text.size() - upperWhat.size();
    const char16_t first = char16_t(upperWhat.front().unicode());
    const char16_t firstLower = QChar(first).toLower().unicode();
    const auto restMatches = [&](qsizetype i) {
        qsizetype k = 1;
        while (k < upperWhat.size() && upper(d[i + k]) == char16_t(upperWhat.at(k).unicode()))
            ++k;
        return k == upperWhat.size();
    };
    // A needle with a character other than a letter (which has no other case) finds its candidates with
    // the vectorised character search.
    const qsizetype anchor = anchorOf(upperWhat);
    const char16_t anchorChar = char16_t(upperWhat.at(anchor).unicode());
    if (!QChar(anchorChar).isLetter()) {
        const QStringView view(text);
        for (qsizetype i = start - 1; i <= last; ++i) {
            const qsizetype at = view.indexOf(QChar(anchorChar), i + anchor);
            if (at < 0 || at - anchor > last)
                return 0;
            i = at - anchor;
            if (upper(d[i]) == first && restMatches(i))
                return int(i + 1);
        }
        return 0;
    }
    // Besides its two ASCII forms, only dotless i and long s upper-case to an ASCII letter (I and S).
    const bool asciiOnly = first != u'I' && first != u'S';
    for (qsizetype i = start - 1; i <= last; ++i)
        if ((d[i] == first || d[i] == firstLower || (!asciiOnly && upper(d[i]) == first)) && restMatches(i))
            return int(i + 1);
    return 0;
}

} // namespace nw::text
