#include "platform/DiskSpace.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace nw {

double DiskFreeSpace(const QString& path)
{
    QFileInfo info(path);
    // The file or folder may not exist yet: ask about the closest one that does.
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return -1;
        info = QFileInfo(parent);
    }
    const QStorageInfo storage(info.absoluteFilePath());
    return storage.isValid() ? double(storage.bytesAvailable()) : -1;
}

} // namespace nw
