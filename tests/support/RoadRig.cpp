#include "support/RoadRig.h"

#include "errors/ErrorHandler.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"
#include "support/NginxServer.h"

#include <QTest>

namespace nw::test {

RoadRig::RoadRig(const QByteArray& ranges, const QByteArray& servers, const QHash<QString, quint16>& whoisPorts)
{
    // The WHOIS client reads its tables when the road is made.
    box.writeFile(QStringLiteral("whois.rir"), ranges);
    box.writeFile(QStringLiteral("whois.srv"), servers);
    state.setJunkChuteFolder(box.desktopFolder() + QStringLiteral("/JunkChute"));
    QDir().mkpath(state.junkChuteFolder());
    store.save(appTitle(), QStringLiteral("Setup"), QStringLiteral("VendorBase"), NginxServer::baseUrl());
    EndpointRouter router;
    for (auto it = whoisPorts.cbegin(); it != whoisPorts.cend(); ++it)
        router.add(it.key(), QStringLiteral("127.0.0.1"), it.value());
    folder = std::make_unique<PlainDropFolder>(state);
    road = std::make_unique<MessageRoad>(state, store, resolver, *folder, router);
    folder->setRoad(road.get());
    road->whois.tmrWhois.setInterval(50);
    road->whois.Whois1.setReferralDelay(10);
}

QString RoadRig::drop(const QString& name, const QByteArray& bytes) const
{
    const QString path = AppPaths::join(state.junkChuteFolder(), name);
    writeBytes(path, bytes);
    return path;
}

QStringList RoadRig::outcomes()
{
    QStringList lines =
        QString::fromLatin1(fileBytes(outcomeLogPath())).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.section(QLatin1Char('\t'), 1, 2);
    return lines;
}

void RoadTestCase::initTestCase()
{
    QString why;
    QVERIFY2(NginxServer::available(&why), qPrintable(why));
    QVERIFY2(m_sink.start(), qPrintable(m_sink.error()));
}

} // namespace nw::test
