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

using namespace nw;
using nw::test::Sandbox;
using nw::test::SmtpSink;

namespace {

const QString kReview = QStringLiteral("Please review the message.  The message did not send!");
const QString kInvalidTo = QStringLiteral("The TO: email address appears to be invalid!\r\nSend it anyway?");
const QString kNoFrom = QStringLiteral("Enter the sender e-mail address");
const QString kNoSubject =
    QStringLiteral("You didn't enter the message subject. \r\nWould you like to send it anyway?");
const QString kNoText = QStringLiteral("You didn't enter the message text. \r\nWould you like to send it anyway?");

QList<PromptIcon> iconsOf(const RecordingPrompts& prompts)
{
    QList<PromptIcon> icons;
    for (const Prompt& p : prompts.shown())
        icons << p.icon;
    return icons;
}

} // namespace

class TstMailComposer : public QObject {
    Q_OBJECT

    SmtpSink m_sink;

    void fill(MailComposer& c, const QString& to, const QString& from, const QString& subject, const QString& text)
    {
        c.setServer(QStringLiteral("127.0.0.1"));
        c.smtp().Port = QString::number(m_sink.port());
        c.txtTo = to;
        c.txtFrom = from;
        c.txtSubject = subject;
        c.txtMessage = text;
    }

private slots:
    void initTestCase() { QVERIFY2(m_sink.start(), qPrintable(m_sink.error())); }
    void cleanupTestCase() { m_sink.stop(); }

