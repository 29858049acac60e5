#include "controls/HelpPage.h"
#include "controls/HelpWindow.h"
#include "controls/Hyperlink.h"
#include "controls/Icons.h"
#include "controls/Splash.h"
#include "controls/TaskPane.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

using namespace nw;
using namespace Qt::StringLiterals;
using nw::test::ScriptedPeer;

class TstControls : public QObject {
    Q_OBJECT

private slots:
    void linkClicksFromMouseAndKeyboard_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Enter") << int(Qt::Key_Return) << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 1;
        QTest::newRow("Space") << int(Qt::Key_Space) << 1;
        QTest::newRow("other keys do nothing") << int(Qt::Key_A) << 0;
    }
    void linkClicksFromMouseAndKeyboard()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        Hyperlink link(u"Process Message"_s);
        QSignalSpy spy(&link, &Hyperlink::clicked);
        QTest::keyClick(&link, Qt::Key(key));
        QCOMPARE(spy.count(), clicks);
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(spy.count(), clicks + 1);
        QTest::mouseClick(&link, Qt::RightButton);
        QCOMPARE(spy.count(), clicks + 1);
    }

    void linkChangesColourUnderTheMouse()
    {
        Hyperlink link(u"Save Message"_s);
        const QColor normal = link.palette().color(link.foregroundRole());
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&link, &enter);
        QVERIFY(link.hovered());
        QVERIFY(link.palette().color(link.foregroundRole()) != normal || link.font().underline());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&link, &leave);
        QVERIFY(!link.hovered());
        QCOMPARE(link.palette().color(link.foregroundRole()), normal);
    }

    // Items and their clicks are seen through the main window's menu; here what it does not use.
    void taskPaneGroupsFold()
    {
        TaskPane pane;
        pane.SetImageList(menuIcons());
        pane.AddGroup(u"Details"_s, u"Details"_s);
        pane.AddItem(u"Missing"_s, u"X"_s, u"nowhere"_s, 1);
        QVERIFY(pane.itemKeys(u"Missing"_s).isEmpty());
        auto* panel = new QLabel(u"panel"_s);
        pane.SetGroupChild(u"Details"_s, panel);
        pane.show();
        QVERIFY(panel->isVisible());
        // A click on the caption bar folds the group away and the next one opens it again.
        QSignalSpy groups(&pane, &TaskPane::GroupClick);
        QTest::mouseClick(pane.groupHeader(u"Details"_s), Qt::LeftButton);
        QVERIFY(!pane.isExpanded(u"Details"_s) && !panel->isVisible());
        QTest::mouseClick(pane.groupHeader(u"Details"_s), Qt::LeftButton);
        QVERIFY(pane.isExpanded(u"Details"_s) && panel->isVisible());
        QCOMPARE(groups.count(), 2);
    }

    void splashCloses_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("after its time") << u"timer"_s;
        QTest::newRow("at a key press") << u"key"_s;
        QTest::newRow("on its product name") << u"name"_s;
    }
    void splashCloses()
    {
        QFETCH(QString, how);
        QPointer<frmSplash> splash = new frmSplash;
        QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
        splash->show();
        if (how == QLatin1String("timer"))
            splash->closeTimer.start(10);
        else if (how == QLatin1String("key"))
            QTest::keyClick(splash, Qt::Key_Escape);
        else
            QTest::mouseClick(splash->productName(), Qt::LeftButton);
        QTRY_VERIFY(!splash);
    }

    void helpPageOrAClearLocalOne_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QString>("shown");
        QTest::newRow("page served") << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                                   "<html><body><p>Drag spam into JunkChute.</p></body></html>")
                                     << true << u"Drag spam into JunkChute."_s;
        QTest::newRow("not found") << QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n") << false
                                   << u"could not be loaded"_s;
        QTest::newRow("empty page") << QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n") << false
                                    << u"empty page"_s;
        QTest::newRow("nothing listening") << QByteArray() << false << u"could not be loaded"_s;
    }
    void helpPageOrAClearLocalOne()
    {
        QFETCH(QByteArray, answer);
        QFETCH(bool, online);
        QFETCH(QString, shown);
        ScriptedPeer peer(ScriptedPeer::answer(answer));
        const quint16 port = answer.isEmpty() ? ScriptedPeer::closedPort() : peer.port();
        frmHelp help(QUrl(u"http://127.0.0.1:%1/help"_s.arg(port)));
        QSignalSpy pages(&help, &frmHelp::pageShown);
        help.reload();
        QVERIFY(pages.wait(10000));
        QCOMPARE(pages.at(0).at(0).toBool(), online);
        QVERIFY2(help.shownText().contains(shown), qPrintable(help.shownText()));
        // Without the vendor's page the help that came with the program is there, whole.
        QCOMPARE(help.shownText().contains(u"attach the error log"_s), !online);
        if (!answer.isEmpty())
            QCOMPARE(peer.lines().value(0), QByteArray("GET /help HTTP/1.1\r\n"));
    }

    void silentServerEndsInTheLocalPage()
    {
        ScriptedPeer peer({ScriptedPeer::hold()});
        HelpPage page;
        page.timeoutMs = 200;
        QSignalSpy loaded(&page, &HelpPage::loaded);
        page.load(QUrl(u"http://127.0.0.1:%1/help"_s.arg(peer.port())));
        QVERIFY(loaded.wait(10000));
        QVERIFY(!loaded.at(0).at(1).toBool());
    }
};

NW_TEST_CLASS(TstControls)

#include "tst_controls.moc"
