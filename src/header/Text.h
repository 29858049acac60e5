#pragma once

#include <QString>
#include <QStringList>

// The text helpers the analysis routines are written with. Positions are 1-based and 0 means "not
// found", so each algorithm reads step by step like its description and off-by-one errors live here.
namespace nw::text {

// Position of `what` in `text` at or after `start` (1-based), or 0. An empty `what` is found at `start`
// while `start` lies within the text.
int InStr(int start, const QString& text, const QString& what);
inline int InStr(const QString& text, const QString& what) { return InStr(1, text, what); }

// `length` characters of `text` from position `start` (1-based); a negative length means "to the end".
// Throws RuntimeError 5 for a start below 1, as the routines that skip failing steps rely on.
QString Mid(const QString& text, int start, int length = -1);
// Mid with an explicit length that must not be negative (RuntimeError 5 otherwise).
QString MidLength(const QString& text, int start, int length);
QString Left(const QString& text, int length);
QString Right(const QString& text, int length);

// Removes leading and trailing space characters (U+0020) only; tabs, CR and LF stay.
QString TrimSpaces(const QString& text);

// Splits at every occurrence of `delimiter`; an empty text gives an empty list.
QStringList Split(const QString& text, const QString& delimiter);

// Character-by-character case conversion, so positions in the converted text match the original.
QString UCase(const QString& text);
QString LCase(const QString& text);

// InStr(start, UCase(text), upperWhat) without making the upper-cased copy: for texts of any size.
int InStrUpper(int start, const QString& text, QLatin1StringView upperWhat);

inline const QString& CrLf()
{
    static const QString crlf = QStringLiteral("\r\n");
    return crlf;
}

} // namespace nw::text
