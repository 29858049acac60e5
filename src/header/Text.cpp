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

QString UCase(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = c.toUpper();
    return out;
}

QString LCase(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        c = c.toLower();
    return out;
}

} // namespace nw::text
