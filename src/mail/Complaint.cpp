#include "mail/Complaint.h"

#include "errors/ErrorHandler.h"
#include "header/HostUtils.h"
#include "platform/AppInfo.h"

#include <QCoreApplication>
#include <QThread>

namespace nw {

ComplaintInputs complaintInputs(const HeaderAnalysis& analysis, const QString& headerText, const QString& whoisAddress,
                                const QString& whoisServer, Resolver& resolver)
{
    ComplaintInputs in;
    in.analysis = analysis;
    in.headerText = headerText;
    in.whoisAddress = whoisAddress;
    in.whoisServer = whoisServer;
    in.title = appTitle();
    in.versionMajor = kVersionMajor;
    in.versionMinor = kVersionMinor;
    in.versionRevision = kVersionRevision;
    // Stand-ins for the module handle and the log mode: the process id, and 1 while errors are logged.
    in.instanceHandle = QCoreApplication::applicationPid();
    in.logMode = ErrorHandler::instance().logErrors ? 1 : 0;
    in.threadId = qint64(reinterpret_cast<quintptr>(QThread::currentThreadId()));
    in.localAddress = GetIPFromHostName(resolver, QString());
    return in;
}

QString CreateComplaint(const ComplaintInputs& in)
{
    return runGuarded("CreateComplaint", QString(), [&] {
        QString t;
        const auto line = [&t](const QString& text) { t += text + QStringLiteral("\r\n"); };
        const auto lit = [&line](const char* text) { line(QString::fromLatin1(text)); };
        const QString blank;

        lit("Hello,");
        lit("I have received this unsolicited email message that appears to have originated");
        lit("or passed through an IP address or Domain under your control.");
        line(blank);
        lit("This may indicate that you or your client is:");
        lit("       a) involved in unprincipled and undesired email activity");
        lit("       b) operating an unsecured mail or proxy server which has been compromised");
        lit("       c) operating a system which may be infected with a virus or trojan.");
        line(blank);
        lit("Please take the necessary steps to stop this type of unsolicited email from");
        lit("cluttering my inbox.");
        line(blank);
        lit("** Abuse Team ** please see bottom of message for further information regarding this analysis.");
        line(blank);
        line(blank);

        lit("-----------------");
        line(QStringLiteral("IP Address: ") + in.analysis.ip);
        line(QStringLiteral("Hostname:   ") + in.analysis.hostName);
        line(QStringLiteral("Time Stamp: ") + in.analysis.timeStamp);
        line(blank);
        lit("Suspect Received Line: ");
        line(in.analysis.receivedLine);
        line(blank);
        lit("-----------------");
        line(blank);
        lit("--- EMAIL HEADER ---");
        line(blank);
        t += in.headerText;

        line(blank);
        line(blank);
        lit("--- ATTENTION ABUSE ---");
        line(QStringLiteral("This Internet email header analysis was produced automatically by Nettlewright ") +
             QString::number(in.versionMajor) + QLatin1Char('.'));
        lit("Every attempt has been made to ensure a correct analysis of header information.  However");
        lit("if it has been manipulated, mangled or deliberately forged, this accuracy cannot be");
        lit("guaranteed and we apologize for the inconvience this may cause you and/or");
        lit("your abuse response team.  It is our intent to help you remove spam from the Internet");
        lit("NOT add to it.");
        line(blank);
        lit("* INCORRECT HEADER ANALYSIS*");
        lit("     If this email has originated outside of your IP range and is an inaccurate analysis,");
        line(QStringLiteral("     please forward entire email to ") + analysisMailbox() +
             QStringLiteral(" for further investigation"));
        lit("     and a possible fix in new versions of Nettlewright.");
        lit("* INCORRECT EMAIL ADDRESS *");
        lit("     Your address was obtained by querying the Whois database or registrar.");
        lit("     If this is not the appropriate address to report these violations,");
        lit("     please consider updating the Whois database with a valid abuse contact.");
        lit("* ABUSE TOOLS *");
        lit("     We produce a range of tools to help Internet Abuse teams quickly identify and");
        lit("     deal with AUP violators.  If you would like tools customized to your procedures,");
        line(QStringLiteral("     please contact us at ") + salesMailbox() + QStringLiteral(" or visit ") +
             abuseTeamPage());
        line(blank);
        line(blank);

        lit("<-diagnostic info->");
        line(in.title + QLatin1Char(' ') + QString::number(in.versionMajor) + QLatin1Char('.') +
             QString::number(in.versionMinor) + QLatin1Char('.') + QString::number(in.versionRevision));
        line(QStringLiteral("-0") + QString::number(in.instanceHandle) + QStringLiteral(" - ") +
             QString::number(in.logMode) + QStringLiteral(" - ") + QString::number(in.threadId));
        line(in.localAddress);
        t += in.whoisAddress + QStringLiteral(" - ") + in.whoisServer;
        return t;
    });
}

} // namespace nw
