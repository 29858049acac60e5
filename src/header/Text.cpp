#include "header/Text.h"

#include "errors/RuntimeError.h"

namespace nw::text {

int InStr(int start, const QString& text, const QString& what)
{
    if (start < 1)
        throw RuntimeError(5);
    if (start > text.size())
        return 0;
    if (what.isEmpty())
        return start;
    return int(text.indexOf(what, start - 1)) + 1;
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
QChar upper(QChar c)
{
    if (c.unicode() < 0x80)
        return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 0x20) : c;
    return c.toUpper();
}

QChar lower(QChar c)
{
    if (c.unicode() < 0x80)
        return c >= QLatin1Char('A') && c <= QLatin1Char('Z') ? QChar(c.unicode() + 0x20) : c;
    return c.toLower();
}
} // namespace

QString UCase(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = upper(c);
    return out;
}

QString LCase(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = lower(c);
    return out;
}

int InStrUpper(int start, const QString& text, QLatin1StringView upperWhat)
{
    if (start < 1)
        throw RuntimeError(5);
    if (start > text.size())
        return 0;
    if (upperWhat.isEmpty())
        return start;
    const qsizetype last = text.size() - upperWhat.size();
    for (qsizetype i = start - 1; i <= last; ++i) {
        qsizetype k = 0;
        while (k < upperWhat.size() && upper(text.at(i + k)) == upperWhat.at(k))
            ++k;
        if (k == upperWhat.size())
            return int(i + 1);
    }
    return 0;
}

} // namespace nw::text
