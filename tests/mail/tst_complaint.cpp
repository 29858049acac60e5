#include "mail/Complaint.h"
#include "platform/Resolver.h"
#include "support/Sandbox.h"
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
    return QString::fromLatin1(text).replace(QLatin1Char('\n'), u"\r\n"_s);
}

ComplaintInputs inputs(const HeaderAnalysis& analysis, const QString& header, const QString& local)
{
    ComplaintInputs in;
    in.analysis = analysis;
    in.headerText = header;
    in.whoisAddress = u"192.0.2.7"_s;
    in.whoisServer = u"whois.arin.net"_s;
    in.title = u"Nettlewright"_s;
    in.versionMajor = 2;
    in.versionMinor = 0;
    in.versionRevision = 1;
    in.instanceHandle = 4194304;
    in.logMode = 1;
    in.threadId = 5120;
    in.localAddress = local;
    return in;
}

} // namespace

class TstComplaint : public QObject {
    Q_OBJECT

private slots:
    void textIsExact_data()
    {
        QTest::addColumn<HeaderAnalysis>("analysis");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("local");
        const HeaderAnalysis found{u"192.0.2.7"_s, u"mail.spam.example"_s, u"Tue, 3 Mar 2026 10:00:00 +0000"_s,
                                   u"from mail.spam.example ([192.0.2.7]) by mx.example\r"_s, u"mail.spam.example"_s};
        QTest::newRow("empty analysis keeps the labels") << HeaderAnalysis{} << QString() << QString();
        QTest::newRow("normal header ends with CR LF")
            << found << u"Received: from mail.spam.example\r\nSubject: win\r\n"_s << u"10.0.0.5"_s;
        QTest::newRow("truncated header: one empty line follows")
            << found << u"Received: from x\r\nSubj<----MESSAGE TRUNCATED---->"_s << u"10.0.0.5"_s;
    }
    void textIsExact()
    {
        QFETCH(HeaderAnalysis, analysis);
        QFETCH(QString, header);
        QFETCH(QString, local);
        nw::test::Sandbox box;
        const QString expected =
            crlf(kHead).arg(analysis.ip, analysis.hostName, analysis.timeStamp, analysis.receivedLine) + header +
            crlf(kTail).arg(local, u"192.0.2.7"_s, u"whois.arin.net"_s);
        QCOMPARE(CreateComplaint(inputs(analysis, header, local)), expected);
        QCOMPARE(box.prompts().shown().size(), 0);
    }

    void processInputsCarryVersionAndLocalAddress()
    {
        TableResolver resolver;
        resolver.add(u"10.1.2.3"_s, u"localhost"_s);
        const ComplaintInputs in = complaintInputs({}, u"h"_s, u"a"_s, u"s"_s, resolver);
        QCOMPARE(in.localAddress, u"10.1.2.3"_s);
        QCOMPARE(in.title, u"Nettlewright"_s);
        QCOMPARE((QList<int>{in.versionMajor, in.versionMinor, in.versionRevision}), (QList<int>{2, 0, 1}));
        const QString text = CreateComplaint(in);
        QVERIFY(text.endsWith(u"\r\n10.1.2.3\r\na - s"_s));
        TableResolver none;
        QVERIFY(CreateComplaint(complaintInputs({}, {}, {}, {}, none)).endsWith(u"\r\n\r\n - "_s));
    }
};
NW_TEST_CLASS(TstComplaint)

#include "tst_complaint.moc"
