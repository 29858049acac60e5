#include "support/Sandbox.h"

#include "errors/ErrorHandler.h"
#include "platform/AppPaths.h"
#include "platform/Autostart.h"
#include "platform/Connection.h"
#include "platform/SettingsStore.h"

#include <QDirIterator>

namespace nw::test {

Sandbox::Sandbox()
{
    // The autostart folder is not made: a new account may not have one.
    for (const char* folder : {"program", "desktop", "settings"})
        QDir(m_dir.path()).mkpath(QLatin1String(folder));
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

QByteArray Sandbox::settingsFiles() const
{
    QByteArray all;
    for (QDirIterator it(m_dir.path() + QStringLiteral("/settings"), QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        all += fileBytes(it.next());
    return all;
}

} // namespace nw::test
