#include "errors/RuntimeError.h"
#include "mail/MailComposer.h"
#include "mail/SendMail.h"
#include "platform/SettingsStore.h"
#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/SmtpSink.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace nw;
using nw::test::Sandbox;
using nw::test::SmtpSink;

namespace {

const QString kReview = u"Please review the message.  The message did not send!"_s;
const QString kInvalidTo = u"The TO: email address appears to be invalid!\r\nSend it anyway?"_s;
const QString kNoFrom = u"Enter the sender e-mail address"_s;
const QString kNoSubject = u"You didn't enter the message subject. \r\nWould you like to send it anyway?"_s;
const QString kNoText = u"You didn't enter the message text. \r\nWould you like to send it anyway?"_s;

QList<PromptIcon> iconsOf(const RecordingPrompts& prompts)
{
    QList<PromptIcon> icons;
    for (const Prompt& p : prompts.shown())
        icons << p.icon;
    return icons;
}

// What the user typed; a valid message unless a row says otherwise.
struct Fields {
    QString to = u"abuse@example.com"_s, server = u"127.0.0.1"_s, from = u"me@example.org"_s, subject = u"Spam"_s,
            text = u"text"_s;
};

} // namespace

Q_DECLARE_METATYPE(Fields)

class TstMailComposer : public QObject {
    Q_OBJECT

    SmtpSink m_sink;

    void fill(MailComposer& c, const Fields& f)
    {
        c.setServer(f.server);
        c.smtp().Port = QString::number(m_sink.port());
        c.txtTo = f.to;
        c.txtFrom = f.from;
        c.txtSubject = f.subject;
        c.txtMessage = f.text;
    }

private slots:
    void initTestCase() { QVERIFY2(m_sink.start(), qPrintable(m_sink.error())); }
    void cleanupTestCase() { m_sink.stop(); }

    void questionsDecide_data()
    {
        QTest::addColumn<Fields>("fields");
        QTest::addColumn<QList<PromptAnswer>>("answers");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<PromptIcon>>("icons");
        QTest::addColumn<QByteArray>("subjectLine"); // empty: nothing sent
        using A = PromptAnswer;
        using I = PromptIcon;
        const QByteArray spam("Subject:Spam"), none;
        QTest::newRow("valid message goes without a question")
            << Fields{} << QList<A>{} << QStringList{} << QList<I>{} << spam;
        QTest::newRow("invalid To, No: nothing sent")
            << Fields{.to = u"not an address"_s} << QList<A>{A::No} << QStringList{kInvalidTo, kReview}
            << QList<I>{I::None, I::None} << none;
        QTest::newRow("invalid To, Yes: sent")
            << Fields{.to = u"x@y"_s} << QList<A>{A::Yes} << QStringList{kInvalidTo} << QList<I>{I::None} << spam;
        QTest::newRow("empty server: only the review message")
            << Fields{.server = {}} << QList<A>{} << QStringList{kReview} << QList<I>{I::None} << none;
        QTest::newRow("blank sender") << Fields{.from = u"  "_s} << QList<A>{} << QStringList{kNoFrom, kReview}
                                      << QList<I>{I::Exclamation, I::None} << none;
        QTest::newRow("blank subject, No")
            << Fields{.subject = u" "_s} << QList<A>{A::No} << QStringList{kNoSubject, kReview}
            << QList<I>{I::Question, I::None} << none;
        QTest::newRow("blank subject, Yes: one space")
            << Fields{.subject = {}} << QList<A>{A::Yes} << QStringList{kNoSubject} << QList<I>{I::Question}
            << QByteArray("Subject: ");
        QTest::newRow("blank text, No") << Fields{.text = u"  "_s} << QList<A>{A::No} << QStringList{kNoText, kReview}
                                        << QList<I>{I::Question, I::None} << none;
        QTest::newRow("blank text, Yes") << Fields{.text = {}} << QList<A>{A::Yes} << QStringList{kNoText}
                                         << QList<I>{I::Question} << spam;
    }
    void questionsDecide()
    {
        QFETCH(Fields, fields);
        QFETCH(QList<PromptAnswer>, answers);
        QFETCH(QStringList, shown);
        QFETCH(QList<PromptIcon>, icons);
        QFETCH(QByteArray, subjectLine);
        Sandbox box;
        box.prompts().setNextAnswers(answers);
        MailComposer c(nullptr, u"tst"_s);
        fill(c, fields);
        const auto before = m_sink.messages().size();
        c.cmdSend_Click();
        QCOMPARE(box.prompts().texts(), shown);
        QCOMPARE(iconsOf(box.prompts()), icons);
        const auto messages = m_sink.messages();
        QCOMPARE(messages.size(), before + (subjectLine.isEmpty() ? 0 : 1));
        if (subjectLine.isEmpty()) {
            QCOMPARE(c.txtTo, fields.to);
            QCOMPARE(c.txtMessage, fields.text);
            return;
        }
        QVERIFY(messages.last().data.contains("\r\n" + subjectLine + "\r\nX-Mailer: Nettlewright <powered"));
        QCOMPARE(messages.last().rcptTos, QStringList{fields.to});
        for (const QString* f : {&c.txtTo, &c.txtFrom, &c.txtCC, &c.txtBCC, &c.txtSubject, &c.txtMessage})
            QVERIFY(f->isEmpty());
        QCOMPARE(c.lblStatus, u"Idle"_s);
    }

