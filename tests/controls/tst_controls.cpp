#include "controls/HelpPage.h"
#include "controls/HelpWindow.h"
#include "controls/Hyperlink.h"
#include "controls/Splash.h"
#include "support/ScriptedPeer.h"
#include "support/Test.h"

#include <QPointer>
#include <QSignalSpy>

class TstControls : public QObject {
    Q_OBJECT

private slots:
    void linkClicksFromMouseAndKeyboard()
    {
        Hyperlink link(u"Process Message"_s);
        QSignalSpy spy(&link, &Hyperlink::clicked);
        // Enter, keypad Enter and Space click; another key and the right button do not; the left button does.
        QString clicks;
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A}) {
            QTest::keyClick(&link, Qt::Key(key));
            clicks += QString::number(spy.count());
        }
        QTest::mouseClick(&link, Qt::RightButton);
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(clicks + QString::number(spy.count()), u"12334"_s);
        // Under the mouse the link changes, and goes back when the mouse leaves.
        const QColor normal = link.palette().color(link.foregroundRole());
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&link, &enter);
        QVERIFY(link.hovered() && (link.palette().color(link.foregroundRole()) != normal || link.font().underline()));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&link, &leave);
        QVERIFY(!link.hovered() && link.palette().color(link.foregroundRole()) == normal);
    }

    void splashCloses()
    {
        for (int how = 0; how < 3; ++how) {
            QPointer<frmSplash> splash = new frmSplash;
            QVERIFY(splash->windowFlags() & Qt::WindowStaysOnTopHint);
            splash->show();
            if (how == 0)
                splash->closeTimer.start(10);
            else if (how == 1)
                QTest::keyClick(splash, Qt::Key_Escape);
            else
                QTest::mouseClick(splash->productName(), Qt::LeftButton);
            QTRY_VERIFY2(!splash, qPrintable(QString::number(how)));
        }
    }

    void helpPageOrAClearLocalOne_data()
    {
        columns<QByteArray, QString>("answer", "shown");
        row("page served", QByteArray("HTTP/1.0 200 OK\r\n\r\n<p>Drag spam in.</p>"), u"Drag spam in."_s);
        row("not found", QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n"), u"could not be loaded"_s);
        row("empty page", QByteArray("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"), u"empty page"_s);
        row("server silent", QByteArray("hold"), u"could not be loaded"_s);
    }
    void helpPageOrAClearLocalOne()
    {
        const auto [answer, shown] = fetch<QByteArray, QString>("answer", "shown");
        const bool online = shown.startsWith(u"Drag"_s);
        ScriptedPeer peer(answer == "hold" ? QList{ScriptedPeer::hold()} : ScriptedPeer::answer(answer));
        frmHelp help(QUrl(u"http://127.0.0.1:%1/help"_s.arg(peer.port())));
        help.findChild<HelpPage*>()->timeoutMs = 200;
        QSignalSpy pages(&help, &frmHelp::pageShown);
        help.reload();
        QVERIFY(pages.wait(10000));
        QCOMPARE(pages.at(0).at(0).toBool(), online);
        QVERIFY2(help.shownText().contains(shown), qPrintable(help.shownText()));
        // Without the vendor's page the help that came with the program is there, whole.
        QCOMPARE(help.shownText().contains(u"attach the error log"_s), !online);
        QCOMPARE(peer.lines().value(0), answer == "hold" ? QByteArray() : "GET /help HTTP/1.1\r\n");
    }
};

NW_TEST_CLASS(TstControls)

#include "tst_controls.moc"
