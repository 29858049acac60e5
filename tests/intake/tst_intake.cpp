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

    void droppedFileShowsWithoutRefresh()
    {
        test::Sandbox box;
        JunkChuteList list;
        list.setFolder(box.desktopFolder());
        QVERIFY(list.files().isEmpty());
        QSignalSpy changed(&list, &JunkChuteList::filesChanged);
        QVERIFY(writeBytes(box.desktopFolder() + u"/dropped.msg"_s, "x"));
        QVERIFY(changed.wait(5000));
        QCOMPARE(list.files(), QStringList{u"dropped.msg"_s});
        QFile::remove(box.desktopFolder() + u"/dropped.msg"_s);
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
};

NW_TEST_CLASS(TstDropFolder)
NW_TEST_CLASS(TstWebmail)

#include "tst_intake.moc"
