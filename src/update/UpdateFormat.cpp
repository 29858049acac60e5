#include "update/UpdateFormat.h"

#include "errors/ErrorHandler.h"

#include <cmath>

namespace nw {

QString formatNumber(double value, const QString& pattern)
{
    QString p = pattern;
    QString suffix;
    if (p.endsWith(QLatin1Char('%'))) {
        p.chop(1);
        value *= 100;
        suffix = QStringLiteral("%");
    }
    const qsizetype dot = p.indexOf(QLatin1Char('.'));
    const QString intPattern = dot < 0 ? p : p.left(dot);
    const int decimals = dot < 0 ? 0 : int(p.size() - dot - 1);
    const int minDigits = int(intPattern.count(QLatin1Char('0')));

    // Rounded half away from zero, as display formats do.
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(std::fabs(value) * scale) / scale;
    QString digits = QString::number(rounded, 'f', decimals);
    QString whole = dot < 0 ? digits : digits.section(QLatin1Char('.'), 0, 0);
    const QString fraction = dot < 0 ? QString() : digits.section(QLatin1Char('.'), 1);
    if (whole == QLatin1String("0") && minDigits == 0)
        whole.clear();
    while (whole.size() < minDigits)
        whole.prepend(QLatin1Char('0'));
    QString out = value < 0 && rounded != 0 ? QStringLiteral("-") + whole : whole;
    if (dot >= 0)
        out += QLatin1Char('.') + fraction;
    return out + suffix;
}

QString FormatFileSize(double bytes, const QString& format)
{
    return runGuarded("FormatFileSize", QString(), [&] {
        if (bytes >= 0 && bytes < 1024)
            return QString::number(bytes, 'g', 15) + QStringLiteral(" bytes");
        if (bytes >= 1024 && bytes < 1048576)
            return formatNumber(bytes / 1024, format.isEmpty() ? QStringLiteral("###0") : format) +
                   QStringLiteral(" KB");
        if (bytes >= 1048576 && bytes < 1073741824)
            return formatNumber(bytes / 1048576, format.isEmpty() ? QStringLiteral("###0.0") : format) +
                   QStringLiteral(" MB");
        return formatNumber(bytes / 1073741824, format.isEmpty() ? QStringLiteral("###0.0") : format) +
               QStringLiteral(" GB");
    });
}

QString FormatTime(double seconds)
{
    return runGuarded("FormatTime", QString(), [&] {
        // An estimate that cannot be made yet reads as no time rather than nonsense.
        const double s = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
        if (s < 60)
            return formatNumber(s, QStringLiteral("0")) + QStringLiteral(" sec");
        if (s < 3600)
            return formatNumber(std::floor(s / 60), QStringLiteral("#0")) + QStringLiteral(" min ") +
                   formatNumber(std::fmod(std::round(s), 60), QStringLiteral("0")) + QStringLiteral(" sec");
        return formatNumber(std::floor(s / 3600), QStringLiteral("#0")) + QStringLiteral(" hr ") +
               formatNumber(std::fmod(std::round(s / 60), 60), QStringLiteral("0")) + QStringLiteral(" min");
    });
}

QString CompactLabelText(const QString& text, const std::function<bool(const QString&)>& fits)
{
    QString out = text;
    int n = int(text.size()) / 2 - 2;
    while (!fits(out) && n >= 4) {
        out = text.left(n) + QStringLiteral("...") + text.right(n);
        --n;
    }
    return out;
}

QString ReturnFileOrFolder(const QString& path, bool returnFile, bool isURL)
{
    return runGuarded("ReturnFileOrFolder", QString(), [&] {
        qsizetype p = path.lastIndexOf(QLatin1Char('/'));
        if (!isURL)
            p = std::max(p, path.lastIndexOf(QLatin1Char('\\')));
        if (p < 0)
            return path;
        return returnFile ? path.mid(p + 1) : path.left(p + 1);
    });
}

} // namespace nw
