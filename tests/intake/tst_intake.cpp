#include "app/AppState.h"
#include "controls/Hyperlink.h"
#include "intake/JunkChute.h"
#include "intake/Webmail.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "platform/AppId.h"
#include "platform/AppPaths.h"
#include "support/Files.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace nw;
using namespace nw::test;
using namespace Qt::StringLiterals;

class TstIntake : public QObject {
    Q_OBJECT

private slots:
    void folderIsMadeWithItsIcon()
    {
        Sandbox box;
        AppState state;
        const QString folder = box.desktopFolder() + u"/JunkChute"_s;
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(state.junkChuteFolder(), folder);
        QCOMPARE(fileBytes(folder + u"/.directory"_s), "[Desktop Entry]\nIcon=" + folderIconName().toUtf8() + "\n");
        // An existing folder is left as it is. Only ordinary files are messages: not the folder's own entries, hidden
        // claims or folders.
        QVERIFY(QFile::remove(folder + u"/.directory"_s));
        for (const QString& name : {u"waiting.msg"_s, u"a"_s, u"Desktop.INI"_s, u".claim"_s, u"sub/x"_s})
            QVERIFY(QDir().mkpath(folder + u"/sub"_s) && writeBytes(folder + u'/' + name, "x"));
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(std::pair(QFile::exists(folder + u"/.directory"_s), junkChuteFiles(folder)),
                 std::pair(false, QStringList{u"a"_s, u"waiting.msg"_s}));
        QVERIFY(junkChuteFiles(QString()).isEmpty() && box.prompts().shown().isEmpty());
        QString path;
        QCOMPARE(saveWebmail(folder + u"/missing"_s, u"text"_s, &path), WebmailSave::WriteFailed);
    }

    void clickedFileIsLoadedIntoTheView()
    {
        Sandbox box;
        AppState state;
        frmJunkChute window(state);
        QVERIFY(window.Form_Load());
        QVERIFY(!window.cmdProcess->isEnabled());
        QVERIFY(writeBytes(state.junkChuteFolder() + u"/spam.msg"_s,
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
        // The list follows the folder without a refresh.
        QFile::remove(state.currentMessageFile());
        QTRY_COMPARE(window.filJunkChute->count(), 0);
    }

    void webmailSave_data()
    {
        columns<QList<int>, QString, QString>("present", "pasted", "saved");
        QList<int> all;
        for (int n = 1; n <= 100; ++n)
            all << n;
        const QString full = u"Received: from mx\nSubject: x"_s;
        row("only 2 present", QList<int>{2}, full, u"Webmail1.msg"_s);
        row("99 taken, 100 free", all.mid(0, 99), full, u"Webmail100.msg"_s);
        row("every name taken keeps the text", all, full, QString());
        row("no header shows No Header", QList<int>{}, u"Subject: x"_s, QString());
    }
    void webmailSave()
    {
        const auto [present, pasted, saved] = fetch<QList<int>, QString, QString>("present", "pasted", "saved");
        Sandbox box;
        AppState state;
        frmWebmail window(state);
        QVERIFY(window.Form_Load());
        const QString folder = state.junkChuteFolder();
        for (int n : present)
            QVERIFY(writeBytes(folder + u"/Webmail%1.msg"_s.arg(n), "x"));
        window.txtSpamFile->setPlainText(pasted);
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        QCOMPARE(window.txtSpamFile->toPlainText().isEmpty(), !saved.isEmpty());
        QCOMPARE(junkChuteFiles(folder).size(), present.size() + int(!saved.isEmpty()));
        if (!saved.isEmpty())
            QCOMPARE(fileBytes(folder + u'/' + saved), QString(pasted).replace(u'\n', u"\r\n"_s).toLatin1() + "\r\n");
        QStringList told;
        for (const Prompt& prompt : box.prompts().shown())
            told << prompt.title + u": "_s + prompt.text;
        QCOMPARE(told,
                 pasted.startsWith(u"Received"_s)
                     ? QStringList()
                     : QStringList{u"No Header: This message does not appear to contain the full email header!"_s});
    }
};

NW_TEST_CLASS(TstIntake)

#include "tst_intake.moc"
