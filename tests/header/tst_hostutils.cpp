#include "header/HostUtils.h"
#include "platform/Resolver.h"
#include "support/Sandbox.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace nw;
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
        const QString invalid = QStringLiteral("String passed is an invalid IP.");
        const QString cleanup = QStringLiteral("Windows Sockets error occurred in Cleanup.");
        const int exclamation = int(PromptIcon::Exclamation);
        QTest::newRow("known address") << "192.0.2.1" << false << false << "a.example" << QStringList() << QList<int>();
        QTest::newRow("no reverse entry: no message")
            << "192.0.2.2" << false << false << "" << QStringList() << QList<int>();
        QTest::newRow("empty text") << "" << false << false << "" << QStringList{invalid} << QList<int>{exclamation};
        QTest::newRow("all ones") << "255.255.255.255" << false << false << "" << QStringList{invalid}
                                  << QList<int>{exclamation};
        QTest::newRow("a name") << "mail.example" << false << false << "" << QStringList{invalid}
                                << QList<int>{exclamation};
        QTest::newRow("name service does not start")
            << "192.0.2.1" << true << false << "" << QStringList{QStringLiteral("Sockets failed to initialize.")}
            << QList<int>{int(PromptIcon::Critical)};
        QTest::newRow("release fails after an answer")
            << "192.0.2.1" << false << true << "a.example" << QStringList{cleanup} << QList<int>{exclamation};
        QTest::newRow("release fails after an invalid text")
            << "" << false << true << "" << QStringList{invalid, cleanup} << QList<int>{exclamation, exclamation};
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
        QTest::newRow("known name") << "a.example"
                                    << "192.0.2.1";
        QTest::newRow("names are case-insensitive") << "A.Example"
                                                    << "192.0.2.1";
        QTest::newRow("unknown name: empty, no message") << "nowhere.example"
                                                         << "";
        QTest::newRow("empty name: this machine") << ""
                                                  << "127.0.0.1";
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
        QTest::newRow("zero bytes are one digit") << QByteArray("\x0a\x00\x00\x01", 4) << "10.0.0.1";
        QTest::newRow("documentation address") << QByteArray("\xc0\x00\x02\x01", 4) << "192.0.2.1";
        QTest::newRow("high bytes are unsigned") << QByteArray("\xff\xff\xff\xfe", 4) << "255.255.255.254";
    }
    void rawAddressToText()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, text);
        QCOMPARE(IPToText(QString::fromLatin1(raw)), text);
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("name"); // in the program folder
        QTest::addColumn<bool>("padded");  // surrounded by spaces
        QTest::addColumn<bool>("exists");
        QTest::newRow("ordinary file") << "message.eml" << false << true;
        QTest::newRow("surrounding spaces are trimmed") << "message.eml" << true << true;
        QTest::newRow("read-only file") << "readonly.eml" << false << true;
        QTest::newRow("missing file") << "missing.eml" << false << false;
        QTest::newRow("hidden file") << ".hidden" << false << false;
        QTest::newRow("a folder") << "folder" << false << false;
        QTest::newRow("a folder with a slash") << "folder/" << false << false;
        QTest::newRow("wildcard that matches") << "*.eml" << false << true;
        QTest::newRow("wildcard that matches nothing") << "*.msg" << false << false;
    }
    void fileExists()
    {
        QFETCH(QString, name);
        QFETCH(bool, padded);
        QFETCH(bool, exists);
        Sandbox box;
        box.writeFile(QStringLiteral("message.eml"), "x");
        box.writeFile(QStringLiteral(".hidden"), "x");
        QFile::setPermissions(box.writeFile(QStringLiteral("readonly.eml"), "x"), QFileDevice::ReadOwner);
        QDir(box.programFolder()).mkdir(QStringLiteral("folder"));
        const QString path = padded ? QStringLiteral("  %1  ").arg(box.path(name)) : box.path(name);
        QCOMPARE(FileExists(path), exists);
    }

    void blankPathsDoNotExist_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty") << "";
        QTest::newRow("spaces") << "   ";
    }
    void blankPathsDoNotExist()
    {
        QFETCH(QString, path);
        QVERIFY(!FileExists(path));
    }
};

NW_TEST_CLASS(TstHostUtils)
#include "tst_hostutils.moc"
