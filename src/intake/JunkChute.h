#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>

namespace nw {

class AppState;

// The desktop folder of the current user.
QString sGetDesktop();
bool DirExists(const QString& path);
// Appends `text` and CR LF, creating the file when missing. Throws RuntimeError when it cannot.
bool AppendTextFile(const QString& path, const QString& text);

// Sets `JunkChuteFolder` and makes sure the folder exists, with its icon where the desktop shows one.
// An existing folder is used unchanged. False after a failure the user was told about.
bool CreateJunkChute(AppState& state);

// The messages waiting in `folder`: its ordinary files by name, hidden and system files left out.
QStringList junkChuteFiles(const QString& folder);

// The file list of the drop folder, kept current: a file dropped into the folder shows up without a refresh.
class JunkChuteList : public QObject {
    Q_OBJECT

public:
    explicit JunkChuteList(QObject* parent = nullptr);

    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    const QStringList& files() const { return m_files; }
    // Reads the folder again; signals only when the list changed.
    void refresh();

signals:
    void filesChanged();

private:
    QString m_folder;
    QStringList m_files;
    QFileSystemWatcher m_watcher;
};

} // namespace nw
