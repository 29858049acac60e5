#include "errors/RuntimeError.h"

namespace nw {

QString RuntimeError::standardErrorText(int number)
{
    switch (number) {
    case 5: return QStringLiteral("Invalid procedure call or argument");
    case 6: return QStringLiteral("Overflow");
    case 7: return QStringLiteral("Out of memory");
    case 9: return QStringLiteral("Subscript out of range");
    case 11: return QStringLiteral("Division by zero");
    case 13: return QStringLiteral("Type mismatch");
    case 52: return QStringLiteral("Bad file name or number");
    case 53: return QStringLiteral("File not found");
    case 57: return QStringLiteral("Device I/O error");
    case 61: return QStringLiteral("Disk full");
    case 70: return QStringLiteral("Permission denied");
    case 75: return QStringLiteral("Path/File access error");
    case 76: return QStringLiteral("Path not found");
    case 91: return QStringLiteral("Object variable or With block variable not set");
    case 380: return QStringLiteral("Invalid property value");
    case 382: return QStringLiteral("Set not supported at runtime");
    case 393: return QStringLiteral("Get not supported at runtime");
    case 394: return QStringLiteral("Get not supported (property is write-only)");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

} // namespace nw
