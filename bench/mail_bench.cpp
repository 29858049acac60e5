// mail_bench MESSAGE: how fast the complaint about MESSAGE is composed, and how many complaints a second the
// SMTP client sends over loopback: to a small server of this benchmark on its own thread (the client's own
// cost), and to the aiosmtpd sink of the mail tests (which stores each message as a file, so its figure is
// mostly Python's). Prints figures; never passes or fails.

#include "header/HeaderAnalysis.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "mail/Complaint.h"
#include "mail/SMTP.h"
#include "platform/Resolver.h"
#include "road/ComplaintStage.h"
#include "support/SmtpSink.h"

#include "BenchSupport.h"

#include <QCoreApplication>

#include <cstdio>

using namespace nw;
using namespace nw::bench;

namespace {

constexpr qint64 kRunNs = 3'000'000'000;

int usage()
{
    std::fprintf(stderr, "usage: mail_bench MESSAGE\n");
    return 2;
}

// Sends the complaint again and again for about three seconds, one connection each, as the program does.
void sendLoop(const char* server, quint16 port, const QString& subject, const QString& body)
{
    qint64 failed = 0;
    const qint64 cpuStart = processCpuNs();
    const Run run = runFor(kRunNs, [&] {
        SMTP smtp;
        smtp.Server = QStringLiteral("127.0.0.1");
        smtp.Port = QString::number(port);
        smtp.MailFrom = QStringLiteral("me@home-isp.example");
        smtp.MailTo = QStringLiteral("abuse@bench-isp.example");
        smtp.Subject = subject;
        smtp.Body = body;
        smtp.replyTimeoutMs = 10000;
        smtp.dataEndTimeoutMs = 10000;
        failed += smtp.SendMail() ? 0 : 1;
    });
    std::printf("SMTP dialogue, %s: %.0f messages/s (%lld dialogues, %lld failed); client thread %.0f us CPU a "
                "message, this process %.0f us\n",
                server, perSecond(run.steps, run.wallNs), run.steps, failed,
                double(run.cpuNs) / double(run.steps) / 1e3,
                double(processCpuNs() - cpuStart) / double(run.steps) / 1e3);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1)
        return usage();

    CountingPrompts prompts;
    ScopedPrompts scope(prompts);
    StringSink view;
    LoadMessageHeader(args.first(), view);
    TableResolver resolver;
    HeaderAnalysis analysis;
    if (!analyzeHeader(resolver, view.text(), analysis) || analysis.ip.isEmpty()) {
        std::fprintf(stderr, "mail_bench: %s has no header with an originating address\n", qPrintable(args.first()));
        return 2;
    }
    const ComplaintInputs inputs =
        complaintInputs(analysis, view.text(), analysis.ip, QStringLiteral("whois.arin.net"), resolver);
    QString body;
    const Run compose = runFor(kRunNs, [&] { body = CreateComplaint(inputs); });
    std::printf("CreateComplaint: %.0f complaints/s, %.1f us each (%lld-character header, %lld-character complaint)\n",
                perSecond(compose.steps, compose.cpuNs), double(compose.cpuNs) / double(compose.steps) / 1e3,
                qint64(view.text().size()), qint64(body.size()));

    const QString subject = complaintSubject(analysis.ip, analysis.ipHostName);
    {
        ServerThread<SmtpPeer> server;
        sendLoop("this benchmark's server (C++, own thread)", server.port(), subject, body);
    }
    {
        test::SmtpSink sink;
        if (sink.start())
            sendLoop("aiosmtpd sink (Python, stores each message)", sink.port(), subject, body);
        else
            std::fprintf(stderr, "mail_bench: %s\n", qPrintable(sink.error()));
    }
    std::printf("%lld messages shown; peak memory: %ld KiB\n", prompts.count, peakMemoryKiB());
    return 0;
}
