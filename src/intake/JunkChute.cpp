#include "intake/JunkChute.h"

#include "app/AppState.h"
#include "errors/ErrorHandler.h"
#include "platform/AppId.h"
#include "platform/AppPaths.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace nw {

namespace {
const QString kCreateFailed = QStringLiteral("Unable to create JunkChute folder!");
const QString kCreateFailedTitle = QStringLiteral("JunkChute Error");
const QString kFolderName = QStringLiteral("JunkChute");

// The folder's own icon: desktop.ini with the system and hidden attributes on Windows, a hidden
// .directory entry on Linux desktops.
void giveFolderIcon(const QString& folder)
{
#ifdef Q_OS_WIN
    const QString program = QDir::toNativeSeparators(AppPaths::programFolder());
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(folder).utf16()), FILE_ATTRIBUTE_SYSTEM);
    const QString ini = AppPaths::join(folder, QStringLiteral("desktop.ini"));
    AppendTextFile(ini, QStringLiteral("[.ShellClassInfo]"));
    AppendTextFile(ini, QStringLiteral("IconFile = \"") + program + QStringLiteral("\\JunkChute.ico\""));
    AppendTextFile(ini, QStringLiteral("IconIndex = 0"));
    SetFileAttributesW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(ini).utf16()), FILE_ATTRIBUTE_HIDDEN);
#else
    const QString entry = AppPaths::join(folder, QStringLiteral(".directory"));
    // By the installed icon's name: a path would point into wherever the program happened to be started from.
    TextFile::write(entry, QStringLiteral("[Desktop Entry]\nIcon=") + folderIconName() + QLatin1Char('\n'));
#endif
}
} // namespace

QString sGetDesktop()
{
    return runGuarded("sGetDesktop", QString(), [] { return AppPaths::desktopFolder(); });
}

bool DirExists(const QString& path)
{
    return runGuarded("DirExists", false, [&] { return QFileInfo(path).isDir(); });
}

bool AppendTextFile(const QString& path, const QString& text)
{
    TextFile::append(path, text + QStringLiteral("\r\n"));
    return true;
}

bool CreateJunkChute(AppState& state)
{
    TraceScope scope("CreateJunkChute");
    const QString folder = AppPaths::join(sGetDesktop(), kFolderName);
    state.setJunkChuteFolder(folder);
    if (DirExists(folder))
        return true;
    try {
        if (!QDir().mkpath(folder))
            throw RuntimeError(75);
        giveFolderIcon(folder);
        return true;
    } catch (const RuntimeError&) {
        msgBox(kCreateFailed, PromptButtons::Ok, PromptIcon::None, kCreateFailedTitle);
        return false;
    }
}

QStringList junkChuteFiles(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    // desktop.ini is the folder's own; names starting with a dot (claim files beside a message in process) are
    // hidden, which QDir leaves out only where a dot means hidden.
    names.removeIf([](const QString& name) {
        return name.startsWith(QLatin1Char('.')) ||
               name.compare(QStringLiteral("desktop.ini"), Qt::CaseInsensitive) == 0;
    });
    return names;
}

JunkChuteList::JunkChuteList(QObject* parent) : QObject(parent)
{
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &JunkChuteList::refresh);
}

void JunkChuteList::setFolder(const QString& folder)
{
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_folder = folder;
    if (QFileInfo(folder).isDir())
        m_watcher.addPath(folder);
    refresh();
}

void JunkChuteList::refresh()
{
    // The folder may have been made after the list was pointed at it.
    if (m_watcher.directories().isEmpty() && QFileInfo(m_folder).isDir())
        m_watcher.addPath(m_folder);
    QStringList now = junkChuteFiles(m_folder);
    if (now == m_files)
        return;
    m_files = std::move(now);
    emit filesChanged();
}

} // namespace nw
