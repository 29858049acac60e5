#pragma once

#include <QString>

namespace nw {

// Free bytes on the volume that holds `path` (or its nearest existing parent folder); -1 when unknown.
double DiskFreeSpace(const QString& path);

} // namespace nw
