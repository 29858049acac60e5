#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "errors/frmErrHandler.h"
#include "support/Sandbox.h"
#include "support/SmtpSink.h"
#include "support/TestCertificate.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace nw;
using nw::test::Sandbox;

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

QStringList visibleOptions(const frmErrHandler& dialog)
{
    QStringList captions;
    for (const QPushButton* b : dialog.cmdOption)
        if (!b->isHidden())
            captions << b->text();
    return captions;
}

} // namespace

class TstErrorDialog : public QObject {
    Q_OBJECT

private slots:
    void modesOfferButtons_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("press"); // index of the option button, -1: closed without one
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("exits");
        QTest::addColumn<bool>("unloaded");
        const QStringList three{QStringLiteral("Quit"), QStringLiteral("Retry"), QStringLiteral("Ignore")};
        QTest::newRow("1: OK") << 1 << 0 << QStringList{QStringLiteral("OK")} << 1 << 0 << true;
        QTest::newRow("2: Retry") << 2 << 1 << three << 1 << 0 << true;
        QTest::newRow("2: Quit ends the program, still filled") << 2 << 0 << three << 0 << 1 << false;
        QTest::newRow("2: Ignore") << 2 << 2 << three << 3 << 0 << true;
        QTest::newRow("2: closed without a button") << 2 << -1 << three << 0 << 0 << true;
    }
    void modesOfferButtons()
    {
        QFETCH(int, mode);
        QFETCH(int, press);
        QFETCH(QStringList, captions);
        QFETCH(int, result);
        QFETCH(int, exits);
        QFETCH(bool, unloaded);
        Sandbox box;
        AppState state;
        frmErrHandler dialog(state);
        ErrorHandler::instance().setPresenter(&dialog);
        QStringList shown;
        pressWhenShown(dialog, [&] {
            shown = visibleOptions(dialog);
            if (press < 0)
                dialog.reject();
            else
                QTest::mouseClick(dialog.cmdOption[press], Qt::LeftButton);
        });
        QCOMPARE(HandleError(RuntimeError(53), QStringLiteral("File not found"), mode), result);
        QCOMPARE(shown, captions);
        QCOMPARE(box.exits(), exits);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.txtStack->toPlainText().isEmpty(), unloaded);
    }

    // With the report button on offer, Enter takes the option that never ends the program, Esc closes.
    void keysAnswerTheDialog_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter takes OK") << 3 << int(Qt::Key_Return) << 3;
        QTest::newRow("Enter takes Ignore, not Quit") << 2 << int(Qt::Key_Return) << 3;
        QTest::newRow("Esc closes without a button") << 2 << int(Qt::Key_Escape) << 0;
    }
    void keysAnswerTheDialog()
    {
        QFETCH(int, mode);
        QFETCH(int, key);
        QFETCH(int, result);
        Sandbox box;
        AppState state;
        state.smtpServer = QStringLiteral("smtp.example.net");
        state.userAddress = QStringLiteral("me@example.net");
        frmErrHandler dialog(state);
        ErrorHandler::instance().setPresenter(&dialog);
        const QString folded = dialog.cmdSendError->text();
        pressWhenShown(dialog, [&] {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus && dialog.isAncestorOf(focus) ? focus : &dialog, Qt::Key(key));
        });
        QCOMPARE(HandleError(RuntimeError(53), QStringLiteral("File not found"), mode), result);
        QCOMPARE(dialog.cmdSendError->text(), folded);
        QCOMPARE(box.exits(), 0);
    }

    void reportButtonNeedsServerAndAddress_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("offered");
        QTest::newRow("both set") << QStringLiteral("mx") << QStringLiteral("me@example.org") << true;
        QTest::newRow("no user address") << QStringLiteral("mx") << QString() << false;
        QTest::newRow("no server") << QString() << QStringLiteral("me@example.org") << false;
    }
    void reportButtonNeedsServerAndAddress()
    {
        QFETCH(QString, server);
        QFETCH(QString, address);
        QFETCH(bool, offered);
        AppState state;
        state.smtpServer = server;
        state.userAddress = address;
        frmErrHandler dialog(state);
        dialog.setError(QStringLiteral(" 5"), QStringLiteral("Invalid procedure call or argument"));
        QCOMPARE(!dialog.cmdSendError->isHidden(), offered);
    }

    void foldingChangesHeightOnly()
    {
        AppState state;
        state.smtpServer = QStringLiteral("mx");
        state.userAddress = QStringLiteral("me@example.org");
        frmErrHandler dialog(state);
        dialog.setError(QStringLiteral(" 5"), QStringLiteral("Invalid procedure call or argument"));
        const int panel = dialog.picLayout->height();
        const int report = dialog.picReportError->height();
        QVERIFY(panel > 0 && report > 0);
        QCOMPARE(dialog.size(), dialog.picLayout->size() + QSize(2, 2));
        for (int round = 0; round < 2; ++round) {
            dialog.cmdSendError->click();
            QCOMPARE(dialog.height(), panel + report);
            QCOMPARE(dialog.cmdSendError->text(), QStringLiteral("<<Report Error"));
            dialog.cmdSendError->click();
            QCOMPARE(dialog.height(), panel);
            QCOMPARE(dialog.cmdSendError->text(), QStringLiteral("Report Error >>"));
        }
        QCOMPARE(dialog.width(), dialog.picLayout->width() + 2);
    }

    void dragsByItsBody()
    {
        AppState state;
        frmErrHandler dialog(state);
        dialog.setError(QStringLiteral(" 5"), QStringLiteral("Invalid procedure call or argument"));
        dialog.move(100, 100);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint start = dialog.pos();
        QTest::mousePress(dialog.lblMessage, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(dialog.lblMessage, QPoint(45, 25));
        QTest::mouseRelease(dialog.lblMessage, Qt::LeftButton, {}, QPoint(45, 25));
        QTRY_COMPARE(dialog.pos(), start + QPoint(40, 20));
    }

    // A server that takes mail only over TLS and after a login gets the report with the program's settings.
    void reportGoesThroughTheSmtpSecuritySettings()
    {
        nw::test::TestCertificate cert;
        const QString problem = cert.make();
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        nw::test::SmtpSink sink;
        QVERIFY2(sink.start({QStringLiteral("--security"), QStringLiteral("starttls"), QStringLiteral("--cert"),
                             cert.certPath(), QStringLiteral("--key"), cert.keyPath(), QStringLiteral("--user"),
                             QStringLiteral("reporter"), QStringLiteral("--password"), QStringLiteral("pw")}),
                 qPrintable(sink.error()));
        Sandbox box;
        AppState state;
        state.smtpServer = QStringLiteral("127.0.0.1");
        state.userAddress = QStringLiteral("me@example.org");
        state.smtpSecurity = {QString::number(sink.port()), SmtpSecurity::Mode::StartTls, QStringLiteral("reporter"),
                              QStringLiteral("pw"), cert.certificates()};
        frmErrHandler dialog(state);
        dialog.cmdSend_Click();
        QCOMPARE(sink.authAttempts(), QStringList{QStringLiteral("PLAIN reporter ok")});
        QCOMPARE(sink.messages().size(), 1);
        QVERIFY(!dialog.SMTP1.Log.contains(QStringLiteral("pw")));
    }

    void sendMailsTheReportOnce()
    {
        nw::test::SmtpSink sink;
        QVERIFY2(sink.start(), qPrintable(sink.error()));
        Sandbox box;
        ErrorHandler::instance().setClock([] { return kWhen; });
        AppState state;
        state.smtpServer = QStringLiteral("127.0.0.1:%1").arg(sink.port()); // HOST:PORT, as complaints take it
        state.userAddress = QStringLiteral("me@example.org");
        state.supportAddress = QStringLiteral("support@example.com");
        frmErrHandler dialog(state);
        ErrorHandler::instance().setPresenter(&dialog);
        QByteArray data;
        pressWhenShown(dialog, [&] {
            dialog.cmdSendError->click();
            dialog.txtMessage->setPlainText(QStringLiteral("pressed Process"));
            dialog.cmdSend->click();
            QVERIFY(dialog.cmdSendError->isHidden());
            QCOMPARE(dialog.height(), dialog.picLayout->height());
            dialog.cmdOption[0]->click();
        });
        {
            TraceScope scope("cmdProcess_Click");
            QCOMPARE(HandleError(RuntimeError(53), QStringLiteral("File not found"), 3), 3);
        }
        const auto messages = sink.messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().mailFrom, QStringLiteral("me@example.org"));
        QCOMPARE(messages.first().rcptTos, QStringList{QStringLiteral("support@example.com")});
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
