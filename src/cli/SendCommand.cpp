#include "cli/Cli.h"
#include "errors/RuntimeError.h"
#include "mail/SmtpSettings.h"
#include "platform/TextFile.h"

#include <QCommandLineParser>

#include <cstdio>

using namespace nw;

namespace {

// Sends one message with exactly the given properties and shows the whole dialogue: a way to check mail
// settings and to see what the server answers.
int sendCommand(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sends one message through an SMTP server and prints the "
                                                    "progress events, then the whole dialogue."));
    parser.addHelpOption();
    const auto option = [&parser](const char* name, const char* description, const char* value) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(description), QString::fromLatin1(value));
        parser.addOption(o);
        return o;
    };
    const auto server =
        option("server", "SMTP server, HOST, HOST:PORT or [IPV6]:PORT (port 25 when none).", "HOST[:PORT]");
    const auto from = option("from", "Envelope sender.", "ADDR");
    const auto to = option("to", "Recipient.", "ADDR");
    const auto cc = option("cc", "Copy recipient, also named in a Cc: header.", "ADDR");
    const auto bcc = option("bcc", "Blind-copy recipient.", "ADDR");
    const auto nameFrom = option("name-from", "Text of the From: header (the sender when absent).", "TEXT");
    const auto nameTo = option("name-to", "Text of the To: header (the recipient when absent).", "TEXT");
    const auto subject = option("subject", "Subject text.", "TEXT");
    const auto xmailer = option("xmailer", "Mailer name in the X-Mailer: header.", "TEXT");
    const auto xheader = option("xheader", "One extra header line, sent first.", "LINE");
    const auto attachment = option("attachment", "File appended uuencoded after the body.", "FILE");
    const auto bodyFile = option("body-file", "File holding the message text (single-byte text).", "FILE");
    parser.process(QStringList{QStringLiteral("nettlewright-cli send")} + args);

    const auto missing = [&](const QCommandLineOption& o) {
        if (parser.isSet(o))
            return false;
        cli::err(QStringLiteral("nettlewright-cli send: --%1 is required (see --help)").arg(o.names().first()));
        return true;
    };
    if (missing(server) || missing(from) || missing(to) || missing(bodyFile))
        return 1;

    SMTP smtp;
    prepareSend(smtp, parser.value(server), {});
    smtp.MailFrom = parser.value(from);
    smtp.MailTo = parser.value(to);
    smtp.CCC = parser.value(cc);
    smtp.BCC = parser.value(bcc);
    smtp.NameFrom = parser.value(nameFrom);
    smtp.NameTo = parser.value(nameTo);
    smtp.Subject = parser.value(subject);
    smtp.XMailer = parser.value(xmailer);
    smtp.XHeader = parser.value(xheader);
    smtp.Attachment = parser.value(attachment);
    try {
        smtp.Body = TextFile::read(parser.value(bodyFile));
    } catch (const RuntimeError& e) {
        cli::err(QStringLiteral("nettlewright-cli send: %1: %2").arg(parser.value(bodyFile), e.description()));
        return 1;
    }

    QObject::connect(&smtp, &SMTP::Status, [](const QString& text) { cli::out(QStringLiteral("Status: ") + text); });
    QObject::connect(&smtp, &SMTP::Error, [](const QString& text) { cli::out(QStringLiteral("Error: ") + text); });
    const bool sent = smtp.SendMail();
    cli::out(QStringLiteral("--- Log ---"));
    std::fputs(smtp.Log.toLatin1().constData(), stdout);
    std::fflush(stdout);
    return sent ? 0 : 1;
}

} // namespace

NW_CLI_COMMAND("send", "send one message through an SMTP server and show the dialogue", sendCommand)
