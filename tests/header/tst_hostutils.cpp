#include "header/HostUtils.h"
#include "platform/Resolver.h"
#include "support/Rows.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace nw;
using nw::test::row;
using nw::test::Sandbox;

class TstHostUtils : public QObject {
    Q_OBJECT

private slots:
    void reverseLookUpAndItsMessages_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<bool>("failStart");
        QTest::addColumn<bool>("failStop");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("icons");
        const QStringList none;
        const QStringList invalid{QStringLiteral("String passed is an invalid IP.")};
        const QString cleanup = QStringLiteral("Windows Sockets error occurred in Cleanup.");
        const QList<int> noIcon;
        const QList<int> exclamation{int(PromptIcon::Exclamation)};
        row("known address", "192.0.2.1", false, false, "a.example", none, noIcon);
        row("no reverse entry: no message", "192.0.2.2", false, false, "", none, noIcon);
        row("empty text", "", false, false, "", invalid, exclamation);
        row("all ones", "255.255.255.255", false, false, "", invalid, exclamation);
        row("a name", "mail.example", false, false, "", invalid, exclamation);
        row("name service does not start", "192.0.2.1", true, false, "",
            QStringList{QStringLiteral("Sockets failed to initialize.")}, QList<int>{int(PromptIcon::Critical)});
        row("release fails after an answer", "192.0.2.1", false, true, "a.example", QStringList{cleanup}, exclamation);
        row("release fails after an invalid text", "", false, true, "", invalid + QStringList{cleanup},
            exclamation + exclamation);
    }
    void reverseLookUpAndItsMessages()
    {
        QFETCH(QString, ip);
        QFETCH(bool, failStart);
        QFETCH(bool, failStop);
        QFETCH(QString, name);
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, icons);
        Sandbox box;
        TableResolver resolver;
        resolver.add(QStringLiteral("192.0.2.1"), QStringLiteral("a.example"));
        resolver.failStart = failStart;
        resolver.failStop = failStop;
        QCOMPARE(GetHostNameFromIP(resolver, ip), name);
        QCOMPARE(box.prompts().texts(), messages);
        QList<int> shownIcons;
        for (const Prompt& p : box.prompts().shown()) {
            shownIcons << int(p.icon);
            QCOMPARE(p.title, QStringLiteral("Nettlewright"));
            QCOMPARE(p.buttons, PromptButtons::Ok);
        }
        QCOMPARE(shownIcons, icons);
    }

    void forwardLookUp_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ip");
        row("known name", "a.example", "192.0.2.1");
        row("names are case-insensitive", "A.Example", "192.0.2.1");
        row("unknown name: empty, no message", "nowhere.example", "");
        row("empty name: this machine", "", "127.0.0.1");
    }
    void forwardLookUp()
    {
        QFETCH(QString, name);
        QFETCH(QString, ip);
        Sandbox box;
        TableResolver resolver;
        resolver.add(QStringLiteral("192.0.2.1"), QStringLiteral("a.example"));
        resolver.add(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
        QCOMPARE(GetIPFromHostName(resolver, name), ip);
        QVERIFY(box.prompts().shown().isEmpty());
    }

    void rawAddressToText_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("text");
        row("zero bytes are one digit", QByteArray("\x0a\x00\x00\x01", 4), "10.0.0.1");
        row("high bytes are unsigned", QByteArray("\xff\xff\xff\xfe", 4), "255.255.255.254");
    }
    void rawAddressToText()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, text);
        QCOMPARE(IPToText(QString::fromLatin1(raw)), text);
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("path"); // %F is the program folder
        QTest::addColumn<bool>("exists");
        row("ordinary file", "%F/message.eml", true);
        row("surrounding spaces are trimmed", "  %F/message.eml  ", true);
        row("read-only file", "%F/readonly.eml", true);
        row("missing file", "%F/missing.eml", false);
        row("hidden file", "%F/.hidden", false);
        row("a folder", "%F/folder", false);
        row("a folder with a slash", "%F/folder/", false);
        row("wildcard that matches", "%F/*.eml", true);
        row("wildcard that matches nothing", "%F/*.msg", false);
        row("empty", "", false);
        row("spaces", "   ", false);
    }
    void fileExists()
    {
        QFETCH(QString, path);
        QFETCH(bool, exists);
        Sandbox box;
        box.writeFile(QStringLiteral("message.eml"), "x");
        box.writeFile(QStringLiteral(".hidden"), "x");
        QFile::setPermissions(box.writeFile(QStringLiteral("readonly.eml"), "x"), QFileDevice::ReadOwner);
        QDir(box.programFolder()).mkdir(QStringLiteral("folder"));
        QCOMPARE(FileExists(path.replace(QLatin1String("%F"), box.programFolder())), exists);
    }
};

NW_TEST_CLASS(TstHostUtils)
#include "tst_hostutils.moc"
