#include "app/AppState.h"
#include "controls/Hyperlink.h"
#include "intake/JunkChute.h"
#include "intake/Webmail.h"
#include "intake/frmJunkChute.h"
#include "intake/frmWebmail.h"
#include "platform/AppId.h"
#include "platform/AppPaths.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::fileBytes;
using nw::test::writeBytes;

class TstIntake : public QObject {
    Q_OBJECT

private slots:
    // Only a folder the program makes gets the icon entry; one the user already has is left as it is.
    void folderIsMadeWithItsIcon_data()
    {
        QTest::addColumn<bool>("existing");
        QTest::newRow("fresh folder") << false;
        QTest::newRow("existing folder") << true;
    }
    void folderIsMadeWithItsIcon()
    {
        QFETCH(bool, existing);
        test::Sandbox box;
        AppState state;
        const QString folder = box.desktopFolder() + u"/JunkChute"_s;
        if (existing)
            QVERIFY(QDir().mkpath(folder) && writeBytes(folder + u"/waiting.msg"_s, "x"));
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(state.junkChuteFolder(), folder);
        QCOMPARE(fileBytes(folder + u"/.directory"_s),
                 existing ? QByteArray() : "[Desktop Entry]\nIcon=" + folderIconName().toUtf8() + "\n");
        // The icon entry is the folder's own, not a message.
        QCOMPARE(junkChuteFiles(folder), existing ? QStringList{u"waiting.msg"_s} : QStringList());
        QVERIFY(box.prompts().shown().isEmpty());
    }

    void onlyOrdinaryFilesAreMessages()
    {
        test::Sandbox box;
        const QString folder = box.desktopFolder();
        for (const QString& name : {u"b.eml"_s, u"a"_s, u"Desktop.INI"_s, u".directory"_s})
            QVERIFY(writeBytes(folder + u'/' + name, "x"));
        QDir().mkpath(folder + u"/sub"_s);
        QCOMPARE(junkChuteFiles(folder), (QStringList{u"a"_s, u"b.eml"_s}));
        QVERIFY(junkChuteFiles(QString()).isEmpty());
    }

    void nextFreeNumber_data()
    {
        QTest::addColumn<QList<int>>("present");
        QTest::addColumn<QString>("expected");
        QList<int> all;
        for (int n = 1; n <= 100; ++n)
            all << n;
        QTest::newRow("empty folder") << QList<int>{} << u"Webmail1.msg"_s;
        QTest::newRow("1 and 2 present") << QList<int>{1, 2} << u"Webmail3.msg"_s;
        QTest::newRow("only 2 present") << QList<int>{2} << u"Webmail1.msg"_s;
        QTest::newRow("all 100 present") << all << u""_s;
        QTest::newRow("99 taken, 100 free") << all.mid(0, 99) << u"Webmail100.msg"_s;
    }
    void nextFreeNumber()
    {
        QFETCH(QList<int>, present);
        QFETCH(QString, expected);
        test::Sandbox box;
        for (int n : present)
            QVERIFY(writeBytes(AppPaths::join(box.desktopFolder(), u"Webmail%1.msg"_s.arg(n)), "x"));
        QCOMPARE(nextWebmailPath(box.desktopFolder()),
                 expected.isEmpty() ? QString() : AppPaths::join(box.desktopFolder(), expected));

        QString written;
        const WebmailSave result = saveWebmail(box.desktopFolder(), u"Received: from a\r\nbody"_s, &written);
        QCOMPARE(result, expected.isEmpty() ? WebmailSave::AllNamesTaken : WebmailSave::Saved);
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(written), QByteArray("Received: from a\r\nbody\r\n"));
    }

    void unwritableFolderLeavesNoFile()
    {
        test::Sandbox box;
        QString path;
        QCOMPARE(saveWebmail(box.desktopFolder() + u"/missing"_s, u"text"_s, &path), WebmailSave::WriteFailed);
        QVERIFY(!QFile::exists(path));
    }

    void clickedFileIsLoadedIntoTheView()
    {
        test::Sandbox box;
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
            QVERIFY(writeBytes(state.junkChuteFolder() + u"/Webmail%1.msg"_s.arg(n), {}));
        window.txtSpamFile->setPlainText(pasted);
        QTest::mouseClick(window.hlnkProcessMessage, Qt::LeftButton);
        const bool saved = prompt.isEmpty() && !namesTaken;
        QCOMPARE(window.txtSpamFile->toPlainText().isEmpty(), saved);
        QCOMPARE(QDir(state.junkChuteFolder()).entryList(QDir::Files).size(), namesTaken ? 100 : int(saved));
        if (saved)
            QCOMPARE(fileBytes(state.junkChuteFolder() + u"/Webmail1.msg"_s),
                     pasted.replace(u'\n', u"\r\n"_s).toLatin1() + "\r\n");
        QCOMPARE(box.prompts().texts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
        if (!prompt.isEmpty())
            QCOMPARE(box.prompts().shown().at(0).title, u"No Header"_s);
    }
};

NW_TEST_CLASS(TstIntake)

#include "tst_intake.moc"
