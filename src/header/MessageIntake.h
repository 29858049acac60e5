#pragma once

#include "header/TextSink.h"

#include <QString>

class QFile;

// Turning a saved message into the header text the analysis reads, and the primitive operations on it.
namespace nw {

// The most of a message file that loading keeps. The first "Received: from" has a 16-bit position, so it
// starts within the first 32,766 bytes; the header shown runs at most 1300 characters from there, and one
// byte more tells that it was cut.
inline constexpr qsizetype kHeaderReadLimit = 32766 + 1300 + 1;

// What loading a message leaves in the view, and the failure to show (null when none).
struct LoadedHeader {
    QString text;
    QString failure;
};

// Loads the header from a file open for reading, as LoadMessageHeader does, holding at most
// kHeaderReadLimit bytes of it (and a megabyte more while it looks for a "Received: from" too far down).
LoadedHeader loadHeader(QFile& file);

// Loads the message file at `path` into `view`: CR LF line ends, from the first "Received: from" on, at
// most 1300 characters and then a truncation marker. Failures are shown in a message box; `view` then
// keeps what it held at that moment.
void LoadMessageHeader(const QString& path, TextSink& view);

// The header section of the message file at `path` (up to its first empty line, at most 256 KiB) with
// CR LF line ends; empty when the file cannot be read. The walk past the own hops reads every
// "Received:" field, not only those within the 1300 characters LoadMessageHeader shows.
QString LoadTraceHeader(const QString& path);

// The upper-cased text contains "RECEIVED: FROM " (with the space).
bool IsFullHeader(const QString& text);

// Occurrences of "RECEIVED: FROM" in the upper-cased text.
int ReceivedLineCount(const QString& text);

// The n-th "Received:" line (n from 1), with the CR before the next header line; empty when there is none.
QString GetReceivedLine(const QString& text, int n);

// Walks the "Received:" lines of a text one after another, cutting each as GetReceivedLine does while
// lower-casing the text only once.
class ReceivedLineCursor {
public:
    explicit ReceivedLineCursor(const QString& text);
    // The next line, or empty once there is none.
    QString next();
    // Passes over the next line without cutting it; false once there is none.
    bool skip();

private:
    int nextHit();

    QString m_text;
    QString m_lower;
    int m_searchFrom = 1; // 0 once the occurrences have run out
};

} // namespace nw
