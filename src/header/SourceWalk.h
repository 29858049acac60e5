#pragma once

#include "header/HeaderAnalysis.h"

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// The walk that looks past the recipient's own mail system: from the top of the header, the hops inside
// that system are passed over and the first hop whose recorded client lies outside it is the source.
namespace nw {

class Resolver;

// The user's own mail system as the "OwnHosts" setting lists it.
class OwnHosts {
public:
    // Entries separated by blanks or commas: host names (a name also stands for every host below it),
    // addresses and CIDR prefixes of either family. Entries that are none of these are left out and
    // named in `bad`.
    static OwnHosts parse(const QString& list, QStringList* bad = nullptr);

    bool containsAddress(const QHostAddress& address) const;
    bool containsName(const QString& name) const;

private:
    QList<std::pair<QHostAddress, int>> m_prefixes;
    QStringList m_names; // lower case, without a final dot
};

// How the source of a message is found: the designed walk, or the one that passes over the own hops.
struct SourceRules {
    bool skipOwnHops = false;
    OwnHosts ownHosts;
};

// One "Received:" header field taken apart by its clauses (RFC 5321 section 4.4).
struct TraceHop {
    QString field;      // as it stands in the header, folding kept, without its line end
    QString fromName;   // the word after "from": the client's greeting name, or its reverse name
    QString clientName; // the client's reverse name as the recording host found it; empty when it wrote none
    std::optional<QHostAddress> client; // the address the recording host saw the client at
    QString byName;                     // the recording host
    std::optional<QHostAddress> byAddress; // the recording host's own address, when it wrote one
    QString protocol;                      // the word after "with", lower case
    QString date;                          // the text after the first ";" outside comments
};

TraceHop parseTraceHop(const QString& field);

// The "Received:" fields of a header, top first. The header ends at its first empty line.
QStringList receivedFields(const QString& header);

// The source address of `header` in the mode that passes over the own hops: the first hop from the top
// whose client lies outside the own system. "0" when the header has no "Received:" field, empty when every
// hop lies inside. For a source, sets `hostName`, `timeStamp` and `receivedLine` of `analysis`.
QString SourceIP(Resolver& resolver, const QString& header, const OwnHosts& own, HeaderAnalysis& analysis);

// The analysis of a message as the drop folder runs it under `rules`. `loadedHeader` is the text
// LoadMessageHeader showed; the walk past the own hops reads the whole header from `path` instead, since
// the own hops may fill the shown part. Returns IsFullHeader of the shown text.
bool analyzeMessage(Resolver& resolver, const QString& loadedHeader, const QString& path, const SourceRules& rules,
                    HeaderAnalysis& analysis);

} // namespace nw
