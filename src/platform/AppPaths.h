#pragma once

#include <QString>

namespace nw {

// The folders the program works in. Defaults follow the platform; tests point them at temporary folders.
class AppPaths {
public:
    // The executable's folder: the tables, the error log and downloaded updates live here.
    static QString programFolder();
    static void setProgramFolder(const QString& folder);

    // The user's desktop, where the drop folder is made.
    static QString desktopFolder();
    static void setDesktopFolder(const QString& folder);

    // `folder` joined with `name` by one separator.
    static QString join(const QString& folder, const QString& name);
};

} // namespace nw
