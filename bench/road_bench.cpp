// road_bench: the time from switching the monitor on to the complaint's acceptance at the SMTP server, with
// a message in the drop folder and every server on loopback (WHOIS, SMTP, statistics: small in-process
// peers). The evaluation delay is the program's own 5000 ms. Also the cost of the complaint window's yields.
// Prints figures; never passes or fails.

#include "app/AppState.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "platform/Connection.h"
#include "platform/Resolver.h"
#include "platform/SettingsStore.h"
#include "road/MessageRoad.h"
#include "road/Monitor.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace nw;
using namespace nw::bench;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("program"));
    QDir(dir.path()).mkpath(QStringLiteral("JunkChute"));
    QDir(dir.path()).mkpath(QStringLiteral("settings"));
    AppPaths::setProgramFolder(dir.filePath(QStringLiteral("program")));
    SettingsStore::setRoot(dir.filePath(QStringLiteral("settings")));
    setConnectionProbe([] { return true; });
    const auto write = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    };
    write(dir.filePath(QStringLiteral("program/whois.rir")), "# bench 100\n192.0.2.0/24\twhois.bench.test\n");
    write(dir.filePath(QStringLiteral("program/whois.srv")), "# bench 100\nAny;*;whois.bench.test;43\n");

    LinePeer whois("", [](const QByteArray&) { return QByteArray("OrgAbuseEmail: abuse@bench-isp.net\n"); });
    QElapsedTimer clock;
    qint64 acceptedAt = -1;
    SmtpPeer smtp([&] { acceptedAt = clock.nsecsElapsed(); });
    LinePeer stats("", [](const QByteArray& line) {
        return line == "\r\n" ? QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                              : QByteArray();
    });

    AppState state;
    SettingsStore store;
    store.save(appTitle(), QStringLiteral("Setup"), QStringLiteral("VendorBase"),
               QStringLiteral("http://127.0.0.1:%1").arg(stats.serverPort()));
    state.setJunkChuteFolder(dir.filePath(QStringLiteral("JunkChute")));
    state.smtpServer = QStringLiteral("127.0.0.1:%1").arg(smtp.serverPort());
    state.userAddress = QStringLiteral("me@home-isp.net");
    TableResolver resolver;
    EndpointRouter router;
    router.add(QStringLiteral("whois.bench.test"), QStringLiteral("127.0.0.1"), whois.serverPort());
    PlainDropFolder folder(state);
    MessageRoad road(state, store, resolver, folder, router);
    folder.setRoad(&road);
    write(dir.filePath(QStringLiteral("JunkChute/spam.eml")),
          "Received: from relay.example.net (unknown [192.0.2.1]) by mx.home.example with SMTP; "
          "Mon, 1 Jan 2024 10:00:00 +0000\r\nSubject: You won\r\n\r\nClaim your prize.\r\n");

    Monitor monitor(state, folder);
    clock.start();
    monitor.resized(Monitor::WindowState::Minimized);
    const qint64 runEnd = clock.nsecsElapsed();
    monitor.trayOpen();
    const bool empty = folder.listFiles().isEmpty();
    std::printf("monitor on -> complaint accepted at the SMTP server: %.3f s (evaluation delay %d ms)\n",
                acceptedAt < 0 ? -1.0 : double(acceptedAt) / 1e9, road.whois.tmrWhois.interval());
    std::printf("monitor on -> run over, folder %s: %.3f s\n", empty ? "empty" : "NOT empty", double(runEnd) / 1e9);

    // The complaint window's 20000 yields before composing, with nothing else to do.
    QElapsedTimer yields;
    yields.start();
    for (int i = 0; i < road.complaint.yields; ++i)
        QCoreApplication::processEvents();
    std::printf("%d yields of the complaint window: %.1f ms\n", road.complaint.yields,
                double(yields.nsecsElapsed()) / 1e6);
    return 0;
}
