#include "platform/TextFile.h"

#include "errors/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

namespace nw::TextFile {

namespace {
void writeMode(const QString& path, const QString& text, QIODevice::OpenMode mode)
{
    QFile file(path);
    if (!file.open(mode))
        throw RuntimeError(file.error() == QFileDevice::PermissionsError ? 70 : 75);
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size())
        throw RuntimeError(61); // disk full
}
} // namespace

QByteArray readBytes(const QString& path)
{
    QFileInfo info(path);
    if (!info.exists() || info.isDir())
        throw RuntimeError(53);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(file.error() == QFileDevice::PermissionsError ? 70 : 75);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(57);
    return bytes;
}

QString read(const QString& path) { return QString::fromLatin1(readBytes(path)); }

void append(const QString& path, const QString& text) { writeMode(path, text, QIODevice::WriteOnly | QIODevice::Append); }

void write(const QString& path, const QString& text)
{
    writeMode(path, text, QIODevice::WriteOnly | QIODevice::Truncate);
}

} // namespace nw::TextFile
