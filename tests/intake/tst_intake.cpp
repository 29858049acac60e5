#include "app/AppState.h"
#include "intake/JunkChute.h"
#include "intake/Webmail.h"
#include "platform/AppId.h"
#include "platform/AppPaths.h"
#include "support/Files.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::fileBytes;
using nw::test::writeBytes;

class TstDropFolder : public QObject {
    Q_OBJECT

private slots:
    void freshFolderGetsItsIcon()
    {
        test::Sandbox box;
        AppState state;
        QVERIFY(CreateJunkChute(state));
        QCOMPARE(state.junkChuteFolder(), box.desktopFolder() + QStringLiteral("/JunkChute"));
        QVERIFY(QFileInfo(state.junkChuteFolder()).isDir());
        const QByteArray entry = fileBytes(state.junkChuteFolder() + QStringLiteral("/.directory"));
        QCOMPARE(entry, "[Desktop Entry]\nIcon=" + folderIconName().toUtf8() + "\n");
        // The icon entry is the folder's own, not a message.
        QVERIFY(junkChuteFiles(state.junkChuteFolder()).isEmpty());
        QVERIFY(box.prompts().shown().isEmpty());
    }

    void existingFolderIsLeftAlone()
    {
        test::Sandbox box;
        AppState state;
        const QString folder = box.desktopFolder() + QStringLiteral("/JunkChute");
        QDir().mkpath(folder);
        QVERIFY(writeBytes(folder + QStringLiteral("/waiting.msg"), "x"));
        QVERIFY(CreateJunkChute(state));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/.directory")));
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"waiting.msg"_s});
    }

    void folderThatCannotBeMadeIsReported()
    {
        test::Sandbox box;
        AppState state;
        // A file where the desktop folder should be.
        const QString blocked = box.desktopFolder() + QStringLiteral("/blocked");
        QVERIFY(writeBytes(blocked, "x"));
        AppPaths::setDesktopFolder(blocked);
        QVERIFY(!CreateJunkChute(state));
        QCOMPARE(box.prompts().shown().size(), 1);
        QCOMPARE(box.prompts().shown().at(0).text, QStringLiteral("Unable to create JunkChute folder!"));
        QCOMPARE(box.prompts().shown().at(0).title, QStringLiteral("JunkChute Error"));
    }

    void onlyOrdinaryFilesAreMessages()
    {
        test::Sandbox box;
        const QString folder = box.desktopFolder();
        QVERIFY(writeBytes(folder + QStringLiteral("/b.eml"), "x"));
        QVERIFY(writeBytes(folder + QStringLiteral("/a"), "x"));
        QVERIFY(writeBytes(folder + QStringLiteral("/desktop.ini"), "x"));
        QVERIFY(writeBytes(folder + QStringLiteral("/.directory"), "x"));
        QDir().mkpath(folder + QStringLiteral("/sub"));
        QCOMPARE(junkChuteFiles(folder), (QStringList{u"a"_s, u"b.eml"_s}));
        QVERIFY(junkChuteFiles(QString()).isEmpty());
    }

    void droppedFileShowsWithoutRefresh()
    {
        test::Sandbox box;
        JunkChuteList list;
        list.setFolder(box.desktopFolder());
        QVERIFY(list.files().isEmpty());
        QSignalSpy changed(&list, &JunkChuteList::filesChanged);
        QVERIFY(writeBytes(box.desktopFolder() + QStringLiteral("/dropped.msg"), "x"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(list.files(), QStringList{u"dropped.msg"_s});
        QFile::remove(box.desktopFolder() + QStringLiteral("/dropped.msg"));
        QTRY_VERIFY(list.files().isEmpty());
    }
};

class TstWebmail : public QObject {
    Q_OBJECT

private slots:
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
            QVERIFY(writeBytes(AppPaths::join(box.desktopFolder(), QStringLiteral("Webmail%1.msg").arg(n)), "x"));
        const QString path = nextWebmailPath(box.desktopFolder());
        QCOMPARE(path, expected.isEmpty() ? QString() : AppPaths::join(box.desktopFolder(), expected));

        QString written;
        const WebmailSave result =
            saveWebmail(box.desktopFolder(), QStringLiteral("Received: from a\r\nbody"), &written);
        QCOMPARE(result, expected.isEmpty() ? WebmailSave::AllNamesTaken : WebmailSave::Saved);
        if (!expected.isEmpty())
            QCOMPARE(fileBytes(written), QByteArray("Received: from a\r\nbody\r\n"));
    }

    void unwritableFolderLeavesNoFile()
    {
        test::Sandbox box;
        QString path;
        const QString missing = box.desktopFolder() + QStringLiteral("/missing");
        QCOMPARE(saveWebmail(missing, QStringLiteral("text"), &path), WebmailSave::WriteFailed);
        QVERIFY(!QFile::exists(path));
    }
};

NW_TEST_CLASS(TstDropFolder)
NW_TEST_CLASS(TstWebmail)

#include "tst_intake.moc"
