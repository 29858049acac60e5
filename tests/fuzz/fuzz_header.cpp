// A saved message through the whole analysis: loading, the received lines, the originating hop and its
// reverse names, in the designed walk and in the walk past the own mail system. The input is the message
// file; lines after a "#resolver" line give the look-up table ("IP NAME"), so the fuzzer can make names
// match the hops.
#include "FuzzSupport.h"

#include "header/IpAddress.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "header/SourceWalk.h"
#include "header/TextSink.h"
#include "platform/Resolver.h"

NW_FUZZ_TARGET(input)
{
    const qsizetype split = input.indexOf("\n#resolver\n");
    TableResolver resolver;
    for (const QByteArray& line : input.mid(split < 0 ? input.size() : split + 11).split('\n'))
        if (const QList<QByteArray> fields = line.trimmed().split(' '); fields.size() == 2)
            resolver.add(QString::fromLatin1(fields.at(0)), QString::fromLatin1(fields.at(1)));
    StringSink view;
    const QString path = writeFile(QStringLiteral("message.eml"), split < 0 ? input : input.left(split + 1));
    LoadMessageHeader(path, view);
    HeaderAnalysis analysis;
    // The chosen address is a dotted quad, "0" without a received line, or empty when no hop had one.
    if (analyzeHeader(resolver, view.text(), analysis))
        require((analysis.ip.isEmpty() || analysis.ip == QLatin1String("0") || IsIPAddress(analysis.ip)) &&
                analysis.timeStamp.size() <= 31);
    SourceRules rules;
    rules.skipOwnHops = true;
    rules.ownHosts = OwnHosts::parse(QStringLiteral("mx.example.com 203.0.113.0/24 2001:db8::/32"));
    HeaderAnalysis source;
    if (!analyzeMessage(resolver, view.text(), path, rules, source))
        return;
    // The source is an address of either family that lies outside the own system, "0" or empty.
    const auto address = addressFromLiteral(source.ip);
    require((source.ip.isEmpty() || source.ip == QLatin1String("0") ||
             (IsAnyIPAddress(source.ip) && address && !isSiteAddress(*address) &&
              !rules.ownHosts.containsAddress(*address))) &&
            source.timeStamp.size() <= 31);
}
