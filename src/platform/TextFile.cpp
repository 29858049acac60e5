#include "platform/TextFile.h"

#include "errors/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

void openRegular(QFile& file, const QByteArray& nativePath)
{
    const RuntimeError notRegular(75, QStringLiteral("Not a regular file"));
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        throw RuntimeError(53);
#ifdef Q_OS_UNIX
    // Opened without blocking, so a FIFO without a writer cannot hold the caller; the type is then checked
    // on what was opened, not on a name that may have changed since.
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw RuntimeError(errno == ENOENT || errno == ENOTDIR ? 53 : errno == EACCES || errno == EPERM ? 70 : 75);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw notRegular;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError(75);
    }
#else
    const QString path = QFile::decodeName(nativePath);
    const QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(53);
    if (!info.isFile())
        throw notRegular;
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(file.error() == QFileDevice::PermissionsError ? 70 : 75);
#endif
}

QString withLineFeeds(QString text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r*\n|\r+"));
    return text.replace(lineEnd, QStringLiteral("\n"));
}

bool remove(const QByteArray& nativePath)
{
    if (nativePath.isEmpty() || nativePath.contains('\0'))
        return false;
#ifdef Q_OS_UNIX
    return ::unlink(nativePath.constData()) == 0;
#else
    return QFile::remove(QFile::decodeName(nativePath));
#endif
}

QString read(const QString& path)
{
    QFile file;
    openRegular(file, QFile::encodeName(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError(57);
    return QString::fromLatin1(bytes);
}

void append(const QString& path, const QString& text) { writeMode(path, text, QIODevice::WriteOnly | QIODevice::Append); }

void write(const QString& path, const QString& text)
{
    writeMode(path, text, QIODevice::WriteOnly | QIODevice::Truncate);
}

} // namespace nw::TextFile
