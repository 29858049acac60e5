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
QByteArray desktopEntry(const QString& program)
{
    return QStringLiteral(
               "[Desktop Entry]\nType=Application\nName=%1\nExec=%2\nIcon=%3\nX-GNOME-Autostart-enabled=true\n")
        .arg(appTitle(), Autostart::desktopExec(program), appId())
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

QString Autostart::executable()
{
    return AppPaths::join(AppPaths::programFolder(), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString Autostart::desktopExec(const QString& program)
{
    // Inside the quotes of an argument '"', '`', '$' and '\\' take a backslash; '%' is doubled, or it would
    // start a field code. The value is then a string of the entry file, whose own escapes are applied
    // first when it is read: its backslashes are doubled and line ends written as escapes.
    QString quoted;
    for (const QChar c : program) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    QString value;
    for (const QChar c : QLatin1Char('"') + quoted + QLatin1Char('"')) {
        switch (c.unicode()) {
        case '\\': value += QLatin1String("\\\\"); break;
        case '\n': value += QLatin1String("\\n"); break;
        case '\r': value += QLatin1String("\\r"); break;
        case '\t': value += QLatin1String("\\t"); break;
        default: value += c;
        }
    }
    return value;
}

QString Autostart::runValue(const QString& program)
{
    return QLatin1Char('"') + QDir::toNativeSeparators(program) + QLatin1Char('"');
}

void LoadOnStartup(bool enable)
{
    runGuarded("LoadOnStartup", [&] {
#ifdef Q_OS_WIN
        const QString base = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\");
        const QString value = Autostart::runValue(Autostart::executable());
        QSettings run(base + QStringLiteral("Run"), QSettings::NativeFormat);
        QSettings parked(base + QStringLiteral("Run-"), QSettings::NativeFormat);
        // The parking key is never created, only written when it exists.
        const bool parkingExists =
            QSettings(base, QSettings::NativeFormat).childGroups().contains(QStringLiteral("Run-"));
        if (enable) {
            parked.remove(appTitle());
            run.setValue(appTitle(), value);
        } else {
            run.remove(appTitle());
            if (parkingExists)
                parked.setValue(appTitle(), value);
        }
#else
        // The session's folder may not exist yet on a new account; the parking place is only ever
        // written into a folder that exists.
        if (enable) {
            QFile::remove(Autostart::parkedPath());
            QDir().mkpath(Autostart::folder());
            writeFile(Autostart::entryPath(), desktopEntry(Autostart::executable()));
        } else {
            QFile::remove(Autostart::entryPath());
            if (QFileInfo(Autostart::folder()).isDir())
                writeFile(Autostart::parkedPath(), desktopEntry(Autostart::executable()));
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
