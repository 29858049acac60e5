#pragma once

#include <QString>

namespace nw {

class SettingsStore;

// Addresses of the vendor's web service. The base comes from the settings store ("Setup"/"VendorBase")
// so tests and private installations can point it elsewhere; the paths are fixed.
namespace VendorService {

QString base(const SettingsStore& settings);
// "…/nwstats/stats.asp?KEY=VALUE", the value percent-encoded.
QString statisticsUrl(const SettingsStore& settings, const QString& key, const QString& value);
// "…/liveupdate/"
QString updateBase(const SettingsStore& settings);
// "…/help"
QString helpUrl(const SettingsStore& settings);

} // namespace VendorService

} // namespace nw
