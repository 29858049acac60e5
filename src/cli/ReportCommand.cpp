#include "app/Settings.h"
#include "cli/Cli.h"
#include "errors/RuntimeError.h"
#include "header/AddressList.h"
#include "header/HostUtils.h"
#include "header/MessageIntake.h"
#include "header/OriginatingIP.h"
#include "header/ReceivedLines.h"
#include "mail/Complaint.h"
#include "mail/SmtpSettings.h"
#include "platform/EndpointRouter.h"
#include "platform/Resolver.h"
#include "platform/SettingsStore.h"
#include "platform/SystemKeychain.h"
#include "road/ComplaintStage.h"
#include "road/Outcome.h"
#include "whois/WhoIs.h"
#include "whois/WhoisLookup.h"

#include <memory>

using namespace nw;

namespace {

const char* const kUsage =
    R"(usage: nettlewright-cli report [--route NAME=HOST:PORT]... [--delay MS] [--no-dns] [--send] FILE...

Takes each message file along the road the monitor takes it, without windows: the header analysis, the
WHOIS look-up of the originating IP (referrals followed, then once by its host name when the answers hold
no address), the abuse address, and the complaint, whose recipient, subject and body are printed.

  --route NAME=HOST:PORT  connect to HOST:PORT whenever WHOIS server NAME is to be asked (repeatable)
  --delay MS              evaluate the answers MS milliseconds after the last one (default 5000)
  --no-dns                look up no names (reverse names of the hops, this machine's address)
  --send                  send each complaint through the SMTP server of the settings, from the
                          settings' address; a file is deleted only after the server accepted it

Exit status: 0 every file was reported, 1 a failure (file, look-up or send), 2 a file with no complaint
to make (no full header, no usable address, no abuse address).)";

struct Options {
    EndpointRouter router;
    int delay = 5000;
    bool noDns = false;
    bool send = false;
    QStringList files;
};

// 0 reported, 1 failed, 2 nothing to report.
int reportFile(const QString& file, const Options& options, Resolver& resolver)
{
    const auto fail = [&](int status, const QString& why) {
        cli::err(QStringLiteral("nettlewright-cli report: %1: %2").arg(file, why));
        return status;
    };
    if (!FileExists(file))
        return fail(1, QStringLiteral("no such file"));
    // While this run reports the file, the desktop program's monitor leaves it alone, and the other way round.
    MessageClaim claim(file);
    if (options.send && !claim.claim())
        return fail(1, QStringLiteral("taken on by another run (the desktop program's monitor?); left alone"));
    StringSink view;
    LoadMessageHeader(file, view);
    HeaderAnalysis analysis;
    if (!analyzeHeader(resolver, view.text(), analysis))
        return fail(2, QStringLiteral("not a full header"));
    if (!IsIPAddress(analysis.ip))
        return fail(2, QStringLiteral("no usable originating address"));

    WhoIs whois(options.router);
    WhoisLookup lookup(whois);
    lookup.setEvaluationDelay(options.delay);
    QString asked = analysis.ip;
    WhoisLookup::Outcome outcome = lookup.run(asked);
    QString server = whois.Server();
    // As the WHOIS window does: one more look-up by the host name when the answers hold no address.
    if (outcome.result != WhoisLookup::Result::Failed && outcome.addressList.isEmpty() &&
        !analysis.ipHostName.isEmpty()) {
        asked = analysis.ipHostName;
        outcome = lookup.run(asked);
        server = whois.Server();
    }
    if (outcome.result == WhoisLookup::Result::Failed)
        return fail(1, asked + QStringLiteral(": ") + outcome.message);
    if (outcome.result == WhoisLookup::Result::NoneChosen)
        return fail(2, asked + QStringLiteral(": ") + outcome.message);

    const QString subject = complaintSubject(analysis.ip, analysis.ipHostName);
    const QString body = CreateComplaint(complaintInputs(analysis, view.text(), asked, server, resolver));
    QString shown = body;
    cli::out(QStringLiteral("File: ") + file);
    cli::out(QStringLiteral("To: ") + outcome.address);
    cli::out(QStringLiteral("Subject: ") + subject);
    cli::out(QString());
    cli::out(shown.remove(QLatin1Char('\r')));
    if (!options.send)
        return 0;

    SettingsStore store;
    const QString user = readSetting(store, settings::ReturnAddress);
    const QString smtpServer = readSetting(store, settings::Smtp);
    if (smtpServer.isEmpty())
        return fail(1, ComplaintStage::noServerText());
    if (!IsValidEmailAddress(user))
        return fail(1, ComplaintStage::badUserAddressText());
    SMTP smtp;
    setSmtpServer(smtp, smtpServer);
    SystemKeychain keychain;
    smtp.setSecurity(readSmtpSecurity(store, keychain));
    smtp.MailTo = outcome.address;
    addressComplaint(smtp, store, user, user);
    smtp.Subject = subject;
    smtp.Body = body;
    QString error;
    QObject::connect(&smtp, &SMTP::Error, [&error](const QString& text) { error = text; });
    if (!smtp.SendMail()) {
        claim.settle(Outcome::kept(error.isEmpty() ? QStringLiteral("not accepted by the mail server") : error));
        return fail(1, QStringLiteral("not sent (%1); the file is kept").arg(error));
    }
    const Outcome ended = claim.settle(Outcome::sent(outcome.address));
    if (ended.kind != Outcome::Kind::Sent)
        return fail(1, ended.detail);
    cli::out(QStringLiteral("Sent to ") + outcome.address + QStringLiteral("; deleted ") + file);
    return 0;
}

int reportCommand(const QStringList& args)
{
    Options options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const bool hasValue = i + 1 < args.size();
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            cli::out(QString::fromLatin1(kUsage));
            return 0;
        } else if (arg == QLatin1String("--send")) {
            options.send = true;
        } else if (arg == QLatin1String("--no-dns")) {
            options.noDns = true;
        } else if (arg == QLatin1String("--route") && hasValue) {
            QString error;
            if (!options.router.addRoute(args.at(++i), &error)) {
                cli::err(QStringLiteral("nettlewright-cli report: ") + error);
                return 1;
            }
        } else if (arg == QLatin1String("--delay") && hasValue) {
            bool ok = false;
            options.delay = args.at(++i).toInt(&ok);
            if (!ok || options.delay < 0) {
                cli::err(QStringLiteral("nettlewright-cli report: --delay needs a number of milliseconds"));
                return 1;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            cli::err(
                QStringLiteral("nettlewright-cli report: unknown or incomplete option '%1' (see --help)").arg(arg));
            return 1;
        } else {
            options.files << arg;
        }
    }
    if (options.files.isEmpty()) {
        cli::err(QStringLiteral("nettlewright-cli report: give at least one message file (see --help)"));
        return 1;
    }
    std::unique_ptr<Resolver> resolver;
    if (options.noDns)
        resolver = std::make_unique<TableResolver>();
    else
        resolver = std::make_unique<SystemResolver>();
    int status = 0;
    for (const QString& file : options.files) {
        const int result = reportFile(file, options, *resolver);
        if (result == 1 || (result == 2 && status == 0))
            status = result;
    }
    return status;
}

} // namespace

NW_CLI_COMMAND("report", "take message files to complaints (printed, or sent with --send)", reportCommand)
