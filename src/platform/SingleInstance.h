#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

namespace nw {

// One running desktop program per user: the first start holds a lock and listens; a later start finds the lock
// held, asks the first to come forward and ends. Both monitors would otherwise report the same messages.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `folder`: where the lock file lies (the user's runtime folder by default); the server's name follows it.
    explicit SingleInstance(const QString& folder = QString(), QObject* parent = nullptr);

    // True when this is the only running copy; it then listens for later starts.
    bool claim();
    // Asks the running copy to come forward; false when none answered.
    bool callFirst();

signals:
    // A later start asked this copy to come forward.
    void called();

private:
    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace nw
