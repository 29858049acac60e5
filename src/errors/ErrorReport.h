#pragma once

#include <QString>

namespace nw {

// The mail that reports an error to the vendor's support: CR LF between lines, none after the stack.
QString errorReportBody(const QString& date, const QString& number, const QString& description,
                        const QString& userDescription, const QString& stack);

// "Product ERROR: Nettlewright 2.0.1"
QString errorReportSubject();

} // namespace nw
