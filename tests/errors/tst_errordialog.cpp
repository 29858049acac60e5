#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "errors/frmErrHandler.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace nw;
using namespace Qt::StringLiterals;
using namespace nw::test;

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

class TstErrorDialog : public QObject {
    Q_OBJECT

private slots:
    // Each mode's buttons, pressed by mouse or answered by key. With the report button on offer, Enter takes the
    // option that never ends the program and Esc closes. Under the monitor no dialog waits for an answer: that
    // option is taken and the tray tells the user.
    void modesOfferButtons_data()
    {
        // press: index of the option button; -1: close the dialog; -2: press `key`; -3: the monitor runs
        columns<int, int, int, QStringList, int, int>("mode", "press", "key", "captions", "result", "exits");
        const QStringList ok{u"OK"_s}, three{u"Quit"_s, u"Retry"_s, u"Ignore"_s};
        row("1: OK", 1, 0, 0, ok, 1, 0);
        row("2: Retry", 2, 1, 0, three, 1, 0);
        row("2: Quit ends the program, still filled", 2, 0, 0, three, 0, 1);
        row("2: Ignore", 2, 2, 0, three, 3, 0);
        row("2: closed without a button", 2, -1, 0, three, 0, 0);
        row("3: Enter takes OK", 3, -2, int(Qt::Key_Return), ok, 3, 0);
        row("2: Enter takes Ignore, not Quit", 2, -2, int(Qt::Key_Return), three, 3, 0);
        row("2: Esc closes without a button", 2, -2, int(Qt::Key_Escape), three, 0, 0);
        row("2 under the monitor: Ignore, no dialog", 2, -3, 0, QStringList(), 3, 0);
    }
    void modesOfferButtons()
    {
        const auto [mode, press, key, captions, result, exits] =
            fetch<int, int, int, QStringList, int, int>("mode", "press", "key", "captions", "result", "exits");
        Sandbox box;
        AppState state;
        state.smtpServer = u"smtp.example.net"_s;
        state.userAddress = u"me@example.net"_s;
        state.setMonitorActive(press == -3);
        QSignalSpy notices(&state, &AppState::notice);
        frmErrHandler dialog(state);
        ErrorHandler::instance().setPresenter(&dialog);
        const QString folded = dialog.cmdSendError->text();
        QStringList shown;
        const int pressed = press, keyed = key;
        pressWhenShown(dialog, [&] {
            for (const QPushButton* b : dialog.cmdOption)
                if (!b->isHidden())
                    shown << b->text();
            QWidget* focus = QApplication::focusWidget();
            if (pressed == -2)
                QTest::keyClick(focus && dialog.isAncestorOf(focus) ? focus : &dialog, Qt::Key(keyed));
            else if (pressed < 0)
                dialog.reject();
            else
                QTest::mouseClick(dialog.cmdOption[pressed], Qt::LeftButton);
        });
        QCOMPARE(HandleError(RuntimeError(53), u"File not found"_s, mode), result);
        QCOMPARE(shown, captions);
        QCOMPARE(notices.size(), press == -3 ? 1 : 0);
        if (press == -3)
            QVERIFY(notices.first().first().toString().contains(u"File not found"_s));
        QCOMPARE(box.exits(), exits);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.txtStack->toPlainText().isEmpty(), exits == 0); // unloaded unless the program ends
        QCOMPARE(dialog.cmdSendError->text(), folded);
    }

    // The report button needs a server and the user's address; folding it out changes the height only. The
    // borderless dialog is dragged by its body.
    void foldsOutAndDrags_data()
    {
        columns<QString, QString>("server", "address");
        row("both set", u"mx"_s, u"me@example.org"_s);
        row("no user address", u"mx"_s, QString());
        row("no server", QString(), u"me@example.org"_s);
    }
    void foldsOutAndDrags()
    {
        const auto [server, address] = fetch<QString, QString>("server", "address");
        AppState state;
        state.smtpServer = server;
        state.userAddress = address;
        frmErrHandler dialog(state);
        dialog.setError(u" 5"_s, u"Invalid procedure call or argument"_s);
        QCOMPARE(!dialog.cmdSendError->isHidden(), !server.isEmpty() && !address.isEmpty());
        if (dialog.cmdSendError->isHidden())
            return;
        const int panel = dialog.picLayout->height(), report = dialog.picReportError->height();
        QVERIFY(panel > 0 && report > 0);
        QCOMPARE(dialog.size(), dialog.picLayout->size() + QSize(2, 2));
        for (const auto& [height, caption] :
             {std::pair{panel + report, u"<<Report Error"_s}, {panel, u"Report Error >>"_s}}) {
            dialog.cmdSendError->click();
            QCOMPARE(dialog.size(), QSize(dialog.picLayout->width() + 2, height));
            QCOMPARE(dialog.cmdSendError->text(), caption);
        }
        dialog.move(100, 100);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos();
        QTest::mousePress(dialog.lblMessage, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(dialog.lblMessage, QPoint(45, 25));
        QTest::mouseRelease(dialog.lblMessage, Qt::LeftButton, {}, QPoint(45, 25));
        QTRY_COMPARE(dialog.pos(), start + QPoint(40, 20));
    }

    // The report goes out through the program's settings: HOST:PORT as complaints take it, STARTTLS and a login.
    void sendMailsTheReportOnce()
    {
        TestCertificate cert;
        const QString problem = cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        SmtpSink sink;
        QVERIFY2(sink.start({u"--security"_s, u"starttls"_s, u"--cert"_s, cert.certPath(), u"--key"_s, cert.keyPath(),
                             u"--user"_s, u"reporter"_s, u"--password"_s, u"pw"_s}),
                 qPrintable(sink.error()));
        Sandbox box;
        ErrorHandler::instance().setClock([] { return kWhen; });
        AppState state;
        state.smtpServer = u"127.0.0.1:%1"_s.arg(sink.port());
        state.userAddress = u"me@example.org"_s;
        state.supportAddress = u"support@example.com"_s;
        state.smtpSecurity = {QString(), SmtpSecurity::Mode::StartTls, u"reporter"_s, u"pw"_s, cert.certificates()};
        frmErrHandler dialog(state);
        ErrorHandler::instance().setPresenter(&dialog);
        QByteArray data;
        pressWhenShown(dialog, [&] {
            dialog.cmdSendError->click();
            dialog.txtMessage->setPlainText(u"pressed Process"_s);
            dialog.cmdSend->click();
            QVERIFY(dialog.cmdSendError->isHidden());
            QCOMPARE(dialog.height(), dialog.picLayout->height());
            dialog.cmdOption[0]->click();
        });
        {
            TraceScope scope("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(53), u"File not found"_s, 3), 3);
        }
        QCOMPARE(sink.authAttempts(), QStringList{u"PLAIN reporter ok"_s});
        QVERIFY(!dialog.SMTP1.Log.contains(u"pw"_s));
        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().mailFrom, u"me@example.org"_s);
        QCOMPARE(messages.first().rcptTos, QStringList{u"support@example.com"_s});
        const QByteArray expected = "Subject:Product ERROR: Nettlewright 2.0.1\r\n"
                                    "X-Mailer:  <powered by WrenSMTP (1.0)>\r\n\r\n[Date] " +
                                    generalDateText(kWhen).toLatin1() +
                                    "\r\n[Error Number]  53\r\n[Error Description]\r\nFile not found\r\n\r\n" +
                                    QByteArray(28, '-') + "\r\n[Users Description] \r\npressed Process\r\n\r\n" +
                                    QByteArray(28, '-') + "\r\n[PROCEDURE STACK DUMP]\r\n1 - CMDPROCESS_CLICK\r\n";
        QVERIFY2(messages.first().data.contains(expected), messages.first().data.constData());
        QVERIFY(messages.first().data.contains("     -- Error --\r\n     Number:      53\r\n"));
    }
};
NW_TEST_CLASS(TstErrorDialog)

#include "tst_errordialog.moc"
