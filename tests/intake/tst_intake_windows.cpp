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
        QVERIFY(test::writeBytes(state.junkChuteFolder() + u"/spam.msg"_s,
                                 "Return-Path: <x@example.com>\nReceived: from a.example by b.example\nSubject: hi\n"));
        QTRY_COMPARE(window.filJunkChute->count(), 1);
        int processed = 0;
        window.setProcessAction([&] { ++processed; });
        window.filJunkChute->setCurrentRow(0);
        window.filJunkChute_Click();
        QCOMPARE(state.currentMessageFile(), AppPaths::join(state.junkChuteFolder(), u"spam.msg"_s));
        // The header from its first received line on, with the CR LF line ends the analysis reads.
        QCOMPARE(window.spamFileView.text(), u"Received: from a.example by b.example\r\nSubject: hi\r\n"_s);
        QCOMPARE(window.txtSpamFile->toPlainText(), u"Received: from a.example by b.example\nSubject: hi\n"_s);
        // The link presses the button; the monitor presses the link.
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        window.processMessage();
        QCOMPARE(processed, 2);
    }

    void webmailSave_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<bool>("namesTaken");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("full header is saved") << u"Received: from mx\nSubject: x"_s << false << u""_s;
        QTest::newRow("no header shows No Header")
            << u"Subject: x"_s << false << u"This message does not appear to contain the full email header!"_s;
        QTest::newRow("every name taken keeps the text") << u"Received: from mx"_s << true << u""_s;
    }
    void webmailSave()
    {
        QFETCH(QString, pasted);
        QFETCH(bool, namesTaken);
        QFETCH(QString, prompt);
        test::Sandbox box;
        AppState state;
        frmWebmail window(state);
        QVERIFY(window.Form_Load());
        for (int n = 1; namesTaken && n <= 100; ++n)
            QVERIFY(test::writeBytes(state.junkChuteFolder() + u"/Webmail%1.msg"_s.arg(n), {}));
        window.txtSpamFile->setPlainText(pasted);
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        const bool saved = prompt.isEmpty() && !namesTaken;
        QCOMPARE(window.txtSpamFile->toPlainText().isEmpty(), saved);
        QCOMPARE(QDir(state.junkChuteFolder()).entryList(QDir::Files).size(), namesTaken ? 100 : int(saved));
        if (saved)
            QCOMPARE(test::fileBytes(state.junkChuteFolder() + u"/Webmail1.msg"_s),
                     pasted.replace(u'\n', u"\r\n"_s).toLatin1() + "\r\n");
        QCOMPARE(box.prompts().texts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
        if (!prompt.isEmpty())
            QCOMPARE(box.prompts().shown().at(0).title, u"No Header"_s);
    }
};

NW_TEST_CLASS(TstIntakeWindows)

#include "tst_intake_windows.moc"
