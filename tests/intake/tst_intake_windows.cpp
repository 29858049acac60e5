#include "app/AppState.h"
#include "controls/Hyperlink.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "platform/AppPaths.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;

class TstIntakeWindows : public QObject {
    Q_OBJECT

private slots:
    void clickedFileIsLoadedIntoTheView()
    {
        test::Sandbox box;
        AppState state;
        frmJunkChute window(state);
        QVERIFY(window.Form_Load());
        QVERIFY(!window.cmdProcess->isEnabled());
        QVERIFY(test::writeBytes(state.junkChuteFolder() + QStringLiteral("/spam.msg"),
                                 "Return-Path: <x@example.com>\nReceived: from a.example by b.example\nSubject: hi\n"));
        QTRY_COMPARE(window.filJunkChute->count(), 1);
        int processed = 0;
        window.setProcessAction([&] { ++processed; });
        window.filJunkChute->setCurrentRow(0);
        window.filJunkChute_Click();
        const QString path = AppPaths::join(state.junkChuteFolder(), QStringLiteral("spam.msg"));
        QCOMPARE(state.currentMessageFile(), path);
        // The header from its first received line on, with the CR LF line ends the analysis reads.
        const QString header = QStringLiteral("Received: from a.example by b.example\r\nSubject: hi\r\n");
        QCOMPARE(window.spamFileView.text(), header);
        QCOMPARE(window.txtSpamFile->toPlainText(), QStringLiteral("Received: from a.example by b.example\nSubject: hi\n"));
        // The link presses the button; the monitor presses the link.
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        window.processMessage();
        QCOMPARE(processed, 2);
    }

    void webmailSave_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("message");
        QTest::newRow("full header is saved") << u"Received: from mx\nSubject: x"_s << true << u""_s;
        QTest::newRow("no header shows No Header")
            << u"Subject: x"_s << false << u"This message does not appear to contain the full email header!"_s;
    }
    void webmailSave()
    {
        QFETCH(QString, pasted);
        QFETCH(bool, saved);
        QFETCH(QString, message);
        test::Sandbox box;
        AppState state;
        frmWebmail window(state);
        QVERIFY(window.Form_Load());
        window.txtSpamFile->setPlainText(pasted);
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        const QString file = state.junkChuteFolder() + QStringLiteral("/Webmail1.msg");
        QCOMPARE(QFile::exists(file), saved);
        QCOMPARE(window.txtSpamFile->toPlainText().isEmpty(), saved);
        if (saved) {
            QCOMPARE(test::fileBytes(file),
                     pasted.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toLatin1() + "\r\n");
            QVERIFY(box.prompts().shown().isEmpty());
        } else {
            QCOMPARE(box.prompts().shown().size(), 1);
            QCOMPARE(box.prompts().shown().at(0).text, message);
            QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("No Header"));
        }
    }

    void webmailWithEveryNameTakenKeepsTheText()
    {
        test::Sandbox box;
        AppState state;
        frmWebmail window(state);
        QVERIFY(window.Form_Load());
        for (int n = 1; n <= 100; ++n)
            QVERIFY(test::writeBytes(state.junkChuteFolder() + QStringLiteral("/Webmail%1.msg").arg(n), {}));
        window.txtSpamFile->setPlainText(QStringLiteral("Received: from mx"));
        window.hlnkProcessMessage_Click();
        QCOMPARE(window.txtSpamFile->toPlainText(), QStringLiteral("Received: from mx"));
        QVERIFY(box.prompts().shown().isEmpty());
        QCOMPARE(QDir(state.junkChuteFolder()).entryList(QDir::Files).size(), 100);
    }
};

NW_TEST_CLASS(TstIntakeWindows)

#include "tst_intake_windows.moc"
