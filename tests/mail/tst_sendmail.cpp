#include "errors/RuntimeError.h"
#include "mail/Complaint.h"
#include "mail/SendMail.h"
#include "platform/Resolver.h"
#include "platform/SettingsStore.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/Test.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

const QString kReview = u"Please review the message.  The message did not send!"_s;
const QString kInvalidTo = u"The TO: email address appears to be invalid!\r\nSend it anyway?"_s;
const QString kNoSubject = u"[question] You didn't enter the message subject. \r\nWould you like to send it anyway?"_s;
const QString kNoText = u"[question] You didn't enter the message text. \r\nWould you like to send it anyway?"_s;

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

// The prompts shown, each with its icon in front unless it has none.
QStringList promptsOf(const RecordingPrompts& prompts)
{
    const char* const icons[] = {"", "[critical] ", "[question] ", "[exclamation] ", "[information] "};
    QStringList shown;
    for (const Prompt& p : prompts.shown())
        shown << QString::fromLatin1(icons[int(p.icon)]) + p.text;
    return shown;
}

// What the user types into the window; a valid message unless a row says otherwise.
struct Fields {
    QString to = u"abuse@example.com"_s, server = u"127.0.0.1"_s, from = u"me@example.org"_s, subject = u"Spam"_s,
            text = u"line one\nline two"_s;
    bool reachable = true;
};

} // namespace

Q_DECLARE_METATYPE(Fields)

class TstMailComposer : public QObject {
    Q_OBJECT

    SmtpSink m_sink;

private slots:
    void initTestCase() { QVERIFY2(m_sink.start(), qPrintable(m_sink.error())); }
    void cleanupTestCase() { m_sink.stop(); }

    // The window shows the stored sender and blind copy; the questions decide whether what a row types goes, else
    // it stays. Then a valid message from another sender goes as typed, whatever the first left, and empties it.
    void sendFromTheWindow_data()
    {
        columns<Fields, QList<PromptAnswer>, QStringList, QByteArray>("fields", "answers", "shown", "subjectLine");
        using A = PromptAnswer;
        const QByteArray spam("Subject:Spam"), none; // none: nothing sent
        row("valid message goes without a question", Fields{}, QList<A>{}, QStringList{u"Idle"_s}, spam);
        row("invalid To, No: nothing sent", Fields{.to = u"not an address"_s}, QList<A>{A::No},
            QStringList{kInvalidTo, kReview, {}}, none);
        row("empty server: only the review message", Fields{.server = {}}, QList<A>{}, QStringList{kReview, {}}, none);
        row("blank sender", Fields{.from = u"  "_s}, QList<A>{},
            QStringList{u"[exclamation] Enter the sender e-mail address"_s, kReview, {}}, none);
        row("blank subject, No", Fields{.subject = u" "_s}, QList<A>{A::No}, QStringList{kNoSubject, kReview, {}},
            none);
        row("blank subject, Yes: one space", Fields{.subject = {}}, QList<A>{A::Yes},
            QStringList{kNoSubject, u"Idle"_s}, QByteArray("Subject: "));
        row("blank text, No", Fields{.text = u"  "_s}, QList<A>{A::No}, QStringList{kNoText, kReview, {}}, none);
        row("server unreachable: said once", Fields{.reachable = false}, QList<A>{},
            QStringList{u"[critical] Error occured while sending...\r\n"_s, u"Failed : Couldn't connect to server"_s},
            none);
    }
    void sendFromTheWindow()
    {
        const auto [fields, answers, shown, subjectLine] =
            fetch<Fields, QList<PromptAnswer>, QStringList, QByteArray>("fields", "answers", "shown", "subjectLine");
        Sandbox box;
        SettingsStore store;
        store.save(u"tst"_s, u"EmailSettings"_s, u"From"_s, u"me@example.org"_s);
        store.save(u"tst"_s, u"EmailSettings"_s, u"BCC"_s, u"b@example.org"_s);
        box.prompts().setNextAnswers(answers);
        SendMail w(nullptr, u"tst"_s);
        const auto read = [&w](const QString& name) {
            try {
                return w.composer().readProperty(name);
            } catch (const RuntimeError& e) {
                return QString::number(e.number()) + u' ' + e.description();
            }
        };
        // Only the server reads back; the other properties are write-only.
        QCOMPARE((QStringList{read(u"Server"_s), read(u"MailTo"_s).left(4), w.txtFrom->text(), w.txtCC->text(),
                              w.txtBCC->text()}),
                 (QStringList{u"9999 No Server"_s, u"393 "_s, u"me@example.org"_s, {}, u"b@example.org"_s}));
        const auto send = [&](const Fields& f) {
            w.composer().setServer(f.server);
            w.composer().smtp().Port = QString::number(f.reachable ? m_sink.port() : ScriptedPeer::closedPort());
            w.txtTo->setText(f.to);
            w.txtFrom->setText(f.from);
            w.txtCC->setText(u"c@example.org"_s);
            w.txtBCC->setText(u"b@example.org"_s);
            w.txtSubject->setText(f.subject);
            w.txtMessage->setPlainText(f.text);
            QTest::mouseClick(w.cmdSend, Qt::LeftButton);
        };
        const auto before = m_sink.messages().size();
        send(fields);
        QCOMPARE(promptsOf(box.prompts()) << w.lblStatus->text(), shown);
        QCOMPARE(m_sink.messages().size(), before + (subjectLine.isEmpty() ? 0 : 1));
        if (subjectLine.isEmpty())
            QCOMPARE(w.txtTo->text() + w.txtFrom->text() + w.txtMessage->toPlainText(),
                     fields.to + fields.from + fields.text);
        else
            QVERIFY(m_sink.messages().last().data.contains("\r\n" + subjectLine + "\r\n"));

        box.prompts().clear();
        send(Fields{.from = u"other@example.org"_s});
        const auto m = m_sink.messages().last();
        QCOMPARE(m.rcptTos, (QStringList{u"abuse@example.com"_s, u"c@example.org"_s, u"b@example.org"_s}));
        QVERIFY(m.data.contains("From:other@example.org\r\nTo:abuse@example.com\r\nCc:c@example.org\r\nSubject:Spam\r\n"
                                "X-Mailer: Nettlewright <powered by WrenSMTP (1.0)>\r\n\r\nline one\r\nline two\r\n"));
        QCOMPARE(promptsOf(box.prompts()) << w.txtTo->text() + w.txtFrom->text() + w.txtCC->text() + w.txtBCC->text() +
                                                 w.txtSubject->text() + w.txtMessage->toPlainText() +
                                                 w.lblStatus->text(),
                 QStringList{u"Idle"_s});
    }

