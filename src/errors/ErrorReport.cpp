#include "errors/ErrorReport.h"

#include "platform/AppInfo.h"

#include <QStringList>

namespace nw {

QString errorReportBody(const QString& date, const QString& number, const QString& description,
                        const QString& userDescription, const QString& stack)
{
    const QString rule(28, QLatin1Char('-'));
    return QStringList{QStringLiteral("[Date] ") + date,
                       QStringLiteral("[Error Number] ") + number,
                       QStringLiteral("[Error Description]"),
                       description,
                       QString(),
                       rule,
                       QStringLiteral("[Users Description] "),
                       userDescription,
                       QString(),
                       rule,
                       QStringLiteral("[PROCEDURE STACK DUMP]"),
                       stack}
        .join(QStringLiteral("\r\n"));
}

QString errorReportSubject()
{
    return QStringLiteral("Product ERROR: ") + appTitle() + QLatin1Char(' ') + versionText();
}

} // namespace nw
