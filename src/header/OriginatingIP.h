#pragma once

#include "header/HeaderAnalysis.h"

#include <QString>

namespace nw {

class Resolver;

// Walks the received lines of `header` from the top while the chain is consistent and returns the IP of
// the hop the message entered the mail system from ("0" when there is no "Received: from" line). Sets
// `hostName`, `timeStamp` and `receivedLine` of `analysis` for the chosen hop.
QString OriginatingIP(Resolver& resolver, const QString& header, HeaderAnalysis& analysis);

// The analysis of a loaded header as the drop folder runs it: when it is a full header, `ip` from
// OriginatingIP and, for an IP address, `ipHostName` from a reverse look-up. Returns IsFullHeader.
bool analyzeHeader(Resolver& resolver, const QString& header, HeaderAnalysis& analysis);

} // namespace nw
