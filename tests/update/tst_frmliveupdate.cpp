#include "support/Sandbox.h"
#include "support/ScriptedPeer.h"
#include "support/TestMain.h"
#include "update/frmLiveUpdate.h"

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace nw;
using namespace nw::test;

class TstFrmLiveUpdate : public QObject {
    Q_OBJECT

private slots:
    // The window starts off screen, fetches the catalog and closes itself when the run ends, here by Esc
    // while the catalog's body is awaited; a cancelled download leaves nothing behind and asks nothing.
    void escapeCancelsARunningDownload()
    {
        Sandbox box;
        ScriptedPeer peer({ScriptedPeer::readUntil("\r\n\r\n"),
                           ScriptedPeer::send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"),
                           ScriptedPeer::hold()});
        QPointer<frmLiveUpdate> window =
            new frmLiveUpdate(u"http://%1/liveupdate/"_s.arg(peer.endpoint()), box.programFolder());
        QCOMPARE(window->tmrStartDownload.interval(), 500);
        QVERIFY(window->pos().x() < 0 && window->pos().y() < 0);
        window->tmrStartDownload.setInterval(0);
        // The download runs inside the window's own wait, so the key is pressed from a timer.
        QTimer esc;
        connect(&esc, &QTimer::timeout, this, [&] {
            if (window && window->isVisible() && window->findChildren<QLabel*>().first()->text() == u"Saving:"_s) {
                esc.stop();
                QTest::keyClick(window, Qt::Key_Escape);
            }
        });
        esc.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(window.isNull(), 10000);
        QVERIFY(!esc.isActive());
        QCOMPARE(peer.connections(), 1);
        QVERIFY(peer.lines().at(0).startsWith("GET /liveupdate/Nettlewright.upd "));
        QVERIFY(box.prompts().shown().isEmpty());
        QVERIFY(!QFile::exists(box.path(u"Nettlewright.upd"_s)) &&
                !QFile::exists(box.path(u"Nettlewright.upd.download"_s)));
    }
};

NW_TEST_CLASS(TstFrmLiveUpdate)
#include "tst_frmliveupdate.moc"
