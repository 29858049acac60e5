#include "mail/Complaint.h"
#include "platform/Resolver.h"
#include "support/TestMain.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace nw;

namespace {

// The fixed letter and analysis labels; %1 to %4 are the analysis, %5 the header text.
const char* const kHead = R"(Hello,
I have received this unsolicited email message that appears to have originated
or passed through an IP address or Domain under your control.

This may indicate that you or your client is:
       a) involved in unprincipled and undesired email activity
       b) operating an unsecured mail or proxy server which has been compromised
       c) operating a system which may be infected with a virus or trojan.

Please take the necessary steps to stop this type of unsolicited email from
cluttering my inbox.

** Abuse Team ** please see bottom of message for further information regarding this analysis.


-----------------
IP Address: %1
Hostname:   %2
Time Stamp: %3

Suspect Received Line: 
%4

-----------------

--- EMAIL HEADER ---

)";

const char* const kTail = R"(

--- ATTENTION ABUSE ---
This Internet email header analysis was produced automatically by Nettlewright 2.
Every attempt has been made to ensure a correct analysis of header information.  However
if it has been manipulated, mangled or deliberately forged, this accuracy cannot be
guaranteed and we apologize for the inconvience this may cause you and/or
your abuse response team.  It is our intent to help you remove spam from the Internet
NOT add to it.

* INCORRECT HEADER ANALYSIS*
     If this email has originated outside of your IP range and is an inaccurate analysis,
     please forward entire email to analysis@nettlewright.org for further investigation
     and a possible fix in new versions of Nettlewright.
* INCORRECT EMAIL ADDRESS *
     Your address was obtained by querying the Whois database or registrar.
     If this is not the appropriate address to report these violations,
     please consider updating the Whois database with a valid abuse contact.
* ABUSE TOOLS *
     We produce a range of tools to help Internet Abuse teams quickly identify and
     deal with AUP violators.  If you would like tools customized to your procedures,
     please contact us at sales@nettlewright.org or visit http://www.nettlewright.org/isp/


<-diagnostic info->
Nettlewright 2.0.1
-04194304 - 1 - 5120
%1
%2 - %3)";

QString crlf(const char* text)
{
    return QString::fromLatin1(text).replace(u'\n', u"\r\n"_s);
}

} // namespace

class TstComplaint : public QObject {
    Q_OBJECT

private slots:
    void textIsExact()
    {
        const HeaderAnalysis found{u"192.0.2.7"_s, u"mail.spam.example"_s, u"Tue, 3 Mar 2026 10:00:00 +0000"_s,
                                   u"from mail.spam.example ([192.0.2.7]) by mx.example\r"_s, u"mail.spam.example"_s};
        const QString header = u"Received: from mail.spam.example\r\nSubject: win\r\n"_s;
        const QString expected = crlf(kHead).arg(found.ip, found.hostName, found.timeStamp, found.receivedLine) +
                                 header + crlf(kTail).arg(u"10.0.0.5"_s, u"192.0.2.7"_s, u"whois.arin.net"_s);
        QCOMPARE(CreateComplaint({found, header, u"192.0.2.7"_s, u"whois.arin.net"_s, u"Nettlewright"_s, 2, 0, 1,
                                  4194304, 1, 5120, u"10.0.0.5"_s}),
                 expected);
    }

    void processInputsCarryVersionAndLocalAddress()
    {
        TableResolver resolver;
        resolver.add(u"10.1.2.3"_s, u"localhost"_s);
        const QString text = CreateComplaint(complaintInputs({}, u"h"_s, u"a"_s, u"s"_s, resolver));
        QVERIFY(text.contains(u"\r\nNettlewright 2.0.1\r\n-0"_s) && text.endsWith(u"\r\n10.1.2.3\r\na - s"_s));
        TableResolver none;
        QVERIFY(CreateComplaint(complaintInputs({}, {}, {}, {}, none)).endsWith(u"\r\n\r\n - "_s));
    }
};
NW_TEST_CLASS(TstComplaint)

#include "tst_complaint.moc"
