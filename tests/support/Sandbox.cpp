#include "support/Sandbox.h"

#include "errors/ErrorHandler.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/Connection.h"
#include "platform/SettingsStore.h"
#include "support/Files.h"

#include <QDir>
#include <QDirIterator>

namespace nw::test {

Sandbox::Sandbox()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("program"));
    QDir(m_dir.path()).mkpath(QStringLiteral("desktop"));
    QDir(m_dir.path()).mkpath(QStringLiteral("settings"));
    // The autostart folder is not made: a new account may not have one.
    Autostart::setFolder(autostartFolder());
    setConnectionProbe([] { return true; });
    SettingsStore::setRoot(m_dir.path() + QStringLiteral("/settings"));
    AppPaths::setProgramFolder(programFolder());
    AppPaths::setDesktopFolder(desktopFolder());
    ErrorHandler::instance().reset();
    ErrorHandler::instance().setExitAction([this] { ++m_exits; });
}

Sandbox::~Sandbox()
{
    ErrorHandler::instance().reset();
    AppPaths::setProgramFolder(QString());
    AppPaths::setDesktopFolder(QString());
    SettingsStore::setRoot(QString());
    Autostart::setFolder(QString());
    setConnectionProbe({});
}

QString Sandbox::programFolder() const { return m_dir.path() + QStringLiteral("/program"); }
QString Sandbox::desktopFolder() const { return m_dir.path() + QStringLiteral("/desktop"); }
QString Sandbox::autostartFolder() const { return m_dir.path() + QStringLiteral("/autostart"); }
QString Sandbox::path(const QString& name) const { return programFolder() + QLatin1Char('/') + name; }

QString Sandbox::writeFile(const QString& name, const QByteArray& bytes) const
{
    const QString p = path(name);
    writeBytes(p, bytes);
    return p;
}

QByteArray Sandbox::errorLog() const
{
    return fileBytes(path(QStringLiteral("Nettlewright.err")));
}

QByteArray Sandbox::settingsFiles() const
{
    QByteArray all;
    QDirIterator it(m_dir.path() + QStringLiteral("/settings"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        all += fileBytes(it.next());
    return all;
}

} // namespace nw::test
