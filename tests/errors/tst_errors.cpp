#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "errors/frmErrHandler.h"
#include "platform/AppPaths.h"
#include "support/SmtpSink.h"
#include "support/Test.h"
#include "support/TestCertificate.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

const QDateTime kWhen(QDate(2026, 3, 4), QTime(5, 6, 7));

// Presses a button of the modal dialog once it shows; closes it after a bound so no test can hang on it.
void pressWhenShown(frmErrHandler& dialog, const std::function<void()>& press)
{
    QTimer::singleShot(0, &dialog, [&dialog, press] {
        if (dialog.isVisible())
            press();
    });
    QTimer::singleShot(10000, &dialog, [&dialog] { dialog.reject(); });
}

} // namespace

// The handler with the real dialog, whose report button has a server and the user's address to go by.
class TstErrors : public QObject {
    Q_OBJECT

    std::unique_ptr<Sandbox> m_box;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<frmErrHandler> m_dialog;

private slots:
    void init()
    {
        m_box = std::make_unique<Sandbox>();
        m_state = std::make_unique<AppState>();
        m_state->smtpServer = u"smtp.example.net"_s;
        m_state->userAddress = u"me@example.net"_s;
        m_dialog = std::make_unique<frmErrHandler>(*m_state);
        ErrorHandler::instance().setPresenter(m_dialog.get());
        ErrorHandler::instance().setClock([] { return kWhen; });
    }
    void cleanup()
    {
        QCOMPARE(ErrorHandler::instance().stackDepth(), 0);
        m_dialog.reset();
        m_state.reset();
        m_box.reset();
    }

