// A saved message through the whole analysis: loading, the received lines, the originating hop and its
// reverse names. The input is the message file; lines after a "#resolver" line give the look-up table
// ("IP NAME"), so the fuzzer can make names match the hops.
#include "FuzzSupport.h"

#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "header/TextSink.h"
#include "platform/Resolver.h"

#include <cstdlib>

using namespace nw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::init();
    const QByteArray input = fuzz::bytesOf(data, size);
    const qsizetype split = input.indexOf("\n#resolver\n");
    const QByteArray message = split < 0 ? input : input.left(split + 1);

    TableResolver resolver;
    if (split >= 0)
        for (const QByteArray& line : input.mid(split + 11).split('\n')) {
            const QList<QByteArray> fields = line.trimmed().split(' ');
            if (fields.size() == 2)
                resolver.add(QString::fromLatin1(fields.at(0)), QString::fromLatin1(fields.at(1)));
        }

    StringSink view;
    LoadMessageHeader(fuzz::writeFile(QStringLiteral("message.eml"), message), view);
    HeaderAnalysis analysis;
    if (analyzeHeader(resolver, view.text(), analysis)) {
        // The chosen address is a dotted quad, "0" without a received line, or empty when no hop had one.
        if (!analysis.ip.isEmpty() && analysis.ip != QLatin1String("0") && !IsIPAddress(analysis.ip))
            std::abort();
        if (analysis.timeStamp.size() > 31)
            std::abort();
    }
    fuzz::afterInput();
    return 0;
}
