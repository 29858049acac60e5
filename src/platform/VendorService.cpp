#include "platform/VendorService.h"

#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

#include <QUrl>

namespace nw::VendorService {

QString base(const SettingsStore& settings)
{
    QString b = settings.get(appTitle(), QStringLiteral("Setup"), QStringLiteral("VendorBase"), defaultVendorBase());
    while (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    return b;
}

QString statisticsUrl(const SettingsStore& settings, const QString& key, const QString& value)
{
    return base(settings) + QStringLiteral("/nwstats/stats.asp?") + key + QLatin1Char('=') +
           QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString updateBase(const SettingsStore& settings) { return base(settings) + QStringLiteral("/liveupdate/"); }

QString helpUrl(const SettingsStore& settings) { return base(settings) + QStringLiteral("/help"); }

} // namespace nw::VendorService