    // The record and the stack in the error log byte for byte, as far as the two switches let them be written;
    // a stack dump asked for meanwhile lists the innermost routine first. Error 1 is never reported.
    void logRecordIsExact_data()
    {
        columns<int, QVariantList, QByteArray, QByteArray, bool, bool>("number", "parameters", "numberText",
                                                                       "parameterLines", "tracking", "logging");
        const QByteArray none("                  None\r\n\r\n");
        row("negative number, two parameters", -2147221504, QVariantList{u"a.msg"_s, 42}, QByteArray("-2147221504"),
            QByteArray("                  a.msg\r\n                  42\r\n\r\n\r\n"), true, true);
        row("no logging: stack only", 5, QVariantList(), QByteArray(" 5"), none, true, false);
        row("no tracking: record only", 5, QVariantList(), QByteArray(" 5"), none, false, true);
    }
    void logRecordIsExact()
    {
        const auto [number, parameters, numberText, parameterLines, tracking, logging] =
            fetch<int, QVariantList, QByteArray, QByteArray, bool, bool>("number", "parameters", "numberText",
                                                                         "parameterLines", "tracking", "logging");
        ErrorHandler::instance().stackTracking = tracking;
        ErrorHandler::instance().logErrors = logging;
        m_state->setMonitorActive(true); // were error 1 reported, no dialog would wait
        runGuarded("innerMost", [] { throw RuntimeError(1); });
        {
            TraceScope outer("MDIForm_Load");
            TraceScope inner("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(number, u"Broken"_s), u"Broken"_s, 7, parameters), 0);
            TraceStack(2, QString());
        }
        const QByteArray record =
            "<-- " + generalDateText(kWhen).toLatin1() +
            " -->\r\n     Product:     Nettlewright (2.0.1)\r\n     -- Error --\r\n     Number:     " + numberText +
            "\r\n     Description: Broken\r\n     Parameters:\r\n" + parameterLines;
        const QByteArray stack = "     -- Stack --\r\n\t2 - CMDPROCESS_CLICK\r\n\t1 - MDIFORM_LOAD\r\n\r\n";
        QCOMPARE(m_box->errorLog(), (logging ? record : QByteArray()) + (tracking ? stack : QByteArray()));
        // A folder below a plain file cannot be written, even by root: each failed write is told in its own box.
        AppPaths::setProgramFolder(m_box->writeFile(u"plain"_s, "x") + u"/sub"_s);
        QCOMPARE(HandleError(RuntimeError(13), u"Type mismatch"_s, 7), 0);
        const QString failed = u"| 75 - Path/File access error|%1"_s.arg(int(PromptIcon::Critical));
        QStringList due{tracking ? u"Stack Dump [Nettlewright]|2 - CMDPROCESS_CLICK\r\n1 - MDIFORM_LOAD\r\n|%1"_s.arg(
                                       int(PromptIcon::Information))
                                 : QString(),
                        logging ? u"Unable to Write Error Log"_s + failed : QString(),
                        tracking ? u"Unable to Process Stack Request"_s + failed : QString()};
        due.removeAll(QString());
        QStringList boxes;
        for (const Prompt& p : m_box->prompts().shown())
            boxes << u"%1|%2|%3"_s.arg(p.title, p.text).arg(int(p.icon));
        QCOMPARE(boxes, due);
    }

    // Each mode's buttons, pressed by mouse or answered by key. With the report button on offer, Enter takes the
    // option that never ends the program and Esc closes. Under the monitor no dialog waits for an answer: that
    // option is taken and the tray tells the user.
    void modesOfferButtons_data()
    {
        // press: index of the option button, or a key; -1: close the dialog; -2: the monitor runs
        columns<int, int, QStringList, int, int, bool>("mode", "press", "captions", "result", "exits", "filled");
        const QStringList ok{u"OK"_s}, three{u"Quit"_s, u"Retry"_s, u"Ignore"_s};
        row("0: Quit ends the program", 0, 0, QStringList{u"Quit"_s}, 0, 1, false);
        row("1: OK", 1, 0, ok, 1, 0, false);
        row("2: Quit ends the program, still filled", 2, 0, three, 0, 1, true);
        row("2: Ignore", 2, 2, three, 3, 0, false);
        row("3: Enter takes OK", 3, int(Qt::Key_Return), ok, 3, 0, false);
        row("2: Enter takes Ignore, not Quit", 2, int(Qt::Key_Return), three, 3, 0, false);
        row("2: Esc closes without a button", 2, int(Qt::Key_Escape), three, 0, 0, false);
        row("2 under the monitor: Ignore, no dialog", 2, -2, QStringList(), 3, 0, false);
        row("7: not shown, still filled", 7, -1, QStringList(), 0, 0, true);
    }
    void modesOfferButtons()
    {
        const auto [mode, press, captions, result, exits, filled] =
            fetch<int, int, QStringList, int, int, bool>("mode", "press", "captions", "result", "exits", "filled");
        frmErrHandler& dialog = *m_dialog;
        // An earlier error answered "Retry" (checked for every row): nothing of that answer may stay for this one.
        pressWhenShown(dialog, [&] { dialog.cmdOption[1]->click(); });
        QCOMPARE(HandleError(RuntimeError(5), u"Invalid procedure call or argument"_s, 2), 1);
        m_state->setMonitorActive(press == -2);
        QSignalSpy notices(m_state.get(), &AppState::notice);
        QStringList shown;
        pressWhenShown(dialog, [&] {
            for (const QPushButton* b : dialog.cmdOption)
                if (!b->isHidden())
                    shown << b->text();
            QWidget* focus = QApplication::focusWidget();
            if (press > 2)
                QTest::keyClick(focus && dialog.isAncestorOf(focus) ? focus : &dialog, Qt::Key(press));
            else if (press < 0)
                dialog.reject();
            else
                QTest::mouseClick(dialog.cmdOption[press], Qt::LeftButton);
        });
        QCOMPARE(HandleError(RuntimeError(53), u"File not found"_s, mode), result);
        QCOMPARE(shown, captions);
        QCOMPARE(notices.size() == 1 && notices.first().first().toString().contains(u"File not found"_s), press == -2);
        QCOMPARE(std::pair(m_box->exits(), m_box->prompts().texts().contains(u"Exiting Program"_s)),
                 std::pair(exits, exits > 0));
        QCOMPARE(dialog.txtStack->toPlainText().isEmpty(), !filled);
    }

    // The report button needs a server and the user's address; folding it out changes the height only, and the
    // borderless dialog is dragged by its body. The report goes out once per dialog, through the program's
    // settings: HOST:PORT, STARTTLS and a login.
    void sendMailsTheReportOnce()
    {
        frmErrHandler& dialog = *m_dialog;
        for (const auto& [server, address] : {std::pair{u"mx"_s, QString()}, {QString(), u"me@example.net"_s}}) {
            m_state->smtpServer = server;
            m_state->userAddress = address;
            dialog.setError(u" 5"_s, u"Invalid procedure call or argument"_s);
            QVERIFY(dialog.cmdSendError->isHidden());
            dialog.unload();
        }
        TestCertificate cert;
        const QString problem = cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        SmtpSink sink;
        QVERIFY2(sink.start({u"--security"_s, u"starttls"_s, u"--cert"_s, cert.certPath(), u"--key"_s, cert.keyPath(),
                             u"--user"_s, u"reporter"_s, u"--password"_s, u"pw"_s}),
                 qPrintable(sink.error()));
        m_state->smtpServer = u"127.0.0.1:%1"_s.arg(sink.port());
        m_state->supportAddress = u"support@example.com"_s;
        m_state->smtpSecurity = {QString(), SmtpSecurity::Mode::StartTls, u"reporter"_s, u"pw"_s, cert.certificates()};
        pressWhenShown(dialog, [&] {
            QVERIFY(!dialog.cmdSendError->isHidden());
            const int panel = dialog.picLayout->height(), report = dialog.picReportError->height();
            QVERIFY(panel > 0 && report > 0);
            QCOMPARE(dialog.size(), dialog.picLayout->size() + QSize(2, 2));
            for (const auto& [height, caption] :
                 {std::pair{panel + report, u"<<Report Error"_s}, {panel, u"Report Error >>"_s}}) {
                dialog.cmdSendError->click();
                QCOMPARE(dialog.size(), QSize(dialog.picLayout->width() + 2, height));
                QCOMPARE(dialog.cmdSendError->text(), caption);
            }
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QPoint start = dialog.pos();
            QTest::mousePress(dialog.lblMessage, Qt::LeftButton, {}, QPoint(5, 5));
            QTest::mouseMove(dialog.lblMessage, QPoint(45, 25));
            QTest::mouseRelease(dialog.lblMessage, Qt::LeftButton, {}, QPoint(45, 25));
            QTRY_COMPARE(dialog.pos(), start + QPoint(40, 20));
            dialog.cmdSendError->click();
            dialog.txtMessage->setPlainText(u"pressed Process"_s);
            dialog.cmdSend->click();
            QVERIFY(dialog.cmdSendError->isHidden());
            QCOMPARE(dialog.height(), dialog.picLayout->height());
            dialog.cmdOption[0]->click();
        });
        {
            TraceScope outer("MDIForm_Load");
            TraceScope inner("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(53), u"File not found"_s, 3), 3);
        }
        QCOMPARE(sink.authAttempts(), QStringList{u"PLAIN reporter ok"_s});
        QVERIFY(!dialog.SMTP1.Log.contains(u"pw"_s));
        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(QStringList(messages.first().rcptTos) << messages.first().mailFrom,
                 (QStringList{u"support@example.com"_s, u"me@example.net"_s}));
        const QByteArray expected = "Subject:Product ERROR: Nettlewright 2.0.1\r\n"
                                    "X-Mailer:  <powered by WrenSMTP (1.0)>\r\n\r\n[Date] " +
                                    generalDateText(kWhen).toLatin1() +
                                    "\r\n[Error Number]  53\r\n[Error Description]\r\nFile not found\r\n\r\n" +
                                    QByteArray(28, '-') + "\r\n[Users Description] \r\npressed Process\r\n\r\n" +
                                    QByteArray(28, '-') +
                                    "\r\n[PROCEDURE STACK DUMP]\r\n2 - CMDPROCESS_CLICK\r\n1 - MDIFORM_LOAD\r\n"
                                    "     -- Error --\r\n     Number:      53\r\n";
        QVERIFY2(messages.first().data.contains(expected), messages.first().data.constData());
    }
};

NW_TEST_CLASS(TstErrors)
#include "tst_errors.moc"