    void failedSendKeepsFieldsAndSays()
    {
        Sandbox box;
        MailComposer c(nullptr, u"tst"_s);
        fill(c, Fields{});
        c.smtp().Port = QString::number(nw::test::ScriptedPeer::closedPort());
        c.cmdSend_Click();
        QCOMPARE(box.prompts().texts(), QStringList{u"Error occured while sending...\r\n"_s});
        QCOMPARE(iconsOf(box.prompts()), QList<PromptIcon>{PromptIcon::Critical});
        QCOMPARE(c.lblStatus, u"Failed : Couldn't connect to server"_s);
        QCOMPARE(c.txtTo, u"abuse@example.com"_s);
        QCOMPARE(c.txtFrom, u"me@example.org"_s);

        // The flag was cleared: the next, successful send empties the fields.
        box.prompts().clear();
        c.smtp().Port = QString::number(m_sink.port());
        c.txtFrom = u"other@example.org"_s;
        c.cmdSend_Click();
        QVERIFY(box.prompts().texts().isEmpty());
        QVERIFY(c.txtTo.isEmpty());
        QVERIFY(m_sink.messages().last().data.contains("\r\nFrom:other@example.org\r\n"));
    }

    void propertiesAreWriteOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("error");
        QTest::newRow("Server set reads back") << u"Server"_s << u"mx"_s << 0;
        QTest::newRow("Server empty: No Server") << u"Server"_s << QString() << 9999;
        QTest::newRow("MailTo: 393") << u"MailTo"_s << u"mx"_s << 393;
        QTest::newRow("XMailer: 393") << u"XMailer"_s << u"mx"_s << 393;
    }
    void propertiesAreWriteOnly()
    {
        QFETCH(QString, name);
        QFETCH(QString, server);
        QFETCH(int, error);
        MailComposer c(nullptr, u"tst"_s);
        c.setServer(server);
        try {
            QCOMPARE(c.readProperty(name), server);
            QCOMPARE(error, 0);
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), error);
            if (error == 9999)
                QCOMPARE(e.description(), u"No Server"_s);
        }
    }

    // The stored sender and copies fill the fields; the send takes what the fields show.
    void widgetSendsWhatItShows()
    {
        Sandbox box;
        SettingsStore store;
        store.save(u"tst"_s, u"EmailSettings"_s, u"From"_s, u"me@example.org"_s);
        store.save(u"tst"_s, u"EmailSettings"_s, u"BCC"_s, u"b@example.org"_s);
        SendMail w(nullptr, u"tst"_s);
        QCOMPARE(w.txtFrom->text(), u"me@example.org"_s);
        QCOMPARE(w.txtCC->text(), QString());
        QCOMPARE(w.txtBCC->text(), u"b@example.org"_s);
        w.composer().setServer(u"127.0.0.1"_s);
        w.composer().smtp().Port = QString::number(m_sink.port());
        w.composer().setMailTo(u"abuse@example.com"_s);
        QCOMPARE(w.txtTo->text(), u"abuse@example.com"_s);
        w.txtCC->setText(u"c@example.org"_s);
        w.txtSubject->setText(u"Hello"_s);
        w.txtMessage->setPlainText(u"line one\nline two"_s);
        QTest::mouseClick(w.cmdSend, Qt::LeftButton);
        QVERIFY(box.prompts().texts().isEmpty());
        const auto m = m_sink.messages().last();
        QCOMPARE(m.mailFrom, u"me@example.org"_s);
        QCOMPARE(m.rcptTos, (QStringList{u"abuse@example.com"_s, u"c@example.org"_s, u"b@example.org"_s}));
        QVERIFY(m.data.contains("Cc:c@example.org\r\nSubject:Hello\r\n"));
        QVERIFY(m.data.contains("\r\n\r\nline one\r\nline two\r\n"));
        for (QLineEdit* f : {w.txtTo, w.txtFrom, w.txtCC, w.txtBCC, w.txtSubject})
            QVERIFY(f->text().isEmpty());
        QVERIFY(w.txtMessage->toPlainText().isEmpty());
        QCOMPARE(w.lblStatus->text(), u"Idle"_s);
    }
};
NW_TEST_CLASS(TstMailComposer)

#include "tst_sendmail.moc"
