#include "platform/SettingsStore.h"

#include <QSettings>

namespace nw {

namespace {
QString g_root;

// Application names are compared without case, as registry keys are: "nettlewright" and
// "Nettlewright" are one store.
std::unique_ptr<QSettings> open(const QString& application)
{
    const QString app = application.toLower();
    if (!g_root.isEmpty())
        return std::make_unique<QSettings>(g_root + QLatin1Char('/') + app + QStringLiteral(".ini"),
                                           QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, app, app);
}
} // namespace

SettingsStore::SettingsStore(QObject* parent) : QObject(parent) {}

void SettingsStore::setRoot(const QString& folder) { g_root = folder; }

QString SettingsStore::get(const QString& application, const QString& section, const QString& name,
                           const QString& defaultValue) const
{
    const auto settings = open(application);
    return settings->value(section + QLatin1Char('/') + name, defaultValue).toString();
}

void SettingsStore::save(const QString& application, const QString& section, const QString& name,
                         const QString& value)
{
    {
        const auto settings = open(application);
        settings->setValue(section + QLatin1Char('/') + name, value);
    }
    emit changed(application, section, name);
}

} // namespace nw
