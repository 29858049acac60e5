#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QDir>
#include <QSettings>
#endif

namespace nw {

namespace {
QString g_programFolder;
QString g_desktopFolder;
} // namespace

QString AppPaths::programFolder()
{
    if (!g_programFolder.isEmpty())
        return g_programFolder;
    return QCoreApplication::applicationDirPath();
}

void AppPaths::setProgramFolder(const QString& folder) { g_programFolder = folder; }

QString AppPaths::desktopFolder()
{
    if (!g_desktopFolder.isEmpty())
        return g_desktopFolder;
#ifdef Q_OS_WIN
    // Where Explorer itself keeps the desktop path (it may have been moved off the profile folder).
    const QSettings shellFolders(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
        QSettings::NativeFormat);
    const QString desktop = shellFolders.value(QStringLiteral("Desktop")).toString();
    if (!desktop.isEmpty())
        return QDir::fromNativeSeparators(desktop);
#endif
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

void AppPaths::setDesktopFolder(const QString& folder) { g_desktopFolder = folder; }

QString AppPaths::join(const QString& folder, const QString& name)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

} // namespace nw
