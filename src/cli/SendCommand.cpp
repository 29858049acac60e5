#include "cli/Cli.h"
#include "errors/RuntimeError.h"
#include "mail/SmtpSettings.h"
#include "platform/TextFile.h"

#include <QCommandLineParser>
#include <QSet>

using namespace nw;

namespace {

const char* const kUsage =
    R"(usage: nettlewright-cli send --server HOST[:PORT] --from ADDR --to ADDR [--cc ADDR] [--bcc ADDR]
                            [--name-from TEXT] [--name-to TEXT] [--subject TEXT] [--xmailer TEXT]
                            [--xheader LINE] [--attachment FILE] --body-file FILE

Sends one message through an SMTP server the way the program sends its complaints, prints each
progress status (once) and error as it happens, then the whole dialogue.

  --server HOST[:PORT]  SMTP server: HOST, HOST:PORT or [IPV6]:PORT (port 25 when none)
  --from ADDR           envelope sender
  --to ADDR             recipient
  --cc ADDR             copy recipient, also named in a Cc: header
  --bcc ADDR            blind-copy recipient
  --name-from TEXT      text of the From: header (the sender when absent)
  --name-to TEXT        text of the To: header (the recipient when absent)
  --subject TEXT        subject text
  --xmailer TEXT        mailer name in the X-Mailer: header
  --xheader LINE        one extra header line, sent first
  --attachment FILE     file appended uuencoded after the body
  --body-file FILE      file holding the message text (single-byte text)
  --help                show this text

Exit status: 0 the server took the message, 1 it did not, 2 a usage error.)";

// Sends one message with exactly the given properties and shows the whole dialogue: a way to check mail
// settings and to see what the server answers.
int sendCommand(const QStringList& args)
{
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        cli::out(QString::fromLatin1(kUsage));
        return 0;
    }
    // The options that are copied as they are into the client's property of the same meaning.
    struct Field {
        const char* option;
        QString SMTP::*property;
    };
    static constexpr Field kFields[] = {
        {"from", &SMTP::MailFrom},       {"to", &SMTP::MailTo},           {"cc", &SMTP::CCC},
        {"bcc", &SMTP::BCC},             {"name-from", &SMTP::NameFrom},  {"name-to", &SMTP::NameTo},
        {"subject", &SMTP::Subject},     {"xmailer", &SMTP::XMailer},     {"xheader", &SMTP::XHeader},
        {"attachment", &SMTP::Attachment},
    };
    QCommandLineParser parser;
    const auto option = [&parser](const char* name) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        parser.addOption(o);
        return o;
    };
    const auto server = option("server");
    const auto bodyFile = option("body-file");
    QList<QCommandLineOption> copied;
    for (const Field& f : kFields)
        copied << option(f.option);
    if (!parser.parse(QStringList{QStringLiteral("send")} + args) || !parser.positionalArguments().isEmpty()) {
        const QString why = parser.errorText().isEmpty()
                                ? QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().value(0))
                                : parser.errorText();
        cli::err(QStringLiteral("nettlewright-cli send: %1 (see --help)").arg(why));
        return 2;
    }

    const auto missing = [&](const QCommandLineOption& o) {
        if (parser.isSet(o))
            return false;
        cli::err(QStringLiteral("nettlewright-cli send: --%1 is required (see --help)").arg(o.names().first()));
        return true;
    };
    // --from and --to, the first two fields, are required as well.
    if (missing(server) || missing(copied.at(0)) || missing(copied.at(1)) || missing(bodyFile))
        return 2;

    SMTP smtp;
    prepareSend(smtp, parser.value(server), {});
    for (qsizetype i = 0; i < copied.size(); ++i)
        smtp.*kFields[i].property = parser.value(copied.at(i));
    try {
        smtp.Body = TextFile::read(parser.value(bodyFile));
    } catch (const RuntimeError& e) {
        cli::err(QStringLiteral("nettlewright-cli send: %1: %2").arg(parser.value(bodyFile), e.description()));
        return 1;
    }

    // The client reports its state on every step of the dialogue; each state is news only once.
    QSet<QString> shown;
    QObject::connect(&smtp, &SMTP::Status, [&shown](const QString& text) {
        if (!shown.contains(text)) {
            shown.insert(text);
            cli::out(QStringLiteral("Status: ") + text);
        }
    });
    QObject::connect(&smtp, &SMTP::Error, [](const QString& text) { cli::out(QStringLiteral("Error: ") + text); });
    const bool sent = smtp.SendMail();
    cli::out(QStringLiteral("--- Log ---"));
    if (!smtp.Log.isEmpty())
        cli::out(smtp.Log.endsWith(QLatin1Char('\n')) ? smtp.Log.chopped(1) : smtp.Log);
    return sent ? 0 : 1;
}

} // namespace

NW_CLI_COMMAND("send", "send one message through an SMTP server and show the dialogue", sendCommand)
