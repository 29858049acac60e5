#include "app/Settings.h"

#include "errors/RuntimeError.h"
#include "platform/AppInfo.h"
#include "platform/SettingsStore.h"

#include <cmath>

namespace nw {

QString readSetting(const SettingsStore& store, const Setting& setting)
{
    return store.get(appTitle(), QLatin1String(setting.section), QLatin1String(setting.name),
                     QLatin1String(setting.defaultValue));
}

void saveSetting(SettingsStore& store, const Setting& setting, const QString& value)
{
    store.save(appTitle(), QLatin1String(setting.section), QLatin1String(setting.name), value);
}

int toInteger16(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        throw RuntimeError(13);
    // Halves go to the even neighbour, as the conversion the settings were written for does.
    const double rounded = std::nearbyint(value);
    if (rounded < -32768 || rounded > 32767)
        throw RuntimeError(6);
    return int(rounded);
}

Qt::CheckState toCheckState(int value)
{
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw RuntimeError(380);
    }
}

QString checkBoxValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::PartiallyChecked:
        return QStringLiteral("2");
    default:
        return QStringLiteral("0");
    }
}

int readSwitch(const SettingsStore& store, const Setting& setting) { return toInteger16(readSetting(store, setting)); }

} // namespace nw
