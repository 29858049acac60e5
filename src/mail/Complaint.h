#pragma once

#include "header/HeaderAnalysis.h"

#include <QString>

namespace nw {

class Resolver;

// Everything the complaint text is made of, gathered by the caller when it composes.
struct ComplaintInputs {
    HeaderAnalysis analysis;
    QString headerText;   // the message view's text, as it stands
    QString whoisAddress; // the WHOIS window's address field
    QString whoisServer;  // the WHOIS window's server field
    QString title;
    int versionMajor = 0;
    int versionMinor = 0;
    int versionRevision = 0;
    qint64 instanceHandle = 0;
    int logMode = 0;
    qint64 threadId = 0;
    QString localAddress; // empty when the look-up failed
};

// The inputs this process supplies: title, version, the diagnostic numbers and this machine's address.
ComplaintInputs complaintInputs(const HeaderAnalysis& analysis, const QString& headerText, const QString& whoisAddress,
                                const QString& whoisServer, Resolver& resolver);

// The body of the complaint to an abuse team; lines end with CR LF, the last one has none.
QString CreateComplaint(const ComplaintInputs& in);

} // namespace nw
