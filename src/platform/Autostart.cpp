#include "platform/Autostart.h"

#include "errors/ErrorHandler.h"
#include "platform/AppId.h"
#include "platform/AppInfo.h"
#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace nw {

namespace {
QString g_folder;

#ifndef Q_OS_WIN
// An XDG desktop entry. The Exec value is quoted when it holds blanks, which an unquoted path would split.
QByteArray desktopEntry(const QString& command)
{
    QString exec = command;
    if (exec.contains(QLatin1Char(' ')))
        exec = QLatin1Char('"') + exec + QLatin1Char('"');
    return QStringLiteral(
               "[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nIcon=%3\nX-GNOME-Autostart-enabled=true\n")
        .arg(appTitle(), exec, appId())
        .toUtf8();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}
#endif
} // namespace

QString Autostart::folder()
{
    if (!g_folder.isEmpty())
        return g_folder;
    return AppPaths::join(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                          QStringLiteral("autostart"));
}

void Autostart::setFolder(const QString& folder) { g_folder = folder; }

QString Autostart::entryPath() { return AppPaths::join(folder(), appTitle().toLower() + QStringLiteral(".desktop")); }

// Not ending in ".desktop", so the session does not start it.
QString Autostart::parkedPath() { return entryPath() + QStringLiteral(".parked"); }

QString Autostart::command()
{
    const QFileInfo exe(QCoreApplication::applicationFilePath());
    return QDir::toNativeSeparators(AppPaths::join(AppPaths::programFolder(), exe.completeBaseName()));
}

void LoadOnStartup(bool enable)
{
    runGuarded("LoadOnStartup", [&] {
#ifdef Q_OS_WIN
        const QString base = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\");
        QSettings run(base + QStringLiteral("Run"), QSettings::NativeFormat);
        QSettings parked(base + QStringLiteral("Run-"), QSettings::NativeFormat);
        // The parking key is never created, only written when it exists.
        const bool parkingExists =
            QSettings(base, QSettings::NativeFormat).childGroups().contains(QStringLiteral("Run-"));
        if (enable) {
            parked.remove(appTitle());
            run.setValue(appTitle(), Autostart::command());
        } else {
            run.remove(appTitle());
            if (parkingExists)
                parked.setValue(appTitle(), Autostart::command());
        }
#else
        // The session's folder may not exist yet on a new account; the parking place is only ever
        // written into a folder that exists.
        if (enable) {
            QFile::remove(Autostart::parkedPath());
            QDir().mkpath(Autostart::folder());
            writeFile(Autostart::entryPath(), desktopEntry(Autostart::command()));
        } else {
            QFile::remove(Autostart::entryPath());
            if (QFileInfo(Autostart::folder()).isDir())
                writeFile(Autostart::parkedPath(), desktopEntry(Autostart::command()));
        }
#endif
    });
}

namespace AutostartText {
#ifdef Q_OS_WIN
QString panelCaption() { return QStringLiteral("Load on Windows Startup"); }
QString wizardCaption() { return QStringLiteral("Auto start with Windows"); }
QString wizardQuestion() { return QStringLiteral("Would you like Nettlewright to start up every time you log on to Windows?"); }
#else
QString panelCaption() { return QStringLiteral("Start when I log in"); }
QString wizardCaption() { return QStringLiteral("Start when I log in"); }
QString wizardQuestion() { return QStringLiteral("Would you like Nettlewright to start up every time you log in?"); }
#endif
} // namespace AutostartText

} // namespace nw
