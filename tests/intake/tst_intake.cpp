#include "app/AppState.h"
#include "controls/Hyperlink.h"
#include "intake/JunkChute.h"
#include "intake/Webmail.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "platform/AppId.h"
#include "support/Test.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

class TstIntake : public QObject {
    Q_OBJECT

private slots:
    void folderIsMadeShownAndFedFromWebmail()
    {
        Sandbox box;
        AppState state;
        const QString folder = box.desktopFolder() + u"/JunkChute"_s;
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(fileBytes(folder + u"/.directory"_s), "[Desktop Entry]\nIcon=" + folderIconName().toUtf8() + "\n");
        // An existing folder is left as it is; only its ordinary, visible files are messages.
        QVERIFY(QFile::remove(folder + u"/.directory"_s));
        for (const QString& name : {u"waiting.msg"_s, u"a"_s, u"Desktop.INI"_s, u".claim"_s, u"sub/x"_s})
            QVERIFY(QDir().mkpath(folder + u"/sub"_s) && writeBytes(folder + u'/' + name, "x"));
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(std::pair(QFile::exists(folder + u"/.directory"_s), junkChuteFiles(folder)),
                 std::pair(false, QStringList{u"a"_s, u"waiting.msg"_s}));
        QVERIFY(junkChuteFiles(QString()).isEmpty() && box.prompts().shown().isEmpty());
        QString path;
        QCOMPARE(saveWebmail(folder + u"/missing"_s, u"text"_s, &path), WebmailSave::WriteFailed);

        frmJunkChute window(state);
        QVERIFY(window.Form_Load() && !window.cmdProcess->isEnabled());
        QVERIFY(writeBytes(folder + u"/spam.msg"_s,
                           "Return-Path: <x@example.com>\nReceived: from a.example by b.example\nSubject: hi\n"));
        QTRY_COMPARE(window.filJunkChute->count(), 3);
        int processed = 0;
        window.setProcessAction([&] { ++processed; });
        window.filJunkChute->setCurrentRow(1);
        window.filJunkChute_Click();
        // The header from its first received line on, with the CR LF line ends the analysis reads.
        QCOMPARE(window.spamFileView.text(), u"Received: from a.example by b.example\r\nSubject: hi\r\n"_s);
        QCOMPARE(window.txtSpamFile->toPlainText(), u"Received: from a.example by b.example\nSubject: hi\n"_s);
        // The link presses the button; the monitor presses the link.
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        window.processMessage();
        QCOMPARE(processed, 2);
        // The list follows the folder without a refresh.
        QFile::remove(state.currentMessageFile());
        QTRY_COMPARE(window.filJunkChute->count(), 2);

        // Pasted text is saved under the first free name up to Webmail100, and cleared; else it stays in the box.
        frmWebmail webmail(state);
        QVERIFY(webmail.Form_Load());
        const auto save = [&](const QString& text) {
            webmail.txtSpamFile->setPlainText(text);
            QTest::mouseClick(webmail.hlnkProcessMessage, Qt::LeftButton);
            return u"%1 %2"_s.arg(junkChuteFiles(folder).filter(u"Webmail"_s).size())
                .arg(webmail.txtSpamFile->toPlainText().size());
        };
        const QString full = u"Received: from mx\nSubject: x"_s;
        QVERIFY(writeBytes(folder + u"/Webmail2.msg"_s, "x"));
        QStringList steps{save(full), save(u"Subject: x"_s)};
        for (int n = 3; n < 100; ++n)
            QVERIFY(writeBytes(folder + u"/Webmail%1.msg"_s.arg(n), "x"));
        steps << save(full) << save(full);
        QCOMPARE(steps, (QStringList{u"2 0"_s, u"2 10"_s, u"100 0"_s, u"100 28"_s}));
        for (const QString& name : {u"/Webmail1.msg"_s, u"/Webmail100.msg"_s})
            QCOMPARE(fileBytes(folder + name), "Received: from mx\r\nSubject: x\r\n");
        QCOMPARE(box.prompts().shown().size(), 1);
        QCOMPARE(box.prompts().shown().at(0).title + u": "_s + box.prompts().shown().at(0).text,
                 u"No Header: This message does not appear to contain the full email header!"_s);
    }
};

NW_TEST_CLASS(TstIntake)

#include "tst_intake.moc"
