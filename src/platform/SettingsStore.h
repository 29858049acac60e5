#pragma once

#include <QObject>
#include <QString>

namespace nw {

// Text settings per application, section and name, read with a default: the per-user store of the
// platform (INI files under the XDG config folder on Linux, the registry on Windows).
class SettingsStore : public QObject {
    Q_OBJECT

public:
    // Tests keep the store in a folder of their own with `setRoot`.
    explicit SettingsStore(QObject* parent = nullptr);

    QString get(const QString& application, const QString& section, const QString& name,
                const QString& defaultValue) const;
    void save(const QString& application, const QString& section, const QString& name, const QString& value);

    // Keeps every application's settings below `folder` instead of the user's config folder.
    static void setRoot(const QString& folder);

signals:
    void changed(const QString& application, const QString& section, const QString& name);
};

} // namespace nw
