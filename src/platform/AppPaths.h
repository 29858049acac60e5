#pragma once

#include <QString>

namespace nw {

// The folders the program works in. Defaults follow the platform; tests point them at temporary folders.
//
// Run from a build tree (the tables beside the executable) one folder holds everything, as it always did.
// Installed, that folder is read-only: the shipped data is read from the install's share/nettlewright, and
// what the program writes goes into the user's own data and state folders.
class AppPaths {
public:
    // The executable's folder: what the log-on entry starts.
    static QString programFolder();
    // One folder for the shipped data, the fetched files and the logs alike (a build tree, a test).
    static void setProgramFolder(const QString& folder);

    // Read-only data shipped with the program: the look-up tables.
    static QString dataFolder();
    // What the program fetches (live update's tables, downloads and catalog); made when missing.
    static QString writableFolder();
    // The logs' folder; made when missing.
    static QString logFolder();
    // A shipped data file, or the user's fetched copy of it, which takes its place.
    static QString dataFile(const QString& name);
    // A log file (the error log, the outcome log) in the logs' folder.
    static QString logFile(const QString& name);

    // The user's desktop, where the drop folder is made.
    static QString desktopFolder();
    static void setDesktopFolder(const QString& folder);

    // `folder` joined with `name` by one separator.
    static QString join(const QString& folder, const QString& name);
};

} // namespace nw