    void questionsDecide_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<PromptAnswer>>("answers");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<PromptIcon>>("icons");
        QTest::addColumn<QByteArray>("subjectLine"); // empty: nothing sent
        const QString to = QStringLiteral("abuse@example.com");
        const QString from = QStringLiteral("me@example.org");
        const QString server = QStringLiteral("127.0.0.1");
        const QString s = QStringLiteral("Spam"), t = QStringLiteral("text");
        using A = PromptAnswer;
        using I = PromptIcon;
        QTest::newRow("valid message goes without a question")
            << to << server << from << s << t << QList<A>{} << QStringList{} << QList<I>{}
            << QByteArray("Subject:Spam");
        QTest::newRow("invalid To, No: nothing sent")
            << QStringLiteral("not an address") << server << from << s << t << QList<A>{A::No}
            << QStringList{kInvalidTo, kReview} << QList<I>{I::None, I::None} << QByteArray();
        QTest::newRow("invalid To, Yes: sent")
            << QStringLiteral("x@y") << server << from << s << t << QList<A>{A::Yes} << QStringList{kInvalidTo}
            << QList<I>{I::None} << QByteArray("Subject:Spam");
        QTest::newRow("empty server: only the review message")
            << to << QString() << from << s << t << QList<A>{} << QStringList{kReview} << QList<I>{I::None}
            << QByteArray();
        QTest::newRow("blank sender") << to << server << QStringLiteral("  ") << s << t << QList<A>{}
                                      << QStringList{kNoFrom, kReview} << QList<I>{I::Exclamation, I::None}
                                      << QByteArray();
        QTest::newRow("blank subject, No")
            << to << server << from << QStringLiteral(" ") << t << QList<A>{A::No} << QStringList{kNoSubject, kReview}
            << QList<I>{I::Question, I::None} << QByteArray();
        QTest::newRow("blank subject, Yes: one space")
            << to << server << from << QString() << t << QList<A>{A::Yes} << QStringList{kNoSubject}
            << QList<I>{I::Question} << QByteArray("Subject: ");
        QTest::newRow("blank text, No") << to << server << from << s << QStringLiteral("  ") << QList<A>{A::No}
                                        << QStringList{kNoText, kReview} << QList<I>{I::Question, I::None}
                                        << QByteArray();
        QTest::newRow("blank text, Yes") << to << server << from << s << QString() << QList<A>{A::Yes}
                                         << QStringList{kNoText} << QList<I>{I::Question} << QByteArray("Subject:Spam");
    }
    void questionsDecide()
    {
        QFETCH(QString, to);
        QFETCH(QString, server);
        QFETCH(QString, from);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        QFETCH(QList<PromptAnswer>, answers);
        QFETCH(QStringList, shown);
        QFETCH(QList<PromptIcon>, icons);
        QFETCH(QByteArray, subjectLine);
        Sandbox box;
        box.prompts().setNextAnswers(answers);
        MailComposer c(nullptr, QStringLiteral("tst"));
        fill(c, to, from, subject, text);
        c.setServer(server);
        const auto before = m_sink.messages().size();
        c.cmdSend_Click();
        QCOMPARE(box.prompts().texts(), shown);
        QCOMPARE(iconsOf(box.prompts()), icons);
        const auto messages = m_sink.messages();
        QCOMPARE(messages.size(), before + (subjectLine.isEmpty() ? 0 : 1));
        if (subjectLine.isEmpty()) {
            QCOMPARE(c.txtTo, to);
            QCOMPARE(c.txtMessage, text);
            return;
        }
        QVERIFY(messages.last().data.contains("\r\n" + subjectLine + "\r\nX-Mailer: Nettlewright <powered"));
        QCOMPARE(messages.last().rcptTos, QStringList{to});
        for (const QString* f : {&c.txtTo, &c.txtFrom, &c.txtCC, &c.txtBCC, &c.txtSubject, &c.txtMessage})
            QVERIFY(f->isEmpty());
        QCOMPARE(c.lblStatus, QStringLiteral("Idle"));
    }

    void failedSendKeepsFieldsAndSays()
    {
        Sandbox box;
        MailComposer c(nullptr, QStringLiteral("tst"));
        fill(c, QStringLiteral("abuse@example.com"), QStringLiteral("me@example.org"), QStringLiteral("s"),
             QStringLiteral("t"));
        c.smtp().Port = QString::number(nw::test::ScriptedPeer::closedPort());
        c.cmdSend_Click();
        QCOMPARE(box.prompts().texts(), QStringList{QStringLiteral("Error occured while sending...\r\n")});
        QCOMPARE(iconsOf(box.prompts()), QList<PromptIcon>{PromptIcon::Critical});
        QCOMPARE(c.lblStatus, QStringLiteral("Failed : Couldn't connect to server"));
        QCOMPARE(c.txtTo, QStringLiteral("abuse@example.com"));
        QCOMPARE(c.txtFrom, QStringLiteral("me@example.org"));

        // The flag was cleared: the next, successful send empties the fields.
        box.prompts().clear();
        c.smtp().Port = QString::number(m_sink.port());
        c.txtFrom = QStringLiteral("other@example.org");
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
        QTest::newRow("Server set reads back") << QStringLiteral("Server") << QStringLiteral("mx") << 0;
        QTest::newRow("Server empty: No Server") << QStringLiteral("Server") << QString() << 9999;
        QTest::newRow("MailTo: 393") << QStringLiteral("MailTo") << QStringLiteral("mx") << 393;
        QTest::newRow("XMailer: 393") << QStringLiteral("XMailer") << QStringLiteral("mx") << 393;
    }
    void propertiesAreWriteOnly()
    {
        QFETCH(QString, name);
        QFETCH(QString, server);
        QFETCH(int, error);
        MailComposer c(nullptr, QStringLiteral("tst"));
        c.setServer(server);
        try {
            QCOMPARE(c.readProperty(name), server);
            QCOMPARE(error, 0);
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), error);
            if (error == 9999)
                QCOMPARE(e.description(), QStringLiteral("No Server"));
        }
    }

    void settingsFillSenderAndCopies()
    {
        Sandbox box;
        SettingsStore store;
        const QString app = QStringLiteral("mailtool");
        store.save(app, QStringLiteral("EmailSettings"), QStringLiteral("From"), QStringLiteral("me@example.org"));
        store.save(app, QStringLiteral("EmailSettings"), QStringLiteral("BCC"), QStringLiteral("b@example.org"));
        MailComposer c(nullptr, app);
        QCOMPARE(c.txtFrom, QStringLiteral("me@example.org"));
        QCOMPARE(c.txtCC, QString());
        QCOMPARE(c.txtBCC, QStringLiteral("b@example.org"));
    }

    void widgetSendsWhatItShows()
    {
        Sandbox box;
        SendMail w(nullptr, QStringLiteral("tst"));
        w.composer().setServer(QStringLiteral("127.0.0.1"));
        w.composer().smtp().Port = QString::number(m_sink.port());
        w.composer().setMailTo(QStringLiteral("abuse@example.com"));
        QCOMPARE(w.txtTo->text(), QStringLiteral("abuse@example.com"));
        w.txtFrom->setText(QStringLiteral("me@example.org"));
        w.txtCC->setText(QStringLiteral("c@example.org"));
        w.txtSubject->setText(QStringLiteral("Hello"));
        w.txtMessage->setPlainText(QStringLiteral("line one\nline two"));
        QTest::mouseClick(w.cmdSend, Qt::LeftButton);
        QVERIFY(box.prompts().texts().isEmpty());
        const auto m = m_sink.messages().last();
        QCOMPARE(m.rcptTos, (QStringList{QStringLiteral("abuse@example.com"), QStringLiteral("c@example.org")}));
        QVERIFY(m.data.contains("Cc:c@example.org\r\nSubject:Hello\r\n"));
        QVERIFY(m.data.contains("\r\n\r\nline one\r\nline two\r\n"));
        for (QLineEdit* f : {w.txtTo, w.txtFrom, w.txtCC, w.txtBCC, w.txtSubject})
            QVERIFY(f->text().isEmpty());
        QVERIFY(w.txtMessage->toPlainText().isEmpty());
        QCOMPARE(w.lblStatus->text(), QStringLiteral("Idle"));
    }
};
NW_TEST_CLASS(TstMailComposer)

#include "tst_sendmail.moc"
