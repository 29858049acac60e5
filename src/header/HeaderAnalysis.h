#pragma once

#include <QString>

namespace nw {

// The analysis of the current message. Not cleared between messages: a run that sets nothing leaves
// the previous message's values in place.
struct HeaderAnalysis {
    QString ip;           // originating IP, "0" when the header holds no "Received: from" line
    QString hostName;     // reverse name of the chosen hop's IP
    QString timeStamp;    // time stamp of the chosen received line, at most 31 characters
    QString receivedLine; // the chosen ("suspect") received line
    QString ipHostName;   // reverse name of `ip`, looked up once more after the analysis

    bool operator==(const HeaderAnalysis&) const = default;
};

} // namespace nw
