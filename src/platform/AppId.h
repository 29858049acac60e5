#pragma once

#include <QString>

namespace nw {

// The reverse-DNS application id: the name of the desktop entry, the metainfo and the installed icon. The
// build reads it from here for the installed files' names.
inline QString appId() { return QStringLiteral("org.nettlewright.Nettlewright"); }
// The installed icon of the drop folder.
inline QString folderIconName() { return appId() + QStringLiteral("-junkchute"); }

} // namespace nw
