#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace nw {

namespace {
QString g_programFolder;
QString g_desktopFolder;

// The folder name of the program's own files in the user's data and state folders.
const QString kUserFolderName = QStringLiteral("nettlewright");

QString executableFolder() { return QCoreApplication::applicationDirPath(); }

// A build tree, or an install that keeps everything together, has the tables beside the executable.
bool singleFolder()
{
    return !g_programFolder.isEmpty() || QFileInfo::exists(AppPaths::join(executableFolder(), QStringLiteral("whois.rir")));
}

QString made(const QString& folder)
{
    QDir().mkpath(folder);
    return folder;
}

// The XDG state folder (logs); Qt 6.4 has no name for it.
QString userStateFolder()
{
#ifdef Q_OS_WIN
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (QDir::isAbsolutePath(state))
        return state;
    return QDir::homePath() + QStringLiteral("/.local/state");
#endif
}
} // namespace

QString AppPaths::programFolder()
{
    if (!g_programFolder.isEmpty())
        return g_programFolder;
    return executableFolder();
}

void AppPaths::setProgramFolder(const QString& folder) { g_programFolder = folder; }

QString AppPaths::dataFolder()
{
    if (singleFolder())
        return programFolder();
    return QDir::cleanPath(join(executableFolder(), QStringLiteral(NW_DATA_FROM_BIN)));
}

QString AppPaths::writableFolder()
{
    if (singleFolder())
        return programFolder();
    return made(join(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation), kUserFolderName));
}

QString AppPaths::logFolder()
{
    if (singleFolder())
        return programFolder();
    return made(join(userStateFolder(), kUserFolderName));
}

QString AppPaths::dataFile(const QString& name)
{
    const QString fetched = join(writableFolder(), name);
    return QFileInfo::exists(fetched) ? fetched : join(dataFolder(), name);
}

QString AppPaths::logFile(const QString& name) { return join(logFolder(), name); }

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
