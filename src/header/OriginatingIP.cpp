#include "header/OriginatingIP.h"

#include "errors/ErrorHandler.h"
#include "header/HostUtils.h"
#include "header/MessageIntake.h"
#include "header/ReceivedLines.h"

#include <QList>

namespace nw {

QString OriginatingIP(Resolver& resolver, const QString& header, HeaderAnalysis& analysis)
{
    QString result;
    // After a failure the result and the analysis keep what was set so far.
    runGuarded("OriginatingIP", [&] {
        const int count = ReceivedLineCount(header);
        if (count == 0) {
            result = QStringLiteral("0");
            return;
        }
        QList<ReceivedHop> hop(count + 1); // hops 1 … count, top of the header first
        ReceivedLineCursor cursor(header);
        for (int i = 1; i <= count; ++i)
            hop[i] = splitReceivedLine(cursor.next());
        const auto choose = [&](int k) {
            result = hop[k].ip;
            analysis.hostName = hop[k].hostName;
            analysis.timeStamp = hop[k].timeStamp;
            analysis.receivedLine = hop[k].line;
        };
        // A hop is trusted while the name it claims matches its reverse name and it recorded the next
        // line down; the first one that fails the test is blamed on the hop above it.
        for (int i = 1; i <= count; ++i) {
            const int above = i == 1 ? 1 : i - 1;
            if (hop[i].fromHost.isEmpty()) {
                if (i == 1)
                    hop[1].hostName = GetHostNameFromIP(resolver, hop[1].ip);
                choose(above);
                return;
            }
            if (IsIPAddress(hop[i].ip)) {
                hop[i].hostName = GetHostNameFromIP(resolver, hop[i].ip);
                if (hop[i].fromHost != hop[i].hostName) {
                    choose(above);
                    return;
                }
                if (i == count || !hop[i + 1].byHost.contains(hop[i].fromHost)) {
                    choose(i);
                    return;
                }
                continue;
            }
            // A hop without an address is passed over, the last choice standing.
            choose(above);
            if (result.isEmpty() && count > 1) {
                if (i < count)
                    choose(i + 1);
                return;
            }
        }
    });
    return result;
}

bool analyzeHeader(Resolver& resolver, const QString& header, HeaderAnalysis& analysis)
{
    if (!IsFullHeader(header))
        return false;
    analysis.ip = OriginatingIP(resolver, header, analysis);
    if (IsIPAddress(analysis.ip))
        analysis.ipHostName = GetHostNameFromIP(resolver, analysis.ip);
    return true;
}

} // namespace nw