    // The letter byte for byte; built from the running process it carries the version and the local address.
    void textIsExact()
    {
        const HeaderAnalysis found{u"192.0.2.7"_s, u"mail.spam.example"_s, u"Tue, 3 Mar 2026 10:00:00 +0000"_s,
                                   u"from mail.spam.example ([192.0.2.7]) by mx.example\r"_s, u"mail.spam.example"_s};
        const QString header = u"Received: from mail.spam.example\r\nSubject: win\r\n"_s;
        const auto crlf = [](const char* text) { return QString::fromLatin1(text).replace(u'\n', u"\r\n"_s); };
        const QString expected = crlf(kHead).arg(found.ip, found.hostName, found.timeStamp, found.receivedLine) +
                                 header + crlf(kTail).arg(u"10.0.0.5"_s, u"192.0.2.7"_s, u"whois.arin.net"_s);
        QCOMPARE(CreateComplaint({found, header, u"192.0.2.7"_s, u"whois.arin.net"_s, u"Nettlewright"_s, 2, 0, 1,
                                  4194304, 1, 5120, u"10.0.0.5"_s}),
                 expected);
        TableResolver resolver;
        resolver.add(u"10.1.2.3"_s, u"localhost"_s);
        const QString text = CreateComplaint(complaintInputs({}, u"h"_s, u"a"_s, u"s"_s, resolver));
        QVERIFY(text.contains(u"\r\nNettlewright 2.0.1\r\n-0"_s) && text.endsWith(u"\r\n10.1.2.3\r\na - s"_s));
        TableResolver none;
        QVERIFY(CreateComplaint(complaintInputs({}, {}, {}, {}, none)).endsWith(u"\r\n\r\n - "_s));
    }
};
NW_TEST_CLASS(TstMailComposer)

#include "tst_sendmail.moc"
